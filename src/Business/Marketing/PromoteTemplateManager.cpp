#include "PromoteTemplateManager.h"

#include "ConversationAccountDb.h"
#include "ProductManager.h"
#include "PromoteTemplateStore.h"
#include "Business/Resource/ResPathCheck.h"
#include "Runtime/Errors.h"

#include <algorithm>

namespace {

void DeliverContentChanged(IPromoteTemplateObserver& aObserver, TRcResPath* aPath)
{
    aObserver.OnContentChanged(aPath);
}

void DeliverChanged(IPromoteTemplateObserver& aObserver, TRcResPath* aPath)
{
    aObserver.OnChanged(aPath);
}

bool IsFolderPath(const TRcResPath* aPath)
{
    return IsPromoteTemplateFolderResPath(aPath) && aPath->At(1)->Id() == kPromoteTemplateFolderId;
}

// The template id of a [account, folder, template] path.
const std::string* TemplateIdOf(const TRcResPath* aPath)
{
    if (!IsPromoteTemplateResPath(aPath) || aPath->At(1)->Id() != kPromoteTemplateFolderId)
        return nullptr;
    return &aPath->At(2)->Id();
}

const std::string* ItemIdOf(const TRcResPath* aPath)
{
    if (!IsPromoteTemplateItemResPath(aPath) || aPath->At(1)->Id() != kPromoteTemplateFolderId)
        return nullptr;
    return &aPath->At(3)->Id();
}

TRcResIdList* IdList(TResType aType, const std::vector<std::string>& aIds)
{
    auto* list = TRcResIdList::CreateAndAutoRelease();
    for (const std::string& id : aIds)
        list->Add(TRcResId::CreateAndAutoRelease(aType, id));
    return list;
}

TRcProductImageList* CataloguePictures(const std::vector<std::string>& aIds)
{
    auto* list = TRcProductImageList::CreateAndAutoRelease();
    TProductManager* products = TProductManager::ProductManager();
    if (!products)
        return list;
    for (const std::string& id : aIds)
        if (TRcProductImage* image = products->GetProductImage(id))
            list->Add(image);
    return list;
}

TRcProduct* CatalogueProduct(const std::string& aId)
{
    TProductManager* products = TProductManager::ProductManager();
    return products && !aId.empty() ? products->GetProduct(aId) : nullptr;
}

} // namespace

TRcPromoteTemplateObservable::TRcPromoteTemplateObservable()
    : TRcBatchingObservable({&DeliverContentChanged, &DeliverChanged})
{
}

TPromoteTemplateManager::TPromoteTemplateManager() : FObservable(MakeRc<TRcPromoteTemplateObservable>())
{
}

TRcResPath* TPromoteTemplateManager::GetPromoteTemplateFolderResPath(TRcResPath* aResPath)
{
    TRcResPath* account = AccountResPathOf(aResPath);
    if (!account)
        return nullptr;
    return account->Append(TRcResId::CreateAndAutoRelease(rtPromoteTemplateFolder, kPromoteTemplateFolderId));
}

bool TPromoteTemplateManager::IsPromoteTemplateFolderResPath(const TRcResPath* aResPath)
{
    return IsFolderPath(aResPath);
}

TRcResIdList* TPromoteTemplateManager::GetPromoteTemplates(TRcResPath* aFolderPath)
{
    if (!IsFolderPath(aFolderPath))
        return nullptr;
    TConversationAccountDb db(aFolderPath);
    if (!db)
        return TRcResIdList::CreateAndAutoRelease();
    return IdList(rtPromoteTemplate, TSqliteDbPromoteTemplate::GetIds(*db));
}

TRcPromoteTemplate* TPromoteTemplateManager::GetPromoteTemplate(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return nullptr;
    return TSqliteDbPromoteTemplate::Load(*db, *id);
}

TRcPromoteTemplateItem* TPromoteTemplateManager::GetPromoteTemplateitem(TRcResPath* aItemPath)
{
    const std::string* id = ItemIdOf(aItemPath);
    TConversationAccountDb db(aItemPath);
    if (!id || !db)
        return nullptr;
    return TSqliteDbPromoteTemplateItem::Load(*db, *id);
}

TRcResIdList* TPromoteTemplateManager::GetPromoteTemplateItems(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return nullptr;
    return IdList(rtPromoteTemplateItem, TSqliteDbPromoteTemplateItem::GetIds(*db, *id));
}

TRcResIdList* TPromoteTemplateManager::GetPromoteTemplateItems(TRcResPath* aFolderPath, TRcPromoteTemplate* aTemplate)
{
    TConversationAccountDb db(aFolderPath);
    if (!aTemplate || !IsFolderPath(aFolderPath) || !db)
        return nullptr;
    return IdList(rtPromoteTemplateItem, TSqliteDbPromoteTemplateItem::GetIds(*db, aTemplate->Id()));
}

TRcProduct* TPromoteTemplateManager::GetPromoteTemplateItemProduct(TRcResPath* aItemPath)
{
    const std::string* id = ItemIdOf(aItemPath);
    TConversationAccountDb db(aItemPath);
    if (!id || !db)
        return nullptr;
    return CatalogueProduct(TSqliteDbPromoteTemplateItem::GetProductId(*db, *id));
}

