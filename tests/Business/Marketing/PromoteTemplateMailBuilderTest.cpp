#include "Business/Marketing/ProductImageFiles.h"
#include "Business/Marketing/PromoteTemplateMailBuilder.h"
#include "PromotionCatalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadFile(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ReplaceAll(std::string& aText, const std::string& aFrom, const std::string& aTo)
{
    for (std::size_t at = aText.find(aFrom); at != std::string::npos; at = aText.find(aFrom, at + aTo.size()))
        aText.replace(at, aFrom.size(), aTo);
}

TEST(PromoteTemplateMailBuilderTest, ThreeProductsGiveTheFragmentsInOrderWithEveryTextEscaped)
{
    TPromotionCatalogue catalogue("qm-promote-page");
    TRcProduct* boots = catalogue.SaveProduct("Trail <script>alert(1)</script> boots", "TB-1 & TB-2", 12.5,
                                              "Waterproof & \"light\"", {PngBytes("b1"), PngBytes("b2"), PngBytes("b3")});
    TRcProduct* tent = catalogue.SaveProduct("Tent", "T<2>", 1999, "", {});
    TRcProduct* lamp = catalogue.SaveProduct("Lamp 'L'", "L-3", 0.125, "<b>bright</b>", {PngBytes("l1"), PngBytes("l2")});
    TRcProduct* gone = catalogue.SaveProduct("Withdrawn", "W", 1, "", {});

    TRcPromoteTemplate* promotion = catalogue.NewTemplate("Spring & <Summer>", "Up to 30% off <b>now</b>");
    TRcResPath* path = catalogue.SaveTemplate(
        promotion, {{boots, {0, 1, 2}}, {gone, {}}, {tent, {}}, {lamp, {1, 0}}});
    // A product taken out of the catalogue adds nothing; a picture whose
    // file is gone is not referred to.
    TPromotionCatalogue::Products()->DeleteProduct(TRcResPath::CreateAndAutoRelease(
        {TRcResId::CreateAndAutoRelease(rtProductGroup, ""), gone->FResId.Get()}));
    std::filesystem::remove(ProductImageFileName(boots->FImages->GetItem(1)->Id()));

    std::string html = PromoteTemplateMailHtml(path);
    // Paths and ids differ from run to run: named by their roles.
    ReplaceAll(html, ProductImageFolder().string() + "/", "IMAGES/");
    const struct {
        TRcProduct* Product;
        int Index;
        const char* Name;
    } pictures[] = {{boots, 0, "BOOTS-1"}, {boots, 2, "BOOTS-3"}, {lamp, 0, "LAMP-1"}, {lamp, 1, "LAMP-2"}};
    for (const auto& p : pictures)
        ReplaceAll(html, p.Product->FImages->GetItem(p.Index)->Id(), p.Name);

    const std::string golden = ReadFile(QUILLMAR_PROMOTION_GOLDEN);
    if (html != golden)
        std::ofstream(catalogue.Scratch().parent_path() / "three_products.actual.html", std::ios::binary) << html;
    EXPECT_EQ(html, golden) << "the page built is in "
                            << (catalogue.Scratch().parent_path() / "three_products.actual.html");
}

TEST(PromoteTemplateMailBuilderTest, APathNamingNoTemplateGivesAnEmptyBox)
{
    TPromotionCatalogue catalogue("qm-promote-none");
    TRcResPath* path =
        catalogue.Folder()->Append(TRcResId::CreateAndAutoRelease(rtPromoteTemplate, "0123456789ABCDEF0123456789ABCDEF"));
    const std::string html = PromoteTemplateMailHtml(path);
    const std::string tail = "\r\n\t<div class=\"box\">\r\n\t\t<div class=\"name\"></div>\r\n        <div "
                             "class=\"tg_info\">\r\n            <span></span>\r\n\t\t</div>\r\n        <div "
                             "class=\"pro_info\">\r\n        </div>\r\n\t</div>";
    ASSERT_GT(html.size(), tail.size());
    EXPECT_EQ(html.substr(0, 12), "\r\n  <HEAD>\r\n");
    EXPECT_EQ(html.substr(html.size() - tail.size()), tail);
}

} // namespace
