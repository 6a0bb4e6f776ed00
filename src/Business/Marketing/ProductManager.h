// The one entry point to the product catalogue: what the product and
// promotion screens call, and whom they hear from when products change.
// Paths: product group / product / product picture; the empty group id
// is "no group". The manager keeps one connection to Product.db, opened
// when the file exists; saving under a group path builds the file when
// it is new.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Business/Resource/ResPath.h"
#include "Product.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class TSQLiteDatabase;

class IProductObserver : public virtual IRcInterface {
public:
    // One product changed; aResPath is its path.
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    // Products were added to or removed from the group aResPath names.
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

// Between BeginUpdate and EndUpdate notifications wait; at the end each
// path is told once, the changed products before the changed groups.
class TRcProductObservable : public TRcBatchingObservable<IProductObserver, TRcResPath, 2> {
public:
    TRcProductObservable()
        : TRcBatchingObservable({[](IProductObserver& aObserver, TRcResPath* aPath) { aObserver.OnContentChanged(aPath); },
                                 [](IProductObserver& aObserver, TRcResPath* aPath) { aObserver.OnChanged(aPath); }})
    {
    }
    void NotifyContentChanged(TRcResPath* aResPath) { Notify(0, aResPath); }
    void NotifyChanged(TRcResPath* aResPath) { Notify(1, aResPath); }
};

class TProductManager : public TSingletonOf<TProductManager> {
public:
    static constexpr const char* kDeleteFailed = "删除产品不成功";
    static constexpr const char* kDeletePartly = "删除产品不完全成功";

    TProductManager();
    ~TProductManager() override;
    static TProductManager* ProductManager() { return Instance(); }

    void RegisterObserver(IProductObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IProductObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }
    void BeginUpdate() { FObservable->BeginUpdate(); }
    void EndUpdate() { FObservable->EndUpdate(); }

    // The connection, opened on first use when Product.db exists;
    // nullptr otherwise.
    TSQLiteDatabase* GetDb();

    // The products of the group the path starts with, oldest first;
    // nullptr without Product.db or without a group path.
    TRcResIdList* GetProducts(const TRcResPath* aGroupPath, const TProductOpertion* aOpertion);
    // The pictures of the product a [group, product] path names.
    TRcResIdList* GetProductImages(const TRcResPath* aProductPath);
    // The product a [group, product] path names, with its first picture.
    TRcProduct* GetProduct(const TRcResPath* aProductPath);
    // By id alone: without pictures.
    TRcProduct* GetProduct(const std::string& aId);
    // For a path that starts with an account and a product id: by id.
    TRcProduct* GetProduct(const TRcResPath* aResPath, const TRcResId* aResId);
    TRcProductImage* GetProductImage(const TRcResPath* aImagePath);   // by the last id
    TRcProductImage* GetProductImage(const std::string& aId);
    TRcProduct* CreateProduct();             // autoreleased, fresh id
    TRcProductImage* CreateProductImage();   // autoreleased, fresh id

    // Saves under the group the path starts with (saving under another
    // group moves the product); the product's path, autoreleased, or
    // nullptr for a path that does not start with a group. A product that
    // existed is announced as itself changed, a new one as its group
    // changed.
    TRcResPath* SaveProduct(const TRcResPath* aGroupPath, TRcProduct* aProduct);
    // With its pictures' rows and files; deleting what is not there is
    // silent.
    void DeleteProduct(const TRcResPath* aProductPath);
    // Each in order, what is gone already skipped; each group that lost a
    // product is told once at the end, then "删除产品不完全成功" is raised
    // when any delete failed.
    void DeleteProducts(const TRcResPathList* aProductPaths);
    void DeleteProductImage(const TRcResPath* aProductPath);
    void DeleteAllProduct();
    void DeleteAllImage();
    // Fills the product's pictures with all of them, oldest first.
    void LazyLoadProductImage(const TRcResPath* aProductPath, TRcProduct* aProduct);
    std::string GetProductIdByName(const TRcResPath* aResPath, const std::string& aName);
    // Whether a promotion template item of any account names the product;
    // raises when that cannot be read (never "not in use" on an error).
    bool CheckProductIsUse(const TRcResPath* aProductPath);

private:
    // The connection, Product.db built first when it is new.
    TSQLiteDatabase& WriteDb();

    std::mutex FDbMutex;
    std::unique_ptr<TSQLiteDatabase> FDb;
    TRcRef<TRcProductObservable> FObservable;
};
