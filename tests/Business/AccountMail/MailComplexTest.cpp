#include "Business/AccountMail/MailComplex.h"
#include "Business/AccountMail/MailRaw.h"
#include "Business/AccountMail/SqliteDbMail.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Mime/ComposeHeaders.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/FileHandle.h"
#include "Runtime/FileSync.h"
#include "Runtime/RcRef.h"
#include "Support/RunFolderTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class MailComplexTest : public RunFolderTest {
protected:
    void SetUp() override
    {
        RunFolderTest::SetUp();
        FDb = CreateAccountDatabase(FData / "acc" / "Account.db");
        FMails = FData / "acc" / "Mails";
    }
    void TearDown() override
    {
        FDb.reset();
        RunFolderTest::TearDown();
    }
    std::set<std::string> StoredFiles() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(FMails))
            names.insert(entry.path().filename().string());
        return names;
    }
    // A received mail, as the parser leaves it in the run folder, split
    // into its parts.
    TRcMailComplex* ReceivedComplex()
    {
        auto raw = MakeRc<TRcMailRaw>();
        TIdMessageBuilderHtmlEx& builder = raw->Builder();
        builder.Html = "<p>报价</p><img src=\"cid:pic1@x\"><img src='CID:pic2@x'>";
        builder.HtmlCharSet = "utf-8";
        builder.HtmlContentTransfer = "base64";
        for (const char* id : {"<pic1@x>", "<pic2@x>"}) {
            TIdMessageBuilderAttachment picture;
            picture.FileName = Write(std::string(id).substr(1, 4) + ".png", std::string("PNG ") + id);
            picture.ContentID = id;
            builder.HtmlFiles.push_back(picture);
        }
        TIdMessageBuilderAttachment report;
        report.FileName = Write("report.pdf", std::string(200000, 'r'));
        report.Name = "年度报告.pdf";
        builder.Attachments.push_back(report);
        TIdMessageBuilderAttachment photo;
        photo.FileName = Write("photo.JPG", std::string(150000, 'j'));
        photo.Name = "photo.JPG";
        photo.SetNeedTranslate(false);
        builder.Attachments.push_back(photo);
        raw->BuilderToMessage();
        SetEncodedHeader(GMIME_OBJECT(raw->Message()), "Subject", "  询价单  ");
        raw->MessageToRawStream();
        const fs::path eml = Write("in.eml", raw->RawBytes());

        TRcMailComplex* complex = TRcMailComplex::CreateAndAutoRelease();
        complex->Raw()->FFileName = eml;
        complex->BuildOther();
        return complex;
    }

    fs::path FMails;
    std::unique_ptr<TSQLiteDatabase> FDb;
};

