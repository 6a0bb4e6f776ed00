#include "PriceText.h"

#include <cmath>
#include <cstdint>
#include <langinfo.h>
#include <locale.h>
#include <vector>

namespace {

// A currency amount is a 64-bit count of ten-thousandths.
constexpr unsigned __int128 kMaxUnits = INT64_MAX;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

class TCursor {
public:
    explicit TCursor(std::string_view aText) : FText(aText) {}
    bool AtEnd() const { return FPos == FText.size(); }
    char Peek() const { return AtEnd() ? '\0' : FText[FPos]; }
    bool Take(std::string_view aToken)
    {
        if (aToken.empty() || FText.substr(FPos, aToken.size()) != aToken)
            return false;
        FPos += aToken.size();
        return true;
    }
    bool TakeChar(char c)
    {
        if (Peek() != c)
            return false;
        ++FPos;
        return true;
    }
    std::string Digits()
    {
        const std::size_t start = FPos;
        while (!AtEnd() && IsDigit(FText[FPos]))
            ++FPos;
        return std::string(FText.substr(start, FPos - start));
    }

private:
    std::string_view FText;
    std::size_t FPos = 0;
};

std::string_view Trimmed(std::string_view aText)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!aText.empty() && blank(aText.front()))
        aText.remove_prefix(1);
    while (!aText.empty() && blank(aText.back()))
        aText.remove_suffix(1);
    return aText;
}

// The integer part: digits, grouped only in whole groups of three after a
// first group of one to three. Empty when the grouping is wrong, with
// aOk false.
std::string IntegerPart(TCursor& aCursor, const std::string& aGrouping, bool& aOk)
{
    std::vector<std::string> groups{aCursor.Digits()};
    while (!aGrouping.empty() && !groups.back().empty() && aCursor.Take(aGrouping))
        groups.push_back(aCursor.Digits());
    aOk = true;
    if (groups.size() > 1) {
        aOk = groups.front().size() >= 1 && groups.front().size() <= 3;
        for (std::size_t i = 1; i < groups.size(); ++i)
            aOk = aOk && groups[i].size() == 3;
    }
    std::string digits;
    for (const auto& group : groups)
        digits += group;
    return digits;
}

// Appends the digits to aValue; false past the currency's range.
bool Accumulate(unsigned __int128& aValue, std::string_view aDigits)
{
    for (char c : aDigits) {
        aValue = aValue * 10 + static_cast<unsigned>(c - '0');
        if (aValue > kMaxUnits)
            return false;
    }
    return true;
}

} // namespace

std::optional<double> ParsePrice(std::string_view aText, const TNumberSeparators& aSeparators)
{
    const std::string& decimal = aSeparators.Decimal.empty() ? std::string(".") : aSeparators.Decimal;
    const std::string grouping = aSeparators.Grouping == decimal ? std::string() : aSeparators.Grouping;
    TCursor cursor(Trimmed(aText));
    const bool negative = cursor.TakeChar('-');
    if (!negative)
        cursor.TakeChar('+');
    bool groupingOk = false;
    const std::string whole = IntegerPart(cursor, grouping, groupingOk);
    if (!groupingOk)
        return std::nullopt;
    std::string fraction;
    if (cursor.Take(decimal))
        fraction = cursor.Digits();
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    long exponent = 0;
    if (cursor.TakeChar('e') || cursor.TakeChar('E')) {
        const bool negativeExponent = cursor.TakeChar('-');
        if (!negativeExponent)
            cursor.TakeChar('+');
        std::string digits = cursor.Digits();
        if (digits.empty())
            return std::nullopt;
        const auto first = digits.find_first_not_of('0');
        digits = first == std::string::npos ? "0" : digits.substr(first);
        if (digits.size() > 6)
            return negativeExponent ? std::optional<double>(0.0) : std::nullopt;
        exponent = std::stol(digits) * (negativeExponent ? -1 : 1);
    }
    if (!cursor.AtEnd())
        return std::nullopt;

    std::string digits = whole + fraction;
    const auto first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? std::string() : digits.substr(first);
    // The amount is digits × 10^scale ten-thousandths.
    const long scale = exponent - static_cast<long>(fraction.size()) + 4;
    unsigned __int128 units = 0;
    if (!digits.empty()) {
        if (scale >= 0) {
            if (static_cast<long>(digits.size()) + scale > 19 || !Accumulate(units, digits) ||
                !Accumulate(units, std::string(static_cast<std::size_t>(scale), '0')))
                return std::nullopt;
        } else {
            const long kept = static_cast<long>(digits.size()) + scale;
            if (kept > 19)
                return std::nullopt;
            if (kept >= 0) {
                if (!Accumulate(units, std::string_view(digits).substr(0, static_cast<std::size_t>(kept))))
                    return std::nullopt;
                // Half away from zero, on the decimal digits as typed.
                if (digits[static_cast<std::size_t>(kept)] >= '5' && ++units > kMaxUnits)
                    return std::nullopt;
            }
        }
    }
    if (units == 0)
        return 0.0;
    const double value = static_cast<double>(static_cast<int64_t>(units)) / 10000.0;
    return negative ? -value : value;
}

std::string FormatPrice(double aPrice, const TNumberSeparators& aSeparators)
{
    const long long units = std::llround(aPrice * 10000.0);
    const unsigned long long magnitude = units < 0 ? 0ULL - static_cast<unsigned long long>(units)
                                                   : static_cast<unsigned long long>(units);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    std::string text = units < 0 ? "-" : "";
    text.append(std::to_string(magnitude / 10000));
    text.append(aSeparators.Decimal.empty() ? "." : aSeparators.Decimal);
    text.append(fraction);
    return text;
}

std::optional<TNumberSeparators> NumberSeparatorsOfLocale(const std::string& aLocaleName)
{
    locale_t locale = newlocale(LC_NUMERIC_MASK, aLocaleName.c_str(), static_cast<locale_t>(nullptr));
    if (!locale)
        return std::nullopt;
    const std::string decimal(nl_langinfo_l(RADIXCHAR, locale));
    const std::string grouping(nl_langinfo_l(THOUSEP, locale));
    freelocale(locale);
    return TNumberSeparators{decimal.empty() ? std::string(".") : decimal, grouping};
}
