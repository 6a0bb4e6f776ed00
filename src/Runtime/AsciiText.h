// Letter case and blanks the ASCII way, for identifiers, addresses, keys
// and protocol words. Text the user reads or typed folds with the
// Unicode rules instead.
#pragma once

#include <string>
#include <string_view>

// A-Z become a-z; every other byte stays.
std::string AsciiLower(std::string_view aText);

// aText without the leading and trailing bytes found in aBlanks.
std::string Trimmed(std::string_view aText, std::string_view aBlanks = " \t\r\n");

// ASCII-case-insensitive equality, as names in configuration files and
// protocol words compare.
bool SameTextAscii(std::string_view a, std::string_view b);
