// Date-times as day numbers: days since 30 December 1899, local time, the
// fraction being the time of day. This is how dates are stored and passed.
#pragma once

#include <cstdint>
#include <string>

using TDateTime = double;

struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

TDateTime EncodeDateTime(const TDateTimeParts& aParts);
TDateTimeParts DecodeDateTime(TDateTime aValue);

// The current local time.
TDateTime Now();

// "yyyy-mm-dd hh:nn:ss.zzz"
std::string FormatDateTimeIso(TDateTime aValue);
