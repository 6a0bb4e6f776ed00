// Contact cards: every field kept, duplicates refused with their own
// status, listings of the pseudo-groups, search, deletes and moves with
// their notifications, batching, and the suggestions of the address boxes.
#include "ContactsFixture.h"

#include "Business/Account/AccountForSqlite.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/MailContact.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/Errors.h"

namespace {

#define QM_CARD_TEXT_FIELDS(X)                                                                                  \
    X(FHeadIcon) X(FFirstName) X(FLastName) X(FDepartment) X(FCompany) X(FOffice) X(FNickName) X(FEmail)          \
        X(FCompanyWeb) X(FCompanyTel) X(FPrivateTel) X(FFax) X(FCompanyAddr) X(FZipCode) X(FCountriesRegions)    \
            X(FLanguages) X(FCustomerLevel) X(FProductCategory) X(FQQ) X(FBirthday) X(FRelation) X(FMemo)

class AddressBookTest : public ContactsFixture {
protected:
    TSQLiteDatabase& Db() { return *dynamic_cast<TRcAccountForSqlite*>(FAccount.Get())->GetDb(); }
    std::vector<std::string> Suggested(const std::string& aTyped, int aMax = 20)
    {
        auto list = MakeRc<TRcMailContactList>();
        Book()->GetMailContactSuggestions(Account(), aTyped, aMax, list.Get());
        std::vector<std::string> texts;
        for (TRcMailContact* contact : *list)
            texts.push_back(contact->Name + " <" + contact->Mail + ">");
        return texts;
    }
};

TEST_F(AddressBookTest, EveryFieldMakesTheRoundTrip)
{
    TRcResPath* group = SavedGroup("Buyers");
    TRcAddressBook* card = Book()->CreateAddressBook();
    int n = 0;
#define QM_FILL(F) card->F = std::string(#F) + " 值'\"" + std::to_string(++n);
    QM_CARD_TEXT_FIELDS(QM_FILL)
    card->FCreateTime = 45000.25;
    card->FModifiedTime = 45001.5;
    const TAddressBookSaved saved = Book()->SaveAddressBook(group, card);
    ASSERT_EQ(saved.Status, TAddressBookSaveStatus::Added);
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"changed folder", "changed " + group->Last()->Id()}));

    const auto expectSame = [&](TRcAddressBook* aLoaded) {
        ASSERT_NE(aLoaded, nullptr);
#define QM_SAME(F) EXPECT_EQ(aLoaded->F, card->F) << #F;
        QM_CARD_TEXT_FIELDS(QM_SAME)
        EXPECT_EQ(aLoaded->FGroupId, group->Last()->Id());
        EXPECT_EQ(aLoaded->FCreateTime, card->FCreateTime);
        EXPECT_EQ(aLoaded->FModifiedTime, card->FModifiedTime);
        EXPECT_EQ(aLoaded->ToString(), card->FFirstName + card->FLastName);
    };
    expectSame(Book()->GetAddressBook(saved.ResPath));

    // Every field written over in place: a change of that card only.
#define QM_CHANGE(F) card->F += " 改";
    QM_CARD_TEXT_FIELDS(QM_CHANGE)
    card->FModifiedTime = 45002;
    const TAddressBookSaved again = Book()->SaveAddressBook(group, card);
    EXPECT_EQ(again.Status, TAddressBookSaveStatus::Updated);
    EXPECT_EQ(FRecorder->Take(),
              std::vector<std::string>{"content " + group->Last()->Id() + "/" + card->ResId()->Id()});
    expectSame(Book()->GetAddressBook(Account(), card->ResId()));
    // NameCard is never written.
    EXPECT_EQ(Db().GetTableValue("select count(0) from [AddresBook] where [NameCard] is null"), 1);
}

