// Reading INI files the way the Windows profile functions do.
//
// Section and key names match ignoring ASCII letter case; only lines whose
// first non-blank character is ';' are comments; keys and values are
// trimmed and one pair of matching quotes around a value is dropped;
// duplicate sections and keys are kept in file order and a lookup finds the
// first. Text may be UTF-8 (with or without BOM), UTF-16 with a BOM, or
// GB18030, which older files written on Chinese Windows use.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TIniFile {
public:
    struct TEntry {
        std::string Key;
        std::string Value;
    };
    struct TSection {
        std::string Name;
        std::vector<TEntry> Entries;
    };

    TIniFile() = default;
    // A missing or unreadable file reads as an empty one.
    static TIniFile LoadFromFile(const std::string& aPath);
    static TIniFile LoadFromText(std::string_view aBytes);

    bool SectionExists(std::string_view aSection) const;
    std::optional<std::string> Find(std::string_view aSection, std::string_view aKey) const;
    std::string ReadString(std::string_view aSection, std::string_view aKey,
                           std::string_view aDefault) const;
    // Keys, or key/value pairs, of every section of that name, in file order.
    std::vector<std::string> ReadSection(std::string_view aSection) const;
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view aSection) const;
    const std::vector<TSection>& Sections() const { return FSections; }

private:
    std::vector<TSection> FSections;
};

// Decodes file bytes to UTF-8: BOMs for UTF-8 and UTF-16, valid UTF-8 as it
// is, anything else as GB18030.
std::string DecodeTextToUtf8(std::string_view aBytes);

// ASCII-case-insensitive equality, as names in configuration files compare.
bool SameTextAscii(std::string_view a, std::string_view b);
