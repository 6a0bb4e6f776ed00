// The upgrade pass over the whole data folder, run once per start before
// the business layer opens anything.
#pragma once

#include <filesystem>

// The empty file in the data folder that says the upgrade is done.
inline constexpr const char* kUpgradeMarker = "4.0.1";

// The pass run once per start: nothing when the marker exists; otherwise
// Accounts.db, every account that is not deleted, the product database,
// then the marker. With no account at all the marker is not written, so
// the pass runs again next time. Errors go to the caller.
bool RunDataUpgrade(const std::filesystem::path& aDataFolder);
