// Hexadecimal digits, upper case when written, either case when read.
#pragma once

#include <string>

// Appends the byte as two upper-case hexadecimal digits.
inline void AppendHexByte(std::string& aOut, unsigned char aByte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    aOut += kHex[aByte >> 4];
    aOut += kHex[aByte & 0x0F];
}

// The digit's value, or -1 for a character that is not one.
constexpr int HexDigitValue(char aChar)
{
    if (aChar >= '0' && aChar <= '9')
        return aChar - '0';
    if (aChar >= 'A' && aChar <= 'F')
        return aChar - 'A' + 10;
    if (aChar >= 'a' && aChar <= 'f')
        return aChar - 'a' + 10;
    return -1;
}
