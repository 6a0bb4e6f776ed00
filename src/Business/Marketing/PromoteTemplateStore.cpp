#include "PromoteTemplateStore.h"

#include "Business/Data/SqliteDatabase.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/Errors.h"
#include "Runtime/GuidId.h"

namespace {

// The template table was created with [ModifyTime]; every account database
// also has [ModifiedTime] (the upgrade adds it), which is the column the
// program has always written and read, so the statements use that one.
constexpr const char* kTemplateIds = "select [id] from [promoteTemplate] order by [createtime]";
constexpr const char* kLoadTemplate =
    "select    [Id] , [Name] , [PromotionContent] , [DeleteFlag] , [CreateTime] , [ModifiedTime] , [DeleteTime] "
    "from [promoteTemplate] where [id] = ?";
constexpr const char* kCountTemplate = "select count(0) from [promoteTemplate] where [id] = ?";
constexpr const char* kReplaceTemplate =
    "replace into [promoteTemplate](   [id], [Name],[PromotionContent] , [DeleteFlag], [CreateTime],[ModifiedTime],"
    "[DeleteTime] )  values(   ?,?,?,  ?,?,?,?)";
constexpr const char* kDeleteTemplate = "delete from [promoteTemplate] where ([id] = ?)";
constexpr const char* kNameTaken = "select count(1) from [promoteTemplate] where  [id] <> ? and [Name] = ?  ";

constexpr const char* kItemIds =
    "select [id] from [promoteTemplateItem] where [promoteTemplateid] = ? order by [serialNumber],[createtime]";
constexpr const char* kLoadItem =
    "select    [Id] , [serialNumber] , [promoteTemplateId] , [productid] , [DeleteFlag] , [CreateTime] , "
    "[ModifiedTime] , [DeleteTime] from [promoteTemplateItem] where [id] = ?";
constexpr const char* kItemProduct = "select [productid] from [promoteTemplateitem] where [id] = ?";
constexpr const char* kTemplateProducts =
    "select [productid] from [promoteTemplateItem] where [promoteTemplateid] = ? order by [serialNumber],[createtime]";
constexpr const char* kReplaceItem =
    "replace into [promoteTemplateItem](   [id], [serialNumber],[promoteTemplateId],[productid] , [DeleteFlag], "
    "[CreateTime],[ModifiedTime],[DeleteTime] )  values(   ?,?,?,?,  ?,?,?,?)";
constexpr const char* kDeleteItemsOfTemplate = "delete from [promoteTemplateitem] where ([promoteTemplateId] = ?)";

constexpr const char* kItemImages =
    "select [Id] , [serialNumber] , [promoteTemplateItemId] , [productImageid] , [CreateTime] , [ModifiedTime] , "
    "[DeleteTime] from [promoteTemplateItemImage] where [promoteTemplateItemid] = ? order by [serialNumber],[createtime]";
constexpr const char* kItemImageIds =
    "select [productImageid] from [promoteTemplateItemImage] where [promoteTemplateItemid] = ? "
    "order by [serialNumber],[createtime]";
constexpr const char* kTemplateImageIds =
    " Select B.productImageid  from promoteTemplateItem A inner join promoteTemplateItemImage B  on A.ID = "
    "B.promoteTemplateItemId  where A.promoteTemplateid = ?  order by A.serialNumber,A.CreateTime,B.serialNumber,"
    "B.Createtime ";
// The picture with the lowest serial number of each item, in item order.
constexpr const char* kFirstImageIds =
    "select (select B.productImageid from promoteTemplateItemImage B where B.promoteTemplateItemId = A.Id "
    "order by B.serialNumber, B.CreateTime limit 1) from promoteTemplateItem A where A.promoteTemplateid = ? "
    "order by A.serialNumber, A.CreateTime";
constexpr const char* kReplaceImage =
    "replace into [promoteTemplateItemImage](   [id],[serialNumber], [promoteTemplateItemId] , [productImageid] , "
    "[CreateTime],[ModifiedTime],[DeleteTime] )  values(   ?,?,?,  ?,  ?,?,?)";
constexpr const char* kDeleteImagesOfTemplate =
    "delete from [promoteTemplateItemImage] where [promoteTemplateItemId] in "
    "(select [id] from [promoteTemplateitem] where [promoteTemplateId] = ?)";

void CheckId(const std::string& aId)
{
    if (!IsGuidId(aId))
        throw Exception(TSqliteDbPromoteTemplate::kBadId);
}

std::vector<std::string> Strings(TSQLiteDatabase& aDb, const char* aSql, const std::string& aKey)
{
    std::vector<std::string> out;
    TSQLiteUniTable rows(aDb, aSql);
    rows.BindStr(1, aKey);
    for (; !rows.Eof(); rows.Next())
        if (!rows.FieldIsNull(0))
            out.push_back(rows.FieldAsString(0));
    return out;
}

void LoadImages(TSQLiteDatabase& aDb, TRcPromoteTemplateItem& aItem)
{
    TSQLiteUniTable rows(aDb, kItemImages);
    rows.BindStr(1, aItem.Id());
    for (; !rows.Eof(); rows.Next()) {
        auto* image = RcCreateAndAutoRelease<TRcPromoteTemplateItemImage>(rows.FieldAsString(0), rows.FieldAsDouble(4));
        image->FserialNumber = static_cast<int>(rows.FieldAsInteger(1));
        image->FPromoteTemplateItemId = rows.FieldAsString(2);
        image->FProductImageId = rows.FieldAsString(3);
        image->FModifyTime = rows.FieldAsDouble(5);
        image->FDeleteTime = rows.FieldAsDouble(6);
        aItem.FProductImages->Add(image);
    }
}

void DeleteItemsOf(TSQLiteDatabase& aDb, const std::string& aTemplateId)
{
    aDb.ExecSQL(kDeleteImagesOfTemplate, [&](TSQLiteQueryEx& q) { q.BindStr(1, aTemplateId); });
    aDb.ExecSQL(kDeleteItemsOfTemplate, [&](TSQLiteQueryEx& q) { q.BindStr(1, aTemplateId); });
}

void CheckItems(TRcPromoteTemplateItemList* aItems)
{
    for (int i = 0; i < aItems->Count(); ++i) {
        TRcPromoteTemplateItem* item = aItems->GetItem(i);
        CheckId(item->Id());
        for (int j = 0; j < item->FProductImages->Count(); ++j)
            CheckId(item->FProductImages->GetItem(j)->Id());
    }
}

// Inside the caller's transaction.
void WriteItems(TSQLiteDatabase& aDb, TRcPromoteTemplateItemList* aItems)
{
    TSQLiteQueryEx itemRow(aDb, kReplaceItem);
    TSQLiteQueryEx imageRow(aDb, kReplaceImage);
    for (int i = 0; i < aItems->Count(); ++i) {
        TRcPromoteTemplateItem* item = aItems->GetItem(i);
        item->FserialNumber = i + 1;
        itemRow.BindStr(1, item->Id());
        itemRow.BindInteger(2, item->FserialNumber);
        itemRow.BindStr(3, item->FPromoteTemplateId);
        itemRow.BindStr(4, item->FProductId);
        itemRow.BindBoolean(5, item->FDeleteFlag);
        itemRow.BindDouble(6, item->FCreateTime);
        itemRow.BindDouble(7, item->FModifyTime);
        itemRow.BindDouble(8, item->FDeleteTime);
        itemRow.Exec();
        for (int j = 0; j < item->FProductImages->Count(); ++j) {
            TRcPromoteTemplateItemImage* image = item->FProductImages->GetItem(j);
            image->FserialNumber = j + 1;
            image->FPromoteTemplateItemId = item->Id();
            imageRow.BindStr(1, image->Id());
            imageRow.BindInteger(2, image->FserialNumber);
            imageRow.BindStr(3, image->FPromoteTemplateItemId);
            imageRow.BindStr(4, image->FProductImageId);
            imageRow.BindDouble(5, image->FCreateTime);
            imageRow.BindDouble(6, image->FModifyTime);
            imageRow.BindDouble(7, image->FDeleteTime);
            imageRow.Exec();
        }
    }
}

} // namespace

