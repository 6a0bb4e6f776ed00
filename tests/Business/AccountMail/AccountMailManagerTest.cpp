#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountForSqlite.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/MailContact.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextConvert.h"
#include "Support/AccountManagers.h"
#include "Support/RunFolderTest.h"
#include "Support/ScratchFolder.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace fs = std::filesystem;

namespace {

class TRecorder : public TRcObject, public IAccountMailObserver {
public:
    void OnContentChanged(TRcResPath* aPath) override { Events.push_back("content " + Name(aPath)); }
    void OnReadedFlagChanged(TRcResPath* aPath) override { Events.push_back("read " + Name(aPath)); }
    void OnChanged(TRcResPath* aPath) override { Events.push_back("folder " + Name(aPath)); }
    void OnNotReadedNewReceiveMailListChanged() override { Events.push_back("new"); }
    void OnReTranslationChanged(TRcResPath* aPath) override { Events.push_back("retranslate " + Name(aPath)); }

    // A folder by its type number, a mail by the text its test gave it.
    std::function<std::string(TRcResPath*)> Name;
    std::vector<std::string> Events;
};

struct TPart {
    std::string FileName;
    std::string Bytes;
};

// A message as a file, with attachments in base64.
std::string MessageText(const std::string& aSubject, const std::string& aFrom, const std::string& aTo,
                        const std::vector<TPart>& aParts = {}, const std::string& aDate = "Tue, 01 Dec 2026 10:00:00 +0000")
{
    std::string text = "From: " + aFrom + "\r\nTo: " + aTo + "\r\nSubject: " + aSubject + "\r\nDate: " + aDate +
                       "\r\nMessage-ID: <" + NewGuidId() + "@test>\r\nMIME-Version: 1.0\r\n";
    text += "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
            "Content-Type: text/html; charset=utf-8\r\n\r\n<p>body</p>\r\n";
    for (const auto& part : aParts) {
        gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(part.Bytes.data()), part.Bytes.size());
        text += "--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" +
                part.FileName + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + encoded + "\r\n";
        g_free(encoded);
    }
    return text + "--b--\r\n";
}

class AccountMailManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-mailmgr");
        FData = FScratch->Path();
        FManagers = std::make_unique<TAccountManagers>(FData);
        FAccount = SavedAccount("sales@example.com");
        FRecorder = MakeRc<TRecorder>();
        FRecorder->Name = [this](TRcResPath* aPath) { return NameOf(aPath); };
        Manager()->RegisterObserver(FRecorder.Get());
    }
    void TearDown() override
    {
        Manager()->UnregisterObserver(FRecorder.Get());
        FAccount = nullptr;
        FManagers.reset();
        FScratch.reset();
    }

    static TAccountMailManager* Manager() { return TAccountMailManager::AccountMailManager(); }
    static TRcRef<TRcAccount> SavedAccount(const std::string& aEmail)
    {
        auto account = TAccountManager::AccountManager()->CreateNewAccount();
        account->SetEmail(aEmail);
        TAccountManager::AccountManager()->SaveAccount(account.Get());
        return account;
    }
    TRcResPath* Folder(TAccountFolderType aType, TRcAccount* aAccount = nullptr)
    {
        TRcResPath* account = TRcResPath::CreateAndAutoRelease({(aAccount ? aAccount : FAccount.Get())->ResId()});
        return TAccountFolderManager::AccountFolderManager()->GetStandardFolderResPath(account, aType);
    }
    TSQLiteDatabase& Db()
    {
        return *dynamic_cast<TRcAccountForSqlite*>(FAccount.Get())->GetDb();
    }
    fs::path MailsFolder() { return TRcAccountForSqlite::PathByResId(FAccount->ResId()) / "Mails"; }
    // A saved mail with a name for the notifications.
    TRcResPath* Saved(TAccountFolderType aFolder, const std::string& aName, const std::string& aSubject = {},
                      const std::string& aFrom = {}, const std::string& aTo = {}, TDateTime aDate = 0)
    {
        auto mail = Manager()->CreateMail();
        mail->FSubject = aSubject.empty() ? aName : aSubject;
        mail->FFrom = aFrom;
        mail->FTo = aTo;
        mail->FDate = aDate;
        FNames[mail->ResId()->Id()] = aName;
        return Manager()->SaveMail(Folder(aFolder), mail.Get());
    }
    std::string NameOf(TRcResPath* aPath)
    {
        if (aPath->Last()->IsType(rtAccountMail)) {
            const auto it = FNames.find(aPath->Last()->Id());
            return it == FNames.end() ? aPath->Last()->Id() : it->second;
        }
        const auto type = TAccountFolderManager::AccountFolderManager()->GetFolderType(aPath);
        return type ? std::to_string(*FolderCodeOf(*type)) : aPath->ToString();
    }
    std::vector<std::string> Listed(TAccountFolderType aFolder, const TGetMailsOpertion* aOpertion = nullptr)
    {
        std::vector<std::string> names;
        TRcResIdList* ids = Manager()->GetMails(Folder(aFolder), aOpertion);
        for (TRcResId* id : *ids)
            names.push_back(FNames.count(id->Id()) ? FNames[id->Id()] : id->Id());
        return names;
    }
    int64_t StoredCode(TRcResPath* aMailPath)
    {
        return Db().GetTableValue("select [Type] from [Mail] where [id] = ?",
                                  [&](TSQLiteUniTable& t) { t.BindStr(1, aMailPath->Last()->Id()); });
    }
    std::vector<std::string> TakeEvents() { return std::exchange(FRecorder->Events, {}); }
    // A message file split into a complex and stored with a new mail.
    TRcResPath* SavedWithComplex(TAccountFolderType aFolder, const std::string& aName, const std::string& aText)
    {
        const fs::path file = FData / (aName + ".eml");
        WriteWholeFile(file, aText);
        auto* complex = TRcMailComplex::CreateAndAutoRelease();
        complex->Raw()->FFileName = file;
        complex->BuildOther();
        auto mail = Manager()->CreateMail();
        FNames[mail->ResId()->Id()] = aName;
        Manager()->SaveMailComplex(Folder(aFolder)->Append(mail->ResId()), complex);
        Manager()->UpdateMailByMailComplex(mail.Get(), complex);
        return Manager()->SaveMail(Folder(aFolder), mail.Get());
    }
    std::size_t StoredFileCount()
    {
        std::error_code ec;
        std::size_t n = 0;
        for (fs::directory_iterator it(MailsFolder(), ec), end; !ec && it != end; it.increment(ec))
            ++n;
        return n;
    }

    TRetainCountObjectAutoReleasePool FPool;
    fs::path FData;
    std::unique_ptr<TScratchFolder> FScratch;
    std::unique_ptr<TAccountManagers> FManagers;
    TRcRef<TRcAccount> FAccount;
    TRcRef<TRecorder> FRecorder;
    std::map<std::string, std::string> FNames;
};

