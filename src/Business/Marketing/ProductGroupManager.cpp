#include "ProductGroupManager.h"

#include "Business/Data/DataFolder.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kOrderedIds = "select [id] from [ProductGroup] order by [CreateTime],[ModifiedTime]";
constexpr const char* kCountByName = "select Count(*) from [ProductGroup] where ([Name] = ?)";

// A short-lived connection to the existing Product.db; nullptr without it.
std::unique_ptr<TSQLiteDatabase> OpenExisting()
{
    const fs::path path = CurrentDataPath() / "Product" / "Product.db";
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return nullptr;
    return std::make_unique<TSQLiteDatabase>(path);
}

} // namespace

TProductGroupManager::TProductGroupManager() : FObservable(MakeRc<TRcProductGroupObservable>())
{
}

TRcResIdList* TProductGroupManager::GetProductGroups()
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    try {
        auto db = OpenExisting();
        if (!db)
            return ids;
        TSQLiteUniTable rows(*db, kOrderedIds);
        for (; !rows.Eof(); rows.Next())
            ids->Add(TRcResId::CreateAndAutoRelease(rtProductGroup, rows.FieldAsString(0)));
    } catch (const std::exception& e) {
        TLog::O(lolError, "读取产品分组失败：%s", {e.what()});
    }
    return ids;
}

TSqliteDbProductGroup* TProductGroupManager::GetProductGroup(const TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() == 0 || !aResPath->At(0)->IsType(rtProductGroup))
        return nullptr;
    return GetProductGroup(aResPath->At(0));
}

TSqliteDbProductGroup* TProductGroupManager::GetProductGroup(const TRcResId* aResId)
{
    if (!aResId)
        return nullptr;
    return TSqliteDbProductGroup::CreateAndAutoRelease(aResId->Id());
}

TSqliteDbProductGroup* TProductGroupManager::CreateProductGroup()
{
    return TSqliteDbProductGroup::CreateAndAutoRelease(NewGuidId());
}

void TProductGroupManager::SaveProductGroup(TRcProductGroup* aGroup)
{
    if (!aGroup)
        throw Exception(kNilGroup);
    // Only a group of the store carries the connection it is saved through.
    auto* group = dynamic_cast<TSqliteDbProductGroup*>(aGroup);
    if (!group)
        throw Exception(kNotStored);
    group->GetDb();
    if (group->Save(group))
        FObservable->NotifyContentChanged(group->FResId.Get());
    else
        FObservable->NotifyChanged();
}

void TProductGroupManager::DeleteProductGroup(const TRcResPath* aResPath)
{
    // Only a group's own path: a longer one would end with something else.
    if (!aResPath || aResPath->Count() != 1)
        return;
    TSqliteDbProductGroup* group = GetProductGroup(aResPath);
    if (!group)
        return;
    switch (group->Delete(aResPath)) {
    case 0:
        FObservable->NotifyChanged();
        return;
    case 1:
        throw Exception(kNotEmpty);
    case 2:
        return;
    default:
        throw Exception(kDeleteFailed);
    }
}

bool TProductGroupManager::CheckGroupByGroupName(const std::string& aName)
{
    try {
        auto db = OpenExisting();
        if (!db)
            return false;
        return db->GetTableValue(kCountByName, [&](TSQLiteUniTable& q) { q.BindStr(1, aName); }) > 0;
    } catch (const std::exception& e) {
        TLog::O(lolError, "检查产品分组名称失败：%s", {e.what()});
        return false;
    }
}
