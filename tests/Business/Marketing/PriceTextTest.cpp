#include "Business/Marketing/PriceText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

const TNumberSeparators kC{".", ""};
const TNumberSeparators kGerman{",", "."};

TEST(PriceTextTest, PricesParseInTheUsersLocale)
{
    const std::optional<double> refused;
    struct TCase {
        const char* Text;
        std::optional<double> InC;
        std::optional<double> InGerman;
    } cases[] = {
        {"12.5", 12.5, refused},                 // a German reads '.' as grouping, and "12.5" is no group of three
        {"12,5", refused, 12.5},
        {"0.00005", 0.0001, refused},            // four decimals, half away from zero
        {"0,00005", refused, 0.0001},
        {"0.00004", 0.0, refused},
        {"1e3", 1000.0, 1000.0},
        {"abc", refused, refused},
        {"", refused, refused},
        {"  7  ", 7.0, 7.0},
        {"-3.25", -3.25, refused},
        {"1.234,5", refused, 1234.5},
        {"1.234.567", refused, 1234567.0},
        {"12.34.56", refused, refused},
        {"1,5e2", refused, 150.0},
        {"2.5E-2", 0.025, refused},
        {"12.", 12.0, refused},
        {".5", 0.5, refused},
        {"1e", refused, refused},
        {"1 000", refused, refused},
        {"12.5abc", refused, refused},
        {"922337203685477.5807", 922337203685477.5807, refused},
        {"1e15", refused, refused},              // beyond the currency's range
        {"1e999999999", refused, refused},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsePrice(c.Text, kC), c.InC) << "C: " << c.Text;
        EXPECT_EQ(ParsePrice(c.Text, kGerman), c.InGerman) << "German: " << c.Text;
    }
}

TEST(PriceTextTest, PricesShowFourDecimals)
{
    struct TCase {
        double Price;
        const char* InC;
        const char* InGerman;
    } cases[] = {
        {12.5, "12.5000", "12,5000"},
        {0.0001, "0.0001", "0,0001"},
        {-3.25, "-3.2500", "-3,2500"},
        {1000, "1000.0000", "1000,0000"},
        {0, "0.0000", "0,0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatPrice(c.Price, kC), c.InC);
        EXPECT_EQ(FormatPrice(c.Price, kGerman), c.InGerman);
        // What is shown reads back as the same price.
        EXPECT_EQ(ParsePrice(FormatPrice(c.Price, kGerman), kGerman), c.Price);
    }
}

TEST(PriceTextTest, SeparatorsComeFromTheLocaleName)
{
    const auto c = NumberSeparatorsOfLocale("C");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Decimal, ".");
    EXPECT_EQ(c->Grouping, "");
    EXPECT_FALSE(NumberSeparatorsOfLocale("xx_NOWHERE.UTF-8"));

    const auto german = NumberSeparatorsOfLocale("de_DE.UTF-8");
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_EQ(german->Decimal, ",");
    EXPECT_EQ(ParsePrice("12,5", *german), 12.5);
    EXPECT_EQ(ParsePrice("12.5", *german), std::nullopt);
}

} // namespace