TEST_F(AccountMailManagerTest, ABatchSendsEachPathOnceInTheFixedOrder)
{
    auto mail = Manager()->CreateMail();
    FNames[mail->ResId()->Id()] = "m";
    TRcResPath* other = Saved(aftInBox, "other");
    TakeEvents();

    Manager()->BeginUpdate();
    Manager()->BeginUpdate();   // nested: only the outermost end sends
    TRcResPath* path = Manager()->SaveMail(Folder(aftInBox), mail.Get());   // new: folder
    Manager()->SaveMail(Folder(aftInBox), mail.Get());                      // again: content
    Manager()->SetMailReadedFlag(path, true);    // hidden by the content change
    Manager()->SetMailReadedFlag(other, true);
    Manager()->SetMailReTranslation(other);
    Manager()->SetMailReTranslation(other);
    Manager()->AddNotReadedFlagNewMail(TRcResPathList::CreateAndAutoRelease());
    auto* fresh = TRcResPathList::CreateAndAutoRelease();
    fresh->Add(other);
    Manager()->AddNotReadedFlagNewMail(fresh);
    Manager()->AddNotReadedFlagNewMail(fresh);   // already there: no change
    Manager()->EndUpdate();
    EXPECT_TRUE(TakeEvents().empty());
    Manager()->EndUpdate();

    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"content m", "read other", "folder 2", "retranslate other", "new"}));
    Manager()->EndUpdate();   // unbalanced: logged, nothing sent
    EXPECT_TRUE(TakeEvents().empty());
    // "other" was read before it was added: the list holds it until it is
    // marked again.
    EXPECT_EQ(Manager()->NotReadedFlagNewMailCount(), 1);
    Manager()->SetMailReadedFlag(other, true);   // the flag it has: nothing at all
    EXPECT_TRUE(TakeEvents().empty());
    Manager()->SetMailReadedFlag(other, false);
    EXPECT_EQ(Manager()->NotReadedFlagNewMailCount(), 0);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"new", "read other"}));
}

TEST_F(AccountMailManagerTest, DeletingGoesToTheTrashThenOutWithItsFiles)
{
    TRcResPath* path = SavedWithComplex(aftInBox, "m", MessageText("hello", "a@x.com", "b@y.com", {{"a.bin", "data"}}));
    const std::size_t files = StoredFileCount();
    ASSERT_GT(files, 0u);
    TakeEvents();

    Manager()->DeleteMail(path);
    EXPECT_EQ(StoredCode(path), 6);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"folder 2", "folder 6"}));
    EXPECT_EQ(StoredFileCount(), files);

    TRcResPath* inTrash = Folder(aftThrashBag)->Append(path->Last());
    Manager()->DeleteMail(inTrash);
    EXPECT_EQ(StoredCode(path), 0);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"folder 6"}));
    EXPECT_EQ(StoredFileCount(), 0u);
    EXPECT_EQ(Manager()->LoadMailComplex(inTrash), nullptr);
    EXPECT_TRUE(Listed(aftThrashBag).empty());

    // Again, and through the stale inbox path: the mail is gone already.
    Manager()->DeleteMail(inTrash);
    Manager()->DeleteMail(path);
    EXPECT_EQ(StoredCode(path), 0);
    EXPECT_TRUE(TakeEvents().empty());

    // A read receipt the receiver drops at once leaves no files behind.
    TRcResPath* receipt = SavedWithComplex(aftReceiving, "r", MessageText("Read: hello", "b@y.com", "a@x.com"));
    ASSERT_GT(StoredFileCount(), 0u);
    TakeEvents();
    Manager()->DirectDeleteMail(receipt);
    EXPECT_EQ(StoredCode(receipt), 0);
    EXPECT_EQ(StoredFileCount(), 0u);
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"folder 1", "folder 6"}));
}