TEST_F(AddressBookTest, SavingTellsWhatChangedAndRefusesADuplicateAddress)
{
    TRcResPath* buyers = SavedGroup("Buyers", 1);
    TRcResPath* agents = SavedGroup("Agents", 2);
    FRecorder->Take();
    const std::string b = buyers->Last()->Id();
    const std::string a = agents->Last()->Id();

    TRcResPath* path = SavedCard(buyers, "Wang", "wang@example.cn");
    EXPECT_EQ(FRecorder->Take(), std::vector<std::string>{"changed " + b});
    TRcAddressBook* card = Book()->GetAddressBook(path);
    card->FMemo = "met at the fair";
    EXPECT_EQ(Book()->SaveAddressBook(buyers, card).Status, TAddressBookSaveStatus::Updated);
    EXPECT_EQ(FRecorder->Take(), std::vector<std::string>{"content " + b + "/" + card->ResId()->Id()});
    const TAddressBookSaved moved = Book()->SaveAddressBook(agents, card);
    EXPECT_EQ(moved.Status, TAddressBookSaveStatus::Updated);
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"changed " + b, "changed " + a}));
    EXPECT_EQ(card->FGroupId, a);
    EXPECT_TRUE(moved.ResPath->Equals(agents->Append(card->ResId())));

    // Another new card with that address: refused, nothing written, nobody
    // told. The comparison is exact, so another letter case is a new card.
    TRcAddressBook* twin = Book()->CreateAddressBook();
    twin->FFirstName = "Wang again";
    twin->FEmail = "wang@example.cn";
    const TAddressBookSaved refused = Book()->SaveAddressBook(buyers, twin);
    EXPECT_EQ(refused.Status, TAddressBookSaveStatus::DuplicateEmail);
    EXPECT_EQ(refused.ResPath, nullptr);
    EXPECT_TRUE(FRecorder->Take().empty());
    EXPECT_EQ(Book()->GetAddressBookCount(Account(), std::string("wang@example.cn")), 1);
    SavedCard(buyers, "Wang upper", "Wang@example.cn");
    EXPECT_EQ(Emails(Book()->GetAddressBooksByEmail(Account(), "  Wang@example.cn ")),
              std::vector<std::string>{"Wang@example.cn"});

    // Saving under "all contacts" files the card as ungrouped.
    TRcResPath* all = Group(contacts::kAllContactsGroupId);
    SavedCard(all, "Loose", "loose@example.com");
    EXPECT_EQ(Emails(Book()->GetGroupisNullAddressBooks(Account())), std::vector<std::string>{"loose@example.com"});

    // Paths of another shape do nothing.
    EXPECT_EQ(Book()->SaveAddressBook(Folder(), Book()->CreateAddressBook()).Status,
              TAddressBookSaveStatus::NotSaved);
}

TEST_F(AddressBookTest, ListingsOfGroupsAndPseudoGroups)
{
    TRcResPath* buyers = SavedGroup("Buyers");
    SavedCard(buyers, "B1", "b1@example.com", "", 10);
    SavedCard(NoGroup(), "U1", "u1@example.com", "", 11);
    SavedCard(buyers, "B2", "b2@example.com", "", 12);
    // A card of an older version without a group.
    Db().ExecSQL("insert into [AddresBook]([Id], [GroupId], [Email], [CreateTime]) values "
                 "('0123456789ABCDEF0123456789ABCDEF', NULL, 'null@example.com', 13)");

    auto operation = MakeRc<TRcContactsListOpertionImpl>(contacts::kAllContactsGroupId, contacts::kNoGroupId);
    TResourceManager* resources = TResourceManager::ResourceManager();
    const auto listed = [&](TRcResPath* aGroup, IListOpertion* aOperation) {
        std::vector<std::string> emails;
        auto visitor = resources->List(aGroup, rtAccountAddressBook, aOperation);
        for (int i = 0; visitor && visitor->MoveTo(i); ++i)
            emails.push_back(Book()->GetAddressBook(Account(), visitor->Current())->FEmail);
        return emails;
    };
    const std::vector<std::string> all = {"b1@example.com", "u1@example.com", "b2@example.com", "null@example.com"};
    const std::vector<std::string> loose = {"u1@example.com", "null@example.com"};
    EXPECT_EQ(listed(Group(contacts::kAllContactsGroupId), operation.Get()), all);
    EXPECT_EQ(listed(NoGroup(), operation.Get()), loose);
    EXPECT_EQ(listed(buyers, operation.Get()), (std::vector<std::string>{"b1@example.com", "b2@example.com"}));
    // Without the operation a group path lists that group's own cards.
    EXPECT_EQ(listed(Group(contacts::kAllContactsGroupId), nullptr), std::vector<std::string>{});
    EXPECT_EQ(listed(NoGroup(), nullptr), std::vector<std::string>{"u1@example.com"});

    auto plain = MakeRc<TContactOpertion>();
    plain->FAllResId = contacts::kAllContactsGroupId;
    plain->FNoGroupResId = contacts::kNoGroupId;
    EXPECT_EQ(Book()->GetAddressBookCount(Group(contacts::kAllContactsGroupId), plain.Get()), 4);
    EXPECT_EQ(Book()->GetAddressBookCount(NoGroup(), plain.Get()), 2);
    EXPECT_EQ(Book()->GetAddressBookCount(buyers, plain.Get()), 2);
    EXPECT_EQ(Book()->GetAllAddressBookCount(Account()), 4);
    EXPECT_EQ(Book()->GetGroupisNullAddressBookCount(Account()), 2);
    EXPECT_EQ(Emails(Book()->GetAllAddressBooks(Account())), all);

    // A contact list for the editor: last name then first name.
    auto contactsList = MakeRc<TRcMailContactList>();
    Book()->GetMailContactList(Account(), contactsList.Get());
    ASSERT_EQ(contactsList->Count(), 4);
    EXPECT_EQ(contactsList->First()->Name, "B1");
    EXPECT_EQ(contactsList->Last()->Mail, "null@example.com");
}

