#include "Secretary.h"

#include "Business/Data/DataFolder.h"
#include "Business/Data/Databases.h"
#include "Business/Data/Schema.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/TextFormat.h"

#include <memory>

namespace {

constexpr const char* kSelectAll = "select * from [Secretary] order by [CreateTime]";
constexpr const char* kLoad =
    "select [Id],[SecretaryName],[SecretaryEmail],[CreateTime] from [Secretary] where [id] = ?";
constexpr const char* kCount = "select count(0) from [Secretary] where [id] = ?";
constexpr const char* kReplace =
    "replace into [Secretary](   [Id] ,[SecretaryName] , [SecretaryEmail],[CreateTime]) values(   ? , ?, ?,? )";
constexpr const char* kDelete = "delete from [Secretary] where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [Secretary]";
constexpr const char* kByEmail = "select * from [Secretary] where [SecretaryEmail]=? ";

std::filesystem::path AccountsDbPath()
{
    return CurrentDataPath() / "Accounts" / "Accounts.db";
}

bool AccountsDbExists()
{
    std::error_code ec;
    return std::filesystem::is_regular_file(AccountsDbPath(), ec);
}

// A connection for reading, when the file and the table are there.
std::unique_ptr<TSQLiteDatabase> OpenForReading()
{
    if (!AccountsDbExists())
        return nullptr;
    auto db = std::make_unique<TSQLiteDatabase>(AccountsDbPath());
    if (!db->TableExists("Secretary"))
        return nullptr;
    return db;
}

// A connection for writing, the table made first when an older file lacks
// it; nullptr when there is no file.
std::unique_ptr<TSQLiteDatabase> OpenForWriting()
{
    if (!AccountsDbExists())
        return nullptr;
    return EnsureAccountsDb(CurrentDataPath());
}

// The id a path ends with, when it is a secretary's.
const std::string* SecretaryIdOf(const TRcResPath* aResPath)
{
    const TRcResId* last = aResPath ? aResPath->Last() : nullptr;
    if (!last || !last->IsType(rtSecretary) || !IsGuidId(last->Id()))
        return nullptr;
    return &last->Id();
}

template <class F>
void ForEachRow(TSQLiteDatabase& aDb, F&& aRow)
{
    TSQLiteUniTable rows(aDb, kSelectAll);
    for (; !rows.Eof(); rows.Next())
        if (IsGuidId(rows.FieldAsString(0)))
            aRow(rows);
}

} // namespace

TRcSecretary* TRcSecretary::CreateNewAndAutoRelease()
{
    return RcCreateAndAutoRelease<TRcSecretary>(NewGuidId(), std::string(), std::string(), TDateTime(0));
}

TRcSecretary::TRcSecretary(TSQLiteUniTable& aRow)
    : FId(aRow.FieldAsString(0)),
      FSecretaryName(aRow.FieldAsString(1)),
      FSecretaryEmail(aRow.FieldAsString(2)),
      FCreateTime(aRow.FieldAsDouble(3))
{
}

TRcSecretary::TRcSecretary(std::string aId, std::string aSecretaryName, std::string aSecretaryEmail,
                           TDateTime aCreateTime)
    : FId(std::move(aId)),
      FSecretaryName(std::move(aSecretaryName)),
      FSecretaryEmail(std::move(aSecretaryEmail)),
      FCreateTime(aCreateTime)
{
}

std::string TRcSecretary::ToString() const
{
    if (!FSecretaryName.empty())
        return FSecretaryName;
    return FormatText("<id: %s>", {FId});
}

TRcResId* TRcSecretary::ResId() const
{
    return TRcResId::CreateAndAutoRelease(rtSecretary, FId);
}

const char* TSqliteDbSecretary::CreateTableSql()
{
    return schema::kSecretary;
}

void TSqliteDbSecretary::InitSecretaryTable()
{
    OpenForWriting();
}

TRcResIdList* TSqliteDbSecretary::GetIds()
{
    auto db = OpenForReading();
    if (!db)
        return AccountsDbExists() ? TRcResIdList::CreateAndAutoRelease() : nullptr;
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    ForEachRow(*db, [&](TSQLiteUniTable& aRow) {
        ids->Add(TRcResId::CreateAndAutoRelease(rtSecretary, aRow.FieldAsString(0)));
    });
    return ids;
}

TRcSecretaryList* TSqliteDbSecretary::LoadList()
{
    auto db = OpenForReading();
    if (!db)
        return AccountsDbExists() ? TRcSecretaryList::CreateAndAutoRelease() : nullptr;
    auto* list = TRcSecretaryList::CreateAndAutoRelease();
    ForEachRow(*db, [&](TSQLiteUniTable& aRow) { list->Add(RcCreateAndAutoRelease<TRcSecretary>(aRow)); });
    return list;
}

TRcSecretary* TSqliteDbSecretary::Load(const TRcResPath* aResPath)
{
    const std::string* id = SecretaryIdOf(aResPath);
    if (!id)
        return nullptr;
    auto db = OpenForReading();
    if (!db)
        return nullptr;
    TSQLiteUniTable row(*db, kLoad);
    row.BindStr(1, *id);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcSecretary>(row);
}

std::optional<bool> TSqliteDbSecretary::Save(const TRcSecretary* aSecretary)
{
    if (!aSecretary)
        return std::nullopt;
    if (!IsGuidId(aSecretary->FId))
        throw Exception(kBadId);
    auto db = OpenForWriting();
    if (!db)
        return std::nullopt;
    bool existed = false;
    TTransaction::Run(*db, [&] {
        existed = db->GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, aSecretary->FId); }) > 0;
        db->ExecSQL(kReplace, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aSecretary->FId);
            q.BindStr(2, aSecretary->FSecretaryName);
            q.BindStr(3, aSecretary->FSecretaryEmail);
            q.BindDouble(4, aSecretary->FCreateTime);
        });
    });
    return existed;
}

bool TSqliteDbSecretary::Delete(const TRcResPath* aResPath)
{
    const std::string* id = SecretaryIdOf(aResPath);
    if (!id)
        return false;
    auto db = OpenForWriting();
    if (!db)
        return false;
    int deleted = 0;
    TTransaction::Run(*db, [&] {
        TSQLiteQueryEx q(*db, kDelete);
        q.BindStr(1, *id);
        q.Exec();
        deleted = q.Changes();
    });
    return deleted > 0;
}

void TSqliteDbSecretary::DeleteAllSecretary()
{
    auto db = OpenForWriting();
    if (!db)
        return;
    TTransaction::Run(*db, [&] { db->ExecSQL(kDeleteAll); });
}

bool TSqliteDbSecretary::CheckSecretaryByEmail(const std::string& aAddress)
{
    auto db = OpenForReading();
    if (!db)
        return false;
    TSQLiteUniTable rows(*db, kByEmail);
    rows.BindStr(1, aAddress);
    return !rows.Eof();
}
