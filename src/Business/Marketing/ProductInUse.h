// Whether a product is still named by a promotion template item of any
// account: such a product must not be deleted.
#pragma once

#include <filesystem>
#include <string>

// Reads the account list of aDataFolder's Accounts/Accounts.db and, for
// each live account, the promotion template items of its Account.db, each
// file opened read-only for the check alone. No account list: not in use;
// an account without a database (or without the item table) is skipped.
// Any other failure to read raises "不能检查产品是否已使用：…": a database
// that cannot be read never reads as "not in use".
bool IsProductInUse(const std::filesystem::path& aDataFolder, const std::string& aProductId);

inline constexpr const char* kProductUseCheckFailed = "不能检查产品是否已使用：%s";
