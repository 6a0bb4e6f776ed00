#include "SqliteDbProduct.h"

#include "Business/Data/SqliteQuery.h"
#include "ProductImageFiles.h"
#include "Runtime/GuidId.h"

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kAllIds = "select [id] from [Product] order by [CreateTime]";
constexpr const char* kGroupIds = "select [id] from [Product] where [GroupId] = ? order by [CreateTime]";
constexpr const char* kImageIds = "select [id] from [ProductImage] where [ProductId] = ? order by [CreateTime]";
constexpr const char* kLoad =
    "select    [Id] , [GroupId] , [Name], [Model], [Price], [Inventory], [Remarks] , [CreateTime],[ModifiedTime]  "
    "from [Product] where [id] = ? order by [CreateTime]";
constexpr const char* kFirstImage = "select [id] from [ProductImage] where [ProductId] = ? limit 1";
constexpr const char* kLoadImage =
    "select    [Id] , [ImageName] , [CreateTime],[ModifiedTime]  from [ProductImage] where [id] = ? order by "
    "[CreateTime]";
constexpr const char* kCount = "select count(0) from [Product] where id= ?";
constexpr const char* kReplace =
    "replace into [Product](   [Id] , [GroupId] , [Name], [Model], [Price], [Inventory], [Remarks] , "
    "[CreateTime],[ModifiedTime]) values(   ? , ? , ?, ?, ?, ?, ? , ?, ? )";
constexpr const char* kReplaceImage =
    "replace into [ProductImage](   [Id] , [ProductId] , [ImageName] , [CreateTime],[ModifiedTime]) values(   ? , "
    "? , ? , ?, ? )";
constexpr const char* kDeleteImage = "delete from [ProductImage] where ([id] = ?)";
constexpr const char* kDelete = "delete from [Product] where ([id] = ?)";
constexpr const char* kDeleteImages = "delete from [ProductImage] where ([ProductId] = ?)";
constexpr const char* kMove = "update [Product] set [GroupId] = ? where ([id] = ?)";
constexpr const char* kAllImageIds = "select [id] from [ProductImage]";
constexpr const char* kDeleteAll = "delete from [Product]";
constexpr const char* kDeleteAllImages = "delete from [ProductImage]";
constexpr const char* kIdByName = "select id from [Product] where [Name] = ?";

// The first column of every row; the statement's one parameter, if any,
// bound to aParam.
std::vector<std::string> Column(TSQLiteDatabase& aDb, const char* aSql, const std::string* aParam = nullptr)
{
    std::vector<std::string> values;
    TSQLiteUniTable rows(aDb, aSql);
    if (aParam)
        rows.BindStr(1, *aParam);
    for (; !rows.Eof(); rows.Next())
        values.push_back(rows.FieldAsString(0));
    return values;
}

TRcResIdList* IdsOf(TSQLiteUniTable& aRows, TResType aType)
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    for (; !aRows.Eof(); aRows.Next())
        ids->Add(TRcResId::CreateAndAutoRelease(aType, aRows.FieldAsString(0)));
    return ids;
}

// A stored picture's file name; "" for an id that cannot name a file.
std::string StoredFileName(const std::string& aImageId)
{
    return IsGuidId(aImageId) ? ProductImageFileName(aImageId).string() : std::string();
}

} // namespace

TRcResIdList* TSqliteDbProduct::GetIds(TSQLiteDatabase& aDb, const std::string& aGroupId,
                                       const TProductOpertion* aOpertion)
{
    if (aOpertion && aGroupId == aOpertion->FAllProductId) {
        TSQLiteUniTable rows(aDb, kAllIds);
        return IdsOf(rows, rtProduct);
    }
    TSQLiteUniTable rows(aDb, kGroupIds);
    const bool noGroup = aOpertion && aGroupId == aOpertion->FNoGroupProductId;
    rows.BindStr(1, noGroup ? std::string() : aGroupId);
    return IdsOf(rows, rtProduct);
}

TRcResIdList* TSqliteDbProduct::GetImages(TSQLiteDatabase& aDb, const std::string& aProductId)
{
    TSQLiteUniTable rows(aDb, kImageIds);
    rows.BindStr(1, aProductId);
    return IdsOf(rows, rtProductImage);
}

TRcProduct* TSqliteDbProduct::Load(TSQLiteDatabase& aDb, const std::string& aId, bool aFirstImage)
{
    TSQLiteUniTable row(aDb, kLoad);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    auto* product = RcCreateAndAutoRelease<TRcProduct>(row.FieldAsString(0), row.FieldAsDouble(7));
    product->FGroupId = row.FieldAsString(1);
    product->FName = row.FieldAsString(2);
    product->FModel = row.FieldAsString(3);
    product->FPrice = row.FieldAsDouble(4);
    product->FInventory = row.FieldAsDouble(5);
    product->FRemarks = row.FieldAsString(6);
    product->FModifiedTime = row.FieldAsDouble(8);
    if (aFirstImage) {
        TSQLiteUniTable first(aDb, kFirstImage);
        first.BindStr(1, aId);
        if (!first.Eof()) {
            auto image = MakeRc<TRcProductImage>(first.FieldAsString(0), 0);
            image->FFileName = StoredFileName(image->Id());
            product->FImages->Add(image.Get());
        }
    }
    return product;
}

TRcProductImage* TSqliteDbProduct::LoadImage(TSQLiteDatabase& aDb, const std::string& aId)
{
    TSQLiteUniTable row(aDb, kLoadImage);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    auto* image = RcCreateAndAutoRelease<TRcProductImage>(row.FieldAsString(0), row.FieldAsDouble(2));
    image->FImageName = row.FieldAsString(1);
    image->FModifiedTime = row.FieldAsDouble(3);
    image->FFileName = StoredFileName(image->Id());
    return image;
}

