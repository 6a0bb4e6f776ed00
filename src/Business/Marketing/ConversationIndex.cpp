// The conversation index builders of TSqliteDbConversation: adding one
// mail, taking one out, rebuilding an account's index whole.
#include "Conversation.h"

#include "Business/AccountMail/Mail.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/AddressList.h"
#include "ConversationAccountDb.h"
#include "ConversationItem.h"
#include "Runtime/GuidId.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kSave = "replace into [Conversation]([Id], [Subject], [ConversationType], [LastMailDate], "
                              "[DeleteFlage], [CreateTime], [ModifyTime]) values(?, ?, ?, ?, ?, ?, ?)";
constexpr const char* kByType = "select [Id],[Subject],[ConversationType], [LastMailDate],[CreateTime], "
                                "[ModifyTime] from [Conversation] where [ConversationType]= ?";
// Which conversations hold a mail is answered by the item index on the
// mail id, made when the account database is opened.
constexpr const char* kConversationsOfMail = "select distinct [Conversationid] from [ConversationItem] where [EmailId] = ?";
constexpr const char* kDeleteItemsOfMail = "delete from [ConversationItem] where [EmailId] = ?";
constexpr const char* kDeleteItemsOf = "delete from [ConversationItem] where [Conversationid] = ?";
constexpr const char* kDeleteConversation = "delete from [Conversation] where ([id] = ?)";
constexpr const char* kDeleteAllItems = "delete from [ConversationItem]";
constexpr const char* kDeleteAllConversations = "delete from [Conversation]";
// The addresses each indexed mail names, so that a new correspondent's
// earlier mails are found by his address. Mails deleted for good keep
// their rows with folder code 0.
constexpr const char* kDeleteAddressesOfMail = "delete from [ConversationAddress] where [EmailId] = ?";
constexpr const char* kDeleteAllAddresses = "delete from [ConversationAddress]";
constexpr const char* kInsertAddress = "insert or ignore into [ConversationAddress]([Address], [EmailId]) values(?, ?)";
constexpr const char* kMailsNaming =
    "select [Mail].[Id], [Mail].[Date] from [ConversationAddress] join [Mail] on [Mail].[Id] = "
    "[ConversationAddress].[EmailId] where [ConversationAddress].[Address] = ? and [Mail].[Type] <> 0";
constexpr const char* kMailFrom = "select [From] from [Mail] where [Id] = ?";
// A conversation's mails still in a folder, walked newest first along the
// item index on (conversation, date): every mail from the correspondent
// is among them, so his newest is found without reading the Mail table.
// The item's mail id column is declared String (numeric affinity): compared
// as it is, it would keep the mail's key index out and scan Mail per item.
constexpr const char* kItemMailsNewestFirst =
    "select [Mail].[Id], [Mail].[From], [Mail].[To], [Mail].[Date], [Mail].[MailSummary], [Mail].[Subject], "
    "[ConversationItem].[MailDate] from [ConversationItem] join [Mail] "
    "on [Mail].[Id] = cast([ConversationItem].[EmailId] as text) "
    "where [ConversationItem].[Conversationid] = ? and [Mail].[Type] <> 0 order by [ConversationItem].[MailDate] desc";
// An item carries its mail's date, which the walk above relies on: a mail
// saved again with another date brings its items along.
constexpr const char* kItemDatesOfMail =
    "update [ConversationItem] set [MailDate] = ? where [EmailId] = ? and [MailDate] <> ?";
constexpr const char* kAllMails = "select [Id], [From], [To], [Date], [MailSummary], [Subject] from [Mail] "
                                  "where [Type] <> 0 order by [Date], [Id]";
constexpr const char* kInsertItem = "replace into [ConversationItem](   [Id] ,[Conversationid] , [EmailId],[ItemsType],"
                                    "[DeleteFlage] ,[MailDate], [CreateTime], [ModifyTime] ) values(   ? , ?, ? , ? , ?  , "
                                    "? ,? , ? )";
constexpr const char* kMarkerRead = "select count(0) from [Info] where [Field] = ?";
constexpr const char* kMarkerWrite = "replace into [Info]([Field], [Value]) values(?, ?)";

std::string LowerAscii(std::string aText)
{
    for (char& c : aText)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return aText;
}

// What the index needs of a mail.
struct TIndexedMail {
    std::string Id;
    std::string Sender;                   // lower-cased; "" without one
    std::vector<std::string> Addresses;   // From then To, lower-cased, each once
    TDateTime Date = 0;
    std::string Title;                    // the summary, or else the subject
};

