#include "PromoteTemplateMailBuilder.h"

#include "ProductImageFiles.h"
#include "PromoteTemplateManager.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Runtime/GuidId.h"

#include <charconv>
#include <cmath>
#include <filesystem>

namespace {

constexpr const char* kHead =
    "\r\n  <HEAD>\r\n    <style> \r\n    \t.box{ width:660px; height:360px; padding:20px; margin:0 auto; "
    "font-size:12px; color:#797979;} \r\n   \tli,ul{ list-style:none;}\r\n    \tp,li,ul,h3{ padding:0; "
    "margin:0;}\r\n    \t.name{ font-size:14px; font-weight:bold; color:#535353;}\r\n    \t.name,.tg_info{ "
    "padding-bottom:12px;}\r\n    \t.box p{\twidth:80px;\tfont-size:14px;\tfont-weight:bold; color:#333; "
    "float:left;}\r\n    \t.tg_info span{ display:block; padding-left:0px; line-height:20px;}\r\n    \t.pro_info "
    ".case{ padding:5px 0px 10px 0px; width: 660px;}\r\n    \t.pro_info .case h3{ font-size: 12px; font-weight: "
    "bold; color: #535353;}\r\n    \t.pro_info .pro_pic{  padding-top: 10px;}\r\n    \t.pro_info .pro_pic li{ "
    "float: left; height: 210px; width: 210px;}\r\n    \t.pro_pic li img {\theight: 200px; width: 200px;}\r\n    "
    "\t.pro_info .details span{ width: 200px;\tdisplay: block;}\r\n    \t.details table td{ line-height: 20px; "
    "height: 20px;font-size:12px;color:#797979;}\r\n    \t.pro_info .case .line{\theight: 10px; "
    "border-bottom:1px dotted #ccc; width:660px; overflow:hidden;}\r\n    \t.details table .details_bt{ width: "
    "200px;}\r\n    \t.details table p{ font-size: 12px;\tfont-weight: bold; color: #535353; width: 50px;}\r\n    "
    "</style>\r\n  </HEAD>";
constexpr const char* kBoxOpen = "\r\n\t<div class=\"box\">";
constexpr const char* kNameOpen = "\r\n\t\t<div class=\"name\">";
constexpr const char* kNameToContent = "</div>\r\n        <div class=\"tg_info\">\r\n            <span>";
constexpr const char* kContentClose = "</span>\r\n\t\t</div>";
constexpr const char* kProductsOpen = "\r\n        <div class=\"pro_info\">";
constexpr const char* kProductHeadOpen = "\r\n            <div class=\"case\">\r\n            \t<h3>";
constexpr const char* kProductHeadClose = "</h3>\r\n            \t<ul class=\"pro_pic\">";
constexpr const char* kPictureOpen = "\r\n                    <li><img src=\"";
constexpr const char* kPictureClose = "\" /></li> ";
constexpr const char* kPicturesClose = "\r\n            \t</ul>";
constexpr const char* kDetailsOpen =
    "\r\n                <div class=\"details\">\r\n            \t\t<table width=\"660\" border=\"0\" "
    "cellpadding=\"0\" cellspacing=\"0\">\r\n                    \t<tr><td class=\"details_bt\"><p>型号：</p>";
constexpr const char* kModelToPrice = "</td><td class=\"details_bt\"><p>单价：</p>";
constexpr const char* kPriceToRemarks = "</td></tr>\r\n                    \t<tr><td colspan=\"2\"><p>备注：</p>";
constexpr const char* kDetailsClose =
    "</td></tr>\r\n                    </table>\r\n            \t</div>\r\n                <div "
    "class=\"line\"></div>\r\n            </div>";
constexpr const char* kProductsClose = "\r\n        </div>";
constexpr const char* kBoxClose = "\r\n\t</div>";

// Two decimals with a point whatever the process locale says, so the page
// is the same on every machine; a half cent rounds away from zero, as
// prices are rounded when typed.
std::string PriceWithTwoDecimals(double aPrice)
{
    char buffer[64];
    const double cents = std::round(aPrice * 100) / 100;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, cents, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

// The stored file of a catalogue picture, when its id is a picture id and
// the file is there; empty otherwise. Built from the id alone, never from
// a name kept in a row.
std::string PictureFileOf(const std::string& aImageId)
{
    if (!IsGuidId(aImageId))
        return {};
    const std::filesystem::path file = ProductImageFileName(aImageId);
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec) ? file.string() : std::string();
}

} // namespace