TRcProductImageList* TPromoteTemplateManager::GetPromoteTemplateItemImages(TRcResPath* aItemPath)
{
    const std::string* id = ItemIdOf(aItemPath);
    TConversationAccountDb db(aItemPath);
    if (!id || !db)
        return nullptr;
    return CataloguePictures(TSqliteDbpromoteTemplateItemImage::GetProductImageIds(*db, *id));
}

TRcProductImageList* TPromoteTemplateManager::GetPromoteTemplateImages(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return nullptr;
    return CataloguePictures(TSqliteDbpromoteTemplateItemImage::GetTemplateProductImageIds(*db, *id));
}

TRcProductImageList* TPromoteTemplateManager::GetPromoteTemplateProductImages(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return nullptr;
    return CataloguePictures(TSqliteDbpromoteTemplateItemImage::GetFirstProductImageIds(*db, *id));
}

TRcProductList* TPromoteTemplateManager::GetPromoteTemplateProducts(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return nullptr;
    auto* list = TRcProductList::CreateAndAutoRelease();
    for (const std::string& productId : TSqliteDbPromoteTemplateItem::GetProductIds(*db, *id))
        if (TRcProduct* product = CatalogueProduct(productId))
            list->Add(product);
    return list;
}

std::vector<std::string> TPromoteTemplateManager::GetPromoteTemplateProducts(TRcResPath* aFolderPath,
                                                                           TRcPromoteTemplate* aTemplate)
{
    TConversationAccountDb db(aFolderPath);
    if (!aTemplate || !IsFolderPath(aFolderPath) || !db)
        return {};
    return TSqliteDbPromoteTemplateItem::GetProductIds(*db, aTemplate->Id());
}

std::vector<std::string> TPromoteTemplateManager::GetPromoteTemplateProductGroups(TRcResPath* aTemplatePath)
{
    std::vector<std::string> groups;
    TRcProductList* products = GetPromoteTemplateProducts(aTemplatePath);
    for (int i = 0; products && i < products->Count(); ++i) {
        const std::string& group = products->GetItem(i)->FGroupId;
        if (std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    return groups;
}

TRcPromoteTemplate* TPromoteTemplateManager::CreatePromoteTemplate()
{
    return TRcPromoteTemplate::CreateEmptyPromoteTemplate();
}

TRcPromoteTemplateItem* TPromoteTemplateManager::CreatePromoteTemplateItem()
{
    return TRcPromoteTemplateItem::CreateEmptyPromoteTemplateItem();
}

TRcPromoteTemplateItemImage* TPromoteTemplateManager::CreatePromoteTemplateItemImage()
{
    return TRcPromoteTemplateItemImage::CreateEmptypromoteTemplateItemImage();
}

TRcResPath* TPromoteTemplateManager::SavePromoteTemplate(TRcResPath* aFolderPath, TRcPromoteTemplate* aTemplate)
{
    TConversationAccountDb db(aFolderPath);
    if (!aTemplate || !IsFolderPath(aFolderPath) || !db)
        return nullptr;
    const bool existed = TSqliteDbPromoteTemplate::Save(*db, aTemplate);
    TRcResPath* path = aFolderPath->Append(TRcResId::CreateAndAutoRelease(rtPromoteTemplate, aTemplate->Id()));
    if (existed)
        FObservable->NotifyContentChanged(path);
    else
        FObservable->NotifyChanged(aFolderPath);
    return path;
}

void TPromoteTemplateManager::SavePromoteTemplateItems(TRcResPath* aFolderPath, TRcPromoteTemplateItemList* aItems)
{
    TConversationAccountDb db(aFolderPath);
    if (!IsFolderPath(aFolderPath) || !db)
        return;
    TSqliteDbPromoteTemplateItem::Save(*db, aItems);
}

void TPromoteTemplateManager::DeletePromoteTemplate(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return;
    if (TSqliteDbPromoteTemplate::Delete(*db, *id))
        FObservable->NotifyChanged(aTemplatePath->ParentPath());
}

void TPromoteTemplateManager::DeletePromoteTemplateItems(TRcResPath* aTemplatePath)
{
    const std::string* id = TemplateIdOf(aTemplatePath);
    TConversationAccountDb db(aTemplatePath);
    if (!id || !db)
        return;
    TSqliteDbPromoteTemplateItem::DeleteOfTemplate(*db, *id);
}

void TPromoteTemplateManager::DeleteAllPromoteTemplate(TRcResPath* aResPath)
{
    TRcResPath* folder = GetPromoteTemplateFolderResPath(aResPath);
    TConversationAccountDb db(folder);
    if (!folder || !db)
        return;
    TSqliteDbPromoteTemplate::DeleteAll(*db);
    FObservable->NotifyChanged(folder);
}

bool TPromoteTemplateManager::IsPromoteTemplateExists(TRcResPath* aResPath, TRcPromoteTemplate* aTemplate)
{
    TConversationAccountDb db(aResPath);
    if (!aTemplate || !db)
        return false;
    return TSqliteDbPromoteTemplate::IsNameTaken(*db, aTemplate->Id(), aTemplate->FName);
}