// A stored file that cannot be removed does not undo the delete nor keep
// the lists from hearing of it; the file goes with a later sweep.
TEST_F(AccountMailManagerTest, AFileThatCannotGoDoesNotHideTheDelete)
{
    TRcResPath* path = SavedWithComplex(aftInBox, "m", MessageText("hello", "a@x.com", "b@y.com"));
    Manager()->DeleteMail(path);
    const fs::path stuck = fs::directory_iterator(MailsFolder())->path();
    fs::remove(stuck);
    fs::create_directories(stuck / "busy");   // not removable, even as root
    TakeEvents();

    TRcResPath* inTrash = Folder(aftThrashBag)->Append(path->Last());
    EXPECT_NO_THROW(Manager()->DeleteMail(inTrash));
    EXPECT_EQ(StoredCode(path), 0);
    EXPECT_EQ(TakeEvents(), std::vector<std::string>{"folder 6"});
    EXPECT_GT(Db().GetTableValue("select count(0) from [MailComplexFile] where [Deleted] <> 0"), 0);
}

// Leaving the trash and giving up the stored files is one change: a
// failure between the two must not leave a mail gone whose files no sweep
// may take.
TEST_F(AccountMailManagerTest, DeletingOutOfTheTrashIsOneTransaction)
{
    TRcResPath* path = SavedWithComplex(aftInBox, "m", MessageText("hello", "a@x.com", "b@y.com"));
    Manager()->DeleteMail(path);
    TRcResPath* inTrash = Folder(aftThrashBag)->Append(path->Last());
    Db().ExecSQL("create trigger refuse before update on [MailComplex] begin select raise(abort, 'refused'); end");
    TakeEvents();
    EXPECT_THROW(Manager()->DeleteMail(inTrash), ESQLiteException);
    EXPECT_EQ(StoredCode(path), 6);
    EXPECT_EQ(Db().GetTableValue("select count(0) from [MailComplexFile] where [Deleted] <> 0"), 0);
    EXPECT_TRUE(TakeEvents().empty());

    Db().ExecSQL("drop trigger refuse");
    Manager()->DeleteMail(inTrash);
    EXPECT_EQ(StoredCode(path), 0);
    EXPECT_EQ(StoredFileCount(), 0u);
}

TEST_F(AccountMailManagerTest, MoveMailsIsOneTransaction)
{
    std::vector<TRcResPath*> received;
    auto* paths = TRcResPathList::CreateAndAutoRelease();
    for (const char* name : {"a", "b", "c"}) {
        auto mail = Manager()->CreateMail();
        mail->FSendReceiveState = msarsPop3NotTranslate;
        FNames[mail->ResId()->Id()] = name;
        paths->Add(Manager()->SaveMail(Folder(aftReceiving), mail.Get()));
    }
    TakeEvents();

    // One mail the database refuses: nothing moves, the list is emptied,
    // the error reaches the caller.
    Db().ExecSQL("create trigger refuse before update on [Mail] when new.[id] = '" + paths->Last()->Last()->Id() +
                 "' begin select raise(abort, 'refused'); end");
    auto* moved = TRcResPathList::CreateAndAutoRelease();
    moved->Add(paths->First());
    EXPECT_THROW(Manager()->MoveMails(paths, Folder(aftInBox), moved), ESQLiteException);
    EXPECT_EQ(moved->Count(), 0);
    EXPECT_EQ(Listed(aftInBox), std::vector<std::string>{});
    EXPECT_TRUE(TakeEvents().empty());

    Db().ExecSQL("drop trigger refuse");
    Manager()->MoveMails(paths, Folder(aftInBox), moved);
    ASSERT_EQ(moved->Count(), 3);
    EXPECT_TRUE(moved->First()->Equals(Folder(aftInBox)->Append(paths->First()->Last())));
    EXPECT_EQ(Db().GetTableValue("select count(0) from [Mail] where [Type] = 2 and [SendReciveState] = 0"), 3);
    EXPECT_EQ(TakeEvents(), std::vector<std::string>{"folder 2"});   // the receiving folder is not shown

    // One mail at a time, with its state; never into another account.
    TRcRef<TRcAccount> other = SavedAccount("other@example.com");
    EXPECT_FALSE(Manager()->MoveMail(moved->First(), Folder(aftOutBox, other.Get()), msarsSendOk));
    EXPECT_FALSE(Manager()->MoveMail(moved->First(), Folder(aftAll), msarsSendOk));
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_TRUE(Manager()->MoveMail(moved->First(), Folder(aftOutBox), msarsSendOk));
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"folder 2", "folder 5"}));
    EXPECT_EQ(Manager()->GetMail(Folder(aftOutBox)->Append(paths->First()->Last()))->FSendReceiveState, msarsSendOk);
}

TEST_F(AccountMailManagerTest, FiltersMatchAnyTextWhateverTheCase)
{
    Saved(aftInBox, "german", "Über den Preis", "Jürgen <j@firma.de>", "sales@example.com", 1);
    Saved(aftInBox, "chinese", "关于报价单的问题", "王先生 <wang@example.cn>", "sales@example.com", 2);
    Saved(aftInBox, "french", "Commande Été", "ÉLODIE <e@exemple.fr>", "achat@exemple.fr", 3);
    Saved(aftInBox, "plain", "ABC order", "bob@example.com", "sales@example.com", 4);

    struct TCase {
        const char* Subject;
        const char* From;
        const char* To;
        std::vector<std::string> Expected;   // newest first
    } cases[] = {
        {"", "", "", {"plain", "french", "chinese", "german"}},
        {"abc", "", "", {"plain"}},
        {"ÜBER", "", "", {"german"}},
        {"u\xCC\x88" "ber", "", "", {"german"}},   // decomposed ü
        {"été", "", "", {"french"}},
        {"ＡＢＣ", "", "", {"plain"}},   // full-width letters
        {"报价", "", "", {"chinese"}},
        {"", "élodie", "", {"french"}},
        {"报价", "JÜRGEN", "", {"chinese", "german"}},   // either text is enough
        {"nothing", "", "ACHAT@", {"french"}},
        {"nothing", "nobody", "nowhere", {}},
    };
    for (const auto& c : cases) {
        auto opertion = MakeRc<TGetMailsOpertion>();
        opertion->FSubjectContainText = c.Subject;
        opertion->FFromContainText = c.From;
        opertion->FToContainText = c.To;
        EXPECT_EQ(Listed(aftInBox, opertion.Get()), c.Expected) << c.Subject << "|" << c.From << "|" << c.To;
        EXPECT_EQ(Manager()->GetNotReadedMailCount(Folder(aftInBox), opertion.Get()), int(c.Expected.size()));
    }
    EXPECT_TRUE(TGetMailsOpertion::CheckFilter(nullptr, "", "", ""));
}

