// Uploads to the file server and the replacement of big attachments,
// against the fake maker's server (started once for this executable).
#include "Business/Account/AccountForSqlite.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Server/Norvel/BigAttachment.h"
#include "Business/Server/Norvel/FileServerUploader.h"
#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/FakeServerEnvironment.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"
#include "Support/Sha256.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

TFakeMakerServer* Server()
{
    return TFakeServerEnvironment::Server();
}

const std::string kUploadPath = "/fileServer";

// The file server's address as configured: host, port and path, no scheme.
std::string Address()
{
    return "127.0.0.1:" + std::to_string(Server()->Port()) + kUploadPath;
}

// An address where nothing listens.
std::string RefusingAddress()
{
    TFakeMakerServer closed;
    const int port = closed.Start();
    closed.Stop();
    return "127.0.0.1:" + std::to_string(port) + kUploadPath;
}

THttpOptions Fast()
{
    THttpOptions options;
    options.ConnectTimeoutMs = 2000;
    options.IdleTimeoutMs = 2000;
    return options;
}

class FileServerUploaderTest : public ::testing::Test {
protected:
    void SetUp() override { Server()->Reset(); }
    TScratchFolder FScratch{"qm-upload"};
};

TEST(FileServerUrlTest, HttpGoesInFrontOnlyWithoutAScheme)
{
    EXPECT_EQ(FileServerUrl("files.example.com"), "http://files.example.com");
    EXPECT_EQ(FileServerUrl("files.example.com:81/up"), "http://files.example.com:81/up");
    EXPECT_EQ(FileServerUrl("https://files.example.com/up"), "https://files.example.com/up");
    EXPECT_EQ(FileServerUrl("files.example.com/r?u=a://b"), "http://files.example.com/r?u=a://b");
}

TEST_F(FileServerUploaderTest, AFileGoesUpStreamedAndComesBackTheSame)
{
    const fs::path file = FScratch.Path() / "local-working-name.bin";
    constexpr int64_t kSize = 3 * 1024 * 1024 + 17;
    WritePatternFile(file, kSize);
    auto uploader = MakeRc<TRcFileServerUploader>(Fast());
    int64_t lastSent = -1, lastTotal = 0;
    bool monotonic = true;
    const std::string reply = uploader->UploadFile(Address(), IFileServerUploader::kRemoteFolder, file,
                                                   [&](int64_t aSent, int64_t aTotal) {
                                                       monotonic = monotonic && aSent >= lastSent;
                                                       lastSent = aSent;
                                                       lastTotal = aTotal;
                                                   },
                                                   "季度 报告.pdf");
    ASSERT_FALSE(reply.empty()) << uploader->GetLastErrorMessage();
    EXPECT_EQ(uploader->GetLastError(), 0);
    const auto json = nlohmann::json::parse(reply);
    const std::string id = json.at("guId");
    EXPECT_EQ(json.at("fileName"), "季度 报告.pdf");
    EXPECT_EQ(json.at("fileSize"), kSize);
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(lastSent, lastTotal);
    EXPECT_GT(lastTotal, kSize);   // the whole multipart body

    const auto requests = Server()->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Field("folder"), "./dev/");
    ASSERT_TRUE(Server()->StoredFile(id));
    EXPECT_EQ(Server()->StoredFile(id)->filename(), id);   // never the client's name

    auto http = MakeRc<THttpRequest>(Fast());
    const fs::path back = FScratch.Path() / "back.bin";
    const THttpResult got =
        http->GetToFile(BigAttachmentLink("http://" + Address(), id, json.at("fileName")), back);
    ASSERT_TRUE(got.Ok) << got.Error;
    EXPECT_EQ(FileSha256(back), FileSha256(file));
    // An id the server did not make names nothing.
    EXPECT_EQ(http->GetToFile(BigAttachmentLink(Address(), "../../etc/passwd", "x"), back).Status, 404);
}

TEST_F(FileServerUploaderTest, ANameFromAMailStaysOneFilePart)
{
    // Attachment names come from strangers' mails: quotes and line breaks
    // must not end the part header or add fields.
    const fs::path file = FScratch.Path() / "a.bin";
    WritePatternFile(file, 1000);
    auto uploader = MakeRc<TRcFileServerUploader>(Fast());
    const std::string reply =
        uploader->UploadFile(Address(), "./dev/", file, {}, "a\"; name=\"folder\r\nX-Evil: 1\r\n\r\n.pdf");
    ASSERT_FALSE(reply.empty()) << uploader->GetLastErrorMessage();
    const auto requests = Server()->Requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].Parts.size(), 2u);
    EXPECT_EQ(requests[0].Parts[0].Value, "./dev/");
    EXPECT_EQ(requests[0].Parts[1].Name, "file");
    EXPECT_EQ(requests[0].Parts[1].StoredSize, 1000u);
}

