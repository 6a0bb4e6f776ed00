// Command-line switches the Windows way: introduced by '-' or '/', names
// compared ignoring letter case. A switch's value follows it as the next
// argument, or is appended after ':' or '=' ("-LogOutLevel:Debug").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

using TArguments = std::vector<std::string>;   // without the program name

bool FindCmdLineSwitch(const TArguments& aArgs, std::string_view aName);
std::optional<std::string> FindCmdLineSwitchValue(const TArguments& aArgs, std::string_view aName);

// The arguments of this process, set once by main.
void SetProcessArguments(int argc, char** argv);
const TArguments& ProcessArguments();
