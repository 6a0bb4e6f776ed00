// The product price as the user types and reads it: a currency amount in
// the user's locale, kept to four decimal places and stored as a number.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A locale's decimal separator and digit-grouping separator (empty when
// the locale does not group). Either may be several bytes (a narrow
// no-break space groups in some locales).
struct TNumberSeparators {
    std::string Decimal = ".";
    std::string Grouping;
};

inline constexpr const char* kPriceNotNumber = "输入价格不是数字，请重新输入！";
inline constexpr const char* kPriceErrorCaption = "错误";

// The price aText gives, rounded half away from zero to four decimal
// places; nullopt when it is not an amount: blanks around it, an optional
// sign, digits with at most one decimal separator, grouping separators only
// between whole groups of three digits of the integer part, and an
// optional exponent ("1e3"). Beyond the currency's range (about 9.2e14) it
// is refused too.
std::optional<double> ParsePrice(std::string_view aText, const TNumberSeparators& aSeparators);

// The price with exactly four decimals and the locale's decimal separator
// ("12.5000"); no grouping.
std::string FormatPrice(double aPrice, const TNumberSeparators& aSeparators);

// The numeric separators of a POSIX locale name ("de_DE.UTF-8", "C");
// nullopt when that locale is not installed.
std::optional<TNumberSeparators> NumberSeparatorsOfLocale(const std::string& aLocaleName);
