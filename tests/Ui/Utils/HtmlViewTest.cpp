// The mail view against a hostile page: nothing of the page runs, nothing
// reaches the network unless the pictures are asked for (and then only the
// pictures), only the mail's own files load, and links leave only as they
// should. The page's state is read with scripts of our own world.
#include "CountingHttpServer.h"
#include "HtmlViewSupport.h"

#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/WholeFile.h"
#include "Ui/Utils/ExternalOpener.h"
#include "Ui/Utils/HtmlView.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

class HtmlViewTest : public HtmlViewFixture {
protected:
    void SetUp() override
    {
        HtmlViewFixture::SetUp();
        FPreviousOpener = SetExternalOpener([this](const std::string& aUrl) {
            FOpened.push_back(aUrl);
            return true;
        });
    }
    void TearDown() override
    {
        SetExternalOpener(FPreviousOpener);
        HtmlViewFixture::TearDown();
    }

    // A mail whose page tries everything a page can try, with one picture
    // of its own (cid:) and a picture beside it on disk that is not its own.
    TRcMailComplex* HostileMail()
    {
        const std::string p = FServer.Base();
        const std::string foreign = (FData / "foreign.png").string();
        WriteWholeFile(foreign, SolidPng(8, 8, 0x00ff00));
        const std::string link = "position:absolute;left:300px;width:200px;height:24px;display:block;";
        const std::string html =
            "<html><head><title>hostile</title>\n"
            "<meta http-equiv=\"refresh\" content=\"0;url=" + p + "/refresh\">\n"
            "<link rel=\"stylesheet\" href=\"" + p + "/style.css\">\n"
            "<link rel=\"prefetch\" href=\"" + p + "/prefetch\">\n"
            "<link rel=\"preconnect\" href=\"" + FServer.ConnectBase() + "\">\n"
            "<link rel=\"dns-prefetch\" href=\"" + FServer.ConnectBase() + "\">\n"
            "<a href=\"" + FServer.ConnectBase() + "/hover\" style=\"position:absolute;left:0;top:60px\">x</a>\n"
            "<script>document.title='script'; new Image().src='" + p + "/script';</script>\n"
            "<script src=\"" + p + "/external.js\"></script>\n"
            "<style>@import url(" + p + "/import.css); body { background: url(" + p + "/background.png); }</style>\n"
            "</head><body onload=\"document.title='onload'\">\n"
            "<img id=\"pixel\" src=\"" + p + "/pixel.png\" width=\"1\" height=\"1\">\n"
            "<img id=\"cidpic\" src=\"cid:pic1@quillmar.test\" style=\"position:absolute;left:0;top:0\">\n"
            "<img id=\"foreign\" src=\"" + foreign + "\">\n"
            "<img id=\"foreignurl\" src=\"file://" + foreign + "\">\n"
            "<img src=\"nothing.png\" onerror=\"document.title='onerror'\">\n"
            "<iframe src=\"" + p + "/frame\"></iframe>\n"
            "<iframe srcdoc=\"<script>parent.document.title='srcdoc'</script>\"></iframe>\n"
            "<form action=\"" + p + "/form\" method=\"post\"><input name=\"a\" value=\"b\" autofocus "
            "onfocus=\"document.title='focus'\"></form>\n"
            "<object data=\"" + p + "/object\"></object><embed src=\"" + p + "/embed\">\n"
            "<video src=\"" + p + "/video\" autoplay></video>\n"
            "<a id=\"web\" href=\"http://example.com/page?x=1\" style=\"" + link + "top:100px\">web</a>\n"
            "<a id=\"file\" href=\"file:///etc/passwd\" style=\"" + link + "top:140px\">file</a>\n"
            "<a id=\"js\" href=\"javascript:document.title='link'\" style=\"" + link + "top:180px\">js</a>\n"
            "<a id=\"mail\" href=\"mailto:buyer@example.com?subject=hi\" style=\"" + link + "top:220px\">mail</a>\n"
            "<a id=\"blank\" href=\"https://example.org/target\" target=\"_blank\" style=\"" + link +
            "top:260px\">blank</a>\n"
            "<a id=\"anchor\" href=\"#end\" style=\"" + link + "top:300px\">anchor</a>\n"
            "<a id=\"tel\" href=\"tel:+861012345678\" style=\"" + link + "top:340px\">tel</a>\n"
            "<div style=\"height:2000px\"></div><p id=\"end\">end</p>\n"
            "</body></html>\n";
        return MailWithPicture(html, SolidPng(20, 10, 0xff0000));
    }

