#include "AddressBook.h"

#include "ContactsStore.h"
#include "Business/Data/Schema.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Mime/MailContact.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

#include <string_view>
#include <vector>

using namespace contacts;

namespace {

// Every column but NameCard, which is never read.
constexpr const char* kColumns =
    "[Id], [GroupId], [LastName], [FirstName], [Company], [Department], [Office], [NickName], [Email], "
    "[CompanyWeb], [CompanyTel], [PrivateTel], [Fax], [CompanyAddr], [ZipCode], [CountriesRegions], [Languages], "
    "[ProductCategory], [CustomerLevel], [Memo], [HeadIcon], [QQ], [Birthday], [Relation], [CreateTime], "
    "[ModifiedTime]";
constexpr const char* kReplace =
    "replace into [AddresBook]([Id], [GroupId], [LastName], [FirstName], [Company], [Department], [Office], "
    "[NickName], [Email], [CompanyWeb], [CompanyTel], [PrivateTel], [Fax], [CompanyAddr], [ZipCode], "
    "[CountriesRegions], [Languages], [ProductCategory], [CustomerLevel], [NameCard], [Memo], [HeadIcon], [QQ], "
    "[Birthday], [Relation], [CreateTime], [ModifiedTime]) "
    "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, NULL, ?, ?, ?, ?, ?, ?, ?)";
constexpr const char* kAllIds = "select [id] from [AddresBook] order by [CreateTime]";
constexpr const char* kAllCount = "select Count(1) from [AddresBook] ";
constexpr const char* kGroupIds = "select [id] from [AddresBook] where [GroupId] = ? order by [CreateTime]";
constexpr const char* kGroupCount = "select Count(1) from [AddresBook] where [GroupId] = ? ";
constexpr const char* kNoGroupIds =
    "select [id] from [AddresBook] where ([GroupId] is null) or ([GroupId]='未分组')order by [CreateTime]";
constexpr const char* kNoGroupCount =
    "select Count(1) from [AddresBook] where ([GroupId] is null) or ([GroupId]='未分组')";
constexpr const char* kSearch =
    "select [id] from [AddresBook] where [FirstName] like ? escape '\\' or [Email] like ? escape '\\' "
    "order by [CreateTime]";
constexpr const char* kIdsByEmail = "select [id] from [AddresBook] where [Email] = ?  order by [CreateTime]";
constexpr const char* kEmailCount = "select Count(1) from [AddresBook] where [Email] = ? ";
constexpr const char* kContacts = "select  [LastName], [FirstName] , [Email] from [AddresBook] order by [CreateTime]";
constexpr const char* kCount = "select count(0) from [AddresBook] where [id] = ?";
constexpr const char* kDelete = "delete from [AddresBook] where ([id] = ?)";
constexpr const char* kMove = "update [AddresBook] set [GroupId] = ? where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [AddresBook]";

TRcResIdList* Ids(TSQLiteDatabase& aDb, const char* aSql, const std::string* aValue = nullptr)
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    TSQLiteUniTable rows(aDb, aSql);
    if (aValue)
        rows.BindStr(1, *aValue);
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtAccountAddressBook, rows.FieldAsString(0)));
    return ids;
}

int Count(TSQLiteDatabase& aDb, const char* aSql, const std::string* aValue = nullptr)
{
    return static_cast<int>(aDb.GetTableValue(aSql, [&](TSQLiteUniTable& q) {
        if (aValue)
            q.BindStr(1, *aValue);
    }));
}

// The group id of a path that ends with a group, if it does.
const std::string* GroupIdOf(const TRcResPath* aPath)
{
    const TRcResId* last = aPath ? aPath->Last() : nullptr;
    return last && last->IsType(rtAccountAddressBookGroup) ? &last->Id() : nullptr;
}

enum class TListing { All, Group, NoGroup };

TListing ListingOf(const std::string& aGroupId, const TContactOpertion* aOpertion)
{
    if (aOpertion && aGroupId == aOpertion->FAllResId)
        return TListing::All;
    if (!aOpertion || aGroupId != aOpertion->FNoGroupResId)
        return TListing::Group;
    return TListing::NoGroup;
}

