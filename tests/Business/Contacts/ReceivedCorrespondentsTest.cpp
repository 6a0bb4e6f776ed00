// Mail received from a real POP3 server (Dovecot) through the scheduler's
// receive job: each new sender lands once among the ungrouped cards, with
// quotes in the address kept as they are, and a sender the book knows
// stays in his group.
#include "../Server/Mail/ReceiveEvents.h"
#include "ContactsFixture.h"

#include "Business/Server/ServerDriver.h"
#include "Business/Server/TransportSteps.h"
#include "Runtime/DateTime.h"
#include "Support/DovecotEnvironment.h"

#include <algorithm>

using namespace std::chrono_literals;

namespace {

std::string Message(const std::string& aFrom, const std::string& aSubject)
{
    std::string message = "From: ";
    message += aFrom;
    message += "\r\nTo: buyer@example.com\r\nSubject: ";
    message += aSubject;
    message += "\r\nDate: Mon, 2 Dec 2024 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
               "Content-Type: text/plain; charset=utf-8\r\n\r\nHello.\r\n";
    return message;
}

TEST_F(ContactsFixture, ReceivedSendersLandInTheUngroupedCards)
{
    TDovecotEnvironment::Dovecot().AddUser("contacts", "pw contacts");
    for (const auto& [from, subject] : std::vector<std::pair<std::string, std::string>>{
             {"\"O'Brien, Pat\" <o'brien@example.com>", "one"},
             {"\"p\\\"q\"@example.com", "two"},
             {"Known Buyer <known@example.com>", "three"},
             {"o'brien@example.com", "four"},
             {"=?UTF-8?B?5p2O5Zub?= <lisi@example.cn>", "five"}})
        TDovecotEnvironment::Dovecot().Deliver("contacts", Message(from, subject));
    TRcResPath* buyers = SavedGroup("Buyers");
    SavedCard(buyers, "Known", "known@example.com", "", 1);

    FAccount->SetPop3Host("127.0.0.1");
    FAccount->SetPop3UseSsl(false);
    FAccount->SetAutoReveiveSend(false);
    FAccount->SetAutoReveiveEarliestDate(0);
    FAccount->SetPop3Port(TDovecotEnvironment::Dovecot().PlainPort());
    FAccount->SetPop3User("contacts");
    FAccount->SetPop3Password("pw contacts");
    TAccountManager::AccountManager()->SaveAccount(FAccount.Get());

    TServerDriver::BuildInstance();
    TServerDriver* driver = TServerDriver::ServerDriver();
    driver->Scheduler()->SetTranslationServiceOn([] { return false; });
    driver->Scheduler()->Transports().Set(tsPop3Receive, Pop3ReceiveRunableFactory([](TTransportSettings& s) {
        s.ConnectTimeout = 1s;
        s.IdleTimeout = 1s;
    }));
    auto events = MakeRc<TReceiveEvents>();
    driver->RegisterObserver(events.Get());
    driver->Init();
    driver->PriorityReceivePop3AndNoTranslate(Account(), EncodeDateTime({2020, 1, 1}), EncodeDateTime({2030, 12, 31}));
    const bool ended = events->WaitForTaskEnds(1);
    driver->UnInit();
    driver->UnRegisterObserver(events.Get());
    TServerDriver::ReleaseInstance();
    ASSERT_TRUE(ended) << "the receive job did not end";
    EXPECT_TRUE(events->Texts("error").empty());

    std::vector<std::string> cards;
    for (TRcResId* id : *Book()->GetGroupisNullAddressBooks(Account())) {
        TRcAddressBook* card = Book()->GetAddressBook(Account(), id);
        cards.push_back(card->FFirstName + " <" + card->FEmail + ">");
    }
    std::sort(cards.begin(), cards.end());   // one batch: creation times may tie
    // The nameless one is named after his address's user part, as written.
    EXPECT_EQ(cards, (std::vector<std::string>{"\"p\\\"q\" <\"p\\\"q\"@example.com>",
                                               "O'Brien, Pat <o'brien@example.com>", "李四 <lisi@example.cn>"}));
    EXPECT_EQ(Emails(Book()->GetAddressBooks(buyers, nullptr)), std::vector<std::string>{"known@example.com"});
}

} // namespace
