#include "MailFilter.h"

#include "Business/Data/Schema.h"
#include "Business/Data/SqliteDatabase.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Resource/ResPathCheck.h"
#include "RulesStore.h"
#include "Runtime/GuidId.h"

namespace {

constexpr const char* kSelectIds = "select [Id],[Filter]  from [MailFilter]";
constexpr const char* kSelectOne = "select [Id],[Filter]  from [MailFilter] where [id] = ?";
constexpr const char* kSelectAll = "select [Id],[Filter]  from [MailFilter]";
constexpr const char* kReplace = "replace into [MailFilter](   [Id] ,[Filter] ) values(   ? , ? )";
constexpr const char* kDeleteOne = "delete from [MailFilter] where ([id] = ?)";
constexpr const char* kDeleteAll = "delete from [MailFilter]";

// The filter id a path ends with, or "" when it does not end with one.
std::string FilterIdOf(const TRcResPath* aResPath)
{
    if (!IsAccountRootedResPath(aResPath) || !aResPath->Last() || !aResPath->Last()->IsType(rtFilter))
        return {};
    return aResPath->Last()->Id();
}

std::string AccountIdOf(const TRcResPath* aResPath)
{
    return IsAccountRootedResPath(aResPath) ? aResPath->At(0)->Id() : std::string();
}

} // namespace

TRcMailFilter::TRcMailFilter(std::string aFilter) : FId(NewGuidId()), FFilter(std::move(aFilter)) {}

TRcMailFilter::TRcMailFilter(TSQLiteUniTable& aRow) : FId(aRow.FieldAsString(0)), FFilter(aRow.FieldAsString(1)) {}

void TSqliteDbMailFilter::InitMailFilterTable(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    if (!db.TableExists("MailFilter"))
        db.ExecSQL(schema::kMailFilter);
}

TRcResIdList* TSqliteDbMailFilter::GetIds(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (!db.TableExists("MailFilter"))
        return ids;
    TSQLiteUniTable rows(db, kSelectIds);
    for (; !rows.Eof(); rows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(rtFilter, rows.FieldAsString(0)));
    return ids;
}

TRcMailFilter* TSqliteDbMailFilter::Load(const TRcResPath* aResPath)
{
    const std::string id = FilterIdOf(aResPath);
    if (id.empty())
        return nullptr;
    TSQLiteUniTable row(RulesAccountDb(aResPath), kSelectOne);
    row.BindStr(1, id);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcMailFilter>(row);
}

void TSqliteDbMailFilter::LoadList(const TRcResPath* aResPath, TRcMailFilters* aList)
{
    aList->Clear();
    TSQLiteUniTable rows(RulesAccountDb(aResPath), kSelectAll);
    for (; !rows.Eof(); rows.Next())
        aList->Add(RcCreateAndAutoRelease<TRcMailFilter>(rows));
}

void TSqliteDbMailFilter::SaveIn(TSQLiteDatabase& aDb, const TRcMailFilter* aFilter)
{
    TSQLiteQueryEx query(aDb, kReplace);
    query.BindStr(1, aFilter->FId);
    query.BindStr(2, aFilter->FFilter);
    query.Exec();
}

void TSqliteDbMailFilter::DeleteAllIn(TSQLiteDatabase& aDb)
{
    aDb.ExecSQL(kDeleteAll);
}

void TSqliteDbMailFilter::Save(const TRcResPath* aResPath, const TRcMailFilter* aFilter)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    TTransaction::Run(db, [&] { SaveIn(db, aFilter); });
}

void TSqliteDbMailFilter::Delete(const TRcResPath* aResPath)
{
    const std::string id = FilterIdOf(aResPath);
    if (id.empty())
        return;
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    TTransaction::Run(db, [&] {
        TSQLiteQueryEx query(db, kDeleteOne);
        query.BindStr(1, id);
        query.Exec();
    });
}

void TSqliteDbMailFilter::DeleteAllMailFilter(const TRcResPath* aResPath)
{
    TSQLiteDatabase& db = RulesAccountDb(aResPath);
    TTransaction::Run(db, [&] { DeleteAllIn(db); });
}

TMailFilterManager::TMailFilterManager() : FObservable(MakeRc<TRcMailFilterObservable>()) {}

TMailFilterManager::~TMailFilterManager() = default;

void TMailFilterManager::Init(const TRcResPath* aResPath)
{
    std::lock_guard lock(FMutex);
    FLoadedAccountId.clear();
    if (!FMailFilters)
        FMailFilters = MakeRc<TRcMailFilters>();
    FMailFilters->Clear();
    if (!IsAccountRootedResPath(aResPath))
        throw Exception("路径不是账户路径");
    TSqliteDbMailFilter::LoadList(aResPath, FMailFilters.Get());
    FLoadedAccountId = AccountIdOf(aResPath);
}

void TMailFilterManager::UnInit()
{
    std::lock_guard lock(FMutex);
    FMailFilters.Reset();
    FLoadedAccountId.clear();
}

bool TMailFilterManager::IsLoadedFor(const TRcResPath* aResPath) const
{
    std::lock_guard lock(FMutex);
    return !FLoadedAccountId.empty() && FLoadedAccountId == AccountIdOf(aResPath);
}

bool TMailFilterManager::CheckMailFilter(const std::string& aFilterStr) const
{
    std::lock_guard lock(FMutex);
    if (FLoadedAccountId.empty() || !FMailFilters)
        return false;
    for (TRcMailFilter* filter : *FMailFilters)
        if (!filter->FFilter.empty() && aFilterStr.find(filter->FFilter) != std::string::npos)
            return true;
    return false;
}

TRcMailFilter* TMailFilterManager::CreateMailFilter(const std::string& aFilter)
{
    return RcCreateAndAutoRelease<TRcMailFilter>(aFilter);
}

void TMailFilterManager::SaveMailFilter(const TRcResPath* aResPath, TRcMailFilter* aMailFilter)
{
    if (!aMailFilter || !IsAccountResPath(aResPath))
        return;
    TSqliteDbMailFilter::Save(aResPath, aMailFilter);
    FObservable->NotifyChanged();
}

void TMailFilterManager::DeleteMailFilter(const TRcResPath* aResPath)
{
    if (FilterIdOf(aResPath).empty())
        return;
    TSqliteDbMailFilter::Delete(aResPath);
    FObservable->NotifyChanged();
}

void TMailFilterManager::DeleteAllMailFilter(const TRcResPath* aResPath)
{
    if (!IsAccountRootedResPath(aResPath))
        return;
    TSqliteDbMailFilter::DeleteAllMailFilter(aResPath);
    FObservable->NotifyChanged();
}