// The pattern "%text%" with LIKE's own wildcards taken literally.
std::string ContainsPattern(const std::string& aText)
{
    std::string pattern = "%";
    for (char c : aText) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    pattern += '%';
    return pattern;
}

// The least text above every text that starts with aPrefix, bytewise
// (the order of the indexes): the prefix with its last byte raised, bytes
// 0xFF dropped first. Empty when there is none (every text qualifies).
std::string PrefixEnd(std::string aPrefix)
{
    while (!aPrefix.empty() && static_cast<unsigned char>(aPrefix.back()) == 0xFF)
        aPrefix.pop_back();
    if (!aPrefix.empty())
        aPrefix.back() = static_cast<char>(static_cast<unsigned char>(aPrefix.back()) + 1);
    return aPrefix;
}

// Where each character of UTF-8 text begins, and its end.
std::vector<std::size_t> CharacterStarts(std::string_view aText)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < aText.size(); ++i)
        if ((static_cast<unsigned char>(aText[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    return starts;
}

} // namespace

TRcAddressBook* TRcAddressBook::CreateEmptyAddressBook()
{
    auto* card = new TRcAddressBook(NewGuidId());
    card->FCreateTime = Now();
    card->AutoRelease();
    return card;
}

TRcAddressBook::TRcAddressBook(std::string aId)
    : FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtAccountAddressBook, std::move(aId))))
{
}

TRcAddressBook::TRcAddressBook(TSQLiteUniTable& aRow) : TRcAddressBook(aRow.FieldAsString(0))
{
    int column = 1;
    for (std::string* field :
         {&FGroupId, &FLastName, &FFirstName, &FCompany, &FDepartment, &FOffice, &FNickName, &FEmail, &FCompanyWeb,
          &FCompanyTel, &FPrivateTel, &FFax, &FCompanyAddr, &FZipCode, &FCountriesRegions, &FLanguages,
          &FProductCategory, &FCustomerLevel, &FMemo, &FHeadIcon, &FQQ, &FBirthday, &FRelation})
        *field = aRow.FieldAsString(column++);
    FCreateTime = aRow.FieldAsDouble(column++);
    FModifiedTime = aRow.FieldAsDouble(column);
}

std::string TRcAddressBook::ToString() const
{
    const std::string name = GetName();
    return name.empty() ? FormatText("<id: %s>", {FResId->Id()}) : name;
}

const char* TSqliteDbAddressBook::CreateTableSql()
{
    return schema::kAddresBook;
}

std::string TSqliteDbAddressBook::StoredGroupId(const std::string& aGroupId)
{
    return aGroupId == kAllContactsGroupId ? std::string(kNoGroupId) : aGroupId;
}

TRcResIdList* TSqliteDbAddressBook::GetAddressBookIds(const TRcResPath* aPath)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db ? Ids(*db, kAllIds) : nullptr;
}

int TSqliteDbAddressBook::GetAllAddressBookCount(const TRcResPath* aPath)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db ? Count(*db, kAllCount) : 0;
}

TRcResIdList* TSqliteDbAddressBook::GetIds(const TRcResPath* aGroupPath)
{
    return GetIds(aGroupPath, nullptr);
}

int TSqliteDbAddressBook::GetAddressBookCount(const TRcResPath* aGroupPath)
{
    return GetAddressBookCount(aGroupPath, nullptr);
}

TRcResIdList* TSqliteDbAddressBook::GetGroupisNullAddressBookIds(const TRcResPath* aPath)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db ? Ids(*db, kNoGroupIds) : nullptr;
}

int TSqliteDbAddressBook::GetGroupisNullAddressBookcount(const TRcResPath* aPath)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db ? Count(*db, kNoGroupCount) : 0;
}

TRcResIdList* TSqliteDbAddressBook::GetIds(const TRcResPath* aGroupPath, const TContactOpertion* aOpertion)
{
    TSQLiteDatabase* db = AccountDbOf(aGroupPath);
    const std::string* groupId = GroupIdOf(aGroupPath);
    if (!db || !groupId)
        return nullptr;
    switch (ListingOf(*groupId, aOpertion)) {
    case TListing::All:
        return Ids(*db, kAllIds);
    case TListing::Group:
        return Ids(*db, kGroupIds, groupId);
    case TListing::NoGroup:
        break;
    }
    return Ids(*db, kNoGroupIds);
}

