#include "LogSettings.h"

#include "AsciiText.h"
#include "IniFile.h"

void ApplyLogModeText(TLogSettings& aSettings, std::string_view aText)
{
    if (aText.empty() || SameTextAscii(aText, "Null"))
        aSettings.Mode = TLogMode::Null;
    else if (SameTextAscii(aText, "File"))
        aSettings.Mode = TLogMode::File;
    else if (SameTextAscii(aText, "FileAndView"))
        aSettings.Mode = TLogMode::FileAndView;
}

void ApplyLogLevelText(TLogSettings& aSettings, std::string_view aText)
{
    if (aText.empty() || SameTextAscii(aText, "Worn"))
        aSettings.Level = lolWorn;
    else if (SameTextAscii(aText, "Error"))
        aSettings.Level = lolError;
    else if (SameTextAscii(aText, "Info"))
        aSettings.Level = lolInfo;
    else if (SameTextAscii(aText, "Debug"))
        aSettings.Level = lolDebug;
}

TLogSettings ReadLogSettings(const TIniFile& aBaseConfig, const TArguments& aArgs)
{
    TLogSettings settings;
    // "-" stands for a missing key: it is none of the known texts.
    ApplyLogModeText(settings, aBaseConfig.ReadString("Log", "LogToMode", "-"));
    ApplyLogLevelText(settings, aBaseConfig.ReadString("Log", "LogOutLevel", "-"));
    if (auto mode = FindCmdLineSwitchValue(aArgs, "LogToMode"))
        ApplyLogModeText(settings, *mode);
    if (auto level = FindCmdLineSwitchValue(aArgs, "LogOutLevel"))
        ApplyLogLevelText(settings, *level);
    return settings;
}
