// Whether a newer version of the program has been published, and whether
// installing it is compulsory. The update server publishes
// {base}Update/info.json: {"VersionList": [newest first, each {"Version",
// "ShortDescribe", "SetupUrl", "ForceInstallFlag", and optionally
// "SHA256" of the setup package}]}. The last good copy is kept in the data
// folder's "Update" folder, so a failed download checks against it.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "AppVersion.h"
#include "Business/Http/HttpRequest.h"
#include "Runtime/RcRef.h"
#include "Runtime/Singleton.h"

struct TVersionCheckResult {
    std::string Version;         // the newest published version
    bool OldFlag = false;        // the running version is older: update
    bool ForceFlag = false;      // ... and the update is compulsory
    std::string ShortDescribe;
    std::string SetupUrl;        // {base}Update/Install/{the element's relative SetupUrl}
    std::string SetupSha256;     // lower-case hex, when the server published one
};

class TAppUpdateManager : public TSingletonOf<TAppUpdateManager> {
public:
    TAppUpdateManager();
    static TAppUpdateManager* AppUpdateManager() { return Instance(); }

    // Fetches {base}Update/info.json and keeps it. Nothing is asked when
    // the configured address is empty. A failure (no connection, a status
    // outside 2xx, a body that is not update information) is logged at
    // Warning and keeps the copy there was; nothing is raised.
    void DownLoadUpdateInfoFile();
    bool LocalUpdateInfoFileExist() const;
    // Decides from the kept copy whether aVersion (the running version) is
    // to be updated. Never raises; anything unreadable means no update. A
    // SetupUrl that is not a plain relative path (a scheme, a leading
    // slash, "..", a backslash, blanks or control characters), or a SHA256
    // that is not 64 hex digits, offers no update either.
    void CheckVersion(const std::string& aVersion, TVersionCheckResult& aResult) const;

    // The whole question asked at start-up, for a worker thread: the
    // download, then the check of aVersion, then, when the server
    // published the package's SHA-256, the package fetched into the
    // "Install" folder and checked (a mismatch offers no update). Cancel
    // ends it at once from any other thread.
    TVersionCheckResult CheckForUpdate(const std::string& aVersion);
    void Cancel();

    // data folder / "Update"
    static std::filesystem::path UpdateFolder();
    // Timeouts of the download; the defaults are 2 s to connect and 3 s
    // without a byte. For tests.
    THttpOptions& DownloadOptions() { return FDownloadOptions; }

private:
    // The request under way, for Cancel.
    TRcRef<THttpRequest> NewRequest(const THttpOptions& aOptions);

    THttpOptions FDownloadOptions;
    std::mutex FMutex;
    TRcRef<THttpRequest> FRequest;
    bool FCancelled = false;
};

// What the updater is handed ("AppUpgrade.json"): {"Url", "SavePath",
// "ShortDescribe", "DoExec": true}, indented, in ASCII with every other
// character as a \uXXXX escape.
std::string UpgradeHandOverJson(const TVersionCheckResult& aResult, const std::string& aSavePath);
