// A mail exported as a message file: named after its subject under the one
// safe-name rule, never over an existing file, and read back by an import
// as the same mail.
#include "Business/AccountMail/MailEmlExport.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <glib.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class MailEmlExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path() / "data");
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sales@example.com");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
        fs::create_directories(FOut);
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
    // A mail of the inbox made from a message file.
    TRcResPath* Received(const std::string& aSubject)
    {
        const fs::path file = FScratch.Path() / (NewGuidId() + ".eml");
        WriteWholeFile(file, "From: Li Lei <li@example.com>\r\nTo: sales@example.com\r\nSubject: " + aSubject +
                                 "\r\nDate: Tue, 01 Dec 2026 10:00:00 +0000\r\nMessage-ID: <" + NewGuidId() +
                                 "@test>\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                                 "<p>报价见附件 &amp; 谢谢</p>\r\n");
        TRcResPath* path = Mails()->ImportMailFromFile(Folder(aftInBox), file);
        EXPECT_NE(path, nullptr);
        return path;
    }
    static std::size_t FileCount(const fs::path& aFolder)
    {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(aFolder))
            ++n;
        return n;
    }
    static std::string HtmlOf(TRcResPath* aMail)
    {
        TRcMailComplex* complex = Mails()->LoadMailComplex(aMail, false);
        const std::string html = complex ? complex->HtmlBody()->ReadHtmlContent() : std::string();
        if (complex)
            complex->RemoveWorkingFiles();
        return html;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-eml"};
    fs::path FOut = FScratch.Path() / "out";
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
};

TEST_F(MailEmlExportTest, TheSubjectNamesTheFileAndNothingExistingIsReplaced)
{
    WriteWholeFile(FOut / "taken.eml", "mine");
    const fs::path runFolder = TTempFileManager::TempFileManager()->TempFolder();
    const struct {
        const char* Subject;
        const char* Saved;
    } cases[] = {
        {"S", "S.eml"},
        {"S", "S (1).eml"},
        {"a/b:c?", "a_b_c_.eml"},
        {"x*y\"z<w>|v\\u", "x_y_z_w__v_u.eml"},
        {"", "无主题.eml"},
        {" .. ", "无主题 (1).eml"},
        {"..secret", "secret.eml"},
        {"taken", "taken (1).eml"},
    };
    for (const auto& c : cases) {
        TRcResPath* mail = Received(c.Subject);
        const std::size_t working = FileCount(runFolder);
        const fs::path saved = ExportMailAsEml(mail, FOut);
        EXPECT_EQ(saved, FOut / c.Saved) << c.Subject;
        EXPECT_EQ(FileCount(runFolder), working) << "working files left by " << c.Subject;
    }
    EXPECT_EQ(ReadWholeFile(FOut / "taken.eml"), "mine");
    EXPECT_EQ(FileCount(FOut), std::size(cases) + 1);

    std::string longSubject;
    for (int i = 0; i < 100; ++i)
        longSubject += "报";   // 300 bytes
    TRcResPath* mail = Received(longSubject);
    const std::string first = ExportMailAsEml(mail, FOut).filename().string();
    const std::string second = ExportMailAsEml(mail, FOut).filename().string();
    for (const std::string& name : {first, second}) {
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) << name;
        EXPECT_TRUE(name.ends_with(".eml")) << name;
    }
    EXPECT_TRUE(second.ends_with(" (1).eml")) << second;

    EXPECT_THROW(ExportMailAsEml(Folder(aftInBox)->Append(TRcResId::CreateAndAutoRelease(rtAccountMail, NewGuidId())),
                                 FOut),
                 Exception);
    const std::size_t before = FileCount(FOut);
    EXPECT_THROW(ExportMailAsEml(Received("S"), FOut / "missing"), Exception);
    EXPECT_EQ(FileCount(FOut), before);
}

TEST_F(MailEmlExportTest, AnExportedMailImportsAsTheSameMail)
{
    TRcResPath* mail = Received("=?utf-8?B?5a2j5bqm5oql5Lu3IFEz?=");   // "季度报价 Q3"
    const fs::path saved = ExportMailAsEml(mail, FOut);
    EXPECT_EQ(saved.filename().string(), "季度报价 Q3.eml");

    TRcResPath* imported = Mails()->ImportMailFromFile(Folder(aftDraft), saved);
    ASSERT_NE(imported, nullptr);
    TRcMail* original = Mails()->GetMail(mail);
    TRcMail* copy = Mails()->GetMail(imported);
    ASSERT_TRUE(original && copy);
    EXPECT_EQ(copy->FSubject, "季度报价 Q3");
    EXPECT_EQ(copy->FFrom, original->FFrom);
    EXPECT_NE(copy->FFrom.find("li@example.com"), std::string::npos) << copy->FFrom;
    EXPECT_EQ(HtmlOf(imported), HtmlOf(mail));
    EXPECT_NE(HtmlOf(imported).find("<p>报价见附件 &amp; 谢谢</p>"), std::string::npos) << HtmlOf(imported);
}

} // namespace
