// Receiving from Dovecot through the scheduler's receive job with an
// account's white list, black list and subject filters in its database:
// exactly the expected mails are stored, and lists that cannot be loaded
// fail the job with the reason instead of receiving without them.
#include "../Server/Mail/ReceiveEvents.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Mime/AddressList.h"
#include "Business/Rules/MailFilter.h"
#include "Business/Rules/NameList.h"
#include "Business/Server/MailRuleChecks.h"
#include "Business/Server/ServerDriver.h"
#include "Business/Server/TransportSteps.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/DateTime.h"
#include "Support/AccountManagers.h"
#include "Support/DovecotEnvironment.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <set>

using namespace std::chrono_literals;

namespace {

std::string Message(const std::string& aSubject, const std::string& aFrom,
                    const std::string& aDate = "Mon, 2 Dec 2024 10:00:00 +0000")
{
    std::string message = "From: ";
    message += aFrom;
    message += "\r\nTo: seller@example.com\r\nSubject: ";
    message += aSubject;
    message += "\r\nDate: ";
    message += aDate;
    message += "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHello.\r\n";
    return message;
}

struct TCase {
    const char* Name;
    std::vector<std::string> Messages;
    std::vector<TAddressItem> White;
    std::vector<TAddressItem> Black;
    std::vector<std::string> Filters;
    bool BreakLists = false;
    std::set<std::string> Expected;   // subjects stored
    bool Fails = false;
};

const std::string kOld = "Mon, 1 Jan 2001 10:00:00 +0000";

const TCase kCases[] = {
    {"sender on none of the lists is received",
     {Message("plain", "buyer@example.com")}, {{"W", "friend@example.com"}}, {{"B", "spam@example.com"}}, {"SPAM"},
     false, {"plain"}},
    {"a black-listed sender is skipped, whatever the letter case",
     {Message("blocked", "Spam@Example.com"), Message("kept", "buyer@example.com")},
     {}, {{"Spammer", " spam@example.com "}}, {}, false, {"kept"}},
    {"a white-listed sender is received outside the date window, spaces and case aside",
     {Message("white and old", "FRIEND@example.com", kOld), Message("just old", "buyer@example.com", kOld)},
     {{"Friend", "  friend@EXAMPLE.com "}}, {}, {}, false, {"white and old"}},
    {"a white- and black-listed sender is received: white is asked first",
     {Message("both", "both@example.com")}, {{"", "both@example.com"}}, {{"", "both@example.com"}}, {}, false,
     {"both"}},
    {"a subject filter is a case-sensitive substring",
     {Message("cheap offer", "a@example.com"), Message("CHEAP OFFER", "b@example.com"),
      Message("便宜的报价", "c@example.com")},
     {}, {}, {"cheap", "便宜"}, false, {"CHEAP OFFER"}},
    {"a white-listed sender passes the subject filter",
     {Message("cheap but wanted", "friend@example.com")}, {{"", "friend@example.com"}}, {}, {"cheap"}, false,
     {"cheap but wanted"}},
    {"an empty keyword never matches",
     {Message("anything", "a@example.com")}, {}, {}, {""}, false, {"anything"}},
    {"lists that fail to load fail the job and nothing is received",
     {Message("anything", "a@example.com"), Message("old", "friend@example.com", kOld)},
     {{"", "friend@example.com"}}, {}, {}, true, {}, true},
};

class RulesReceiveTest : public ::testing::TestWithParam<TCase> {
protected:
    void SetUp() override
    {
        static int users = 0;
        FUser = "rules" + std::to_string(++users);
        FPassword = "pw " + std::to_string(users);
        TDovecotEnvironment::Dovecot().AddUser(FUser, FPassword);
        FManagers = std::make_unique<TAccountManagers>(FScratch.Path());
        TNameListManager::BuildInstance();
        TMailFilterManager::BuildInstance();
        SetMailRuleChecks(RuleManagerChecks());
        TServerDriver::BuildInstance();
        Driver()->Scheduler()->SetTranslationServiceOn([] { return false; });
        Driver()->Scheduler()->Transports().Set(tsPop3Receive, Pop3ReceiveRunableFactory([](TTransportSettings& s) {
            s.ConnectTimeout = 1s;
            s.IdleTimeout = 1s;
        }));
        Driver()->RegisterObserver(FEvents.Get());
        Driver()->Init();
    }
    void TearDown() override
    {
        Driver()->UnInit();
        Driver()->UnRegisterObserver(FEvents.Get());
        TServerDriver::ReleaseInstance();
        TMailFilterManager::ReleaseInstance();
        TNameListManager::ReleaseInstance();
        FAccount = nullptr;
        FManagers.reset();
    }
    static TServerDriver* Driver() { return TServerDriver::ServerDriver(); }