TIndexedMail IndexedMail(std::string aId, const std::string& aFrom, const std::string& aTo, TDateTime aDate,
                         const std::string& aSummary, const std::string& aSubject)
{
    TIndexedMail mail{std::move(aId), {}, {}, aDate, {}};
    for (const TAddressItem& item : ParseAddressList(aFrom))
        if (!item.Address.empty()) {
            mail.Sender = LowerAscii(item.Address);
            break;
        }
    auto add = [&](const std::string& aList) {
        for (const TAddressItem& item : ParseAddressList(aList)) {
            std::string address = LowerAscii(item.Address);
            if (!address.empty() && std::find(mail.Addresses.begin(), mail.Addresses.end(), address) == mail.Addresses.end())
                mail.Addresses.push_back(std::move(address));
        }
    };
    add(aFrom);
    add(aTo);
    mail.Title = aSummary.find_first_not_of(' ') != std::string::npos ? aSummary : aSubject;
    return mail;
}

TIndexedMail IndexedMail(TSQLiteUniTable& aRow)
{
    return IndexedMail(aRow.FieldAsString(0), aRow.FieldAsString(1), aRow.FieldAsString(2), aRow.FieldAsDouble(3),
                       aRow.FieldAsString(4), aRow.FieldAsString(5));
}

void SaveAddresses(TSQLiteDatabase& aDb, const TIndexedMail& aMail)
{
    aDb.ExecSQL(kDeleteAddressesOfMail, [&](TSQLiteQueryEx& q) { q.BindStr(1, aMail.Id); });
    TSQLiteQueryEx insert(aDb, kInsertAddress);
    for (const std::string& address : aMail.Addresses) {
        insert.BindStr(1, address);
        insert.BindStr(2, aMail.Id);
        insert.Exec();
    }
}

void SaveRow(TSQLiteDatabase& aDb, const TRcConversation& aConversation)
{
    aDb.ExecSQL(kSave, [&](TSQLiteQueryEx& q) {
        q.BindStr(1, aConversation.FId);
        q.BindStr(2, aConversation.FSubject);
        q.BindStr(3, aConversation.FConversationType);
        q.BindDouble(4, aConversation.FLastMailDate);
        q.BindBoolean(5, aConversation.FDeleteFlage);
        q.BindDouble(6, aConversation.FCreateTime);
        q.BindDouble(7, aConversation.FModifyTime);
    });
}

TRcRef<TRcConversation> FindByType(TSQLiteDatabase& aDb, const std::string& aAddress)
{
    TSQLiteUniTable rows(aDb, kByType);
    rows.BindStr(1, aAddress);
    return rows.Eof() ? TRcRef<TRcConversation>() : MakeRc<TRcConversation>(rows);
}

TRcRef<TRcConversation> FindById(TSQLiteDatabase& aDb, const std::string& aId)
{
    TSQLiteUniTable rows(aDb, "select [Id],[Subject],[ConversationType],[LastMailDate], [CreateTime] , [ModifyTime] "
                              "from [Conversation] where [id] = ?");
    rows.BindStr(1, aId);
    return rows.Eof() ? TRcRef<TRcConversation>() : MakeRc<TRcConversation>(rows);
}

// The ids of the conversations that hold the mail.
std::set<std::string> ConversationsOf(TSQLiteDatabase& aDb, const std::string& aMailId)
{
    std::set<std::string> ids;
    TSQLiteUniTable rows(aDb, kConversationsOfMail);
    rows.BindStr(1, aMailId);
    for (; !rows.Eof(); rows.Next())
        ids.insert(rows.FieldAsString(0));
    return ids;
}

void InsertItem(TSQLiteDatabase& aDb, const std::string& aConversationId, const std::string& aMailId, TDateTime aDate,
                TDateTime aNow)
{
    auto item = MakeRc<TRcConversationItem>(NewGuidId(), aNow);
    item->FConversationid = aConversationId;
    item->FEmailId = aMailId;
    item->FMailDate = aDate;
    item->FModifyTime = aNow;
    TSqliteDbConversationItem::InternalSave(aDb, *item);
}

// Which of two mails a rebuild, adding oldest first, leaves leading their
// sender's conversation: the later date, and the greater id among equal
// dates.
bool Leads(const TIndexedMail& aMail, const TIndexedMail& aOther)
{
    return aMail.Date > aOther.Date || (aMail.Date == aOther.Date && aMail.Id > aOther.Id);
}

// The correspondent's newest mail still in a folder, among his
// conversation's items; the walk stops past the date of the first found.
std::optional<TIndexedMail> NewestFrom(TSQLiteDatabase& aDb, const TRcConversation& aConversation)
{
    std::optional<TIndexedMail> newest;
    TSQLiteUniTable rows(aDb, kItemMailsNewestFirst);
    rows.BindStr(1, aConversation.FId);
    for (; !rows.Eof(); rows.Next()) {
        if (newest && rows.FieldAsDouble(6) < newest->Date)
            break;
        TIndexedMail mail = IndexedMail(rows);
        if (mail.Sender == aConversation.FConversationType && (!newest || Leads(mail, *newest)))
            newest = std::move(mail);
    }
    return newest;
}