TEST(MailComplexStorageTest, WhichPartsAreZipped)
{
    struct TCase {
        const char* Name;
        int64_t Size;
        bool Zipped;
    } const cases[] = {
        {"report.pdf", 200000, true}, {"photo.JPG", 200000, true},   // extensions compare case and all
        {"photo.jpg", 200000, false}, {"a.zip", 1 << 20, false},      {"a.7z", 1 << 20, false},
        {"notes.txt", 102399, false}, {"notes.txt", 102400, true},    {"noext", 102400, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TSqliteDbMail::IsArchived(c.Name, c.Size), c.Zipped) << c.Name << " " << c.Size;
}

TEST_F(MailComplexTest, SplittingAReceivedMailAndStoringItRoundTrips)
{
    TRcMailComplex* complex = ReceivedComplex();
    EXPECT_EQ(complex->Subject(), "询价单");
    ASSERT_EQ(complex->HtmlFileList()->Count(), 2);
    ASSERT_EQ(complex->AttachmentFileList()->Count(), 2);
    // The display page points at the working files, not at "cid:".
    const std::string page = complex->NoCidHtmlBody()->ReadHtmlContent();
    EXPECT_EQ(page.find("cid:"), std::string::npos) << page;
    EXPECT_NE(page.find("\"" + complex->HtmlFileList()->GetItem(1)->FFileName.string() + "\""), std::string::npos);

    EXPECT_FALSE(TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *complex));
    // Header, body and pictures copied; the PDF zipped; the .JPG too, as
    // only the lower-case extension counts as already compressed.
    int plain = 0, zipped = 0;
    for (const auto& name : StoredFiles())
        (fs::path(name).extension() == ".mcfz" ? zipped : plain)++;
    EXPECT_EQ(plain, 4);
    EXPECT_EQ(zipped, 2);

    TRcMailComplex* loaded = TSqliteDbMail::LoadMailComplex(*FDb, FMails, "mail-1");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Subject(), "询价单");
    EXPECT_FALSE(loaded->Raw()->FValid);   // the raw message is rebuilt, never stored
    EXPECT_EQ(loaded->Raw()->Size(), -1);
    EXPECT_EQ(loaded->HtmlBody()->ReadHtmlContent(), complex->HtmlBody()->ReadHtmlContent());
    ASSERT_EQ(loaded->HtmlFileList()->Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded->HtmlFileList()->GetItem(i)->FContentId, complex->HtmlFileList()->GetItem(i)->FContentId);
        EXPECT_EQ(Read(loaded->HtmlFileList()->GetItem(i)->FFileName),
                  Read(complex->HtmlFileList()->GetItem(i)->FFileName));
    }
    ASSERT_EQ(loaded->AttachmentFileList()->Count(), 2);
    EXPECT_EQ(loaded->AttachmentFileList()->GetItem(0)->FRealFileName, "年度报告.pdf");
    EXPECT_TRUE(loaded->AttachmentFileList()->GetItem(0)->FNeedTranslate);
    EXPECT_EQ(Read(loaded->AttachmentFileList()->GetItem(0)->FFileName), std::string(200000, 'r'));
    EXPECT_EQ(loaded->AttachmentFileList()->GetItem(1)->FRealFileName, "photo.JPG");
    EXPECT_FALSE(loaded->AttachmentFileList()->GetItem(1)->FNeedTranslate);
    EXPECT_EQ(loaded->AttachmentFileList()->GetItem(1)->Size(), 150000);
    EXPECT_EQ(loaded->NoCidHtmlBody()->ReadHtmlContent().find("cid:"), std::string::npos);

    // And back into one message, with the same parts.
    loaded->BuildRaw();
    ASSERT_TRUE(loaded->Raw()->FValid);
    auto again = MakeRc<TRcMailRaw>();
    again->RawStreamLoadFromFile(loaded->Raw()->FFileName);
    again->RawStreamToMessageAndBuilder();
    EXPECT_EQ(again->Builder().HtmlFiles.size(), 2u);
    ASSERT_EQ(again->Builder().Attachments.size(), 2u);
    EXPECT_EQ(again->GetBuilderAttachmentName(0), "年度报告.pdf");
    EXPECT_FALSE(again->GetBuilderAttachmentNeedTranslate(1));
}

TEST_F(MailComplexTest, SavingAgainReplacesTheStoredFilesAndUnknownIdsLoadNothing)
{
    EXPECT_EQ(TSqliteDbMail::LoadMailComplex(*FDb, FMails, "never-saved"), nullptr);

    TRcMailComplex* complex = ReceivedComplex();
    EXPECT_FALSE(TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *complex));
    const auto first = StoredFiles();
    complex->AttachmentFileList()->Delete(0);
    EXPECT_TRUE(TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *complex));
    const auto second = StoredFiles();
    EXPECT_EQ(second.size(), first.size() - 1);
    for (const auto& name : second)
        EXPECT_EQ(first.count(name), 0u) << "old file kept: " << name;
    EXPECT_EQ(FDb->GetTableValue("select count(0) from [MailComplexFile]"), static_cast<int64_t>(second.size()));
    EXPECT_EQ(TSqliteDbMail::LoadMailComplex(*FDb, FMails, "mail-1")->AttachmentFileList()->Count(), 1);
}

TEST_F(MailComplexTest, TheSweepRemovesFilesNoRowNamesAndNothingWhenRowsCannotBeRead)
{
    TRcMailComplex* complex = ReceivedComplex();
    TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *complex);
    TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-2", *complex);
    const auto live = StoredFiles();
    // mail-2's rows marked deleted but not yet swept; files a crash left.
    FDb->ExecSQL("update [MailComplexFile] set [Deleted] = 1 where [ComplexId] = 'mail-2'");
    FDb->ExecSQL("update [MailComplex] set [Deleted] = 1 where [Id] = 'mail-2'");
    std::ofstream(FMails / "0123456789ABCDEF0123456789ABCDEF.mcfz") << "orphan";
    std::ofstream(FMails / "report.mcfz.ab12CD") << "half-written archive";
    fs::create_directory(FMails / "kept-folder");

    EXPECT_EQ(TSqliteDbMail::SweepMailFiles(*FDb, FMails), 2);
    const auto after = StoredFiles();
    EXPECT_EQ(after.size(), live.size() / 2 + 1);   // mail-1's files and the folder
    EXPECT_EQ(after.count("kept-folder"), 1u);
    ASSERT_NE(TSqliteDbMail::LoadMailComplex(*FDb, FMails, "mail-1"), nullptr);
    EXPECT_EQ(TSqliteDbMail::LoadMailComplex(*FDb, FMails, "mail-1")->AttachmentFileList()->Count(), 2);

    // Rows that cannot be read must never look like "no rows at all".
    std::ofstream(FMails / "orphan.mcf") << "x";
    FDb->ExecSQL("drop table [MailComplexFile]");
    EXPECT_ANY_THROW(TSqliteDbMail::SweepMailFiles(*FDb, FMails));
    EXPECT_EQ(StoredFiles().size(), after.size() + 1);
}

