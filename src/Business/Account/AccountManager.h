// TAccountManager: the ordered list of accounts (Account in
// Accounts/Accounts.db), the cached account records every per-account
// store reaches its database through, saving and deleting accounts.
//
// The GUI thread and the scheduler thread both ask for records, so the
// cache is guarded by a lock. Accounts.db has no lasting connection: each
// operation opens it and closes it again.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "AccountForSqlite.h"
#include "AccountObservable.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/RcObjectHashMap.h"
#include "Runtime/Singleton.h"

class TAccountManager : public TSingletonOf<TAccountManager> {
public:
    TAccountManager();
    ~TAccountManager() override;

    static TAccountManager* AccountManager() { return Instance(); }

    void RegisterObserver(IAccountObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IAccountObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    // Live accounts in list order, autoreleased; empty when there is no
    // Accounts.db. Ids that cannot name a folder are skipped.
    TRcResIdList* GetAccounts();
    // The cached record, or a new one that is cached (any valid id gives a
    // record, saved or not). Autoreleased: the caller's pool keeps it
    // alive even when another thread replaces or deletes the cached one.
    TRcAccount* GetAccount(const TRcResId* aResId);
    // Element 0 of the path, when it is an account; nullptr otherwise.
    TRcAccount* GetAccount(const TRcResPath* aResPath);
    // A new, unsaved account with a fresh id, owned by the caller.
    TRcRef<TRcAccount> CreateNewAccount();
    // Builds the account's database the first time, writes its settings
    // and lists it (the first account gets order 1). Errors go to the
    // caller; "aAccount 是 nil" without an account.
    void SaveAccount(TRcAccount* aAccount);
    // The first delete hides a live account; a second removes its row and
    // its folder.
    void DeleteAccount(const TRcResId* aResId);

    bool AccountExistsByResPath(const TRcResPath* aResPath);
    // Exact match, letter case included.
    bool AccountExistsByEmail(const std::string& aEmail);

    // The built-in face picture of that name; "" for none, the custom
    // face, or a name that is not one plain file name.
    std::string FetchAccountFaceFullFileName(const std::string& aFaceName) const;
    std::filesystem::path SignPathByResId(const TRcResId* aResId) const;

    // Signatures, through the account the path names.
    TRcAccountSign* CreateAccountSign() const;   // autoreleased, fresh id
    // Only for [account, signature] paths; nullptr otherwise.
    TRcRef<TRcAccountSign> GetAccountSign(const TRcResPath* aResPath);
    TRcResIdList* GetAccountSignIds(const TRcResPath* aResPath);
    void SaveAccountSign(const TRcResPath* aResPath, const TRcAccountSign* aAccountSign);
    void DeleteAccountSign(const TRcResPath* aResPath);

private:
    enum class TMark { Marked, NotRegistered };
    TMark MarkAccountDeleted(const TRcResId* aResId);
    // True when the id was newly listed.
    bool RegisterAccountId(const TRcResId* aResId);

    std::mutex FCacheMutex;
    TRcRef<TRcObjectHashMap> FAccountCacheMap;
    TRcRef<TAccountObservable> FObservable;
};
