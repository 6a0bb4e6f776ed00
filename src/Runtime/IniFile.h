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
    // Windows' readers: an integer that does not parse, or a missing key,
    // gives aDefault; a boolean is an integer (non-zero is true) or
    // "true"/"false".
    int ReadInteger(std::string_view aSection, std::string_view aKey, int aDefault) const;
    bool ReadBool(std::string_view aSection, std::string_view aKey, bool aDefault) const;
    // Keys, or key/value pairs, of every section of that name, in file order.
    std::vector<std::string> ReadSection(std::string_view aSection) const;
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view aSection) const;
    const std::vector<TSection>& Sections() const { return FSections; }

private:
    std::vector<TSection> FSections;
};

// Writes one value the way WritePrivateProfileString does: the first key
// of that name in the first section of that name is replaced, a missing
// key is appended to its section, a missing section to the file. Every
// other line stays as it was. The file is written as UTF-8 through a
// fresh temporary file and a rename (mode 0600 when new), so a crash leaves
// the old file or the new one, never half of one. Writers of one file,
// in this process or another, take turns through "<file>.lock", so none
// loses another's update.
void WriteIniString(const std::string& aPath, std::string_view aSection, std::string_view aKey,
                    std::string_view aValue);

// Decodes file bytes to UTF-8: BOMs for UTF-8 and UTF-16, valid UTF-8 as it
// is, anything else as GB18030.
std::string DecodeTextToUtf8(std::string_view aBytes);

// "1"/"true" → true, "0"/"false" → false, any other integer → non-zero;
// anything else aDefault.
bool StrToBoolDef(std::string_view aText, bool aDefault);

