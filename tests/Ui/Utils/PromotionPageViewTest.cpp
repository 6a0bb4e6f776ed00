// A promotion page as the HTML view shows it: the catalogue's pictures
// load, and the texts of the data show as text, never as markup.
#include "CountingHttpServer.h"
#include "HtmlViewSupport.h"

#include "Business/Marketing/PromoteTemplateMailBuilder.h"
#include "Business/Marketing/PromotionCatalogue.h"

#include <gtest/gtest.h>

namespace {

// The catalogue brings its own data and run folders, so the host window
// is set up here without those of HtmlHostFixture.
class PromotionPageViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TDuWindowManager::SetSkinFolder(QUILLMAR_TEST_SKIN);
        FForm = TDuForm::New<THtmlHostForm>();
        FForm->Show();
        FView = CreateHtmlView(FForm->Host);
        FView->SetOnLoadFinished([this](bool aOk) { FLoaded = aOk ? 1 : 0; });
    }
    void TearDown() override
    {
        FView.reset();
        FForm.reset();
    }
    QWebEngineView* WebView() const { return TDuPluginAccess::Widget(FForm->Host)->findChild<QWebEngineView*>(); }

    TPromotionCatalogue FCatalogue{"qm-promote-view"};
    std::unique_ptr<THtmlHostForm> FForm;
    std::unique_ptr<IHtmlView> FView;
    int FLoaded = -1;
};

TEST_F(PromotionPageViewTest, PicturesShowAndDataTextsStayText)
{
    TRcProduct* boots = FCatalogue.SaveProduct("Trail <script>document.title='ran'</script> boots", "TB-1 & TB-2", 12.5,
                                               "Waterproof & <b>light</b>",
                                               {SolidPng(200, 200, 0xd04040), SolidPng(200, 200, 0x40a040),
                                                SolidPng(200, 200, 0x4060d0)});
    TRcProduct* lamp = FCatalogue.SaveProduct("Lamp", "L-3", 9.5, "Bright", {SolidPng(200, 200, 0xe0c020)});
    TRcResPath* path = FCatalogue.SaveTemplate(FCatalogue.NewTemplate("Spring & <Summer> sale", "Up to 30% off"),
                                               {{boots, {0, 1, 2}}, {lamp, {0}}});
    const std::filesystem::path page = FCatalogue.Scratch() / "promotion.html";
    WriteWholeFile(page, PromoteTemplateMailHtml(path));
    std::vector<std::filesystem::path> pictures;
    for (TRcProduct* product : {boots, lamp})
        for (int i = 0; i < product->FImages->Count(); ++i)
            pictures.push_back(product->FImages->GetItem(i)->FFileName);

    FView->ShowHtmlFile(page, pictures);
    ASSERT_TRUE(WaitUntil([this] { return FLoaded >= 0; }) && FLoaded == 1);
    Settle(500);
    const QVariantMap state =
        RunOwnScript(WebView(), QStringLiteral(
                                    "(function(){var shown=0;for(const i of document.images)"
                                    "if(i.complete&&i.naturalWidth>0)shown++;"
                                    "return {shown:shown, scripts:document.scripts.length, title:document.title,"
                                    "h3:document.querySelector('h3').textContent,"
                                    "name:document.querySelector('.name').textContent};})()"))
            .toMap();
    EXPECT_EQ(state["shown"].toInt(), 4);
    EXPECT_EQ(state["scripts"].toInt(), 0);
    EXPECT_NE(state["title"].toString(), QStringLiteral("ran"));
    EXPECT_EQ(state["h3"].toString().toStdString(), "Trail <script>document.title='ran'</script> boots");
    EXPECT_EQ(state["name"].toString().toStdString(), "Spring & <Summer> sale");
    if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR"))
        FForm->SaveScreenshot(std::string(dir) + "/promotion_page.png");
}

} // namespace
