// Where the program's own read-only files live.
#pragma once

#include <filesystem>

// The base configuration file beside every program. A constant rather than
// the executable's name, so that the client and any later tool read the
// same file.
inline constexpr const char* kBaseConfigFileName = "QuillmarClient.cfg";

// The folder of the running executable (/proc/self/exe), without a
// trailing separator.
std::filesystem::path ProgramFolder();

// The user's folder for state such as logs: $XDG_STATE_HOME, else
// ~/.local/state.
std::filesystem::path UserStateFolder();
