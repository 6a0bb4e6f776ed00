#include "AccountManager.h"

#include "Business/Data/DataFolder.h"
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/ProgramPaths.h"

namespace {

std::filesystem::path AccountsDbPath()
{
    return CurrentDataPath() / "Accounts" / "Accounts.db";
}

bool AccountsDbExists()
{
    std::error_code ec;
    return std::filesystem::exists(AccountsDbPath(), ec);
}

} // namespace

TAccountManager::TAccountManager()
    : FAccountCacheMap(MakeRc<TRcObjectHashMap>(16)), FObservable(MakeRc<TAccountObservable>())
{
}

TAccountManager::~TAccountManager() = default;

TRcResIdList* TAccountManager::GetAccounts()
{
    auto* ids = TRcResIdList::CreateAndAutoRelease();
    if (!AccountsDbExists())
        return ids;
    try {
        TSQLiteDatabase db(AccountsDbPath());
        if (!db.TableExists("Account"))
            return ids;
        TSQLiteUniTable rows(db, "select [id] from [Account] where ([Delete] = 0) order by [Order]");
        for (; !rows.Eof(); rows.Next()) {
            const std::string id = rows.FieldAsString(0);
            if (!TRcAccountForSqlite::IsValidAccountId(id)) {
                TLog::O(lolWorn, "账户标识无效，已跳过：%s", {id});
                continue;
            }
            ids->Add(TRcResId::CreateAndAutoRelease(rtAccount, id));
        }
    } catch (const std::exception& e) {
        TLog::O(lolError, "读取账户列表失败：%s", {e.what()});
    }
    return ids;
}

TRcAccount* TAccountManager::GetAccount(const TRcResId* aResId)
{
    if (!aResId)
        return nullptr;
    TRcRef<TRcAccount> account;
    {
        std::lock_guard lock(FCacheMutex);
        account = TRcRef<TRcAccount>::Retain(static_cast<TRcAccount*>(FAccountCacheMap->GetValue(aResId)));
        if (!account) {
            account = MakeRc<TRcAccountForSqlite>(aResId->Id());
            FAccountCacheMap->PutValue(account->ResId(), account.Get());
        }
    }
    // The caller's pool holds it as well: a save or a delete on another
    // thread may take it out of the cache while the caller still reads it.
    account->AutoRelease();
    return account.Detach();
}

TRcAccount* TAccountManager::GetAccount(const TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() == 0 || !aResPath->At(0) || !aResPath->At(0)->IsType(rtAccount))
        return nullptr;
    return GetAccount(aResPath->At(0));
}

TRcRef<TRcAccount> TAccountManager::CreateNewAccount()
{
    return MakeRc<TRcAccountForSqlite>(NewGuidId());
}

void TAccountManager::SaveAccount(TRcAccount* aAccount)
{
    if (!aAccount)
        throw Exception("aAccount 是 nil");
    auto* account = dynamic_cast<TRcAccountForSqlite*>(aAccount);
    if (!account)
        throw Exception("账户不是数据库账户");
    if (!account->GetDb())
        account->CreateDb();
    account->SaveToDb();
    {
        // The saved record is the one everybody reads from now on: a
        // record cached earlier would go on answering the old settings.
        // The one it replaces goes outside the lock (it closes its
        // database).
        TRcRef<TRcObject> replaced;
        std::lock_guard lock(FCacheMutex);
        TRcObject* cached = FAccountCacheMap->GetValue(account->ResId());
        if (cached != account) {
            replaced = TRcRef<TRcObject>::Retain(cached);
            FAccountCacheMap->PutValue(account->ResId(), account);
        }
    }
    if (RegisterAccountId(account->ResId()))
        FObservable->NotifyChanged();
    else
        FObservable->NotifyContentChanged(account->ResId());
}

bool TAccountManager::RegisterAccountId(const TRcResId* aResId)
{
    auto db = EnsureAccountsDb(CurrentDataPath());
    bool inserted = false;
    TTransaction::Run(*db, [&] {
        const bool known = db->GetTableValue("select count(*) from [Account] where [id] = ?",
                                             [&](TSQLiteUniTable& q) { q.BindStr(1, aResId->Id()); }) > 0;
        if (known)
            return;
        // The first account gets order 1: max() over no rows is NULL.
        db->ExecSQL("insert into [Account] ([id], [Order], [Delete]) "
                    "values(?, coalesce((select max([Order]) from [Account]), 0) + 1, 0)",
                    [&](TSQLiteQueryEx& q) { q.BindStr(1, aResId->Id()); });
        inserted = true;
    });
    return inserted;
}

