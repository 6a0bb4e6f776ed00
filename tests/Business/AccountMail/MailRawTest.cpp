#include "Business/AccountMail/MailRaw.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/RcRef.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class MailRawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qm-raw-XXXXXX";
        FData = mkdtemp(pattern);
        SetCurrentDataPath(FData);
        TTempFileManager::BuildInstance();
        std::ofstream(FData / "pic.png", std::ios::binary) << "\x89PNG-picture";
        std::ofstream(FData / "offer.pdf", std::ios::binary) << "%PDF offer";
    }
    void TearDown() override
    {
        TTempFileManager::ReleaseInstance();
        fs::remove_all(FData);
    }
    static std::string Read(const fs::path& aPath)
    {
        std::ifstream in(aPath, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TRetainCountObjectAutoReleasePool FPool;
    fs::path FData;
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