TEST_F(FileServerUploaderTest, FailuresGiveNoReplyAndSayWhy)
{
    const fs::path file = FScratch.Path() / "a.bin";
    WritePatternFile(file, 100000);
    struct TCase {
        const char* Name;
        std::string Address;
        std::optional<TScriptedReply> Script;
        int Error;
    } cases[] = {
        {"HTTP 500", Address(), TScriptedReply::WithStatus(500), 500},
        {"connection refused", RefusingAddress(), std::nullopt, CURLE_COULDNT_CONNECT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Script)
            Server()->Script(kUploadPath, {*c.Script});
        auto uploader = MakeRc<TRcFileServerUploader>(Fast());
        EXPECT_EQ(uploader->UploadFile(c.Address, "./dev/", file, {}), "");
        EXPECT_EQ(uploader->GetLastError(), c.Error);
        EXPECT_FALSE(uploader->GetLastErrorMessage().empty());
    }
    auto uploader = MakeRc<TRcFileServerUploader>(Fast());
    EXPECT_EQ(uploader->UploadFile(Address(), "./dev/", FScratch.Path() / "missing.bin", {}), "");
    EXPECT_EQ(uploader->GetLastError(), IFileServerUploader::kFileError);
}

TEST_F(FileServerUploaderTest, CancelFromAnotherThreadEndsARunningUpload)
{
    const fs::path file = FScratch.Path() / "big.bin";
    std::ofstream(file).close();
    fs::resize_file(file, 64ll * 1024 * 1024);   // sparse: quick to make
    auto uploader = MakeRc<TRcFileServerUploader>(Fast());
    std::thread canceller;
    const std::string reply = uploader->UploadFile(Address(), "./dev/", file, [&](int64_t aSent, int64_t) {
        if (aSent > 0 && !canceller.joinable())
            canceller = std::thread([&] { uploader->Cancel(); });
    });
    if (canceller.joinable())
        canceller.join();
    EXPECT_EQ(reply, "");
    EXPECT_EQ(uploader->GetLastError(), IFileServerUploader::kCancelled);
}

// A mail in the sending folder with an HTML body and the given
// attachments (generated files of the given sizes).
class BigAttachmentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Server()->Reset();
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path() / "data");
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sender@example.com");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    void TearDown() override
    {
        FAccount = nullptr;
        FManagers.reset();
    }

    static TAccountMailManager* Mails() { return TAccountMailManager::AccountMailManager(); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(
            TRcResPath::CreateAndAutoRelease({FAccount->ResId()}), aType);
    }
    fs::path MailsFolder() { return TRcAccountForSqlite::PathByResId(FAccount->ResId()) / "Mails"; }

    TRcResPath* Queue(const std::vector<std::pair<std::string, int64_t>>& aAttachments)
    {
        const fs::path eml = FScratch.Path() / "mail.eml";
        std::ofstream(eml, std::ios::binary)
            << "From: sender@example.com\r\nTo: buyer@example.com\r\nSubject: offer\r\nMIME-Version: 1.0\r\n"
               "Content-Type: text/html; charset=utf-8\r\n\r\n<html><body><p>Prices attached.</p></body></html>\r\n";
        TRcResPath* path = Mails()->ImportMailFromFile(Folder(aftSending), eml);
        TRcMailComplex* complex = Mails()->LoadMailComplex(path);
        int n = 0;
        for (const auto& [name, size] : aAttachments) {
            const fs::path file = FScratch.Path() / ("attachment" + std::to_string(++n));
            std::ofstream(file).close();
            fs::resize_file(file, static_cast<uintmax_t>(size));
            auto attachment = MakeRc<TRcMailComplexAttachmentFile>();
            attachment->FFileName = file;
            attachment->FRealFileName = name;
            complex->AttachmentFileList()->Add(attachment.Get());
        }
        complex->BuildRaw();
        TRcMail* mail = Mails()->GetMail(path);
        Mails()->UpdateMailByMailComplex(mail, complex);
        Mails()->SaveMailComplex(path, complex);
        Mails()->SaveMail(Folder(aftSending), mail);
        complex->RemoveWorkingFiles();
        return path;
    }

    // Replaces the big attachments of the stored mail, as sending does.
    bool Replace(TRcResPath* aPath, const std::string& aAddress, std::function<void(IFileServerUploader&)> aDuring = {})
    {
        TRcMailComplex* complex = Mails()->LoadMailComplex(aPath);
        TRcRef<TRcMailComplex> held = TRcRef<TRcMailComplex>::Retain(complex);
        auto uploader = MakeRc<TRcFileServerUploader>(Fast());
        TBigAttachmentNotifier notifier;
        notifier.Subject = [&](const std::string& aText) { FSubjects.push_back(aText); };
        notifier.Progress = [&](int64_t aSent, int64_t) {
            if (aDuring && aSent > 0)
                aDuring(*uploader);
        };
        struct TRemove {
            TRcMailComplex* Complex;
            ~TRemove() { Complex->RemoveWorkingFiles(); }
        } remove{complex};
        return UploadBigAttachment(aPath, Mails()->GetMail(aPath), complex, *uploader, aAddress, notifier);
    }

    // Every file of the account's stored mails with its content, and the
    // mail's row as the manager reads it.
    std::map<std::string, std::string> Stored(TRcResPath* aPath)
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(MailsFolder()))
            files[entry.path().filename().string()] = FileSha256(entry.path());
        TRcMail* mail = Mails()->GetMail(aPath);
        files["row"] = mail->FSubject + "|" + std::to_string(mail->FSize) + "|" +
                       std::to_string(mail->FHasAttachmentFlag) + "|" + std::to_string(mail->FSendReceiveState);
        return files;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-bigatt"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    std::vector<std::string> FSubjects;
};

