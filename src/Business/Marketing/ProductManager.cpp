#include "ProductManager.h"

#include "Business/Data/DataFolder.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteDatabase.h"
#include "ProductInUse.h"
#include "Runtime/Log.h"
#include "SqliteDbProduct.h"

#include <vector>

namespace fs = std::filesystem;

namespace {

bool IsGroupPath(const TRcResPath* aPath)
{
    return aPath && aPath->Count() >= 1 && aPath->At(0)->IsType(rtProductGroup);
}

// [group, product, ...]: the product's id; nullptr for any other path.
const std::string* ProductIdOf(const TRcResPath* aPath)
{
    if (!IsGroupPath(aPath) || aPath->Count() < 2 || !aPath->At(1)->IsType(rtProduct))
        return nullptr;
    return &aPath->At(1)->Id();
}

TRcResPath* GroupPathOf(const TRcResPath* aPath)
{
    return TRcResPath::CreateAndAutoRelease({aPath->At(0)});
}

} // namespace

TProductManager::TProductManager() : FObservable(MakeRc<TRcProductObservable>())
{
}

TProductManager::~TProductManager() = default;

TSQLiteDatabase* TProductManager::GetDb()
{
    std::lock_guard lock(FDbMutex);
    if (!FDb) {
        const fs::path path = CurrentDataPath() / "Product" / "Product.db";
        std::error_code ec;
        if (!fs::is_regular_file(path, ec))
            return nullptr;
        FDb = std::make_unique<TSQLiteDatabase>(path);
    }
    return FDb.get();
}

TSQLiteDatabase& TProductManager::WriteDb()
{
    std::lock_guard lock(FDbMutex);
    if (!FDb)
        FDb = OpenProductDatabase(CurrentDataPath());
    return *FDb;
}

TRcResIdList* TProductManager::GetProducts(const TRcResPath* aGroupPath, const TProductOpertion* aOpertion)
{
    TSQLiteDatabase* db = IsGroupPath(aGroupPath) ? GetDb() : nullptr;
    if (!db)
        return nullptr;
    return TSqliteDbProduct::GetIds(*db, aGroupPath->At(0)->Id(), aOpertion);
}

TRcResIdList* TProductManager::GetProductImages(const TRcResPath* aProductPath)
{
    const std::string* id = ProductIdOf(aProductPath);
    TSQLiteDatabase* db = id ? GetDb() : nullptr;
    if (!db)
        return nullptr;
    return TSqliteDbProduct::GetImages(*db, *id);
}

TRcProduct* TProductManager::GetProduct(const TRcResPath* aProductPath)
{
    const std::string* id = ProductIdOf(aProductPath);
    TSQLiteDatabase* db = id ? GetDb() : nullptr;
    if (!db)
        return nullptr;
    return TSqliteDbProduct::Load(*db, *id, true);
}

TRcProduct* TProductManager::GetProduct(const std::string& aId)
{
    TSQLiteDatabase* db = GetDb();
    if (!db)
        return nullptr;
    return TSqliteDbProduct::Load(*db, aId, false);
}

TRcProduct* TProductManager::GetProduct(const TRcResPath* aResPath, const TRcResId* aResId)
{
    if (!aResPath || aResPath->Count() == 0 || !aResPath->At(0)->IsType(rtAccount) || !aResId ||
        !aResId->IsType(rtProduct))
        return nullptr;
    return GetProduct(aResId->Id());
}

TRcProductImage* TProductManager::GetProductImage(const TRcResPath* aImagePath)
{
    const TRcResId* last = aImagePath ? aImagePath->Last() : nullptr;
    if (!last || !last->IsType(rtProductImage))
        return nullptr;
    return GetProductImage(last->Id());
}

TRcProductImage* TProductManager::GetProductImage(const std::string& aId)
{
    TSQLiteDatabase* db = GetDb();
    if (!db)
        return nullptr;
    return TSqliteDbProduct::LoadImage(*db, aId);
}