int TSqliteDbAddressBook::GetAddressBookCount(const TRcResPath* aGroupPath, const TContactOpertion* aOpertion)
{
    TSQLiteDatabase* db = AccountDbOf(aGroupPath);
    const std::string* groupId = GroupIdOf(aGroupPath);
    if (!db || !groupId)
        return 0;
    switch (ListingOf(*groupId, aOpertion)) {
    case TListing::All:
        return Count(*db, kAllCount);
    case TListing::Group:
        return Count(*db, kGroupCount, groupId);
    case TListing::NoGroup:
        break;
    }
    return Count(*db, kNoGroupCount);
}

TRcResIdList* TSqliteDbAddressBook::Search(const TRcResPath* aPath, const std::string& aText)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    if (!db)
        return nullptr;
    const std::string pattern = ContainsPattern(aText);
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    TSQLiteUniTable rows(*db, kSearch);
    rows.BindStr(1, pattern);
    rows.BindStr(2, pattern);
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtAccountAddressBook, rows.FieldAsString(0)));
    return ids;
}

TRcResIdList* TSqliteDbAddressBook::GetIdsByEmail(const TRcResPath* aPath, const std::string& aEmail)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db ? Ids(*db, kIdsByEmail, &aEmail) : nullptr;
}

int TSqliteDbAddressBook::GetAddressBookCount(const TRcResPath* aPath, const std::string& aEmail)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db ? Count(*db, kEmailCount, &aEmail) : 0;
}

void TSqliteDbAddressBook::GetMailContactList(const TRcResPath* aPath, TRcMailContactList* aList)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    if (!db || !aList)
        return;
    TSQLiteUniTable rows(*db, kContacts);
    for (; !rows.Eof(); rows.Next())
        aList->Add(TRcMailContact::CreateAndAutoRelease(rows.FieldAsString(0) + rows.FieldAsString(1),
                                                        rows.FieldAsString(2)));
}

void TSqliteDbAddressBook::GetMailContactSuggestions(const TRcResPath* aPath, const std::string& aTyped,
                                                     int aMaxCount, TRcMailContactList* aList)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    if (!db || !aList || aTyped.empty() || aMaxCount <= 0)
        return;
    // A card matches when its address starts with the text, when its last
    // name does, or when its last name is a shorter start of the text
    // (empty or NULL included) and its first name starts with the rest.
    // Each of those is one range of an index that also holds CreateTime,
    // so the matches are found and ordered without reading a row; only the
    // cards shown are read.
    std::vector<std::string> values;
    // "column >= prefix and column < its end", binding both.
    const auto range = [&](std::string& aSql, const char* aColumn, const std::string& aPrefix) {
        aSql += aColumn;
        aSql += " >= ?";
        values.push_back(aPrefix);
        std::string upper = PrefixEnd(aPrefix);
        if (upper.empty())
            return;
        aSql += " and ";
        aSql += aColumn;
        aSql += " < ?";
        values.push_back(std::move(upper));
    };
    std::string sql;
    const auto select = [&] {
        if (!sql.empty())
            sql += " union all ";
        sql += "select [rowid], [CreateTime] from [AddresBook] where ";
    };
    select();
    range(sql, "[Email]", aTyped);
    select();
    range(sql, "[LastName]", aTyped);
    select();
    sql += "[LastName] is null and ";
    range(sql, "[FirstName]", aTyped);
    for (std::size_t start : CharacterStarts(aTyped)) {
        select();
        sql += "[LastName] = ? and ";
        values.push_back(aTyped.substr(0, start));
        range(sql, "[FirstName]", aTyped.substr(start));
    }
    // A card can match by its address and by its name: twice the rows
    // asked for hold enough cards, and some more spare the rare address
    // two cards share.
    sql += " order by 2, 1 limit ?";
    std::vector<int64_t> rowids;
    {
        TSQLiteUniTable rows(*db, sql);
        int index = 1;
        for (const std::string& value : values)
            rows.BindStr(index++, value);
        rows.BindInteger(index, aMaxCount * 4);
        for (; !rows.Eof(); rows.Next())
            if (rowids.empty() || rowids.back() != rows.FieldAsInteger(0))
                rowids.push_back(rows.FieldAsInteger(0));
    }
    TSQLiteUniTable card(*db, "select [LastName], [FirstName], [Email] from [AddresBook] where [rowid] = ?");
    int added = 0;
    for (std::size_t i = 0; i < rowids.size() && added < aMaxCount; ++i) {
        card.BindInt64(1, rowids[i]);
        if (!card.Eof() && aList->AddUnique(TRcMailContact::CreateAndAutoRelease(
                               card.FieldAsString(0) + card.FieldAsString(1), card.FieldAsString(2))))
            ++added;
        card.Reset();
    }
}

