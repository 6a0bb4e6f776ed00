// The address book fills itself as mail is saved: the senders of received
// mail and the recipients of mail being sent become ungrouped cards, once
// per exact address, whatever characters the address holds.
#include "ContactsFixture.h"

#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/SqliteDatabase.h"

namespace {

struct TMailCase {
    const char* Name;
    TAccountFolderType Folder;
    TMailSendReceiveState State;
    std::string From;
    std::string To;
    std::vector<std::string> Cards;   // "first name <address>" of the book afterwards, oldest first
};

const std::string kKnown = "Known <known@example.com>";

const TMailCase kMailCases[] = {
    {"a received mail adds its sender", aftInBox, msarsPop3NotTranslate, "\"Zhang San\" <zhang@example.cn>",
     "seller@example.com", {kKnown, "Zhang San <zhang@example.cn>"}},
    {"a translated mail adds its sender; a quote in the local part is just a character", aftInBox,
     msarsPop3FromNorvel, "o'brien@example.com", "seller@example.com", {kKnown, "o'brien <o'brien@example.com>"}},
    {"a double quote inside a quoted local part", aftInBox, msarsPop3NotTranslate,
     "\"Pat \\\"Q\\\"\" <\"p\\\"q\"@example.com>", "seller@example.com",
     {kKnown, "Pat \"Q\" <\"p\\\"q\"@example.com>"}},
    {"a mail being sent adds its To recipients, not its Cc", aftSending, msarsSendToSmtp, "seller@example.com",
     "buyer@example.de, \"Müller GmbH\" <mueller@example.de>",
     {kKnown, "buyer <buyer@example.de>", "Müller GmbH <mueller@example.de>"}},
    {"a mail going to the translation service adds its recipients", aftSending, msarsSendToNorvel,
     "seller@example.com", "=?UTF-8?B?5p2O5Zub?= <lisi@example.cn>", {kKnown, "李四 <lisi@example.cn>"}},
    {"a known address is not added again; another letter case is another address", aftInBox,
     msarsPop3NotTranslate, "known@example.com, Known@Example.com", "seller@example.com",
     {kKnown, "Known <Known@Example.com>"}},
    {"a draft adds nobody", aftDraft, msarsNoneUser, "a@example.com", "b@example.com", {kKnown}},
    {"a sent-off mail adds nobody", aftOutBox, msarsSendOk, "a@example.com", "b@example.com", {kKnown}},
    {"names without addresses and empty groups add nobody", aftSending, msarsSendToSmtp, "seller@example.com",
     "undisclosed-recipients:;, 王先生", {kKnown}},
};

class MailCorrespondentsTest : public ContactsFixture, public ::testing::WithParamInterface<TMailCase> {
protected:
    TRcResPath* MailFolder(TAccountFolderType aType)
    {
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aType);
    }
    TRcResPath* SavedMail(TAccountFolderType aFolder, TMailSendReceiveState aState, const std::string& aFrom,
                          const std::string& aTo)
    {
        auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
        mail->FSubject = "Offer";
        mail->FFrom = aFrom;
        mail->FTo = aTo;
        mail->FSendReceiveState = aState;
        return TAccountMailManager::AccountMailManager()->SaveMail(MailFolder(aFolder), mail.Get());
    }
    std::vector<std::string> Cards()
    {
        std::vector<std::string> cards;
        for (TRcResId* id : *Book()->GetAllAddressBooks(Account())) {
            TRcAddressBook* card = Book()->GetAddressBook(Account(), id);
            cards.push_back(card->FFirstName + " <" + card->FEmail + ">");
        }
        return cards;
    }
};

TEST_P(MailCorrespondentsTest, LandInTheUngroupedCards)
{
    const TMailCase& c = GetParam();
    SCOPED_TRACE(c.Name);
    TRcResPath* buyers = SavedGroup("Buyers");
    SavedCard(buyers, "Known", "known@example.com", "", 1);
    FRecorder->Take();

    ASSERT_NE(SavedMail(c.Folder, c.State, c.From, c.To), nullptr);
    EXPECT_EQ(Cards(), c.Cards);
    // New cards are ungrouped, and the group hears of them once.
    EXPECT_EQ(Book()->GetGroupisNullAddressBookCount(Account()), static_cast<int>(c.Cards.size()) - 1);
    EXPECT_EQ(FRecorder->Take(),
              c.Cards.size() > 1 ? std::vector<std::string>{"changed 未分组"} : std::vector<std::string>{});
    // The same mail saved again adds nobody.
    SavedMail(c.Folder, c.State, c.From, c.To);
    EXPECT_EQ(Cards(), c.Cards);
}

INSTANTIATE_TEST_SUITE_P(Cases, MailCorrespondentsTest, ::testing::ValuesIn(kMailCases),
                         [](const ::testing::TestParamInfo<TMailCase>& aInfo) {
                             return "Case" + std::to_string(aInfo.index);
                         });

// The mail is stored before its correspondents are looked at: a broken
// address book never costs a mail.
TEST_F(ContactsFixture, ABrokenAddressBookNeverFailsStoringAMail)
{
    dynamic_cast<TRcAccountForSqlite*>(FAccount.Get())->GetDb()->ExecSQL("drop table [AddresBook]");
    TRcResPath* inbox = TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(Account(), aftInBox);
    auto mail = TAccountMailManager::AccountMailManager()->CreateMail();
    mail->FFrom = "buyer@example.com";
    mail->FSendReceiveState = msarsPop3NotTranslate;
    TRcResPath* saved = nullptr;
    EXPECT_NO_THROW(saved = TAccountMailManager::AccountMailManager()->SaveMail(inbox, mail.Get()));
    ASSERT_NE(saved, nullptr);
    EXPECT_NE(TAccountMailManager::AccountMailManager()->GetMail(saved), nullptr);
}

} // namespace
