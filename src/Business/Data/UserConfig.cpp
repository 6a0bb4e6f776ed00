#include "UserConfig.h"

#include "Schema.h"
#include "Databases.h"
#include "SqliteQuery.h"

namespace {

std::filesystem::path AccountsDbOf(const std::filesystem::path& aDataFolder)
{
    return aDataFolder / "Accounts" / "Accounts.db";
}

} // namespace

const char* TSqliteDbUserConfig::CreateTableSql()
{
    return schema::kUserConfig;
}

void TSqliteDbUserConfig::InitUserConfigTable(const std::filesystem::path& aDataFolder)
{
    std::error_code ec;
    if (!std::filesystem::exists(AccountsDbOf(aDataFolder), ec))
        return;
    EnsureAccountsDb(aDataFolder);
}

TRcUserConfig* TSqliteDbUserConfig::Load(const std::filesystem::path& aDataFolder, const std::string& aKey)
{
    std::error_code ec;
    if (!std::filesystem::exists(AccountsDbOf(aDataFolder), ec))
        return nullptr;
    TSQLiteDatabase db(AccountsDbOf(aDataFolder));
    if (!db.TableExists("UserConfig"))
        return nullptr;
    TSQLiteUniTable row(db, "select [Key],[Value]  from [UserConfig] where [Key] = ?");
    row.BindStr(1, aKey);
    if (row.Eof())
        return nullptr;
    return RcCreateAndAutoRelease<TRcUserConfig>(row.FieldAsString(0), row.FieldAsString(1));
}

bool TSqliteDbUserConfig::Save(const std::filesystem::path& aDataFolder, const TRcUserConfig* aUserConfig)
{
    auto db = EnsureAccountsDb(aDataFolder);
    TTransaction::Run(*db, [&] {
        db->ExecSQL("replace into [UserConfig](   [Key] ,[Value] ) values(   ? , ? )", [&](TSQLiteQueryEx& q) {
            q.BindStr(1, aUserConfig->FKey);
            q.BindStr(2, aUserConfig->FValue);
        });
    });
    return true;
}

std::string UserConfigBool(bool aValue)
{
    return aValue ? "-1" : "0";
}