TEST_F(AddressBookTest, SearchTakesTheTextLiterally)
{
    SavedCard(NoGroup(), "xABy", "one@example.com", "", 1);
    SavedCard(NoGroup(), "Other", "ab@example.com", "", 2);
    SavedCard(NoGroup(), "Third", "third@example.com", "ab", 3);   // last names are not searched
    SavedCard(NoGroup(), "O'Neil \"Jr\"", "oneil@example.com", "", 4);
    SavedCard(NoGroup(), "100% sure", "sure@example.com", "", 5);
    SavedCard(NoGroup(), "1000 sure", "thousand@example.com", "", 6);

    const auto found = [&](const std::string& aText) { return Emails(Book()->GetAddressBooks(Account(), aText)); };
    EXPECT_EQ(found("ab"), (std::vector<std::string>{"one@example.com", "ab@example.com"}));
    EXPECT_EQ(found("O'Neil \"Jr"), std::vector<std::string>{"oneil@example.com"});
    EXPECT_EQ(found("0%"), std::vector<std::string>{"sure@example.com"});
    EXPECT_EQ(found("_"), std::vector<std::string>{});
    EXPECT_EQ(Emails(Book()->GetAddressBooks(Folder(), std::string("ab"))), std::vector<std::string>{"(nil)"});
}

TEST_F(AddressBookTest, DeletesAndMovesTellEachGroupOnce)
{
    TRcResPath* buyers = SavedGroup("Buyers", 1);
    TRcResPath* agents = SavedGroup("Agents", 2);
    const std::string b = buyers->Last()->Id();
    const std::string a = agents->Last()->Id();
    TRcResPath* b1 = SavedCard(buyers, "B1", "b1@example.com");
    TRcResPath* b2 = SavedCard(buyers, "B2", "b2@example.com");
    TRcResPath* a1 = SavedCard(agents, "A1", "a1@example.com");
    TRcResPath* u1 = SavedCard(NoGroup(), "U1", "u1@example.com");
    FRecorder->Take();

    auto moving = MakeRc<TRcResPathList>();
    for (TRcResPath* path : {b1, a1, b2, u1})
        moving->Add(path);
    Book()->MoveAddressBooks(moving.Get(), NoGroup());
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"changed " + b, "changed " + a, "changed 未分组"}));
    EXPECT_EQ(Book()->GetGroupisNullAddressBookCount(Account()), 4);
    Book()->MoveAddressBooks(moving.Get(), NoGroup());   // u1's path is in the target already
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"changed " + b, "changed " + a, "changed 未分组"}));
    Book()->MoveAddressBook(NoGroup()->Append(u1->Last()), agents);
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"changed 未分组", "changed " + a}));

    // One of them already gone: the others still go, each group told once.
    Book()->DeleteAddressBook(b2);
    EXPECT_EQ(FRecorder->Take(), std::vector<std::string>{"changed " + b});
    Book()->DeleteAddressBook(b2);
    EXPECT_TRUE(FRecorder->Take().empty());
    auto deleting = MakeRc<TRcResPathList>();
    for (TRcResPath* path : {b1, b2, a1, u1})
        deleting->Add(path);
    Book()->DeleteAddressBooks(deleting.Get());
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"changed " + b, "changed " + a, "changed 未分组"}));
    EXPECT_EQ(Book()->GetAllAddressBookCount(Account()), 0);
}

