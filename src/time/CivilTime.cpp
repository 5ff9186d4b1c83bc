// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/CivilTime.h"

namespace CivilTime {

namespace {

// Floor division, so that times before the epoch fall into the day they belong to.
std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

} // namespace

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

std::int64_t DaysFromCivil(int year, int month, int day)
{
    // Years counted from March, so the leap day ends the year; eras of 400 years repeat.
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = FloorDivide(y, 400);
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t MicrosFromCivil(const CivilDateTime& time)
{
    const std::int64_t seconds =
        DaysFromCivil(time.Year, time.Month, time.Day) * 86400 + time.Hour * 3600 + time.Minute * 60 + time.Second;
    return seconds * MicrosPerSecond + time.Micro;
}

bool IsValid(const CivilDateTime& time)
{
    return time.Year >= 1 && time.Year <= 9999 && time.Day >= 1 && time.Day <= DaysInMonth(time.Year, time.Month) &&
           time.Hour >= 0 && time.Hour <= 23 && time.Minute >= 0 && time.Minute <= 59 && time.Second >= 0 &&
           time.Second <= 60 && time.Micro >= 0 && time.Micro < MicrosPerSecond;
}

CivilDateTime CivilFromMicros(std::int64_t micros)
{
    const std::int64_t days = FloorDivide(micros, MicrosPerDay);
    std::int64_t rest = micros - days * MicrosPerDay;
    CivilDateTime time;
    time.Micro = static_cast<int>(rest % MicrosPerSecond);
    rest /= MicrosPerSecond;
    time.Second = static_cast<int>(rest % 60);
    time.Minute = static_cast<int>(rest / 60 % 60);
    time.Hour = static_cast<int>(rest / 3600);

    const std::int64_t z = days + 719468;
    const std::int64_t era = FloorDivide(z, 146097);
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    time.Day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.Month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.Year = static_cast<int>(yearOfEra + era * 400 + (time.Month <= 2 ? 1 : 0));
    return time;
}

int MonthFromName(const char* text)
{
    static constexpr char Names[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    const char a = static_cast<char>(text[0] | 0x20);
    const char b = static_cast<char>(text[1] | 0x20);
    const char c = static_cast<char>(text[2] | 0x20);
    for (int month = 0; month < 12; ++month) {
        if (Names[month * 3] == a && Names[month * 3 + 1] == b && Names[month * 3 + 2] == c)
            return month + 1;
    }
    return 0;
}

} // namespace CivilTime
