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

class TAccountManagers {
public:
    explicit TAccountManagers(const std::filesystem::path& aFolder)
    {
        ::setenv("QMC2FOLDER", aFolder.c_str(), 1);
        TConfigManager::BuildInstance();   // the program's message texts, this data folder
        TTempFileManager::BuildInstance();
        TResourceManager::BuildInstance(TBusiness::VisitorFactories());
        TAccountManager::BuildInstance();
        TAccountFolderManager::BuildInstance();
        TAccountMailManager::BuildInstance();
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
};
