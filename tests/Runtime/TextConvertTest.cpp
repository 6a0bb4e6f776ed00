// Conversion through iconv always gives UTF-8: glibc lets some invalid
// sequences through from "UTF-8" (found by the header fuzz target).
#include "Runtime/TextConvert.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConvertTest, WhatIconvLetsByIsMadeValid)
{
    const struct {
        const char* Bytes;
        const char* Lenient;
    } cases[] = {
        {"a\xF6\x8C\xAD\xAC" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b"},   // past U+10FFFF
        {"x\xF8\x88\x80\x80\x80y", "x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy"},   // five bytes
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},   // a surrogate
        {"中文 ok", "中文 ok"},
    };
    for (const auto& c : cases) {
        const auto lenient = CharsetToUtf8(c.Bytes, "UTF-8", false);
        ASSERT_TRUE(lenient) << c.Bytes;
        EXPECT_TRUE(IsValidUtf8(*lenient)) << c.Bytes;
        EXPECT_EQ(*lenient, c.Lenient);
        const bool valid = std::string_view(c.Bytes) == c.Lenient;
        EXPECT_EQ(CharsetToUtf8(c.Bytes, "UTF-8", true).has_value(), valid) << c.Bytes;
    }
}

} // namespace