TEST_F(AccountMailManagerTest, SortOrdersAndTheResourceManager)
{
    auto save = [&](const char* aName, const char* aSubject, int64_t aSize, bool aSeen, TDateTime aDate) {
        auto mail = Manager()->CreateMail();
        mail->FSubject = aSubject;
        mail->FSize = aSize;
        mail->FSeenFlag = aSeen;
        mail->FDate = aDate;
        FNames[mail->ResId()->Id()] = aName;
        Manager()->SaveMail(Folder(aftInBox), mail.Get());
    };
    save("a", "b", 30, true, 1);
    save("b", "a", 10, false, 2);
    save("c", "a", 20, true, 3);
    Saved(aftOutBox, "elsewhere");

    const std::vector<std::vector<std::string>> expected = {
        {"c", "b", "a"}, {"c", "b", "a"}, {"b", "c", "a"}, {"b", "c", "a"}, {"c", "a", "b"}};
    for (int mode = gmosmDefault; mode <= gmosmNoReadedFlag; ++mode) {
        auto opertion = MakeRc<TGetMailsOpertion>();
        opertion->FSortMode = static_cast<TGetMailsOpertionSortMode>(mode);
        EXPECT_EQ(Listed(aftInBox, opertion.Get()), expected[mode]) << mode;
    }
    // A first screen: the same order, cut short; a filter counts only
    // the mails that pass it.
    for (int mode = gmosmDefault; mode <= gmosmNoReadedFlag; ++mode) {
        auto opertion = MakeRc<TGetMailsOpertion>();
        opertion->FSortMode = static_cast<TGetMailsOpertionSortMode>(mode);
        std::vector<std::string> first;
        for (TRcResId* id : *Manager()->GetFirstMails(Folder(aftInBox), opertion.Get(), 2))
            first.push_back(FNames[id->Id()]);
        EXPECT_EQ(first, std::vector<std::string>(expected[mode].begin(), expected[mode].begin() + 2)) << mode;
    }
    auto onlyA = MakeRc<TGetMailsOpertion>();
    onlyA->FSubjectContainText = "A";
    EXPECT_EQ(Manager()->GetFirstMails(Folder(aftInBox), onlyA.Get(), 10)->Count(), 2);
    EXPECT_EQ(Manager()->GetFirstMails(Folder(aftInBox), nullptr, 0)->Count(), 0);
    EXPECT_EQ(Manager()->GetNotReadedMailCount(Folder(aftInBox)), 1);
    EXPECT_EQ(Manager()->GetAllMails(Folder(aftInBox))->Count(), 4);
    EXPECT_EQ(Manager()->GetMails(Folder(aftAll)), nullptr);
    EXPECT_EQ(Manager()->GetMails(TRcResPath::CreateAndAutoRelease({FAccount->ResId()})), nullptr);

    class TListOpertion : public TRcObject, public IAccountMailListOpertion {
    public:
        explicit TListOpertion(int aMode) : FMode(aMode) {}
        std::string SubjectContainText() const override { return "A"; }
        std::string FromContainText() const override { return ""; }
        std::string ToContainText() const override { return ""; }
        TAccountMailListOpertionSordMode SortMode() const override
        {
            return static_cast<TAccountMailListOpertionSordMode>(FMode);
        }
        int FMode;
    };
    std::vector<std::string> names;
    auto bySize = MakeRc<TListOpertion>(amlosmSize);
    TResourceManager::ResourceManager()->List(
        Folder(aftInBox), rtAccountMail, [&](TRcResId* aId) { names.push_back(FNames[aId->Id()]); }, bySize.Get());
    EXPECT_EQ(names, (std::vector<std::string>{"b", "c"}));
    auto unknown = MakeRc<TListOpertion>(5);
    EXPECT_EQ(TResourceManager::ResourceManager()->List(Folder(aftInBox), rtAccountMail, unknown.Get()), nullptr);
}