TAccountManager::TMark TAccountManager::MarkAccountDeleted(const TRcResId* aResId)
{
    if (!AccountsDbExists())
        return TMark::NotRegistered;
    TSQLiteDatabase db(AccountsDbPath());
    if (!db.TableExists("Account"))
        return TMark::NotRegistered;
    TMark mark = TMark::NotRegistered;
    TTransaction::Run(db, [&] {
        TSQLiteUniTable row(db, "select [id], [Delete] from [Account] where [id] = ?");
        row.BindStr(1, aResId->Id());
        if (row.Eof())
            return;
        if (row.FieldAsInteger(1) == 0) {
            db.ExecSQL("update [Account] set [Delete] = 1 where ([id] = ?)",
                       [&](TSQLiteQueryEx& q) { q.BindStr(1, aResId->Id()); });
            mark = TMark::Marked;
        } else {
            db.ExecSQL("delete from [Account] where ([id] = ?)", [&](TSQLiteQueryEx& q) { q.BindStr(1, aResId->Id()); });
        }
    });
    return mark;
}

void TAccountManager::DeleteAccount(const TRcResId* aResId)
{
    if (!aResId)
        return;
    {
        // Released outside the lock: the record closes its database.
        TRcObject* removed = nullptr;
        {
            std::lock_guard lock(FCacheMutex);
            removed = FAccountCacheMap->Extract(aResId);
        }
        if (removed)
            removed->Release();
    }
    if (MarkAccountDeleted(aResId) == TMark::NotRegistered && TRcAccountForSqlite::IsValidAccountId(aResId->Id())) {
        std::error_code ec;
        const auto folder = TRcAccountForSqlite::PathByResId(aResId);
        std::filesystem::remove_all(folder, ec);
        if (ec)
            TLog::O(lolWorn, "不能删除账户文件夹 %s：%s", {folder.string(), ec.message()});
    }
    FObservable->NotifyChanged();
}

bool TAccountManager::AccountExistsByResPath(const TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() == 0 || !aResPath->At(0) || !AccountsDbExists())
        return false;
    try {
        TSQLiteDatabase db(AccountsDbPath());
        return db.GetTableValue("select count(*) from [Account] where [Delete] = 0 and id = ?",
                                [&](TSQLiteUniTable& q) { q.BindStr(1, aResPath->At(0)->Id()); }) > 0;
    } catch (const std::exception& e) {
        TLog::O(lolError, "读取账户列表失败：%s", {e.what()});
        return false;
    }
}

bool TAccountManager::AccountExistsByEmail(const std::string& aEmail)
{
    for (TRcResId* id : *GetAccounts()) {
        TRcAccount* account = GetAccount(id);
        if (account && account->Email() == aEmail)
            return true;
    }
    return false;
}

std::string TAccountManager::FetchAccountFaceFullFileName(const std::string& aFaceName) const
{
    if (aFaceName.empty() || aFaceName == "自定义头像")
        return {};
    // The name comes from stored settings: one plain file name or nothing.
    if (aFaceName == "." || aFaceName == ".." || aFaceName.find_first_of(std::string("/\\\0", 3)) != std::string::npos ||
        aFaceName.size() > 200)
        return {};
    return (ProgramFolder() / "system_head_picture" / (aFaceName + ".png")).string();
}

std::filesystem::path TAccountManager::SignPathByResId(const TRcResId* aResId) const
{
    return TRcAccountForSqlite::PathByResId(aResId);
}

namespace {

TRcAccountForSqlite* RecordOf(TRcAccount* aAccount)
{
    auto* record = dynamic_cast<TRcAccountForSqlite*>(aAccount);
    if (!record)
        throw Exception("账户不是数据库账户");
    return record;
}

} // namespace

TRcAccountSign* TAccountManager::CreateAccountSign() const
{
    return RcCreateAndAutoRelease<TRcAccountSignForRawMail>();
}

TRcRef<TRcAccountSign> TAccountManager::GetAccountSign(const TRcResPath* aResPath)
{
    if (!IsAccountSignResPath(aResPath))
        return nullptr;
    TRcAccount* account = GetAccount(aResPath);
    return account ? RecordOf(account)->GetAccountSign(aResPath) : nullptr;
}

TRcResIdList* TAccountManager::GetAccountSignIds(const TRcResPath* aResPath)
{
    TRcAccount* account = GetAccount(aResPath);
    return account ? RecordOf(account)->GetSignIds() : nullptr;
}

void TAccountManager::SaveAccountSign(const TRcResPath* aResPath, const TRcAccountSign* aAccountSign)
{
    if (TRcAccount* account = GetAccount(aResPath))
        RecordOf(account)->SaveAccountSignToDb(aAccountSign);
}

void TAccountManager::DeleteAccountSign(const TRcResPath* aResPath)
{
    if (TRcAccount* account = GetAccount(aResPath))
        RecordOf(account)->DeleteAccountSign(aResPath);
}