void Add(TSQLiteDatabase& aDb, const TIndexedMail& aMail)
{
    if (aMail.Sender.empty())
        return;
    const TDateTime now = Now();
    TTransaction::Run(aDb, [&] {
        const std::set<std::string> holding = ConversationsOf(aDb, aMail.Id);
        if (!holding.empty())
            aDb.ExecSQL(kItemDatesOfMail, [&](TSQLiteQueryEx& q) {
                q.BindDouble(1, aMail.Date);
                q.BindStr(2, aMail.Id);
                q.BindDouble(3, aMail.Date);
            });
        TRcRef<TRcConversation> own = FindByType(aDb, aMail.Sender);
        const bool fresh = !own;
        if (fresh) {
            own = TSqliteDbConversation::CreateEmptyConversation();
            own->FConversationType = aMail.Sender;
        }
        if (fresh || !holding.count(own->FId)) {
            // A mail of the same date leads only if it would after a
            // rebuild; which one leads now is asked of the items (rare).
            bool leads = fresh || aMail.Date > own->FLastMailDate;
            if (!leads && aMail.Date == own->FLastMailDate) {
                const std::optional<TIndexedMail> newest = NewestFrom(aDb, *own);
                leads = !newest || Leads(aMail, *newest);
            }
            if (leads) {
                own->FSubject = aMail.Title;
                own->FLastMailDate = aMail.Date;
            }
            own->FDeleteFlage = false;
            own->FModifyTime = now;
            SaveRow(aDb, *own);
        }
        if (fresh) {
            // Mails naming this correspondent before the first mail from
            // him belong to his conversation too.
            TSQLiteUniTable rows(aDb, kMailsNaming);
            rows.BindStr(1, aMail.Sender);
            for (; !rows.Eof(); rows.Next()) {
                const std::string id = rows.FieldAsString(0);
                if (id != aMail.Id)
                    InsertItem(aDb, own->FId, id, rows.FieldAsDouble(1), now);
            }
        }
        SaveAddresses(aDb, aMail);
        for (const std::string& address : aMail.Addresses) {
            TRcRef<TRcConversation> target = address == aMail.Sender ? own : FindByType(aDb, address);
            if (target && !holding.count(target->FId))
                InsertItem(aDb, target->FId, aMail.Id, aMail.Date, now);
        }
    });
}

} // namespace

void TSqliteDbConversation::Save(const TRcResPath* aResPath, const TRcConversation& aConversation)
{
    TConversationAccountDb db(aResPath);
    if (db)
        TTransaction::Run(*db, [&] { SaveRow(*db, aConversation); });
}

void TSqliteDbConversation::AddConversationByMail(const TRcResPath* aResPath, const TRcMail* aMail)
{
    TConversationAccountDb db(aResPath);
    if (!db || !aMail)
        return;
    Add(*db, IndexedMail(aMail->ResId()->Id(), aMail->FFrom, aMail->FTo, aMail->FDate, aMail->FMailSummary,
                         aMail->FSubject));
}

void TSqliteDbConversation::RemoveMailFromConversations(const TRcResPath* aResPath, const std::string& aMailId)
{
    TConversationAccountDb db(aResPath);
    if (!db)
        return;
    const TDateTime now = Now();
    TTransaction::Run(*db, [&] {
        db->ExecSQL(kDeleteAddressesOfMail, [&](TSQLiteQueryEx& q) { q.BindStr(1, aMailId); });
        const std::set<std::string> touched = ConversationsOf(*db, aMailId);
        if (touched.empty())
            return;
        db->ExecSQL(kDeleteItemsOfMail, [&](TSQLiteQueryEx& q) { q.BindStr(1, aMailId); });
        // Only the sender's conversation can change beyond losing an item:
        // its subject and date came from a mail from him, maybe this one.
        // A mail gone for good keeps its row, so its sender is known.
        std::optional<std::string> sender;
        {
            TSQLiteUniTable row(*db, kMailFrom);
            row.BindStr(1, aMailId);
            if (!row.Eof())
                sender = IndexedMail(aMailId, row.FieldAsString(0), {}, 0, {}, {}).Sender;
        }
        for (const std::string& id : touched) {
            TRcRef<TRcConversation> conversation = FindById(*db, id);
            if (!conversation || (sender && *sender != conversation->FConversationType))
                continue;
            const std::optional<TIndexedMail> newest = NewestFrom(*db, *conversation);
            if (!newest) {
                db->ExecSQL(kDeleteItemsOf, [&](TSQLiteQueryEx& q) { q.BindStr(1, id); });
                db->ExecSQL(kDeleteConversation, [&](TSQLiteQueryEx& q) { q.BindStr(1, id); });
                continue;
            }
            conversation->FSubject = newest->Title;
            conversation->FLastMailDate = newest->Date;
            conversation->FModifyTime = now;
            SaveRow(*db, *conversation);
        }
    });
}