TEST_F(AccountMailManagerTest, RelatedMailsAreTheSamePairEitherWay)
{
    TRcResPath* mine = Saved(aftInBox, "mine", "", "Kunde <KUNDE@x.com>", "sales@example.com", 5);
    Saved(aftOutBox, "reply", "", "sales@example.com", "kunde@x.com", 6);
    Saved(aftSending, "queued", "", "sales@example.com", "\"Kunde\" <kunde@X.com>", 7);
    Saved(aftDraft, "draft", "", "sales@example.com", "kunde@x.com", 8);        // drafts are not looked at
    Saved(aftInBox, "group", "", "kunde@x.com", "sales@example.com, b@y.com", 9);
    Saved(aftInBox, "stranger", "", "c@z.com", "sales@example.com", 10);
    TRcResPath* wide = Saved(aftInBox, "wide", "", "kunde@x.com", "sales@example.com, b@y.com", 11);

    std::vector<std::string> names;
    for (TRcResPath* path : *Manager()->GetRelateMailsOfMail(mine))
        names.push_back(NameOf(path));
    EXPECT_EQ(names, (std::vector<std::string>{"mine", "queued", "reply"}));
    EXPECT_EQ(Manager()->GetRelateMailsOfMail(wide)->Count(), 1);

    auto contacts = MakeRc<TRcMailContactList>();
    Manager()->GetMailContactList(Folder(aftInBox), contacts.Get());
    ASSERT_EQ(contacts->Count(), 16);   // newest mail first, From before To, repeats kept
    EXPECT_EQ(contacts->First()->Mail, "kunde@x.com");
    EXPECT_EQ(contacts->GetItem(2)->Mail, "b@y.com");
    EXPECT_EQ(contacts->Last()->Name, "");
    EXPECT_EQ(contacts->Last()->Mail, "sales@example.com");
}

TEST_F(AccountMailManagerTest, UidsAndCachedHeadersAreValuesNotSql)
{
    auto mail = Manager()->CreateMail();
    mail->FUid = "uid\"with quote";
    Manager()->SaveMail(Folder(aftInBox), mail.Get());
    auto second = Manager()->CreateMail();
    second->FUid = "Uid";   // a column's name
    Manager()->SaveMail(Folder(aftInBox), second.Get());

    TRcResPath* account = TRcResPath::CreateAndAutoRelease({FAccount->ResId()});
    EXPECT_TRUE(Manager()->UidExists(account, "uid\"with quote"));
    EXPECT_EQ(Manager()->GetMailForUid(account, "Uid")->ResId()->Id(), second->ResId()->Id());
    EXPECT_FALSE(Manager()->UidExists(account, "uid"));
    // A mail written here has no uid; no empty uid may find it.
    Manager()->SaveMail(Folder(aftSending), Manager()->CreateMail().Get());
    EXPECT_FALSE(Manager()->UidExists(account, ""));
    EXPECT_EQ(Manager()->GetMailForUid(account, ""), nullptr);
    EXPECT_TRUE(Manager()->CheckSourceMail(account, mail->ResId()->Id()));
    EXPECT_FALSE(Manager()->CheckSourceMail(account, "\" or 1=1 or \""));

    Db().ExecSQL("drop table if exists [MailHeader]");   // made on demand
    TAccountMailManager::TMailHeaderRow row{"stale", 1, "x", "y"};
    EXPECT_FALSE(Manager()->CheckMailHeaderByUid(account, row, "a"));   // no table yet
    Manager()->ReplaceMailHeader(account, "a", 2, "a@x.com", "A");      // nothing without the table
    Manager()->CreateMailHeaderTabel(account);
    Manager()->CreateMailHeaderTabel(account);
    Manager()->ReplaceMailHeader(account, "a\"b", 45000.5, "q@x.com", "quoted");
    Manager()->ReplaceMailHeader(account, "uid", 45001, "c@x.com", "column");
    EXPECT_FALSE(Manager()->CheckMailHeaderByUid(account, row, "a"));
    ASSERT_TRUE(Manager()->CheckMailHeaderByUid(account, row, "uid"));
    EXPECT_EQ(row.FromAddress, "c@x.com");
    ASSERT_TRUE(Manager()->CheckMailHeaderByUid(account, row, "a\"b"));
    EXPECT_EQ(row.Subject, "quoted");
    EXPECT_EQ(row.Data, 45000.5);

    // An account without a database answers "none", never raises.
    TRcResPath* bare = TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccount, NewGuidId())});
    EXPECT_FALSE(Manager()->UidExists(bare, "x"));
    EXPECT_EQ(Manager()->GetMailForUid(bare, "x"), nullptr);
    EXPECT_FALSE(Manager()->CheckMailHeaderByUid(bare, row, "x"));
}

