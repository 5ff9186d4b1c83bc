// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Calendar arithmetic on the proleptic Gregorian calendar, without the C library's time zone
// state: pure functions, safe from any thread.
namespace CivilTime {

constexpr std::int64_t MicrosPerSecond = 1000000;
constexpr std::int64_t MicrosPerDay = 86400 * MicrosPerSecond;

// A date and a time of day as written, in no particular zone.
struct CivilDateTime
{
    int Year = 1970;
    int Month = 1; // 1 to 12
    int Day = 1;   // 1 to 31
    int Hour = 0;
    int Minute = 0;
    int Second = 0; // up to 60 for a leap second, which counts as the next minute's first
    int Micro = 0;
};

bool IsLeapYear(int year);
// 28 to 31; 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);
// Days from 1970-01-01 to the date (negative before it); the date must be valid.
std::int64_t DaysFromCivil(int year, int month, int day);
// Microseconds since the epoch of a civil time taken as UTC; the fields must be valid.
std::int64_t MicrosFromCivil(const CivilDateTime& time);
// Whether the fields name a real date and a time of day.
bool IsValid(const CivilDateTime& time);
// The civil date and time of microseconds since the epoch, taken as UTC.
CivilDateTime CivilFromMicros(std::int64_t micros);
// The month (1 to 12) "Jan" to "Dec" names at text, case-insensitive; 0 for none.
int MonthFromName(const char* text);

} // namespace CivilTime
