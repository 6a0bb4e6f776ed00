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

// Every control byte and the space: the blanks trimmed from the ends of
// the maker's service texts and of mail summaries.
inline constexpr std::string_view kControlsAndSpace(
    "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20",
    33);

// ASCII-case-insensitive equality, as names in configuration files and
// protocol words compare.
bool SameTextAscii(std::string_view a, std::string_view b);
