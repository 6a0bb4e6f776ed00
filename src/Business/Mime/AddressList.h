// Address lists as headers carry them: Name <address>, "Name" <address>,
// a bare address, separated by commas, with quoted names that hold commas
// and encoded words. Parsed by GMime.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TAddressItem {
    std::string Name;      // decoded, UTF-8; may be empty
    std::string Address;   // may be empty

    bool operator==(const TAddressItem&) const = default;
};

// Groups are flattened into their members.
std::vector<TAddressItem> ParseAddressList(std::string_view aText);

// For each item: an empty (trimmed) name becomes the user part of the
// address; then an address with any character above 127 is taken for a
// display name: it becomes the name and the address is emptied.
void NormalizeAddressList(std::vector<TAddressItem>& aItems);

// Typed or pasted recipient text loses one trailing full-width comma "，"
// or semicolon "；".
std::string_view StripTrailingFullWidthSeparator(std::string_view aText);

// Whether the text holds a well-formed address anywhere in it (the
// pattern is not anchored: surrounding words do not matter).
bool IsValidEmail(std::string_view aText);
