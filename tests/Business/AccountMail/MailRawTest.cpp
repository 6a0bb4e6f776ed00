#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/RcRef.h"
#include "Support/RunFolderTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class MailRawTest : public RunFolderTest {
protected:
    void SetUp() override
    {
        RunFolderTest::SetUp();
        Write("pic.png", "\x89PNG-picture");
        Write("offer.pdf", "%PDF offer");
    }
};

TEST(PlainTextPageTest, LinesBecomeDivs)
{
    EXPECT_EQ(PlainTextToHtmlDivs("a  b"), "<div>a &nbsp;b</div>\r\n");
    EXPECT_EQ(PlainTextToHtmlDivs("<x> & \"q\"\r\n   3"),
              "<div>&lt;x&gt; &amp; &quot;q&quot;</div>\r\n<div> &nbsp;&nbsp;3</div>\r\n");
    EXPECT_EQ(PlainTextToHtmlDivs("你好"), "<div>你好</div>\r\n");
}

TEST_F(MailRawTest, ARoundTripKeepsNamesFlagsAndPictures)
{
    auto written = MakeRc<TRcMailRaw>();
    TIdMessageBuilderHtmlEx& builder = written->Builder();
    builder.Html = "<p>报价</p><img src=\"cid:qmc_0123456789ABCDEF0123456789ABCDEF\">";
    builder.HtmlCharSet = "utf-8";
    builder.HtmlContentTransfer = "base64";
    TIdMessageBuilderAttachment picture;
    picture.FileName = FData / "pic.png";
    picture.ContentID = "<qmc_0123456789ABCDEF0123456789ABCDEF>";
    builder.HtmlFiles.push_back(picture);
    TIdMessageBuilderAttachment offer;
    offer.FileName = FData / "offer.pdf";
    offer.Name = "报价单.pdf";
    offer.SetNeedTranslate(false);
    builder.Attachments.push_back(offer);
    written->BuilderToMessage();
    SetEncodedHeader(GMIME_OBJECT(written->Message()), "Subject", "询价");
    written->MessageToRawStream();

    auto read = MakeRc<TRcMailRaw>();
    read->RawStreamLoadFromString(written->RawBytes());
    read->RawStreamToMessageAndBuilder();
    ASSERT_EQ(read->Builder().Attachments.size(), 1u);
    EXPECT_EQ(read->GetBuilderAttachmentName(0), "报价单.pdf");
    EXPECT_FALSE(read->GetBuilderAttachmentNeedTranslate(0));
    EXPECT_EQ(read->IndexOfBuilderAttachmentByFileName(read->Builder().Attachments[0].FileName.string()), 0);
    const fs::path saved = FData / "saved.pdf";
    read->BuilderAttachmentSaveToFile(0, saved);
    EXPECT_EQ(Read(saved), "%PDF offer");

    ASSERT_EQ(read->Builder().HtmlFiles.size(), 1u);
    const fs::path local = read->Builder().HtmlFiles[0].FileName;
    EXPECT_EQ(local.parent_path(), TTempFileManager::TempFileManager()->TempFolder());
    EXPECT_EQ(Read(local), "\x89PNG-picture");
    const std::string page = read->BuilderToIndexHtmlString();
    std::string url = "file://";
    for (char c : local.string())
        url += c == '(' ? std::string("%28") : c == ')' ? std::string("%29") : std::string(1, c);
    EXPECT_NE(page.find("src=\"" + url + "\""), std::string::npos) << page;
    EXPECT_NE(read->BuilderToIndexHtmlStringWithCid().find("cid:qmc_"), std::string::npos);

    const fs::path file = read->BuilderToIndexHtmlFileName();
    EXPECT_EQ(file.filename(), "询价_index.html");
    EXPECT_EQ(Read(file).substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(MailRawTest, CidReferencesAreMatchedWhole)
{
    auto raw = MakeRc<TRcMailRaw>();
    raw->Builder().Html = "<img src=\"CID:A\"><img src='cid:ab'><img src=cid:a>";
    TIdMessageBuilderAttachment file;
    file.FileName = FData / "pic.png";
    file.ContentID = "<a>";
    raw->Builder().HtmlFiles.push_back(file);
    const std::string url = "file://" + (FData / "pic.png").string();
    EXPECT_EQ(raw->BuilderToIndexHtmlString(),
              "<img src=\"" + url + "\"><img src='cid:ab'><img src=" + url + ">");

    raw->Builder().Html.clear();
    raw->Builder().PlainText = "plain";
    EXPECT_EQ(raw->BuilderToIndexHtmlString(), "<div>plain</div>\r\n");
    EXPECT_EQ(raw->BuilderToIndexHtmlFileName().filename(), "index.html");   // no subject
}

TEST_F(MailRawTest, EditedPagesPicturesBecomeInlineFilesFromAllowedPlacesOnly)
{
    const fs::path run = TTempFileManager::TempFileManager()->TempFolder();
    const fs::path templates = FData / "Templates" / "T1";
    fs::create_directories(templates);
    std::ofstream(run / "pic.png") << "p";
    std::ofstream(run / "图.png") << "q";
    std::ofstream(templates / "bg.jpg") << "b";
    std::ofstream(FData / "private.txt") << "secret";
    // Another mail's rendered page and attachment lie in the run folder too.
    std::ofstream(run / "Q3 pricing_index.html") << "<p>another customer's prices</p>";
    std::ofstream(run / "contract.pdf") << "%PDF";
    const std::string page =
        "<html><body background=\"file://" + (templates / "bg.jpg").string() + "\">\n"
        "<p class=x>Text &amp; more</p><IMG SRC='pic.png' alt=\"a\">\n"
        "<img src=\"file://" + run.string() + "/%E5%9B%BE.png\">\n"
        "<img src=\"file://" + (FData / "private.txt").string() + "\">\n"
        "<img src=\"file://" + run.string() + "/Q3%20pricing_index.html\"><img src='contract.pdf'>\n"
        "<img src=\"http://example.com/x.png\"><img src=cid:kept></body></html>";
    std::ofstream(run / "index.html") << "\xEF\xBB\xBF" << page;

    auto raw = MakeRc<TRcMailRaw>();
    raw->SetIndexHtmlFileName(run / "index.html");
    // The template folder, and the two pictures the user inserted.
    raw->IndexHtmlFileNameToBuilder(run, {FData / "Templates", run / "pic.png", run / "图.png"});
    const auto& files = raw->Builder().HtmlFiles;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].FileName, templates / "bg.jpg");
    EXPECT_EQ(files[1].FileName, run / "pic.png");
    EXPECT_EQ(files[2].Name, "图.png");
    for (const auto& file : files) {
        const std::string id = file.ContentID.substr(1, file.ContentID.size() - 2);
        EXPECT_EQ(id.rfind("qmc_", 0), 0u);
        EXPECT_EQ(id.size(), 36u);
        EXPECT_NE(raw->Builder().Html.find("\"cid:" + id + "\""), std::string::npos);
    }
    // Everything but the three rewritten values is as it was.
    EXPECT_NE(raw->Builder().Html.find("<p class=x>Text &amp; more</p><IMG SRC="), std::string::npos);
    EXPECT_NE(raw->Builder().Html.find(" alt=\"a\">"), std::string::npos);
    EXPECT_NE(raw->Builder().Html.find("file://" + (FData / "private.txt").string()), std::string::npos);
    EXPECT_NE(raw->Builder().Html.find("/Q3%20pricing_index.html\"><img src='contract.pdf'>"), std::string::npos);
    EXPECT_NE(raw->Builder().Html.find("<img src=\"http://example.com/x.png\"><img src=cid:kept></body></html>"),
              std::string::npos);
    EXPECT_EQ(raw->Builder().HtmlCharSet, "utf-8");
}