std::vector<std::string> TSqliteDbPromoteTemplate::GetIds(TSQLiteDatabase& aDb)
{
    std::vector<std::string> out;
    TSQLiteUniTable rows(aDb, kTemplateIds);
    for (; !rows.Eof(); rows.Next())
        if (IsGuidId(rows.FieldAsString(0)))
            out.push_back(rows.FieldAsString(0));
    return out;
}

TRcPromoteTemplate* TSqliteDbPromoteTemplate::Load(TSQLiteDatabase& aDb, const std::string& aId)
{
    if (!IsGuidId(aId))
        return nullptr;
    TSQLiteUniTable row(aDb, kLoadTemplate);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    auto* loaded = RcCreateAndAutoRelease<TRcPromoteTemplate>(row.FieldAsString(0), row.FieldAsDouble(4));
    loaded->FName = row.FieldAsString(1);
    loaded->FPromotionContent = row.FieldAsString(2);
    loaded->FDeleteFlag = row.FieldAsBoolean(3);
    loaded->FModifyTime = row.FieldAsDouble(5);
    loaded->FDeleteTime = row.FieldAsDouble(6);
    for (const std::string& itemId : TSqliteDbPromoteTemplateItem::GetIds(aDb, aId))
        if (TRcPromoteTemplateItem* item = TSqliteDbPromoteTemplateItem::Load(aDb, itemId))
            loaded->FItems->Add(item);
    return loaded;
}