TEST_F(BigAttachmentTest, BigOnesBecomeTheBoxInReverseOrderAndExactly20MiBStays)
{
    TRcResPath* path = Queue({{"first.pdf", kBigAttachmentSize + 1},
                              {"exact.zip", kBigAttachmentSize},
                              {"small.txt", 10},
                              {"second <&>.mp4", kBigAttachmentSize + 1000}});
    ASSERT_TRUE(Replace(path, Address()));

    TRcMailComplex* stored = Mails()->LoadMailComplex(path);
    TRcRef<TRcMailComplex> held = TRcRef<TRcMailComplex>::Retain(stored);
    ASSERT_EQ(stored->AttachmentFileList()->Count(), 2);
    EXPECT_EQ(stored->AttachmentFileList()->GetItem(0)->FRealFileName, "exact.zip");
    EXPECT_EQ(stored->AttachmentFileList()->GetItem(1)->FRealFileName, "small.txt");
    const std::string html = stored->HtmlBody()->ReadHtmlContent();
    stored->RemoveWorkingFiles();
    const auto requests = Server()->Requests();
    ASSERT_EQ(requests.size(), 2u);
    ASSERT_EQ(requests[0].Parts.size(), 2u);
    EXPECT_EQ(requests[0].Parts[1].FileName, "second <&>.mp4");   // the list walked from its end
    EXPECT_EQ(requests[1].Parts[1].FileName, "first.pdf");
    const std::string second = BigAttachmentListItem(
        BigAttachmentLink(Address(), *requests[0].Parts[1].StoredId, "second <&>.mp4"), "second <&>.mp4",
        kBigAttachmentSize + 1000);
    const std::string first = BigAttachmentListItem(
        BigAttachmentLink(Address(), *requests[1].Parts[1].StoredId, "first.pdf"), "first.pdf", kBigAttachmentSize + 1);
    EXPECT_NE(html.find("<p>Prices attached.</p>" + BigAttachmentBox(second + first) + "</body></html>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("（20.0 MB）"), std::string::npos);
    EXPECT_EQ(FSubjects, (std::vector<std::string>{"正在上传超大附件：second <&>.mp4", "正在上传超大附件：first.pdf"}));
    TRcMail* mail = Mails()->GetMail(path);
    EXPECT_TRUE(mail->FHasAttachmentFlag);
    EXPECT_LT(mail->FSize, 2 * kBigAttachmentSize);   // the raw holds only the 20 MiB one now
}

TEST_F(BigAttachmentTest, AMailWithoutBigAttachmentsIsNotTouched)
{
    TRcResPath* path = Queue({{"exact.zip", kBigAttachmentSize}, {"small.txt", 10}});
    const auto before = Stored(path);
    EXPECT_FALSE(Replace(path, Address()));
    EXPECT_EQ(Stored(path), before);
    EXPECT_TRUE(Server()->Requests().empty());
}

TEST_F(BigAttachmentTest, AFailedUploadLeavesTheMailAsItWas)
{
    // The second upload fails: the first one's success changes nothing.
    TRcResPath* path = Queue({{"a.zip", kBigAttachmentSize + 1}, {"b.zip", kBigAttachmentSize + 1}});
    const auto before = Stored(path);
    struct TCase {
        const char* Name;
        std::vector<TScriptedReply> Script;
        std::string Address;
        std::function<void(IFileServerUploader&)> During;
    } cases[] = {
        {"HTTP 500", {TScriptedReply::WithStatus(500)}, Address(), {}},
        {"second refused", {TScriptedReply(), TScriptedReply::WithStatus(500)}, Address(), {}},
        {"not JSON", {TScriptedReply::Text("<html>busy</html>")}, Address(), {}},
        {"connection refused", {}, RefusingAddress(), {}},
        {"cancel", {}, Address(), [](IFileServerUploader& aUploader) { aUploader.Cancel(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Server()->Reset();
        Server()->Script(kUploadPath, c.Script);
        EXPECT_THROW(Replace(path, c.Address, c.During), std::exception);
        EXPECT_EQ(Stored(path), before);
    }
}

} // namespace
