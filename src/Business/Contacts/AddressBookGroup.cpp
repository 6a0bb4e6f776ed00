#include "AddressBookGroup.h"

#include "ContactsStore.h"
#include "Business/Data/Schema.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/Errors.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

using namespace contacts;

namespace {

constexpr const char* kSelectIds = "select [id] from [AddresBookGroup] order by Createtime";
constexpr const char* kLoad = "select    [Id] , [Name] , [Createtime] from [AddresBookGroup] where [id] = ?";
constexpr const char* kCount = "select count(0) from [AddresBookGroup] where [id] = ?";
constexpr const char* kReplace =
    "replace into [AddresBookGroup]([id], [Name] ,[Createtime]) values(?, ? , ?)";
constexpr const char* kCountContacts = "select count(0) from [AddresBook] where ([GroupId] = ?)";
constexpr const char* kDelete = "delete from [AddresBookGroup] where ([id] = ?)";
constexpr const char* kCountByName = "select Count(*) from [AddresBookGroup] where ([Name] = ?)";
constexpr const char* kCountOthersByName = "select Count(*) from [AddresBookGroup] where ([Name] = ?) and ([id] <> ?)";
constexpr const char* kDeleteAll = "delete from [AddresBookGroup]";

} // namespace

TRcAddressBookGroup* TRcAddressBookGroup::CreateEmptyAddressBookGroup()
{
    auto* group = new TRcAddressBookGroup(NewGuidId());
    group->AutoRelease();
    return group;
}

TRcAddressBookGroup::TRcAddressBookGroup(std::string aId)
    : FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtAccountAddressBookGroup, std::move(aId))))
{
}

TRcAddressBookGroup::TRcAddressBookGroup(TSQLiteUniTable& aRow) : TRcAddressBookGroup(aRow.FieldAsString(0))
{
    FName = aRow.FieldAsString(1);
    FCreatetime = aRow.FieldAsDouble(2);
}

std::string TRcAddressBookGroup::ToString() const
{
    return FName.empty() ? FormatText("<id: %s>", {FResId->Id()}) : FName;
}

const char* TSqliteDbAddressBookGroup::CreateTableSql()
{
    return schema::kAddresBookGroup;
}

TRcResIdList* TSqliteDbAddressBookGroup::GetIds(const TRcResPath* aFolderPath)
{
    TSQLiteDatabase* db = AccountDbOf(aFolderPath);
    if (!db)
        return nullptr;
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    TSQLiteUniTable rows(*db, kSelectIds);
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtAccountAddressBookGroup, rows.FieldAsString(0)));
    return ids;
}

TRcAddressBookGroup* TSqliteDbAddressBookGroup::Load(const TRcResPath* aPath, const std::string& aId)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    if (!db)
        return nullptr;
    TSQLiteUniTable row(*db, kLoad);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcAddressBookGroup>(row);
}

bool TSqliteDbAddressBookGroup::Save(const TRcResPath* aFolderPath, const TRcAddressBookGroup* aGroup)
{
    TSQLiteDatabase* db = AccountDbOf(aFolderPath);
    if (!db)
        throw Exception("账户数据库没有打开");
    const std::string& id = aGroup->ResId()->Id();
    bool existed = false;
    TTransaction::Run(*db, [&] {
        existed = db->GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, id); }) > 0;
        const bool taken = IsPseudoGroupId(aGroup->FName) ||
                           db->GetTableValue(kCountOthersByName, [&](TSQLiteUniTable& q) {
                               q.BindStr(1, aGroup->FName);
                               q.BindStr(2, id);
                           }) > 0;
        if (taken)
            throw Exception(kGroupExists);
        db->ExecSQL(kReplace, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, id);
            q.BindStr(2, aGroup->FName);
            q.BindDouble(3, aGroup->FCreatetime);
        });
    });
    return existed;
}

TSqliteDbAddressBookGroup::TDeleteResult TSqliteDbAddressBookGroup::Delete(const TRcResPath* aGroupPath)
{
    TSQLiteDatabase* db = AccountDbOf(aGroupPath);
    if (!db)
        return drNotFound;
    const std::string& id = aGroupPath->Last()->Id();
    TDeleteResult result = drDeleted;
    TTransaction::Run(*db, [&] {
        if (db->GetTableValue(kCountContacts, [&](TSQLiteUniTable& q) { q.BindStr(1, id); }) > 0) {
            result = drNotEmpty;
            return;
        }
        if (db->GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, id); }) == 0) {
            result = drNotFound;
            return;
        }
        db->ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, id); });
    });
    return result;
}

bool TSqliteDbAddressBookGroup::CheckGroupByGroupName(const TRcResPath* aPath, const std::string& aName)
{
    TSQLiteDatabase* db = AccountDbOf(aPath);
    return db && db->GetTableValue(kCountByName, [&](TSQLiteUniTable& q) { q.BindStr(1, aName); }) > 0;
}

void TSqliteDbAddressBookGroup::DeleteAllAddressBookGroup(const TRcResPath* aPath)
{
    if (TSQLiteDatabase* db = AccountDbOf(aPath))
        TTransaction::Run(*db, [&] { db->ExecSQL(kDeleteAll); });
}
