// Which folder holds the user's data.
#pragma once

#include <filesystem>
#include <string_view>

class TIniFile;

// The application-data folder: $XDG_DATA_HOME (else ~/.local/share) plus
// "Quillmar 3 Mail"; empty when neither is known.
std::filesystem::path ApplicationDataFolder();

// The key "BaseDataPath" of section "Application" of the base
// configuration; "" when absent.
std::string BaseDataPathFlag(const TIniFile& aBaseConfig);

// The data folder by its ordered rules: the flag ("evt": $QMC2FOLDER,
// "exe": the program's folder, "home": the application-data folder; any
// case), then $QMC2FOLDER, then the program's folder if it holds
// "Accounts", then the application-data folder, finally the program's
// folder. Nothing is created here.
std::filesystem::path ResolveDataFolder(std::string_view aBaseDataPathFlag,
                                        const std::filesystem::path& aProgramFolder);

// This run's data folder, created private (0700) when missing. The
// configuration manager sets it when it loads; before that it is resolved
// from the base configuration beside the program.
std::filesystem::path CurrentDataPath();
void SetCurrentDataPath(const std::filesystem::path& aDataPath);

// Makes a folder (and its missing parents) private to the user; a folder
// that exists keeps its mode.
void CreatePrivateFolder(const std::filesystem::path& aFolder);
