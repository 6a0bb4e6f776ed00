// File work shared by the template and letter stores: item folders are
// named by record ids, and file names come from database rows, so both
// are checked before they name anything on disk.
#pragma once

#include <filesystem>
#include <string>

// The item folder aRoot / aId, or empty when aId is not 32 hex digits.
std::filesystem::path StationeryItemFolder(const std::filesystem::path& aRoot, const std::string& aId);

// aFileName when it is one harmless component (the safe-name rule leaves
// it as it is); "" otherwise.
std::string StationeryFileName(const std::string& aFileName);

// Copies the regular files and folders under aSource into aTarget (made
// when missing), each file synced; links and special files are left out,
// so nothing outside the source comes along. Errors raise.
void CopyStationeryFolder(const std::filesystem::path& aSource, const std::filesystem::path& aTarget);

// Removes aRoot / aId with everything in it, only when aId is 32 hex
// digits; failures are logged, not raised (the row is already gone).
void RemoveStationeryItemFolder(const std::filesystem::path& aRoot, const std::string& aId);