void TSqliteDbProduct::LazyLoadProductImage(TSQLiteDatabase& aDb, TRcProduct* aProduct)
{
    if (!aProduct)
        return;
    aProduct->FImages->Clear();
    for (TRcResId* id : *GetImages(aDb, aProduct->Id()))
        if (TRcProductImage* image = LoadImage(aDb, id->Id()))
            aProduct->FImages->Add(image);
}

bool TSqliteDbProduct::Save(TSQLiteDatabase& aDb, const std::string& aGroupId, TRcProduct* aProduct)
{
    if (!IsGuidId(aProduct->Id()))
        throw Exception(kBadProductId);
    // The slow file work first, outside any transaction.
    TProductImageCopies copies;
    std::vector<std::string> stored;
    std::vector<std::filesystem::path> storedFiles;
    for (TRcProductImage* image : *aProduct->FImages) {
        storedFiles.push_back(copies.CopyIn(image->Id(), image->FFileName));
        stored.push_back(image->Id());
    }
    copies.Sync();

    bool existed = false;
    std::vector<std::string> dropped;
    const TDateTime now = Now();
    TTransaction::Run(aDb, [&] {
        existed = aDb.GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, aProduct->Id()); }) > 0;
        aDb.ExecSQL(kReplace, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aProduct->Id());
            q.BindStr(2, aGroupId);
            q.BindStr(3, aProduct->FName);
            q.BindStr(4, aProduct->FModel);
            q.BindDouble(5, aProduct->FPrice);
            q.BindDouble(6, aProduct->FInventory);
            q.BindStr(7, aProduct->FRemarks);
            q.BindDouble(8, aProduct->FCreateTime);
            q.BindDouble(9, now);
        });
        TSQLiteQueryEx replaceImage(aDb, kReplaceImage);
        for (TRcProductImage* image : *aProduct->FImages) {
            replaceImage.BindStr(1, image->Id());
            replaceImage.BindStr(2, aProduct->Id());
            replaceImage.BindStr(3, image->FImageName);
            replaceImage.BindDouble(4, image->FCreateTime);
            replaceImage.BindDouble(5, image->FModifiedTime);
            replaceImage.Exec();
        }
        TSQLiteQueryEx deleteImage(aDb, kDeleteImage);
        for (const std::string& id : Column(aDb, kImageIds, &aProduct->Id())) {
            if (std::find(stored.begin(), stored.end(), id) != stored.end())
                continue;
            deleteImage.BindStr(1, id);
            deleteImage.Exec();
            dropped.push_back(id);
        }
    });
    copies.Keep();
    aProduct->FGroupId = aGroupId;
    aProduct->FModifiedTime = now;
    for (int i = 0; i < aProduct->FImages->Count(); ++i)
        aProduct->FImages->GetItem(i)->FFileName = storedFiles[static_cast<std::size_t>(i)].string();
    RemoveProductImageFiles(dropped);
    return existed;
}

int TSqliteDbProduct::Delete(TSQLiteDatabase& aDb, const std::string& aProductId)
{
    bool found = false;
    std::vector<std::string> images;
    TTransaction::Run(aDb, [&] {
        found = aDb.GetTableValue(kCount, [&](TSQLiteUniTable& q) { q.BindStr(1, aProductId); }) > 0;
        if (!found)
            return;
        aDb.ExecSQL(kDelete, [&](TSQLiteQueryEx& q) { q.BindStr(1, aProductId); });
        images = Column(aDb, kImageIds, &aProductId);
        aDb.ExecSQL(kDeleteImages, [&](TSQLiteQueryEx& q) { q.BindStr(1, aProductId); });
    });
    RemoveProductImageFiles(images);
    return found ? 0 : 1;
}

int TSqliteDbProduct::DeleteImageForProduct(TSQLiteDatabase& aDb, const std::string& aProductId)
{
    std::vector<std::string> images;
    TTransaction::Run(aDb, [&] {
        images = Column(aDb, kImageIds, &aProductId);
        if (!images.empty())
            aDb.ExecSQL(kDeleteImages, [&](TSQLiteQueryEx& q) { q.BindStr(1, aProductId); });
    });
    RemoveProductImageFiles(images);
    return images.empty() ? 1 : 0;
}

void TSqliteDbProduct::Move(TSQLiteDatabase& aDb, const std::string& aProductId, const std::string& aGroupId)
{
    TTransaction::Run(aDb, [&] {
        aDb.ExecSQL(kMove, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aGroupId);
            q.BindStr(2, aProductId);
        });
    });
}

void TSqliteDbProduct::DeleteAllProduct(TSQLiteDatabase& aDb)
{
    std::vector<std::string> images;
    TTransaction::Run(aDb, [&] {
        images = Column(aDb, kAllImageIds);
        aDb.ExecSQL(kDeleteAll);
        aDb.ExecSQL(kDeleteAllImages);
    });
    RemoveProductImageFiles(images);
}

void TSqliteDbProduct::DeleteAllImage(TSQLiteDatabase& aDb)
{
    std::vector<std::string> images;
    TTransaction::Run(aDb, [&] {
        images = Column(aDb, kAllImageIds);
        aDb.ExecSQL(kDeleteAllImages);
    });
    RemoveProductImageFiles(images);
}

std::string TSqliteDbProduct::GetProductIdByName(TSQLiteDatabase& aDb, const std::string& aName)
{
    TSQLiteUniTable rows(aDb, kIdByName);
    rows.BindStr(1, aName);
    return rows.Eof() ? std::string() : rows.FieldAsString(0);
}