TRcProduct* TProductManager::CreateProduct()
{
    return TRcProduct::CreateEmptyProductAndAutoRelease();
}

TRcProductImage* TProductManager::CreateProductImage()
{
    return TRcProductImage::CreateEmptyProductImageAndAutoRelease();
}

TRcResPath* TProductManager::SaveProduct(const TRcResPath* aGroupPath, TRcProduct* aProduct)
{
    if (!IsGroupPath(aGroupPath) || !aProduct)
        return nullptr;
    TRcResPath* groupPath = GroupPathOf(aGroupPath);
    const bool existed = TSqliteDbProduct::Save(WriteDb(), groupPath->At(0)->Id(), aProduct);
    TRcResPath* path = TRcResPath::CreateByPathAndAutoRelease(groupPath, {aProduct->FResId.Get()});
    if (existed)
        FObservable->NotifyContentChanged(path);
    else
        FObservable->NotifyChanged(groupPath);
    return path;
}

void TProductManager::DeleteProduct(const TRcResPath* aProductPath)
{
    const std::string* id = ProductIdOf(aProductPath);
    TSQLiteDatabase* db = id ? GetDb() : nullptr;
    if (!db)
        return;
    switch (TSqliteDbProduct::Delete(*db, *id)) {
    case 0:
        FObservable->NotifyChanged(GroupPathOf(aProductPath));
        return;
    case 1:
        return;
    default:
        throw Exception(kDeleteFailed);
    }
}

void TProductManager::DeleteProducts(const TRcResPathList* aProductPaths)
{
    if (!aProductPaths)
        return;
    TSQLiteDatabase* db = GetDb();
    if (!db)
        return;
    auto groups = MakeRc<TRcResPathList>();
    bool failed = false;
    for (TRcResPath* path : *aProductPaths) {
        const std::string* id = ProductIdOf(path);
        if (!id)
            continue;
        try {
            if (TSqliteDbProduct::Delete(*db, *id) == 0) {
                TRcResPath* group = GroupPathOf(path);
                if (groups->IndexOf(group) < 0)
                    groups->Add(group);
            }
        } catch (const std::exception& e) {
            TLog::O(lolError, "删除产品失败：%s", {e.what()});
            failed = true;
        }
    }
    for (TRcResPath* group : *groups)
        FObservable->NotifyChanged(group);
    if (failed)
        throw Exception(kDeletePartly);
}

void TProductManager::DeleteProductImage(const TRcResPath* aProductPath)
{
    const std::string* id = ProductIdOf(aProductPath);
    TSQLiteDatabase* db = id ? GetDb() : nullptr;
    if (db)
        TSqliteDbProduct::DeleteImageForProduct(*db, *id);
}

void TProductManager::DeleteAllProduct()
{
    if (TSQLiteDatabase* db = GetDb())
        TSqliteDbProduct::DeleteAllProduct(*db);
}

void TProductManager::DeleteAllImage()
{
    if (TSQLiteDatabase* db = GetDb())
        TSqliteDbProduct::DeleteAllImage(*db);
}

void TProductManager::LazyLoadProductImage(const TRcResPath* aProductPath, TRcProduct* aProduct)
{
    TSQLiteDatabase* db = ProductIdOf(aProductPath) ? GetDb() : nullptr;
    if (db && aProduct)
        TSqliteDbProduct::LazyLoadProductImage(*db, aProduct);
}

std::string TProductManager::GetProductIdByName(const TRcResPath*, const std::string& aName)
{
    TSQLiteDatabase* db = GetDb();
    return db ? TSqliteDbProduct::GetProductIdByName(*db, aName) : std::string();
}

bool TProductManager::CheckProductIsUse(const TRcResPath* aProductPath)
{
    const std::string* id = ProductIdOf(aProductPath);
    return id && IsProductInUse(CurrentDataPath(), *id);
}
