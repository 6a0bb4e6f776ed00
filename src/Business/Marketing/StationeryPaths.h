// Where the stationery sets lie: the user's in the data folder, the
// system's in the program's folder (the one the configuration was read
// from).
#pragma once

#include <filesystem>

std::filesystem::path StationeryDataFolder();
std::filesystem::path StationeryProgramFolder();
