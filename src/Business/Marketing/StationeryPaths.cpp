#include "StationeryPaths.h"

#include "Business/Data/ConfigManager.h"
#include "Business/Data/DataFolder.h"
#include "Runtime/ProgramPaths.h"

std::filesystem::path StationeryDataFolder()
{
    if (const TConfigManager* config = TConfigManager::ConfigManager())
        return config->DataPath();
    return CurrentDataPath();
}

std::filesystem::path StationeryProgramFolder()
{
    if (const TConfigManager* config = TConfigManager::ConfigManager())
        return config->BaseConfigPath();
    return ProgramFolder();
}
