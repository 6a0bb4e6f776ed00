// Turning text of any charset a mail may declare into UTF-8.
#pragma once

#include <string>
#include <string_view>

// The iconv name for a declared charset: what Chinese and Korean mail
// declares maps to the supersets that really decode it (gb2312, gbk,
// x-gbk → GB18030; ks_c_5601-1987 → CP949).
std::string CanonicalCharset(std::string_view aDeclared);

// Decodes bytes of the declared charset; an unknown or empty charset, or
// bytes that do not decode, fall back to UTF-8, then GB18030, then
// Latin-1, which always succeeds, so nothing turns into nothing.
std::string ToUtf8(std::string_view aBytes, std::string_view aDeclaredCharset);

// Raw 8-bit header bytes: UTF-8 when valid, else GB18030, else Latin-1.
std::string RawHeaderToUtf8(std::string_view aBytes);