TEST_F(AccountMailManagerTest, FinishedSecretaryRepliesGoToTheTranslationBoxAndLinkOnlyTheUsersOwnOutgoingMail)
{
    auto ini = [](const std::string& aFlag, const std::string& aId) {
        return "[Secretary]\r\nmailResId= " + aId + " \r\nLanguage=3\r\nSecretaryFlag=" + aFlag +
               "\r\nSecretaryedType=1\r\nSecretaryMemo=请翻译\r\n";
    };
    auto utf16 = [](const std::string& aText) {
        const std::u16string wide = Utf8ToUtf16(aText);
        std::string bytes = "\xFF\xFE";
        for (char16_t c : wide) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        return bytes;
    };
    auto gb18030 = [](const std::string& aText) {
        gchar* converted = g_convert(aText.data(), aText.size(), "GB18030", "UTF-8", nullptr, nullptr, nullptr);
        std::string bytes(converted);
        g_free(converted);
        return bytes;
    };

    // The second exchange file (flag 3, no id) would move every reply: only
    // the first counts.
    struct TCase {
        const char* Name;
        TAccountFolderType SourceFolder;
        std::function<std::string(const std::string&)> Ini;   // given the source id
        bool Moved;    // the reply went to the translation box
        bool Linked;   // the source went to the out box, linked to it
    } cases[] = {
        {"out box", aftOutBox, [&](const std::string& aId) { return ini("3", aId); }, true, true},
        {"sending, UTF-16", aftSending, [&](const std::string& aId) { return utf16(ini("3", aId)); }, true, true},
        {"out box, GB18030", aftOutBox, [&](const std::string& aId) { return gb18030(ini("3", aId)); }, true, true},
        {"flag 2", aftOutBox, [&](const std::string& aId) { return ini("2", aId); }, false, false},
        {"inbox mail", aftInBox, [&](const std::string& aId) { return ini("3", aId); }, true, false},
        {"unknown id", aftOutBox, [&](const std::string&) { return ini("3", NewGuidId()); }, true, false},
        {"not an id", aftOutBox, [&](const std::string& aId) { return ini("3", aId + "' or '1"); }, true, false},
        {"no id", aftOutBox, [&](const std::string&) { return ini("3", ""); }, true, false},
    };
    for (const auto& c : cases) {
        TRcResPath* source = Saved(c.SourceFolder, "source");
        const std::string text = MessageText(
            "Re: 报价", "secretary@x.com", "sales@example.com",
            {{kSecretaryIniFileName, c.Ini(source->Last()->Id())}, {kSecretaryIniFileName, ini("3", "")}});
        TRcResPath* reply = SavedWithComplex(aftReceiving, "reply", text);
        TRcMail* mail = Manager()->GetMail(reply);
        TRcMailComplex* complex = Manager()->LoadMailComplex(reply);
        ASSERT_NE(complex, nullptr) << c.Name;

        Manager()->SaveSecretaryMailCorresOriginal(Folder(aftReceiving), mail, complex);
        EXPECT_EQ(StoredCode(reply), c.Moved ? 7 : 1) << c.Name;
        TRcMail* after = Manager()->GetMail(Folder(aftOutBox)->Append(source->Last()));
        EXPECT_EQ(StoredCode(source), c.Linked ? 5 : *FolderCodeOf(c.SourceFolder)) << c.Name;
        EXPECT_EQ(after->FNorvelUid, c.Linked ? mail->ResId()->Id() : "") << c.Name;
        EXPECT_EQ(after->FTargetLanguage, c.Linked ? 3 : 0) << c.Name;
        if (c.Linked) {   // the fields the receiver copies from the file
            EXPECT_EQ(mail->FSecretaryFlag, 3) << c.Name;
            EXPECT_EQ(mail->FSecretaryedType, 1) << c.Name;
            EXPECT_EQ(mail->FSecretaryMemo, "请翻译") << c.Name;
        }
    }
    // Without the file: the mail's own flag, the defaults.
    TRcResPath* plain = SavedWithComplex(aftInBox, "plain", MessageText("hi", "a@x.com", "b@y.com"));
    TRcMail* mail = Manager()->GetMail(plain);
    mail->FSecretaryFlag = 2;
    const TSecretaryData data = Manager()->GetSecretaryData(Manager()->LoadMailComplex(plain), mail);
    EXPECT_EQ(data.FSecretaryFlag, 2);
    EXPECT_EQ(data.FSendType, -1);
    EXPECT_EQ(data.FLanguage, -1);
}

TEST_F(AccountMailManagerTest, ImportingAFolderKeepsTheGoodFilesAndReportsTheBad)
{
    const fs::path folder = FData / "import";
    fs::create_directories(folder);
    WriteWholeFile(folder / "1.eml", MessageText("Angebot", "=?UTF-8?B?5byg5LiJ?= <zhang@x.cn>", "sales@example.com",
                                                 {{"price.pdf", "%PDF"}}));
    WriteWholeFile(folder / "2.EML", "Subject: no date\r\n\r\njust text\r\n");
    WriteWholeFile(folder / "3.eml", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    WriteWholeFile(folder / "4.eml", "");
    WriteWholeFile(folder / "notes.txt", "not a mail");
    TakeEvents();

    auto* imported = TRcResPathList::CreateAndAutoRelease();
    const auto failures = Manager()->ImportMailsFromFolder(Folder(aftInBox), folder, imported);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].File.filename(), "3.eml");
    EXPECT_EQ(failures[0].Message, "不是邮件文件：3.eml");
    EXPECT_EQ(failures[1].File.filename(), "4.eml");
    ASSERT_EQ(imported->Count(), 2);
    EXPECT_EQ(TakeEvents(), std::vector<std::string>{"folder 2"});

    TRcMail* first = Manager()->GetMail(imported->First());
    EXPECT_EQ(first->FSubject, "Angebot");
    EXPECT_EQ(first->FFrom, "张三 <zhang@x.cn>");
    EXPECT_EQ(first->FTo, "sales@example.com");
    EXPECT_TRUE(first->FHasAttachmentFlag);
    EXPECT_EQ(first->FSize, int64_t(fs::file_size(folder / "1.eml")));
    EXPECT_EQ(first->FSourceLanguage, 9997);
    EXPECT_EQ(first->FTargetLanguage, 9997);
    const TDateTimeParts date = DecodeDateTime(first->FDate);
    EXPECT_EQ(date.Year, 2026);
    EXPECT_EQ(date.Month, 12);
    TRcMailComplex* complex = Manager()->LoadMailComplex(imported->First());
    ASSERT_NE(complex, nullptr);
    EXPECT_EQ(complex->AttachmentFileList()->Count(), 1);
    EXPECT_TRUE(fs::exists(folder / "1.eml"));   // the user's file is only read

    TRcMail* second = Manager()->GetMail(imported->Last());
    EXPECT_EQ(second->FSubject, "no date");
    EXPECT_GT(second->FDate, 40000);   // no date in the file: the time of import

    EXPECT_EQ(Manager()->ImportMailFromFile(Folder(aftInBox), folder / "missing.eml"), nullptr);
    EXPECT_EQ(Manager()->ImportMailsFromFolder(Folder(aftInBox), FData / "absent").size(), 1u);
}

