#include "DataUpgrade.h"

#include "Databases.h"
#include "SchemaUpgrade.h"
#include "SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

bool RunDataUpgrade(const std::filesystem::path& aDataFolder)
{
    std::error_code ec;
    if (std::filesystem::exists(aDataFolder / kUpgradeMarker, ec))
        return true;

    std::vector<std::string> accountIds;
    if (std::filesystem::exists(aDataFolder / "Accounts" / "Accounts.db", ec)) {
        auto accounts = EnsureAccountsDb(aDataFolder);
        UpdateAccountsDataBase(*accounts);
        TSQLiteUniTable rows(*accounts, "Select * from [Account] where [Delete]= ? ");
        rows.BindInteger(1, 0);
        for (; !rows.Eof(); rows.Next())
            accountIds.push_back(rows.FieldAsString(0));
    }
    if (accountIds.empty())
        return true;

    for (const auto& id : accountIds) {
        if (!IsGuidId(id)) {
            TLog::O(lolWorn, "账户标识不是 32 位十六进制数字，跳过升级：%s", {id});
            continue;
        }
        const auto path = aDataFolder / "Accounts" / id / "Account.db";
        if (!std::filesystem::exists(path, ec))
            continue;
        TSQLiteDatabase db(path);
        UpdateAccountDataBase(db);
    }
    UpdateProductDataBase(aDataFolder);

    const auto marker = aDataFolder / kUpgradeMarker;
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Exception("不能写入数据升级标记 " + marker.string());
    ::close(fd);
    return true;
}
