// A promotion sent through the scheduler's send job to aiosmtpd.
#include "Business/Account/AccountFolder.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Marketing/PromotionMailing.h"
#include "Business/Server/ServerDriver.h"
#include "Business/Server/TransportSteps.h"
#include "Business/Server/Mail/ReceiveEvents.h"
#include "PromotionCatalogue.h"
#include "Support/MailServersEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

using namespace std::chrono_literals;

namespace {

std::size_t CountNoCase(std::string aText, std::string aWhat)
{
    auto lower = [](std::string& s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    };
    lower(aText);
    lower(aWhat);
    std::size_t count = 0;
    for (std::size_t at = aText.find(aWhat); at != std::string::npos; at = aText.find(aWhat, at + 1))
        ++count;
    return count;
}

class PromotionSendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TMailServersEnvironment::Smtp().AddUser("sales", "smtp pw"); }
    void SetUp() override
    {
        TMailServersEnvironment::Smtp().SetScript("{}");
        TServerDriver::BuildInstance();
        Driver()->Scheduler()->SetTranslationServiceOn([] { return false; });
        const auto tuning = [](TTransportSettings& aSettings) {
            aSettings.ConnectTimeout = 2s;
            aSettings.IdleTimeout = 2s;
            aSettings.CaFile = TMailServersEnvironment::Smtp().Certificate().CertFile;
        };
        Driver()->Scheduler()->Transports().Set(tsSmtpSend, SmtpSendRunableFactory(tuning, 5s));
        Driver()->RegisterObserver(FEvents.Get());
        Driver()->Init();
        TRcAccount* account = FCatalogue.Account();
        account->SetSmtpHost("127.0.0.1");
        account->SetSmtpPort(TMailServersEnvironment::Smtp().PlainPort());
        account->SetSmtpUsePop3(false);
        account->SetSmtpUser("sales");
        account->SetSmtpPassword("smtp pw");
        account->SetAutoReveiveSend(false);
        TAccountManager::AccountManager()->SaveAccount(account);
    }
    void TearDown() override
    {
        Driver()->UnInit();
        Driver()->UnRegisterObserver(FEvents.Get());
        TServerDriver::ReleaseInstance();
    }
    static TServerDriver* Driver() { return TServerDriver::ServerDriver(); }
    TRcResPath* Folder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(FCatalogue.AccountPath(), aType);
    }
    int Count(TAccountFolderType aType)
    {
        TRcResIdList* ids = TAccountMailManager::AccountMailManager()->GetMails(Folder(aType));
        return ids ? ids->Count() : 0;
    }
    TRcResPath* Promotion()
    {
        TRcProduct* boots = FCatalogue.SaveProduct("Boots", "B-1", 40, "Dry feet", {PngBytes("b1"), PngBytes("b2")});
        TRcProduct* lamp = FCatalogue.SaveProduct("Lamp", "L-3", 9.5, "", {PngBytes("l1")});
        return FCatalogue.SaveTemplate(FCatalogue.NewTemplate("  Spring sale  ", "Everything must go"),
                                       {{boots, {0, 1}}, {lamp, {0}}});
    }

    TPromotionCatalogue FCatalogue{"qm-promote-send"};
    TRcRef<TReceiveEvents> FEvents = MakeRc<TReceiveEvents>();
};

TEST_F(PromotionSendTest, TwentyContactsGetAMailEachWithThePicturesInline)
{
    TPromotionMailing mailing(Promotion());
    EXPECT_EQ(mailing.ShownName(), "  Spring sale  ");
    std::set<std::string> addresses;
    for (int i = 0; i < 20; ++i) {
        const std::string address = "customer" + std::to_string(i) + "@example.com";
        addresses.insert(address);
        EXPECT_EQ(mailing.AddRecipient("Customer " + std::to_string(i), address), TPromotionMailing::TAdded::kAdded);
    }
    EXPECT_EQ(mailing.AddRecipient("Again", "CUSTOMER3@example.com"), TPromotionMailing::TAdded::kPresent);
    ASSERT_EQ(mailing.Check().Kind, TPromotionCheck::kOk);

    const std::size_t before = TMailServersEnvironment::Smtp().Messages().size();
    TRcResPathList* queued = mailing.Send();
    ASSERT_EQ(queued->Count(), 20);
    EXPECT_EQ(Count(aftDraft), 0);   // the collected draft went with the split
    ASSERT_TRUE(FEvents->WaitForTaskEnds(1)) << "the send job did not end";

    const auto messages = TMailServersEnvironment::Smtp().WaitForMessages(before + 20);
    ASSERT_EQ(messages.size(), before + 20);
    std::set<std::string> reached;
    for (std::size_t i = before; i < messages.size(); ++i) {
        const auto& sent = messages[i];
        ASSERT_EQ(sent.To.size(), 1u);
        reached.insert(sent.To[0]);
        EXPECT_NE(sent.Data.find("Subject: Spring sale\r\n"), std::string::npos);
        EXPECT_EQ(CountNoCase(sent.Data, "\r\nContent-Id: <"), 3u) << "three pictures, each an inline part";
        EXPECT_EQ(CountNoCase(sent.Data, "multipart/related"), 1u);
        EXPECT_EQ(sent.Data.find("x-qmc-promot"), std::string::npos);
    }
    EXPECT_EQ(reached, addresses);
    EXPECT_EQ(Count(aftOutBox), 20);
}

TEST_F(PromotionSendTest, ChecksStopTheSendingInOrder)
{
    TPromotionMailing nobody(Promotion());
    const TPromotionCheck none = nobody.Check();
    EXPECT_EQ(none.Kind, TPromotionCheck::kRefused);
    EXPECT_EQ(none.Key, "SendMailNoMailAddress");
    EXPECT_ANY_THROW(nobody.Send());

    TPromotionMailing typed(FCatalogue.Folder()->Append(
        TRcResId::CreateAndAutoRelease(rtPromoteTemplate, "0123456789ABCDEF0123456789ABCDEF")));
    EXPECT_EQ(typed.ShownName(), TPromotionMailing::kEmptyTemplate);
    EXPECT_EQ(typed.AddTypedRecipient("not an address"), TPromotionMailing::TAdded::kNotAnAddress);
    EXPECT_EQ(typed.AddTypedRecipient(" ann@example.com "), TPromotionMailing::TAdded::kAdded);
    EXPECT_EQ(typed.Recipients().front().Name, "ann");
    typed.AddRecipient("Bob", "bob.example.com");
    const TPromotionCheck bad = typed.Check();
    EXPECT_EQ(bad.Kind, TPromotionCheck::kRefused);
    EXPECT_EQ(bad.Key, "WriteMailEffectiveMailAddress");
    EXPECT_EQ(bad.Text.rfind("bob.example.com", 0), 0u) << bad.Text;
    EXPECT_EQ(Count(aftSending), 0);
    EXPECT_EQ(Count(aftDraft), 0);
}

} // namespace