void TSqliteDbConversation::ReCreateAllConversationAndItems(const TRcResPath* aResPath, const TProgressProc& aProc,
                                                            bool aMarkBuilt)
{
    TConversationAccountDb db(aResPath);
    if (!db)
        return;
    // The rebuild rewrites the whole of both tables in one transaction: a
    // page cache of the default 2 MB would spill it to disk page by page.
    // The connection is shared, so its own size comes back afterwards.
    struct TCacheSize {
        TSQLiteDatabase& Db;
        int64_t Saved;
        explicit TCacheSize(TSQLiteDatabase& aDb) : Db(aDb), Saved(aDb.GetTableValue("pragma cache_size"))
        {
            Db.ExecSQL("pragma cache_size = -65536");
        }
        ~TCacheSize()
        {
            try {
                Db.ExecSQL("pragma cache_size = " + std::to_string(Saved));
            } catch (...) {
            }
        }
    };
    auto lock = db->Lock();
    TCacheSize cache(*db);
    // Read and written in one transaction: a mail stored meanwhile on
    // another thread is either read here or added after the rebuild.
    TTransaction::Run(*db, [&] {
        std::vector<TIndexedMail> mails;
        {
            TSQLiteUniTable rows(*db, kAllMails);
            for (; !rows.Eof(); rows.Next())
                mails.push_back(IndexedMail(rows));
        }
        // Oldest first, so the newest mail of each sender is the last to
        // set its conversation's subject and date.
        struct TBuilt {
            TRcRef<TRcConversation> Conversation;
            std::vector<std::pair<std::string, TDateTime>> Items;
        };
        std::map<std::string, TBuilt> bySender;
        const TDateTime now = Now();
        const int count = static_cast<int>(mails.size());
        for (int i = 0; i < count; ++i) {
            if (aProc)
                aProc(i, count);
            const TIndexedMail& mail = mails[i];
            if (mail.Sender.empty())
                continue;
            TBuilt& built = bySender[mail.Sender];
            if (!built.Conversation) {
                built.Conversation = MakeRc<TRcConversation>(NewGuidId(), now);
                built.Conversation->FConversationType = mail.Sender;
                built.Conversation->FModifyTime = now;
            }
            built.Conversation->FSubject = mail.Title;
            built.Conversation->FLastMailDate = mail.Date;
        }
        for (const TIndexedMail& mail : mails) {
            if (mail.Sender.empty())
                continue;
            for (const std::string& address : mail.Addresses) {
                const auto found = bySender.find(address);
                if (found != bySender.end())
                    found->second.Items.emplace_back(mail.Id, mail.Date);
            }
        }
        db->ExecSQL(kDeleteAllItems);
        db->ExecSQL(kDeleteAllConversations);
        db->ExecSQL(kDeleteAllAddresses);
        {
            // In key order: the table is written front to back rather than
            // at random places.
            std::vector<std::pair<std::string_view, std::string_view>> addresses;
            for (const TIndexedMail& mail : mails)
                if (!mail.Sender.empty())
                    for (const std::string& each : mail.Addresses)
                        addresses.emplace_back(each, mail.Id);
            std::sort(addresses.begin(), addresses.end());
            TSQLiteQueryEx address(*db, kInsertAddress);
            for (const auto& [each, mailId] : addresses) {
                address.BindStr(1, each);
                address.BindStr(2, mailId);
                address.Exec();
            }
        }
        TSQLiteQueryEx item(*db, kInsertItem);
        for (const auto& [sender, built] : bySender) {
            SaveRow(*db, *built.Conversation);
            for (const auto& [mailId, date] : built.Items) {
                item.BindStr(1, NewGuidId());
                item.BindStr(2, built.Conversation->FId);
                item.BindStr(3, mailId);
                item.BindStr(4, "");
                item.BindBoolean(5, false);
                item.BindDouble(6, date);
                item.BindDouble(7, now);
                item.BindDouble(8, now);
                item.Exec();
            }
        }
        if (aMarkBuilt)
            db->ExecSQL(kMarkerWrite, [&](TSQLiteQueryEx& q) {
                q.BindStr(1, kBuiltMarker);
                q.BindStr(2, "1");
            });
    });
}

bool TSqliteDbConversation::IsBuilt(const TRcResPath* aResPath)
{
    TConversationAccountDb db(aResPath);
    return db && db->GetTableValue(kMarkerRead, [&](TSQLiteUniTable& q) { q.BindStr(1, kBuiltMarker); }) > 0;
}
