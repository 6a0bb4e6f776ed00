// Subject filters: keywords in MailFilter of an account database. POP3
// receiving skips a new mail whose subject holds one of them, unless its
// sender is white-listed.
#pragma once

#include <mutex>
#include <string>

#include "Business/Resource/ResId.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/Observable.h"
#include "Runtime/RcList.h"
#include "Runtime/RcRef.h"
#include "Runtime/Singleton.h"

class TSQLiteDatabase;
class TSQLiteUniTable;

class TRcMailFilter : public TRcObject {
public:
    TRcMailFilter() = delete;   // filters come from a row or as new ones
    // A new filter with a fresh id.
    explicit TRcMailFilter(std::string aFilter);
    // From a row of the store's select list: Id, Filter.
    explicit TRcMailFilter(TSQLiteUniTable& aRow);

    std::string FId;
    std::string FFilter;

    std::string ToString() const override { return FFilter; }
};

using TRcMailFilters = TRcList<TRcMailFilter>;

struct TSqliteDbMailFilter {
    static void InitMailFilterTable(const TRcResPath* aResPath);
    // Autoreleased; empty when the table is missing.
    static TRcResIdList* GetIds(const TRcResPath* aResPath);
    // The filter the path ends with, autoreleased; nullptr when missing.
    static TRcMailFilter* Load(const TRcResPath* aResPath);
    // Clears aList, then fills it in table order.
    static void LoadList(const TRcResPath* aResPath, TRcMailFilters* aList);
    static void Save(const TRcResPath* aResPath, const TRcMailFilter* aFilter);
    static void Delete(const TRcResPath* aResPath);
    static void DeleteAllMailFilter(const TRcResPath* aResPath);

    // Inside a transaction the caller holds on aDb.
    static void SaveIn(TSQLiteDatabase& aDb, const TRcMailFilter* aFilter);
    static void DeleteAllIn(TSQLiteDatabase& aDb);
};

class IMailFilterObserver : public virtual IRcInterface {
public:
    virtual void OnChanged() = 0;
};

class TRcMailFilterObservable : public TRcObservable<IMailFilterObserver> {
public:
    void NotifyChanged()
    {
        ForEachObserver([](IMailFilterObserver& aObserver) { aObserver.OnChanged(); });
    }
};

class TMailFilterManager : public TSingletonOf<TMailFilterManager> {
public:
    TMailFilterManager();
    ~TMailFilterManager() override;

    static TMailFilterManager* MailFilterManager() { return Instance(); }

    void RegisterObserver(IMailFilterObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IMailFilterObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // Loads the path's account's keywords; on error the cache is left
    // unloaded and the error goes to the caller.
    void Init(const TRcResPath* aResPath);
    void UnInit();
    bool IsLoadedFor(const TRcResPath* aResPath) const;

    // A case-sensitive substring test against the cached keywords in table
    // order; an empty keyword never matches; false while not loaded.
    bool CheckMailFilter(const std::string& aFilterStr) const;

    TRcMailFilter* GetMailFilter(const TRcResPath* aResPath) { return TSqliteDbMailFilter::Load(aResPath); }
    void GetMailFilters(const TRcResPath* aResPath, TRcMailFilters* aList)
    {
        TSqliteDbMailFilter::LoadList(aResPath, aList);
    }
    TRcResIdList* GetIDs(const TRcResPath* aResPath) { return TSqliteDbMailFilter::GetIds(aResPath); }
    // A new unsaved filter, autoreleased.
    TRcMailFilter* CreateMailFilter(const std::string& aFilter = {});
    void InitDb(const TRcResPath* aResPath) { TSqliteDbMailFilter::InitMailFilterTable(aResPath); }

    void SaveMailFilter(const TRcResPath* aResPath, TRcMailFilter* aMailFilter);
    void DeleteMailFilter(const TRcResPath* aResPath);
    void DeleteAllMailFilter(const TRcResPath* aResPath);
    void NotifyChanged() { FObservable->NotifyChanged(); }

private:
    mutable std::mutex FMutex;
    TRcRef<TRcMailFilters> FMailFilters;
    std::string FLoadedAccountId;
    TRcRef<TRcMailFilterObservable> FObservable;
};