void TPromoteTemplateMailBuilder::SetPromoteTemplateRespath(TRcResPath* aResPath)
{
    FPromoteTemplateRespath = TRcRef<TRcResPath>::Retain(aResPath);
}

void TPromoteTemplateMailBuilder::LoadPromoteTemplate()
{
    FHtml.clear();
    TPromoteTemplateManager* manager = TPromoteTemplateManager::PromoteTemplateManager();
    FpromoteTemplate = TRcRef<TRcPromoteTemplate>::Retain(
        manager ? manager->GetPromoteTemplate(FPromoteTemplateRespath.Get()) : nullptr);
}

void TPromoteTemplateMailBuilder::BuildHead()
{
    FHtml.append(kHead);
}

void TPromoteTemplateMailBuilder::BuildBoxOpen()
{
    FHtml.append(kBoxOpen);
}

void TPromoteTemplateMailBuilder::BuildNameAndContent()
{
    FHtml.append(kNameOpen);
    if (FpromoteTemplate)
        FHtml.append(EscapeHtml(FpromoteTemplate->FName));
    FHtml.append(kNameToContent);
    if (FpromoteTemplate)
        FHtml.append(EscapeHtml(FpromoteTemplate->FPromotionContent));
    FHtml.append(kContentClose);
}

void TPromoteTemplateMailBuilder::BuildProductsOpen()
{
    FHtml.append(kProductsOpen);
}

void TPromoteTemplateMailBuilder::BuildProducts()
{
    TPromoteTemplateManager* manager = TPromoteTemplateManager::PromoteTemplateManager();
    if (!manager || !FpromoteTemplate)
        return;
    TRcResIdList* items = manager->GetPromoteTemplateItems(FPromoteTemplateRespath.Get());
    for (int i = 0; items && i < items->Count(); ++i) {
        TRcResPath* itemPath = FPromoteTemplateRespath->Append(items->GetItem(i));
        TRcProduct* product = manager->GetPromoteTemplateItemProduct(itemPath);
        if (!product)
            continue;
        BuildProduct(*product, manager->GetPromoteTemplateItemImages(itemPath));
    }
}

void TPromoteTemplateMailBuilder::BuildProduct(const TRcProduct& aProduct, TRcProductImageList* aImages)
{
    FHtml.append(kProductHeadOpen).append(EscapeHtml(aProduct.FName)).append(kProductHeadClose);
    for (int i = 0; aImages && i < aImages->Count(); ++i) {
        const std::string file = PictureFileOf(aImages->GetItem(i)->Id());
        if (!file.empty())
            FHtml.append(kPictureOpen).append(EscapeHtml(file)).append(kPictureClose);
    }
    FHtml.append(kPicturesClose);
    FHtml.append(kDetailsOpen)
        .append(EscapeHtml(aProduct.FModel))
        .append(kModelToPrice)
        .append(PriceWithTwoDecimals(aProduct.FPrice))
        .append(kPriceToRemarks)
        .append(EscapeHtml(aProduct.FRemarks))
        .append(kDetailsClose);
}

void TPromoteTemplateMailBuilder::BuildProductsClose()
{
    FHtml.append(kProductsClose);
}

void TPromoteTemplateMailBuilder::BuildBoxClose()
{
    FHtml.append(kBoxClose);
}

void TPromoteTemplateMailDirector::Construct()
{
    TPromoteTemplateMailBuilder& builder = *FPromoteTemplateMailBuilder;
    builder.LoadPromoteTemplate();
    builder.BuildHead();
    builder.BuildBoxOpen();
    builder.BuildNameAndContent();
    builder.BuildProductsOpen();
    builder.BuildProducts();
    builder.BuildProductsClose();
    builder.BuildBoxClose();
    builder.BuildEnd();
}

std::string PromoteTemplateMailHtml(TRcResPath* aTemplatePath)
{
    TRcRef<TPromoteTemplateMailBuilder> builder = MakeRc<TPromoteTemplateMailBuilder>();
    builder->SetPromoteTemplateRespath(aTemplatePath);
    TPromoteTemplateMailDirector director(builder.Get());
    director.Construct();
    return builder->GetHtml();
}
