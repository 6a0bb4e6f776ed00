#include "DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& aYear, int& aMonth, int& aDay)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    aYear = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
    aMonth = static_cast<int>(m);
    aDay = static_cast<int>(d);
}

constexpr int64_t kEpochOffsetDays = 25569;   // 1899-12-30 .. 1970-01-01
constexpr double kMsPerDay = 86400000.0;

} // namespace

TDateTime EncodeDateTime(const TDateTimeParts& p)
{
    const int64_t days = DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) + kEpochOffsetDays;
    const double ms = ((p.Hour * 60.0 + p.Minute) * 60.0 + p.Second) * 1000.0 + p.Millisecond;
    // Before the epoch the fraction still counts forward from midnight.
    return days >= 0 ? days + ms / kMsPerDay : days - ms / kMsPerDay;
}

TDateTimeParts DecodeDateTime(TDateTime aValue)
{
    TDateTimeParts p;
    int64_t days = static_cast<int64_t>(std::trunc(aValue));
    int64_t ms = std::llround(std::fabs(aValue - static_cast<double>(days)) * kMsPerDay);
    if (ms >= 86400000) {   // rounding reached midnight
        ms -= 86400000;
        days += aValue >= 0 ? 1 : -1;
    }
    CivilFromDays(days - kEpochOffsetDays, p.Year, p.Month, p.Day);
    p.Millisecond = static_cast<int>(ms % 1000);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Hour = static_cast<int>(ms / 3600000);
    return p;
}

TDateTime Now()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec, static_cast<int>(ms)});
}

std::string FormatDateTimeIso(TDateTime aValue)
{
    const TDateTimeParts p = DecodeDateTime(aValue);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second, p.Millisecond);
    return buffer;
}
