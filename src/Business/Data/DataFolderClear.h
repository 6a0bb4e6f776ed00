// Clearing the user's data ("ClearAllData").
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Removes the items the program keeps in the data folder (accounts,
// products, templates, letters, updates, temporary files, the upgrade
// marker, the user configuration and list copies) and nothing else: the
// folder itself may be $HOME or the program's folder and stays. Where the
// data folder is the program's folder, the base configuration beside the
// program is kept. Returns the paths removed; an item that cannot be
// removed is left, and reported in aFailures.
std::vector<std::filesystem::path> ClearDataFolderItems(const std::filesystem::path& aDataFolder,
                                                        const std::filesystem::path& aProgramFolder,
                                                        std::vector<std::string>& aFailures);
