// Which folder holds the user's data.
#pragma once

#include <filesystem>

class TIniFile;

// The application-data folder: $XDG_DATA_HOME (else ~/.local/share) plus
// "Quillmar 3 Mail".
std::filesystem::path ApplicationDataFolder();

// The data folder by its ordered rules, from key "BaseDataPath" of section
// "Application" of the base configuration ("evt", "exe", "home", any case),
// the variable "QMC2FOLDER", an "Accounts" folder beside the program, the
// application-data folder, and finally the program's folder. Nothing is
// created here.
std::filesystem::path ResolveDataFolder(const TIniFile& aBaseConfig,
                                        const std::filesystem::path& aProgramFolder);