// Files, then their folder, then the rows: after a power loss a row never
// names a file that is not there.
TEST_F(MailComplexTest, StoredFilesAndTheirFolderAreSyncedBeforeTheRowsCommit)
{
    TRcMailComplex* complex = ReceivedComplex();
    TSQLiteDatabase reader(FData / "acc" / "Account.db");   // sees only what is committed
    std::vector<std::string> steps;
    SetSyncObserver([&](TSyncKind aKind, const fs::path& aPath) {
        const bool committed =
            reader.GetTableValue("select count(0) from [MailComplexFile] where [ComplexId] = 'mail-1'") > 0;
        std::string step = aKind == TSyncKind::File ? "file " : "folder ";
        step += aPath.parent_path() == FMails ? "in Mails" : aPath.filename().string();
        steps.push_back(step + (committed ? " after the commit" : ""));
    });
    TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *complex);
    SetSyncObserver(nullptr);
    const std::vector<std::string> expected = {"folder acc",    "file in Mails", "file in Mails", "file in Mails",
                                               "file in Mails", "file in Mails", "file in Mails", "folder Mails"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(reader.GetTableValue("select count(0) from [MailComplexFile] where [ComplexId] = 'mail-1'"), 6);
}

// Copying a stored part out takes as long as the part is large: the
// account's connection is free for the other thread meanwhile.
TEST_F(MailComplexTest, LoadingCopiesTheFilesWithoutHoldingTheConnection)
{
    TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *ReceivedComplex());
    // One stored part becomes a pipe: the loader waits in it until this
    // thread writes the part.
    fs::path part;
    for (const auto& entry : fs::directory_iterator(FMails))
        if (entry.path().extension() == ".mcf")
            part = entry.path();
    ASSERT_FALSE(part.empty());
    const std::string bytes = Read(part);
    fs::remove(part);
    ASSERT_EQ(::mkfifo(part.c_str(), 0600), 0);

    auto loading = std::async(std::launch::async, [&] {
        TRetainCountObjectAutoReleasePool pool;
        TRcMailComplex* loaded = TSqliteDbMail::LoadMailComplex(*FDb, FMails, "mail-1");
        return loaded ? loaded->AttachmentFileList()->Count() : -1;
    });
    TFileHandle writer;
    while (!writer && loading.wait_for(10ms) != std::future_status::ready)
        writer.Reset(::open(part.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(writer) << "the loader never opened the part";

    // The loader is inside the file work now.
    auto query = std::async(std::launch::async, [&] { return FDb->GetTableValue("select count(0) from [Mail]"); });
    EXPECT_EQ(query.wait_for(20s), std::future_status::ready) << "the connection is held during the file work";

    ::fcntl(writer.Get(), F_SETFL, 0);
    ASSERT_EQ(::write(writer.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    writer.Reset();
    EXPECT_EQ(loading.get(), 2);
    query.get();
}

TEST_F(MailComplexTest, StoredNamesNeverLeaveTheRunFolder)
{
    TRcMailComplex* complex = ReceivedComplex();
    complex->AttachmentFileList()->GetItem(0)->FRealFileName = "../../evil.pdf";
    TSqliteDbMail::SaveMailComplex(*FDb, FMails, "mail-1", *complex);
    FDb->ExecSQL("update [MailComplexFile] set [FileName] = '/etc/passwd' where [Type] = 3");
    FDb->ExecSQL("insert into [MailComplexFile]([Id], [ComplexId], [Deleted], [Type], [FileName]) "
                 "values('../../x', 'mail-1', 0, 4, 'x')");

    TRcMailComplex* loaded = TSqliteDbMail::LoadMailComplex(*FDb, FMails, "mail-1");
    ASSERT_NE(loaded, nullptr);
    const fs::path runFolder = TTempFileManager::TempFileManager()->TempFolder();
    EXPECT_EQ(loaded->AttachmentFileList()->Count(), 2);
    for (TRcMailComplexAttachmentFile* file : *loaded->AttachmentFileList())
        EXPECT_EQ(file->FFileName.parent_path(), runFolder);
    EXPECT_EQ(loaded->AttachmentFileList()->GetItem(0)->FFileName.filename().string().find(".."), std::string::npos);
    for (TRcMailComplexHtmlFile* file : *loaded->HtmlFileList())
        EXPECT_EQ(file->FFileName.parent_path(), runFolder);
}

TEST_F(MailComplexTest, AnEditedPageBecomesTheBodyAgainWithItsOwnPicturesOnly)
{
    TRcMailComplex* complex = ReceivedComplex();
    // The user's edit: a line of text, and a quoted mail's local
    // references: a system file, and another mail's part in the run folder.
    const fs::path other = TRcMailComplex::GetTempFileName("other mail.png");
    std::ofstream(other) << "PNG another mail's picture";
    std::string page = complex->NoCidHtmlBody()->ReadHtmlContent();
    page += "<p>谢谢</p><img src=\"file:///etc/hostname\"><img src=\"file://" + other.string() + "\">";
    complex->NoCidHtmlBody()->WriteHtmlContent(page);

    complex->MakeCidHtmlBodyByNoCidHtmlBody(FData / "templates");
    ASSERT_EQ(complex->HtmlFileList()->Count(), 2);
    const std::string body = complex->HtmlBody()->ReadHtmlContent();
    for (TRcMailComplexHtmlFile* file : *complex->HtmlFileList()) {
        const std::string id = file->FContentId.substr(1, file->FContentId.size() - 2);
        EXPECT_EQ(id.rfind("qmc_", 0), 0u) << id;
        EXPECT_NE(body.find("cid:" + id), std::string::npos) << body;
    }
    EXPECT_NE(body.find("谢谢"), std::string::npos);
    EXPECT_NE(body.find("file:///etc/hostname"), std::string::npos);   // left as it was, never attached
    EXPECT_NE(body.find("file://" + other.string()), std::string::npos);
}

TEST_F(MailComplexTest, AReadReceiptIsBuiltFromTheHeaderAlone)
{
    TRcMailComplex* complex = TRcMailComplex::CreateAndAutoRelease();
    complex->BuildEmptyWithRawNoVaild();
    auto header = ParseMessage("From: sales@example.com\r\nTo: buyer@example.com\r\nSubject: read\r\n\r\n");
    complex->SetMessageHeader(header.get());
    complex->FReportMessageId = "<order-7@example.com>";
    complex->BuildRaw();
    ASSERT_TRUE(complex->Raw()->FValid);
    const std::string raw = Read(complex->Raw()->FFileName);
    EXPECT_NE(raw.find("multipart/report"), std::string::npos);
    auto message = ParseMessage(raw);
    ASSERT_TRUE(message);
    GMimeObject* body = g_mime_message_get_mime_part(message.get());
    ASSERT_TRUE(GMIME_IS_MULTIPART(body));
    GMimeObject* report = g_mime_multipart_get_part(GMIME_MULTIPART(body), 1);
    TGString type(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(report)));
    EXPECT_STREQ(type.get(), "message/disposition-notification");
    const std::string text = DecodedContentOf(report);
    EXPECT_NE(text.find("Original-Message-ID:<order-7@example.com>"), std::string::npos) << text;
    EXPECT_NE(text.find("Final-Recipient:rfc822;sales@example.com"), std::string::npos) << text;
}

TEST_F(MailComplexTest, CidReferencesBecomeWorkingPaths)
{
    auto files = MakeRc<TRcMailComplexHtmlFileList>();
    auto picture = MakeRc<TRcMailComplexHtmlFile>();
    picture->FFileName = Write("p.png", "png");
    picture->FContentId = "<A1>";
    picture->FRealFileName = "p.png";
    files->Add(picture.Get());
    auto missing = MakeRc<TRcMailComplexHtmlFile>();
    missing->FFileName = FData / "gone.png";
    missing->FContentId = "<b2>";
    missing->FRealFileName = "gone.png";
    files->Add(missing.Get());
    const std::string quoted = "\"" + (FData / "p.png").string() + "\"";

    struct TCase {
        std::string Html, Expected;
    } const cases[] = {
        {"<img src=\"cid:A1\">", "<img src=" + quoted + ">"},
        {"<img src='CID:a1'>", "<img src=" + quoted + ">"},
        {"<img src=cid:a1>", "<img src=" + quoted + ">"},
        {"<img src=\"cid:A10\">", "<img src=\"cid:A10\">"},   // another id that starts the same
        {"<img src=\"cid:b2\">", "<img src=\"cid:b2\">"},     // no file to point at
    };
    for (const auto& c : cases)
        EXPECT_EQ(TRcMailComplex::MakeNoCidHtmlString(c.Html, files.Get()), c.Expected) << c.Html;
}

} // namespace