TEST_F(AccountMailManagerTest, TranslationPairsAndFlags)
{
    TRcResPath* source = Saved(aftInBox, "source");
    auto translation = Manager()->CreateMail();
    FNames[translation->ResId()->Id()] = "translation";
    translation->FSourceType = mrmTranslate;
    translation->SetSorceResId(source->Last());
    TakeEvents();
    TRcResPath* path = Manager()->SaveTranslateMail(Folder(aftReceiving), translation.Get());
    EXPECT_EQ(Manager()->GetMail(source)->FSendReceiveState, msarsPop3TransSource);
    EXPECT_EQ(TakeEvents(), std::vector<std::string>{"folder 1"});

    Manager()->SourceMailCorresOriginal(path, translation.Get(), TAccountMailManager::kTranslatedMail);
    EXPECT_EQ(StoredCode(path), 2);
    EXPECT_EQ(StoredCode(source), 7);
    EXPECT_EQ(Manager()->GetMail(path)->FNorvelUid, source->Last()->Id());
    EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"folder 1", "folder 2"}));   // each folder once

    auto other = Manager()->CreateMail();
    other->FMessageId = "<m@x>";
    Manager()->SaveMail(Folder(aftOutBox), other.Get());
    translation->FMessageId = "<m@x>";
    Manager()->SaveMail(Folder(aftInBox), translation.Get());
    Manager()->SetMailReferences(path, "<m@x>");
    Manager()->SetMailReceiptFlag(path, true);
    Manager()->SetMailSendReceiveState(path, msarsPop3FromNorvel);
    TRcMail* loaded = Manager()->GetMail(path);
    EXPECT_TRUE(loaded->FReceiptSend);
    EXPECT_TRUE(loaded->FReferences);
    EXPECT_TRUE(Manager()->GetMail(Folder(aftOutBox)->Append(other->ResId()))->FReferences);
    EXPECT_EQ(loaded->FSendReceiveState, msarsPop3FromNorvel);
    EXPECT_EQ(Manager()->GetMail(TRcResPath::CreateAndAutoRelease({FAccount->ResId()})), nullptr);

    auto* received = Manager()->GetReceivingFolderMails(TRcResPath::CreateAndAutoRelease({FAccount->ResId()}),
                                                         {msarsNoneUser, msarsPop3NotTranslate});
    EXPECT_EQ(received->Count(), 0);   // in the inbox now
    // Its receiving path is stale: a move through it is refused.
    EXPECT_FALSE(Manager()->MoveMail(path, Folder(aftReceiving), msarsPop3NotTranslate));
    EXPECT_TRUE(Manager()->MoveMail(Folder(aftInBox)->Append(path->Last()), Folder(aftReceiving), msarsPop3NotTranslate));
    received = Manager()->GetReceivingFolderMails(TRcResPath::CreateAndAutoRelease({FAccount->ResId()}),
                                                  {msarsPop3FromNorvel, msarsPop3NotTranslate});
    ASSERT_EQ(received->Count(), 1);
    EXPECT_TRUE(received->First()->Equals(Folder(aftReceiving)->Append(path->Last())));
}

