// UTF-8 <-> UTF-16, for the places that count or hash UTF-16 units.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whether aText is well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view aText);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& aOut, char32_t aCode);

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view aText);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view aText);

// Bytes of the named charset as UTF-8, through iconv. Strict: nothing when
// the charset is unknown or any byte does not decode. Lenient: bytes that
// do not decode become U+FFFD, so the rest is never lost; an unknown
// charset still gives nothing.
std::optional<std::string> CharsetToUtf8(std::string_view aBytes, const std::string& aCharset, bool aStrict);
// The text with every invalid UTF-8 sequence made U+FFFD.
std::string ValidUtf8(std::string_view aText);