TEST_F(AddressBookTest, ABatchTellsContentFirstThenGroupsEachOnce)
{
    TRcResPath* buyers = SavedGroup("Buyers");
    TRcResPath* card = SavedCard(buyers, "B1", "b1@example.com");
    FRecorder->Take();
    const std::string b = buyers->Last()->Id();

    Book()->BeginUpdate();
    Book()->BeginUpdate();
    SavedCard(NoGroup(), "U1", "u1@example.com");
    TRcAddressBook* loaded = Book()->GetAddressBook(card);
    Book()->SaveAddressBook(buyers, loaded);
    SavedCard(buyers, "B2", "b2@example.com");
    SavedCard(NoGroup(), "U2", "u2@example.com");
    Book()->SaveAddressBook(buyers, loaded);
    Book()->EndUpdate();
    EXPECT_TRUE(FRecorder->Events.empty());
    Book()->EndUpdate();
    EXPECT_EQ(FRecorder->Take(), (std::vector<std::string>{"content " + b + "/" + card->Last()->Id(),
                                                           "changed 未分组", "changed " + b}));
    // And afterwards straight through again.
    Book()->DeleteAddressBook(card);
    EXPECT_EQ(FRecorder->Take(), std::vector<std::string>{"changed " + b});
}

TEST_F(AddressBookTest, SuggestionsArePrefixesOfTheNameOrTheAddress)
{
    int when = 0;
    const auto card = [&](const std::string& aLast, const std::string& aFirst, const std::string& aEmail) {
        SavedCard(NoGroup(), aFirst, aEmail, aLast, ++when);
    };
    card("", "li", "zz1@example.com");            // first name only
    card("", "Li Wei", "zz2@example.com");        // capital L: not for "li"
    card("", "Zhang", "lily@example.com");        // the address
    card("li", "ning", "zz3@example.com");        // last name, then first name
    card("l", "iang", "zz4@example.com");         // a shorter last name, the first name goes on
    card("lin", "", "zz5@example.com");
    card("", "", "LI@example.com");
    card("王", "小明", "wang@example.cn");
    card("\"O'Brien", "", "o'brien@example.com");
    card("", "%x", "percent@example.com");

    EXPECT_EQ(Suggested("li"), (std::vector<std::string>{"li <zz1@example.com>", "Zhang <lily@example.com>",
                                                         "lining <zz3@example.com>", "liang <zz4@example.com>",
                                                         "lin <zz5@example.com>"}));
    EXPECT_EQ(Suggested("lin"), (std::vector<std::string>{"lining <zz3@example.com>", "lin <zz5@example.com>"}));
    EXPECT_EQ(Suggested("Li"), (std::vector<std::string>{"Li Wei <zz2@example.com>"}));
    EXPECT_EQ(Suggested("王小"), (std::vector<std::string>{"王小明 <wang@example.cn>"}));
    EXPECT_EQ(Suggested("王"), (std::vector<std::string>{"王小明 <wang@example.cn>"}));
    EXPECT_EQ(Suggested("\"O'"), (std::vector<std::string>{"\"O'Brien <o'brien@example.com>"}));
    EXPECT_EQ(Suggested("o'"), (std::vector<std::string>{"\"O'Brien <o'brien@example.com>"}));
    EXPECT_EQ(Suggested("%"), (std::vector<std::string>{"%x <percent@example.com>"}));
    EXPECT_EQ(Suggested("l", 2), (std::vector<std::string>{"li <zz1@example.com>", "Zhang <lily@example.com>"}));
    EXPECT_TRUE(Suggested("").empty());
    EXPECT_TRUE(Suggested("q").empty());

    // The matches are ranges of indexes that hold the creation time: found
    // and ordered without reading the table.
    for (const char* sql : {"select [rowid], [CreateTime] from [AddresBook] where [Email] >= 'li' and [Email] < 'lj'",
                            "select [rowid], [CreateTime] from [AddresBook] where [LastName] = 'l' and "
                            "[FirstName] >= 'i' and [FirstName] < 'j'"}) {
        TSQLiteUniTable plan(Db(), std::string("explain query plan ") + sql);
        ASSERT_FALSE(plan.Eof());
        EXPECT_NE(plan.FieldAsString(3).find("USING COVERING INDEX"), std::string::npos) << plan.FieldAsString(3);
    }
}

} // namespace
