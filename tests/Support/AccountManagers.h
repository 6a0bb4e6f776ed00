// The managers an account's mails need, built over the data folder
// aFolder (through QMC2FOLDER) in the program's order and released in
// reverse.
#pragma once

#include "Business/Account/AccountFolder.h"
#include "Business/Account/AccountManager.h"
#include "Business/AccountMail/AccountMailManager.h"
#include "Business/Data/ConfigManager.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Business.h"
#include "Business/Resource/ResourceManager.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TAccountManagers {
public:
    explicit TAccountManagers(const std::filesystem::path& aFolder)
    {
        ::setenv("QMC2FOLDER", aFolder.c_str(), 1);
        TConfigManager::BuildInstance();   // the program's message texts, this data folder
        BuildManagers();
    }
    // With a program folder of the test's own, aRoot / "prog": the message
    // texts of aSkinFolder and a configuration naming aServiceUrl as the
    // maker's service (empty: the service is off); the data in aRoot / "data".
    TAccountManagers(const std::filesystem::path& aRoot, const std::filesystem::path& aSkinFolder,
                     const std::string& aServiceUrl)
    {
        namespace fs = std::filesystem;
        fs::create_directories(aRoot / "prog" / "skin");
        fs::copy_file(aSkinFolder / "Message.cfg", aRoot / "prog" / "skin" / "Message.cfg",
                      fs::copy_options::overwrite_existing);
        std::ofstream(aRoot / "prog" / "QuillmarClient.cfg") << "[NorvelServer]\nUrl=" << aServiceUrl << "\n";
        ::setenv("QMC2FOLDER", (aRoot / "data").c_str(), 1);
        TConfigManager::BuildInstance(aRoot / "prog", TArguments{});
        BuildManagers();
    }
    ~TAccountManagers()
    {
        TAccountMailManager::ReleaseInstance();
        TAccountFolderManager::ReleaseInstance();
        TAccountManager::ReleaseInstance();
        TResourceManager::ReleaseInstance();
        TTempFileManager::ReleaseInstance();
        TConfigManager::ReleaseInstance();
        ::unsetenv("QMC2FOLDER");
    }
    TAccountManagers(const TAccountManagers&) = delete;
    TAccountManagers& operator=(const TAccountManagers&) = delete;

private:
    static void BuildManagers()
    {
        TTempFileManager::BuildInstance();
        TResourceManager::BuildInstance(TBusiness::VisitorFactories());
        TAccountManager::BuildInstance();
        TAccountFolderManager::BuildInstance();
        TAccountMailManager::BuildInstance();
    }
};