bool TSqliteDbPromoteTemplate::IsNameTaken(TSQLiteDatabase& aDb, const std::string& aId, const std::string& aName)
{
    return aDb.GetTableValue(kNameTaken, [&](TSQLiteUniTable& q) {
        q.BindStr(1, aId);
        q.BindStr(2, aName);
    }) > 0;
}

bool TSqliteDbPromoteTemplate::Save(TSQLiteDatabase& aDb, TRcPromoteTemplate* aTemplate)
{
    CheckId(aTemplate->Id());
    CheckItems(aTemplate->FItems.Get());
    for (int i = 0; i < aTemplate->FItems->Count(); ++i)
        aTemplate->FItems->GetItem(i)->FPromoteTemplateId = aTemplate->Id();
    bool existed = false;
    TTransaction::Run(aDb, [&] {
        existed = aDb.GetTableValue(kCountTemplate, [&](TSQLiteUniTable& q) { q.BindStr(1, aTemplate->Id()); }) > 0;
        aDb.ExecSQL(kReplaceTemplate, [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aTemplate->Id());
            q.BindStr(2, aTemplate->FName);
            q.BindStr(3, aTemplate->FPromotionContent);
            q.BindBoolean(4, aTemplate->FDeleteFlag);
            q.BindDouble(5, aTemplate->FCreateTime);
            q.BindDouble(6, aTemplate->FModifyTime);
            q.BindDouble(7, aTemplate->FDeleteTime);
        });
        DeleteItemsOf(aDb, aTemplate->Id());
        WriteItems(aDb, aTemplate->FItems.Get());
    });
    return existed;
}

bool TSqliteDbPromoteTemplate::Delete(TSQLiteDatabase& aDb, const std::string& aId)
{
    if (!IsGuidId(aId))
        return false;
    bool existed = false;
    TTransaction::Run(aDb, [&] {
        DeleteItemsOf(aDb, aId);
        TSQLiteQueryEx q(aDb, kDeleteTemplate);
        q.BindStr(1, aId);
        q.Exec();
        existed = q.Changes() > 0;
    });
    return existed;
}

