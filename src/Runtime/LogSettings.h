// Which log lines are wanted, decided once at start-up.
#pragma once

#include <cstdint>
#include <string_view>

#include "CommandLine.h"

class TIniFile;

// Lower is more severe.
enum TLogOutLevel : uint8_t { lolError = 0, lolWorn = 1, lolInfo = 2, lolDebug = 3 };

enum class TLogMode : uint8_t {
    Null = 0,         // logging off
    File = 1,         // log file only
    FileAndView = 2,  // log file, and every line mirrored to stderr
};

struct TLogSettings {
    TLogMode Mode = TLogMode::Null;
    TLogOutLevel Level = lolWorn;
};

// "File", "FileAndView", "Null" (any case) or empty set the mode; any other
// text leaves it as it was.
void ApplyLogModeText(TLogSettings& aSettings, std::string_view aText);
// "Error", "Worn", "Info", "Debug" (any case) set the threshold, empty
// means Worn; any other text leaves it as it was.
void ApplyLogLevelText(TLogSettings& aSettings, std::string_view aText);

// Section "Log" of the base configuration, then the switches "LogToMode"
// and "LogOutLevel", which win over the file.
TLogSettings ReadLogSettings(const TIniFile& aBaseConfig, const TArguments& aArgs);