    TExternalOpener FPreviousOpener;
    std::vector<std::string> FOpened;
    TCountingHttpServer FServer;
};

TEST_F(HtmlViewTest, AHostilePageRunsNothingAndReachesNoServer)
{
    int blockedCalls = 0;
    View().SetOnRemoteBlocked([&] { ++blockedCalls; });
    ASSERT_TRUE(ShowAndWait(HostileMail()));
    // Time for a refresh, a delayed load or a script that would still run.
    Settle(800);

    EXPECT_EQ(FServer.Paths(), std::vector<std::string>{});
    EXPECT_EQ(FServer.Connections(), 0);
    const QVariantMap state = PageState();
    EXPECT_EQ(state["title"].toString().toStdString(), "hostile");
    EXPECT_EQ(state["href"].toString().toStdString(), PageUrl());
    EXPECT_EQ(state["cidpic"].toInt(), 20) << "the mail's own picture shows";
    EXPECT_EQ(state["foreign"].toInt(), 0) << "a file that is not the mail's stays out";
    EXPECT_EQ(state["foreignurl"].toInt(), 0);
    EXPECT_GT(View().BlockedRemoteCount(), 0);
    EXPECT_EQ(blockedCalls, 1);
    if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR"))
        FForm->SaveScreenshot(std::string(dir) + "/quillmar-html-view-blocked.png");
}

TEST_F(HtmlViewTest, ShowPicturesLoadsExactlyThePictures)
{
    ASSERT_TRUE(ShowAndWait(HostileMail()));
    Settle(300);
    ASSERT_TRUE(Reload([&] { View().SetShowPictures(true); }));
    Settle(800);

    auto paths = FServer.Paths();
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/background.png", "/pixel.png"}));
    EXPECT_EQ(PageState()["title"].toString().toStdString(), "hostile");
    EXPECT_EQ(PageState()["pixel"].toInt(), 4);
    if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR"))
        FForm->SaveScreenshot(std::string(dir) + "/quillmar-html-view-pictures.png");

    // Another mail starts blocked again.
    FServer.Clear();
    ASSERT_TRUE(ShowAndWait(HostileMail()));
    Settle(300);
    EXPECT_FALSE(View().ShowPictures());
    EXPECT_EQ(FServer.Paths(), std::vector<std::string>{});
}

TEST_F(HtmlViewTest, LinksLeaveOnlyForTheWebAndMail)
{
    std::vector<std::string> mailto;
    View().SetOnMailto([&](const std::string& aUrl) { mailto.push_back(aUrl); });
    ASSERT_TRUE(ShowAndWait(HostileMail()));

    for (const char* id : {"web", "file", "js", "mail", "blank", "anchor", "tel"})
        ClickElement(id);
    Settle(500);

    EXPECT_EQ(FOpened, (std::vector<std::string>{"http://example.com/page?x=1", "https://example.org/target"}));
    EXPECT_EQ(mailto, std::vector<std::string>{"mailto:buyer@example.com?subject=hi"});
    const QVariantMap state = PageState();
    EXPECT_EQ(state["title"].toString().toStdString(), "hostile");
    // The page itself, at most scrolled to its own anchor.
    EXPECT_EQ(state["href"].toString().toStdString().substr(0, PageUrl().size()), PageUrl());
    EXPECT_EQ(FServer.Paths(), std::vector<std::string>{});
}

TEST(ExternalOpenerTest, OnlyWebAndMailAddressesLeave)
{
    struct TCase {
        const char* Url;
        bool Allowed;
    } cases[] = {
        {"http://example.com/", true},       {"HTTPS://example.com/a?b=c", true}, {"mailto:a@b.c", true},
        {"file:///etc/passwd", false},       {"javascript:alert(1)", false},      {"ftp://example.com/", false},
        {"http://a.com/\nrm -rf", false},    {"http://a .com/", false},           {"", false},
        {"-http://example.com/", false},     {"data:text/html,x", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsExternalUrlAllowed(c.Url), c.Allowed) << c.Url;

    std::vector<std::string> opened;
    const auto previous = SetExternalOpener([&](const std::string& aUrl) {
        opened.push_back(aUrl);
        return true;
    });
    EXPECT_FALSE(OpenExternalUrl("file:///etc/passwd"));
    EXPECT_TRUE(OpenExternalUrl("https://example.com/"));
    SetExternalOpener(previous);
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.com/"});
}

} // namespace