TRcAddressBook* TSqliteDbAddressBook::Load(const TRcResPath* aPath, const std::string& aId)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    if (!db)
        return nullptr;
    std::string sql = "select ";
    sql += kColumns;
    sql += " from [AddresBook] where [id] = ?";
    TSQLiteUniTable row(*db, sql);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcAddressBook>(row);
}

TAddressBookSaveStatus TSqliteDbAddressBook::Save(const TRcResPath* aGroupPath, const TRcAddressBook* aCard)
{
    TSQLiteDatabase* db = AccountDbOf(aGroupPath);
    const std::string* groupId = GroupIdOf(aGroupPath);
    if (!db || !groupId)
        throw Exception("账户数据库没有打开");
    const std::string& id = aCard->ResId()->Id();
    TAddressBookSaveStatus status = TAddressBookSaveStatus::Added;
    TTransaction::Run(*db, [&] {
        if (Count(*db, kCount, &id) > 0) {
            status = TAddressBookSaveStatus::Updated;
        } else if (!aCard->FEmail.empty() && Count(*db, kEmailCount, &aCard->FEmail) > 0) {
            status = TAddressBookSaveStatus::DuplicateEmail;
            return;
        }
        TSQLiteQueryEx q(*db, kReplace);
        int column = 1;
        q.BindStr(column++, id);
        q.BindStr(column++, StoredGroupId(*groupId));
        for (const std::string* field :
             {&aCard->FLastName, &aCard->FFirstName, &aCard->FCompany, &aCard->FDepartment, &aCard->FOffice,
              &aCard->FNickName, &aCard->FEmail, &aCard->FCompanyWeb, &aCard->FCompanyTel, &aCard->FPrivateTel,
              &aCard->FFax, &aCard->FCompanyAddr, &aCard->FZipCode, &aCard->FCountriesRegions, &aCard->FLanguages,
              &aCard->FProductCategory, &aCard->FCustomerLevel, &aCard->FMemo, &aCard->FHeadIcon, &aCard->FQQ,
              &aCard->FBirthday, &aCard->FRelation})
            q.BindStr(column++, *field);
        q.BindDouble(column++, aCard->FCreateTime);
        q.BindDouble(column, aCard->FModifiedTime);
        q.Exec();
    });
    return status;
}

TSqliteDbAddressBook::TDeleteResult TSqliteDbAddressBook::Delete(const TRcResPath* aContactPath)
{
    TSQLiteDatabase* db = AccountDbOf(aContactPath);
    if (!db || !aContactPath->Last())
        return drNotFound;
    const std::string& id = aContactPath->Last()->Id();
    TDeleteResult result = drDeleted;
    TTransaction::Run(*db, [&] {
        if (Count(*db, kCount, &id) == 0) {
            result = drNotFound;
            return;
        }
        db->ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, id); });
    });
    return result;
}

void TSqliteDbAddressBook::Move(const TRcResPath* aContactPath, const TRcResPath* aGroupPath)
{
    TSQLiteDatabase* db = AccountDbOf(aContactPath);
    if (!db)
        return;
    const std::string groupId = StoredGroupId(aGroupPath->Last()->Id());
    const std::string& id = aContactPath->Last()->Id();
    TTransaction::Run(*db, [&] {
        db->ExecSQL(kMove, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, groupId);
            q.BindStr(2, id);
        });
    });
}

void TSqliteDbAddressBook::DeleteAllAddressBook(const TRcResPath* aPath)
{
    if (TSQLiteDatabase* db = AccountDbOf(aPath))
        TTransaction::Run(*db, [&] { db->ExecSQL(kDeleteAll); });
}
