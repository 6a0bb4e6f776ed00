// Read receipts: the address a mail asks one at, and the receipt queued in
// the sending folder as the send job takes it, its page showing every
// value as text.
#include "Business/AccountMail/ReadReceipt.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Mime/AddressList.h"
#include "Business/Mime/MessageIo.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class ReadReceiptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        FAccount = TAccountManager::AccountManager()->CreateNewAccount();
        FAccount->SetEmail("sales@example.com");
        FAccount->SetName("Sales & <Co>");
        TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
    }
    void TearDown() override
    {
        FAccount = nullptr;
        FManagers.reset();
    }

    static TAccountMailManager* Mails() { return TAccountMailManager::AccountMailManager(); }
    TRcResPath* Account() { return TRcResPath::CreateAndAutoRelease({FAccount->ResId()}); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aType);
    }
    int Count(TAccountFolderType aType) { return Mails()->GetMails(Folder(aType))->Count(); }
    static TReadReceiptTexts Texts()
    {
        const TConfigManager* config = TConfigManager::ConfigManager();
        return {config->GetMsg("ReceiptSubject"), config->GetMsg("ReceiptMailTitle"),
                config->GetMsg("ReceiptSorceSubiect"), config->GetMsg("ReceiptMemo")};
    }
    // A complex whose header is aHeaders.
    static TRcMailComplex* WithHeaders(const std::string& aHeaders)
    {
        auto* complex = TRcMailComplex::CreateAndAutoRelease();
        const auto message = ParseMessage(aHeaders + "\r\n");
        complex->SetMessageHeader(message.get());
        return complex;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-receipt"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
};

TEST_F(ReadReceiptTest, TheAddressIsTheFirstOneTheHeaderAsksFor)
{
    const struct {
        const char* Headers;
        const char* Address;
    } cases[] = {
        {"Disposition-Notification-To: \"Li Lei\" <li@example.com>", "li@example.com"},
        {"Disposition-Notification-To: =?utf-8?B?5p2O6Zu3?= <li@example.com>, other@example.com", "li@example.com"},
        {"disposition-notification-to: li@example.com", "li@example.com"},
        {"Subject: no receipt asked", ""},
        {"Disposition-Notification-To: garbage", ""},
        {"Disposition-Notification-To: <>", ""},
        {"Disposition-Notification-To: ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadReceiptAddress(WithHeaders(c.Headers)), c.Address) << c.Headers;
    EXPECT_EQ(ReadReceiptAddress(nullptr), "");
}

TEST_F(ReadReceiptTest, TheReceiptWaitsReadInTheSendingFolderAndItsPageShowsValuesAsText)
{
    const TReadReceiptTexts texts = Texts();
    ASSERT_FALSE(texts.Subject.empty() || texts.MailTitle.empty() || texts.SourceSubject.empty() ||
                 texts.Memo.empty());
    const fs::path runFolder = TTempFileManager::TempFileManager()->TempFolder();
    const auto working = std::distance(fs::directory_iterator(runFolder), fs::directory_iterator());
    const TDateTime readAt = EncodeDateTime({2026, 12, 1, 10, 20, 30, 0});
    const std::string subject = "<script>alert(1)</script>";

    TRcResPath* queued = QueueReadReceipt(Account(), texts, subject, "orig-1@example.com", "li@example.com", readAt);

    ASSERT_NE(queued, nullptr);
    EXPECT_TRUE(queued->ParentPath()->Equals(Folder(aftSending)));
    EXPECT_EQ(Count(aftDraft), 0);
    TRcMail* mail = Mails()->GetMail(queued);
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->FSendReceiveState, msarsSendToSmtp);
    EXPECT_TRUE(mail->FSeenFlag);
    EXPECT_EQ(mail->FTo, "li@example.com");
    EXPECT_EQ(mail->FSubject, texts.Subject + subject);
    EXPECT_GT(mail->FSize, 0);
    EXPECT_FALSE(mail->FMessageId.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(runFolder), fs::directory_iterator()), working)
        << "working files left behind";

    TRcMailComplex* complex = Mails()->LoadMailComplex(queued, false);
    ASSERT_NE(complex, nullptr);
    GMimeObject* header = GMIME_OBJECT(complex->MessageHeader());
    EXPECT_EQ(HeaderText(header, "References"), "<orig-1@example.com>");
    EXPECT_EQ(HeaderText(header, "X-Has-Attach"), "no");
    EXPECT_EQ(HeaderText(header, "From"), HeaderText(header, "Reply-To"));
    const auto from = ParseAddressList(HeaderText(header, "From"));
    EXPECT_EQ(from, (std::vector<TAddressItem>{{"Sales & <Co>", "sales@example.com"}}));
    EXPECT_EQ(complex->HtmlBody()->ReadHtmlContent(),
              "<div>" + texts.MailTitle + "\"Sales &amp; &lt;Co&gt;\" &lt;sales@example.com&gt;</div><div>" +
                  texts.SourceSubject + "&lt;script&gt;alert(1)&lt;/script&gt;</div><div>" + texts.Memo +
                  "2026-12-01 10:20:30</div>");
    complex->RemoveWorkingFiles();
}

TEST_F(ReadReceiptTest, AnAddressThatIsNotOnePlainAddressStoresNothing)
{
    for (const char* address : {"", "garbage", "li@example.com, boss@example.com", "Li <li@example.com>",
                                "li@example.com\r\nBcc: boss@example.com", "li @example.com"}) {
        EXPECT_THROW(QueueReadReceipt(Account(), Texts(), "S", "id@x", address, Now()), Exception) << address;
    }
    EXPECT_EQ(Count(aftDraft), 0);
    EXPECT_EQ(Count(aftSending), 0);
}

} // namespace
