#include "Runtime/TextFormat.h"

#include <gtest/gtest.h>

namespace {

TEST(TextFormatTest, Directives)
{
    const void* p = reinterpret_cast<const void*>(0xABCDEFull);
    EXPECT_EQ(FormatText("发现新版本(%s)。", {"4.1.0"}), "发现新版本(4.1.0)。");
    EXPECT_EQ(FormatText("%d|%i|%u|%x|%X", {-5, 7, 3u, 255, 255}), "-5|7|3|ff|FF");
    EXPECT_EQ(FormatText("%5d|%-5d|%05d|%03d", {42, 42, -42, 7}), "   42|42   |-0042|007");
    EXPECT_EQ(FormatText("%.2f|%g|%f", {3.14159, 0.5, 2}), "3.14|0.5|2.000000");
    EXPECT_EQ(FormatText("%s[%u]", {"主线程", 1234u}), "主线程[1234]");
    EXPECT_EQ(FormatText("%.1s|%.3s|%4s|%-4s|", {"中文", "abcdef", "ab", "ab"}), "|abc|  ab|ab  |");
    EXPECT_EQ(FormatText("100%% %c", {0x4E2D}), "100% 中");
    EXPECT_EQ(FormatText("%p", {p}), "0000000000ABCDEF");
    EXPECT_EQ(FormatText("%d %d", {int64_t(-9223372036854775807LL - 1), uint64_t(18446744073709551615ULL)}),
              "-9223372036854775808 18446744073709551615");
    EXPECT_EQ(FormatText("no directives", {}), "no directives");
}

TEST(TextFormatTest, MismatchesAreErrorsNotCrashes)
{
    EXPECT_THROW(FormatText("%d", {"text"}), EFormatError);
    EXPECT_THROW(FormatText("%s", {12}), EFormatError);
    EXPECT_THROW(FormatText("%p", {12}), EFormatError);
    EXPECT_THROW(FormatText("%f", {"1.0"}), EFormatError);
    for (const char* format : {"%d", "%s", "%", "%q", "%5"})
        EXPECT_THROW(FormatText(format, {}), EFormatError) << format;
    EXPECT_THROW(FormatText("%q", {1}), EFormatError);
    EXPECT_THROW(FormatText("%s %s", {"one"}), EFormatError);
    try {
        FormatText("%s%n", {"x", 1});
        FAIL();
    } catch (const EFormatError& e) {
        EXPECT_STREQ(e.what(), "Format '%s%n' invalid or incompatible with argument");
    }
}

} // namespace
