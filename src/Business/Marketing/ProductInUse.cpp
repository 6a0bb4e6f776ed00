#include "ProductInUse.h"

#include "Business/Data/SqliteQuery.h"
#include "Runtime/Errors.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kAccountIds = "select [id] from [Account] where ([Delete] = 0) order by [Order]";
constexpr const char* kItemsOfProduct = "select [id] from [promoteTemplateitem] where ([productid] = ?)";

bool IsFile(const fs::path& aPath)
{
    std::error_code ec;
    return fs::is_regular_file(aPath, ec);
}

std::vector<std::string> LiveAccountIds(const fs::path& aAccountsDb)
{
    TSQLiteDatabase db(aAccountsDb, TSQLiteDatabase::TOpenMode::ReadOnly);
    std::vector<std::string> ids;
    if (!db.TableExists("Account"))
        return ids;
    TSQLiteUniTable rows(db, kAccountIds);
    for (; !rows.Eof(); rows.Next()) {
        std::string id = rows.FieldAsString(0);
        if (IsGuidId(id))
            ids.push_back(std::move(id));
        else
            TLog::O(lolWorn, "账户标识无效，已跳过：%s", {id});
    }
    return ids;
}

bool UsedByAccount(const fs::path& aAccountDb, const std::string& aProductId)
{
    TSQLiteDatabase db(aAccountDb, TSQLiteDatabase::TOpenMode::ReadOnly);
    if (!db.TableExists("promoteTemplateitem"))
        return false;
    TSQLiteUniTable rows(db, kItemsOfProduct);
    rows.BindStr(1, aProductId);
    return !rows.Eof();
}

} // namespace

bool IsProductInUse(const fs::path& aDataFolder, const std::string& aProductId)
{
    const fs::path accounts = aDataFolder / "Accounts";
    const fs::path accountsDb = accounts / "Accounts.db";
    if (!IsFile(accountsDb))
        return false;
    try {
        for (const std::string& id : LiveAccountIds(accountsDb)) {
            const fs::path accountDb = accounts / id / "Account.db";
            if (!IsFile(accountDb))
                continue;
            if (UsedByAccount(accountDb, aProductId))
                return true;
        }
    } catch (const std::exception& e) {
        TLog::O(lolError, kProductUseCheckFailed, {e.what()});
        throw Exception(FormatText(kProductUseCheckFailed, {e.what()}));
    }
    return false;
}