TEST_F(MailRawTest, LargeRawMessagesStayInAFile)
{
    auto raw = MakeRc<TRcMailRaw>();
    const std::string big = "Subject: big\r\n\r\n" + std::string(2 * 1024 * 1024, 'x');
    raw->RawStreamLoadFromString(big);
    EXPECT_EQ(raw->RawSize(), big.size());
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(TTempFileManager::TempFileManager()->TempFolder()))
        files += entry.path().filename() != ".lock";
    EXPECT_EQ(files, 1u);
    raw->RawStreamToMessage();
    EXPECT_EQ(HeaderText(GMIME_OBJECT(raw->Message()), "Subject"), "big");
    raw->Clear();
    EXPECT_EQ(raw->RawSize(), 0u);
    files = 0;
    for (const auto& entry : fs::directory_iterator(TTempFileManager::TempFileManager()->TempFolder()))
        files += entry.path().filename() != ".lock";
    EXPECT_EQ(files, 0u);

    auto named = MakeRc<TRcMailRaw>();
    TIdMessageBuilderAttachment byId;
    byId.ContentID = "only-an-id";
    byId.Data = std::make_shared<const std::string>("x");
    named->Builder().Attachments.push_back(byId);
    EXPECT_EQ(named->GetBuilderAttachmentName(0), "only-an-id");
}

} // namespace