    TRcResPath* Account()
    {
        if (!FAccount) {
            FAccount = TAccountManager::AccountManager()->CreateNewAccount();
            FAccount->SetEmail(FUser + "@example.com");
            FAccount->SetPop3Host("127.0.0.1");
            FAccount->SetPop3UseSsl(false);
            FAccount->SetAutoReveiveSend(false);
            FAccount->SetAutoReveiveEarliestDate(0);
            FAccount->SetPop3Port(TDovecotEnvironment::Dovecot().PlainPort());
            FAccount->SetPop3User(FUser);
            FAccount->SetPop3Password(FPassword);
            TAccountManager::AccountManager()->SaveAccount(FAccount.Get());
        }
        return TRcResPath::CreateAndAutoRelease({FAccount->ResId()});
    }

    std::set<std::string> StoredSubjects()
    {
        TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
        TRcResPath* inbox =
            TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aftInBox);
        std::set<std::string> subjects;
        for (TRcResId* id : *mails->GetAllMails(Account()))
            if (TRcMail* mail = mails->GetMail(inbox->Append(id)))
                subjects.insert(mail->FSubject);
        return subjects;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-rules"};
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TReceiveEvents> FEvents = MakeRc<TReceiveEvents>();
    std::string FUser;
    std::string FPassword;
};

TEST_P(RulesReceiveTest, StoresExactlyTheExpectedMails)
{
    const TCase& c = GetParam();
    SCOPED_TRACE(c.Name);
    for (const std::string& message : c.Messages)
        TDovecotEnvironment::Dovecot().Deliver(FUser, message);
    TRcResPath* account = Account();
    TNameListManager* lists = TNameListManager::NameListManager();
    for (const TAddressItem& item : c.White)
        lists->InsertWhiteNameList(account, item);
    for (const TAddressItem& item : c.Black)
        lists->InsertBlackNameList(account, item);
    for (const std::string& keyword : c.Filters)
        TMailFilterManager::MailFilterManager()->SaveMailFilter(account, TMailFilterManager::MailFilterManager()->CreateMailFilter(keyword));
    if (c.BreakLists) {
        auto* record = dynamic_cast<TRcAccountForSqlite*>(TAccountManager::AccountManager()->GetAccount(account));
        ASSERT_NE(record, nullptr);
        record->GetDb()->ExecSQL("drop table [NameList]");
    }

    Driver()->PriorityReceivePop3AndNoTranslate(account, EncodeDateTime({2020, 1, 1}), EncodeDateTime({2030, 12, 31}));
    ASSERT_TRUE(FEvents->WaitForTaskEnds(1)) << "the receive job did not end";

    EXPECT_EQ(StoredSubjects(), c.Expected);
    const auto errors = FEvents->Texts("error");
    if (c.Fails) {
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find("NameList"), std::string::npos) << errors[0];
        // Nothing is answered for an account whose lists did not load.
        EXPECT_FALSE(lists->IsLoadedFor(account));
        EXPECT_FALSE(lists->CheckWhitekName("friend@example.com"));
    } else {
        EXPECT_TRUE(errors.empty()) << errors.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RulesReceiveTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TCase>& aInfo) {
                             return "Case" + std::to_string(aInfo.index);
                         });

} // namespace