// Linking a pair and moving its mails is one change: when the database
// refuses a step, nothing of the others stays and nobody is told.
TEST_F(AccountMailManagerTest, LinkingATranslationPairIsOneChange)
{
    TRcResPath* source = Saved(aftInBox, "source");
    auto translation = Manager()->CreateMail();
    FNames[translation->ResId()->Id()] = "translation";
    translation->FSourceType = mrmTranslate;
    translation->SetSorceResId(source->Last());
    TRcResPath* path = Manager()->SaveTranslateMail(Folder(aftReceiving), translation.Get());
    const auto norvelUid = [&](TRcResPath* aPath) { return Manager()->GetMail(aPath)->FNorvelUid; };

    struct TCase {
        const char* Refused;   // the update the database refuses
        std::function<void()> Call;
    };
    const std::vector<TCase> cases = {
        // The link is written first, then the moves.
        {"new.[Type] <> old.[Type]",
         [&] { Manager()->SourceMailCorresOriginal(path, translation.Get(), TAccountMailManager::kTranslatedMail); }},
        // The moves first, then the link.
        {"new.[NorvelUid] <> old.[NorvelUid]",
         [&] { Manager()->UpdateNorvelMail(source, translation.Get()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Refused);
        Db().ExecSQL(std::string("create trigger refuse before update on [Mail] when ") + c.Refused +
                     " begin select raise(abort, 'refused'); end");
        TakeEvents();
        EXPECT_THROW(c.Call(), ESQLiteException);
        EXPECT_EQ(StoredCode(path), 1);
        EXPECT_EQ(StoredCode(source), 2);
        EXPECT_EQ(norvelUid(path), "");
        EXPECT_EQ(norvelUid(source), "");
        EXPECT_TRUE(TakeEvents().empty());
        Db().ExecSQL("drop trigger refuse");
    }
}

// One thread reads a mail, the other changes its row, then the first saves
// or moves it: a move or a send made meanwhile is never undone, a read flag
// set meanwhile stays, and a batch move leaves a mail that moved away.
TEST_F(AccountMailManagerTest, ASaveNeverUndoesAChangeMadeMeanwhile)
{
    const auto onTheOtherThread = [](const std::function<void()>& aWork) {
        std::async(std::launch::async, [&] {
            TRetainCountObjectAutoReleasePool pool;
            aWork();
        }).get();
    };

    // A draft open in its window is sent and moved to the out box.
    TRcResPath* draft = Saved(aftSending, "draft");
    TRcMail* editing = Manager()->GetMail(draft);
    onTheOtherThread([&] { EXPECT_TRUE(Manager()->MoveMail(draft, Folder(aftOutBox), msarsSendOk)); });
    editing->FSubject = "edited";
    TakeEvents();
    EXPECT_THROW(Manager()->SaveMail(Folder(aftSending), editing), EMailChangedMeanwhile);
    TRcMail* sent = Manager()->GetMail(Folder(aftOutBox)->Append(draft->Last()));
    EXPECT_EQ(StoredCode(draft), 5);
    EXPECT_EQ(sent->FSendReceiveState, msarsSendOk);
    EXPECT_EQ(sent->FSubject, "draft");
    EXPECT_TRUE(TakeEvents().empty());

    // A mail marked read in the list while its window saves an edit.
    TRcResPath* mail = Saved(aftInBox, "mail");
    TRcMail* open = Manager()->GetMail(mail);
    onTheOtherThread([&] { Manager()->SetMailReadedFlag(mail, true); });
    open->FSubject = "renamed";
    Manager()->SaveMail(Folder(aftInBox), open);
    EXPECT_TRUE(Manager()->GetMail(mail)->FSeenFlag);
    EXPECT_EQ(Manager()->GetMail(mail)->FSubject, "renamed");
    open->FSubject = "again";   // its own save is what it compares with next
    Manager()->SaveMail(Folder(aftInBox), open);
    EXPECT_EQ(Manager()->GetMail(mail)->FSubject, "again");

    // A row an older version left without a state saves as ever.
    Db().ExecSQL("insert into [Mail] ([Id], [Type], [Subject]) values ('0123456789ABCDEF0123456789ABCDEF', 2, 'old')");
    TRcResPath* old = Folder(aftInBox)->Append(TRcResId::CreateAndAutoRelease(rtAccountMail, "0123456789ABCDEF0123456789ABCDEF"));
    TRcMail* oldMail = Manager()->GetMail(old);
    oldMail->FSubject = "old, edited";
    Manager()->SaveMail(Folder(aftInBox), oldMail);
    EXPECT_EQ(Manager()->GetMail(old)->FSubject, "old, edited");

    // A batch listed before one of its mails went to the trash.
    auto* batch = TRcResPathList::CreateAndAutoRelease();
    batch->Add(Saved(aftReceiving, "a"));
    batch->Add(Saved(aftReceiving, "b"));
    onTheOtherThread([&] { Manager()->DeleteMail(batch->Last()); });
    auto* moved = TRcResPathList::CreateAndAutoRelease();
    Manager()->MoveMails(batch, Folder(aftInBox), moved);
    ASSERT_EQ(moved->Count(), 1);
    EXPECT_TRUE(moved->First()->Equals(Folder(aftInBox)->Append(batch->First()->Last())));
    EXPECT_EQ(StoredCode(batch->Last()), 6);
}

// The GUI thread lists and marks mails read while the scheduler thread
// saves and moves: nothing either writes is lost.
TEST_F(AccountMailManagerTest, TwoThreadsShareTheAccountDatabase)
{
    constexpr int kMails = 300;
    std::atomic<bool> done{false};
    std::atomic<int> marked{0};
    std::string failure;
    std::thread scheduler([&] {
        TRetainCountObjectAutoReleasePool pool;
        try {
            for (int i = 0; i < kMails; i += 10) {
                TRetainCountObjectAutoReleasePool batch;
                auto* paths = TRcResPathList::CreateAndAutoRelease();
                Manager()->BeginUpdate();
                for (int j = i; j < i + 10; ++j) {
                    auto mail = Manager()->CreateMail();
                    mail->FSubject = "mail " + std::to_string(j);
                    mail->FSendReceiveState = msarsPop3NotTranslate;
                    paths->Add(Manager()->SaveMail(Folder(aftReceiving), mail.Get()));
                }
                Manager()->EndUpdate();
                Manager()->MoveMails(paths, Folder(aftInBox));
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
        done = true;
    });
    while (!done) {
        TRetainCountObjectAutoReleasePool pass;
        for (TRcResId* id : *Manager()->GetMails(Folder(aftInBox))) {
            TRcResPath* path = Folder(aftInBox)->Append(id);
            if (!Manager()->GetMail(path)->FSeenFlag) {
                Manager()->SetMailReadedFlag(path, true);
                ++marked;
            }
        }
    }
    scheduler.join();
    EXPECT_EQ(failure, "");
    for (TRcResId* id : *Manager()->GetMails(Folder(aftInBox)))
        Manager()->SetMailReadedFlag(Folder(aftInBox)->Append(id), true);
    EXPECT_EQ(Manager()->GetMails(Folder(aftInBox))->Count(), kMails);
    EXPECT_EQ(Manager()->GetMails(Folder(aftReceiving))->Count(), 0);
    EXPECT_EQ(Manager()->GetNotReadedMailCount(Folder(aftInBox)), 0);
    EXPECT_EQ(Db().GetTableValue("select count(0) from [Mail] where [SendReciveState] = 0 and [Type] = 2"), kMails);
    EXPECT_GT(marked.load(), 0);
}

} // namespace
