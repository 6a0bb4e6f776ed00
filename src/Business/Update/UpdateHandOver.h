// Handing over to the updater: the setup package checked when the server
// published its SHA-256, then the updater's folder ("Update" in the data
// folder) with a copy of the updater and "AppUpgrade.json" beside it.
#pragma once

#include <filesystem>
#include <string>

#include "AppUpdateManager.h"

// Whether the file's SHA-256 is aHex (lower-case hex digits).
bool FileHasSha256(const std::filesystem::path& aFile, const std::string& aHex);

// Downloads the setup package into aInstallFolder, under the last part of
// its address, and checks it against aResult.SetupSha256. False, with
// nothing left behind and a Warning logged, on any failure.
bool FetchVerifiedSetupPackage(const TVersionCheckResult& aResult, const std::filesystem::path& aInstallFolder,
                               THttpRequest& aHttp);

// Writes the hand-over into TAppUpdateManager::UpdateFolder(): the old
// "AppUpgrade.json" removed, the updater copied there (over an older
// copy), then the new "AppUpgrade.json" naming the "Install" folder beside
// it. The copy's path; raises when any of it fails.
std::filesystem::path PrepareUpdateHandOver(const TVersionCheckResult& aResult, const std::filesystem::path& aUpdater);