void TSqliteDbPromoteTemplate::DeleteAll(TSQLiteDatabase& aDb)
{
    // The items and pictures go with their templates: rows naming no
    // template would still count as uses of their products.
    TTransaction::Run(aDb, [&] {
        aDb.ExecSQL("delete from [promoteTemplateItemImage]");
        aDb.ExecSQL("delete from [promoteTemplateitem]");
        aDb.ExecSQL("delete from [promoteTemplate]");
    });
}

std::vector<std::string> TSqliteDbPromoteTemplateItem::GetIds(TSQLiteDatabase& aDb, const std::string& aTemplateId)
{
    std::vector<std::string> out;
    for (std::string& id : Strings(aDb, kItemIds, aTemplateId))
        if (IsGuidId(id))
            out.push_back(std::move(id));
    return out;
}

TRcPromoteTemplateItem* TSqliteDbPromoteTemplateItem::Load(TSQLiteDatabase& aDb, const std::string& aId)
{
    if (!IsGuidId(aId))
        return nullptr;
    TSQLiteUniTable row(aDb, kLoadItem);
    row.BindStr(1, aId);
    if (row.Eof())
        return nullptr;
    auto* item = RcCreateAndAutoRelease<TRcPromoteTemplateItem>(row.FieldAsString(0), row.FieldAsDouble(5));
    item->FserialNumber = static_cast<int>(row.FieldAsInteger(1));
    item->FPromoteTemplateId = row.FieldAsString(2);
    item->FProductId = row.FieldAsString(3);
    item->FDeleteFlag = row.FieldAsBoolean(4);
    item->FModifyTime = row.FieldAsDouble(6);
    item->FDeleteTime = row.FieldAsDouble(7);
    LoadImages(aDb, *item);
    return item;
}

std::string TSqliteDbPromoteTemplateItem::GetProductId(TSQLiteDatabase& aDb, const std::string& aItemId)
{
    std::vector<std::string> ids = Strings(aDb, kItemProduct, aItemId);
    return ids.empty() ? std::string() : ids.front();
}

std::vector<std::string> TSqliteDbPromoteTemplateItem::GetProductIds(TSQLiteDatabase& aDb,
                                                                     const std::string& aTemplateId)
{
    return Strings(aDb, kTemplateProducts, aTemplateId);
}

void TSqliteDbPromoteTemplateItem::Save(TSQLiteDatabase& aDb, TRcPromoteTemplateItemList* aItems)
{
    if (!aItems)
        return;
    CheckItems(aItems);
    TTransaction::Run(aDb, [&] { WriteItems(aDb, aItems); });
}

void TSqliteDbPromoteTemplateItem::DeleteOfTemplate(TSQLiteDatabase& aDb, const std::string& aTemplateId)
{
    if (!IsGuidId(aTemplateId))
        return;
    TTransaction::Run(aDb, [&] { DeleteItemsOf(aDb, aTemplateId); });
}

std::vector<std::string> TSqliteDbpromoteTemplateItemImage::GetProductImageIds(TSQLiteDatabase& aDb,
                                                                               const std::string& aItemId)
{
    return Strings(aDb, kItemImageIds, aItemId);
}

std::vector<std::string> TSqliteDbpromoteTemplateItemImage::GetTemplateProductImageIds(TSQLiteDatabase& aDb,
                                                                                       const std::string& aTemplateId)
{
    return Strings(aDb, kTemplateImageIds, aTemplateId);
}

std::vector<std::string> TSqliteDbpromoteTemplateItemImage::GetFirstProductImageIds(TSQLiteDatabase& aDb,
                                                                                    const std::string& aTemplateId)
{
    return Strings(aDb, kFirstImageIds, aTemplateId);
}
