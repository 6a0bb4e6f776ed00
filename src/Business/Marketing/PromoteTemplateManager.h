// The one entry point to an account's promotion templates: what the
// promotion screens and the promotion mail builder call, and whom they
// hear from when templates change. Paths: account / promotion-template
// folder (one fixed id) / template / item. Products and pictures are the
// catalogue's; those gone from it are left out of every list.
#pragma once

#include <string>
#include <vector>

#include "Business/Resource/ResPath.h"
#include "Product.h"
#include "PromoteTemplate.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class IPromoteTemplateObserver : public virtual IRcInterface {
public:
    // One template changed in place; aResPath is its path.
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // Templates were added to or removed from the folder aResPath.
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

// Between BeginUpdate and the outermost EndUpdate each path is held once
// per kind; then every held content change goes out, then every held
// change of a folder.
class TRcPromoteTemplateObservable : public TRcBatchingObservable<IPromoteTemplateObserver, TRcResPath, 2> {
public:
    TRcPromoteTemplateObservable();
    void NotifyContentChanged(TRcResPath* aResPath) { Notify(0, aResPath); }
    void NotifyChanged(TRcResPath* aResPath) { Notify(1, aResPath); }
};

using TRcProductList = TRcList<TRcProduct>;

class TPromoteTemplateManager : public TSingletonOf<TPromoteTemplateManager> {
public:
    static constexpr const char* kDeleteFailed = "删除推广模板不成功";

    TPromoteTemplateManager();
    static TPromoteTemplateManager* PromoteTemplateManager() { return Instance(); }

    void RegisterObserver(IPromoteTemplateObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IPromoteTemplateObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }
    void BeginUpdate() { FObservable->BeginUpdate(); }
    void EndUpdate() { FObservable->EndUpdate(); }

    // The folder of the account any account-rooted path starts with
    // (autoreleased); nullptr otherwise.
    TRcResPath* GetPromoteTemplateFolderResPath(TRcResPath* aResPath);
    bool IsPromoteTemplateFolderResPath(const TRcResPath* aResPath);

    // Ids in creation order; nullptr for a path that is not a folder's.
    TRcResIdList* GetPromoteTemplates(TRcResPath* aFolderPath);
    // With its items and their pictures; nullptr when the path names none.
    TRcPromoteTemplate* GetPromoteTemplate(TRcResPath* aTemplatePath);
    TRcPromoteTemplateItem* GetPromoteTemplateitem(TRcResPath* aItemPath);
    // Item ids in display order.
    TRcResIdList* GetPromoteTemplateItems(TRcResPath* aTemplatePath);
    TRcResIdList* GetPromoteTemplateItems(TRcResPath* aFolderPath, TRcPromoteTemplate* aTemplate);
    // Without pictures; nullptr when the item or its product is gone.
    TRcProduct* GetPromoteTemplateItemProduct(TRcResPath* aItemPath);
    // The catalogue pictures the item's picture rows name, in their order.
    TRcProductImageList* GetPromoteTemplateItemImages(TRcResPath* aItemPath);
    // Of every item, item by item.
    TRcProductImageList* GetPromoteTemplateImages(TRcResPath* aTemplatePath);
    // The first picture of each item.
    TRcProductImageList* GetPromoteTemplateProductImages(TRcResPath* aTemplatePath);
    TRcProductList* GetPromoteTemplateProducts(TRcResPath* aTemplatePath);
    std::vector<std::string> GetPromoteTemplateProducts(TRcResPath* aFolderPath, TRcPromoteTemplate* aTemplate);
    // The distinct groups of the template's products, first seen first.
    std::vector<std::string> GetPromoteTemplateProductGroups(TRcResPath* aTemplatePath);

    TRcPromoteTemplate* CreatePromoteTemplate();
    TRcPromoteTemplateItem* CreatePromoteTemplateItem();
    TRcPromoteTemplateItemImage* CreatePromoteTemplateItemImage();

    // The template with exactly the items and pictures it holds, in one
    // transaction (items and pictures no longer in it are removed);
    // serial numbers follow the order. The template's path (autoreleased),
    // or nullptr when aFolderPath is not a folder's. An existing template
    // is announced as itself changed, a new one as its folder changed.
    TRcResPath* SavePromoteTemplate(TRcResPath* aFolderPath, TRcPromoteTemplate* aTemplate);
    // The items and their pictures only, in one transaction; nobody is told.
    void SavePromoteTemplateItems(TRcResPath* aFolderPath, TRcPromoteTemplateItemList* aItems);
    // With its items and pictures; deleting what is gone is silent.
    void DeletePromoteTemplate(TRcResPath* aTemplatePath);
    // Every item with its pictures; nobody is told.
    void DeletePromoteTemplateItems(TRcResPath* aTemplatePath);
    void DeleteAllPromoteTemplate(TRcResPath* aResPath);
    // Whether another template of the account has aTemplate's name.
    bool IsPromoteTemplateExists(TRcResPath* aResPath, TRcPromoteTemplate* aTemplate);

private:
    TRcRef<TRcPromoteTemplateObservable> FObservable;
};
