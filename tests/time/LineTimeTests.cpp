// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "time/CivilTime.h"
#include "time/LineTime.h"

namespace {

using CivilTime::CivilDateTime;

// Seconds since the epoch from the C library, the independent measure of the calendar.
std::int64_t LibraryUtc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&parts));
}

std::int64_t Micros(int year, int month, int day, int hour, int minute, int second, int micro = 0)
{
    return LibraryUtc(year, month, day, hour, minute, second) * 1000000 + micro;
}

struct ParseCase
{
    const char* Line;
    TimeLayout Layout;
    bool Parses;
    std::int64_t Micros;     // UTC, when it parses
    std::int32_t Offset = 0; // of the zone the line is written in
};

// The context of the cases: a file last written in December 2026, one hour east of UTC.
TimeContext December2026()
{
    TimeContext context;
    context.Year = 2026;
    context.LatestMonth = 12;
    context.LocalOffsetSeconds = 3600;
    return context;
}

// Parses from a buffer of the line's exact size, so that a read past its end is one past the
// allocation (which the sanitizers' builds report).
bool ParseExact(TimeLayout layout, std::string_view line, const TimeContext& context, LineTime& time)
{
    const auto copy = std::make_unique<char[]>(line.size() + 1);
    std::memcpy(copy.get(), line.data(), line.size());
    return ParseLineTime(layout, std::string_view(copy.get(), line.size()), context, time);
}

} // namespace

TEST(CivilTime, AgreesWithTheLibraryCalendarAndRoundTrips)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 20000; ++round) {
        CivilDateTime civil;
        civil.Year = 1600 + static_cast<int>(random() % 900);
        civil.Month = 1 + static_cast<int>(random() % 12);
        civil.Day =
            1 + static_cast<int>(random() % static_cast<unsigned>(CivilTime::DaysInMonth(civil.Year, civil.Month)));
        civil.Hour = static_cast<int>(random() % 24);
        civil.Minute = static_cast<int>(random() % 60);
        civil.Second = static_cast<int>(random() % 60);
        civil.Micro = static_cast<int>(random() % 1000000);
        const std::int64_t micros = CivilTime::MicrosFromCivil(civil);
        ASSERT_EQ(micros,
                  Micros(civil.Year, civil.Month, civil.Day, civil.Hour, civil.Minute, civil.Second, civil.Micro))
            << civil.Year << '-' << civil.Month << '-' << civil.Day;
        const CivilDateTime back = CivilTime::CivilFromMicros(micros);
        ASSERT_EQ(std::tie(back.Year, back.Month, back.Day, back.Hour, back.Minute, back.Second, back.Micro),
                  std::tie(civil.Year, civil.Month, civil.Day, civil.Hour, civil.Minute, civil.Second, civil.Micro))
            << micros;
    }
    EXPECT_TRUE(CivilTime::IsLeapYear(2000));
    EXPECT_FALSE(CivilTime::IsLeapYear(1900));
    EXPECT_EQ(CivilTime::DaysInMonth(2028, 2), 29);
    EXPECT_EQ(CivilTime::DaysInMonth(2026, 13), 0);
}

TEST(LineTime, EachLayoutWithZonesFractionsAndPrefixes)
{
    const TimeLayout Iso = TimeLayout::Iso8601;
    const std::int64_t at = Micros(2026, 12, 9, 21, 1, 12);
    const ParseCase cases[] = {
        // ISO 8601: 'T' or a space, fractions after '.' or ',', zones in every spelling.
        {"2026-12-09T21:01:12.345Z GET /", Iso, true, at + 345000, 0},
        {"2026-12-09T21:01:12z", Iso, true, at, 0},
        {"2026-12-09 21:01:12,345 INFO started", Iso, true, at + 345000 - 3600000000LL, 3600},
        {"2026-12-09T21:01:12.123456789+01:00 x", Iso, true, at + 123456 - 3600000000LL, 3600},
        {"2026-12-09T21:01:12+0130", Iso, true, at - 5400000000LL, 5400},
        {"2026-12-09T21:01:12-05:30 x", Iso, true, at + 19800000000LL, -19800},
        {"2026-12-09T21:01:12-05", Iso, true, at + 18000000000LL, -18000},
        {"2026-12-09 21:01:12 +0000 message", Iso, true, at, 0},
        {"2026-12-09 21:01:12 -0200 message", Iso, true, at + 7200000000LL, -7200},
        // A number after a space is not taken for a zone unless it is a whole one.
        {"2026-12-09 21:01:12 -5 users", Iso, true, at - 3600000000LL, 3600},
        {"2026-12-09 21:01:12 +12 items", Iso, true, at - 3600000000LL, 3600},
        // After a level word, in brackets, after a key, after a syslog priority and version.
        {"INFO  2026-12-09T21:01:12Z started", Iso, true, at, 0},
        {"[2026-12-09 21:01:12.5] worker", Iso, true, at + 500000 - 3600000000LL, 3600},
        {"time=\"2026-12-09T21:01:12Z\" level=info", Iso, true, at, 0},
        {"<34>1 2026-12-09T21:01:12.003Z host app", Iso, true, at + 3000, 0},
        {"\xEF\xBB\xBF"
         "2026-12-09T21:01:12Z first line",
         Iso, true, at, 0},
        {"2028-02-29T00:00:00Z leap day", Iso, true, Micros(2028, 2, 29, 0, 0, 0), 0},
        {"2026-12-31T23:59:60Z leap second", Iso, true, Micros(2027, 1, 1, 0, 0, 0), 0},
        // Lines that only look like one.
        {"2026-13-45 99:99:99 not a time", Iso, false, 0},
        {"2026-02-29 10:00:00 no leap day", Iso, false, 0},
        {"2026-12-09 24:00:00", Iso, false, 0},
        {"2026-12-09 21:60:00", Iso, false, 0},
        {"2026-12-09 21:01:123", Iso, false, 0},
        {"2026-12-09 21:01", Iso, false, 0},
        {"2026-12-09 started", Iso, false, 0},
        {"2026/12/09 21:01:12", Iso, false, 0},
        {"12026-12-09 21:01:12", Iso, false, 0},
        {"a line that says much more than a short prefix before 2026-12-09 21:01:12", Iso, false, 0},
        {"", Iso, false, 0},

        // syslog: the year from the context, the day padded with a space or a zero.
        {"Dec  9 21:01:12 host sshd[42]: accepted", TimeLayout::Syslog, true, at - 3600000000LL, 3600},
        {"Dec 09 21:01:12 host", TimeLayout::Syslog, true, at - 3600000000LL, 3600},
        {"<13>Dec  9 21:01:12 host app", TimeLayout::Syslog, true, at - 3600000000LL, 3600},
        {"Dec 19 21:01:12.250 host", TimeLayout::Syslog, true, Micros(2026, 12, 19, 20, 1, 12, 250000), 3600},
        {"dec  9 21:01:12 lower case", TimeLayout::Syslog, true, at - 3600000000LL, 3600},
        {"Dex  9 21:01:12 host", TimeLayout::Syslog, false, 0},
        {"Feb 30 21:01:12 host", TimeLayout::Syslog, false, 0},
        {"Dec  9 21:01 host", TimeLayout::Syslog, false, 0},
        {"Dec  9", TimeLayout::Syslog, false, 0},

        // The common log: after host, identity and user; a zone or the local one.
        {"127.0.0.1 - frank [09/Dec/2026:21:01:12 +0100] \"GET / HTTP/1.1\" 200 2326", TimeLayout::CommonLog, true,
         at - 3600000000LL, 3600},
        {"host.example.org - - [09/Dec/2026:21:01:12 -0000] \"GET /\"", TimeLayout::CommonLog, true, at, 0},
        {"[client 10.0.0.1] [09/Dec/2026:21:01:12] x", TimeLayout::CommonLog, true, at - 3600000000LL, 3600},
        {"127.0.0.1 - - [39/Dec/2026:21:01:12 +0000] \"GET /\"", TimeLayout::CommonLog, false, 0},
        {"127.0.0.1 - - [09/Dez/2026:21:01:12 +0000]", TimeLayout::CommonLog, false, 0},
        {"127.0.0.1 - - 09/Dec/2026:21:01:12 +0000", TimeLayout::CommonLog, false, 0},

        // klog: level letter, month and day, the year from the context.
        {"I1209 21:01:12.345678   12345 main.go:10] serving", TimeLayout::Klog, true, at + 345678 - 3600000000LL, 3600},
        {"E1209 21:01:12 1 x.go:1] failed", TimeLayout::Klog, true, at - 3600000000LL, 3600},
        {"X1209 21:01:12.345678 1 x.go:1]", TimeLayout::Klog, false, 0},
        {"I1309 21:01:12.345678 1 x.go:1]", TimeLayout::Klog, false, 0},
        {"I12091 21:01:12", TimeLayout::Klog, false, 0},

        // Epoch seconds and milliseconds: only at the start, exactly ten or thirteen digits.
        {"1796850072 GET /", TimeLayout::EpochSeconds, true, 1796850072000000LL, 3600},
        {"1796850072.25 GET /", TimeLayout::EpochSeconds, true, 1796850072250000LL, 3600},
        {"[1796850072] x", TimeLayout::EpochSeconds, true, 1796850072000000LL, 3600},
        {"1796850072", TimeLayout::EpochSeconds, true, 1796850072000000LL, 3600},
        {"1796850072345 x", TimeLayout::EpochMilliseconds, true, 1796850072345000LL, 3600},
        {"1796850072345 x", TimeLayout::EpochSeconds, false, 0},
        {"1796850072 x", TimeLayout::EpochMilliseconds, false, 0},
        {"17968500721 x", TimeLayout::EpochSeconds, false, 0},
        {"179685007 x", TimeLayout::EpochSeconds, false, 0},
        {"GET /orders?request=1796850072 done", TimeLayout::EpochSeconds, false, 0},
        {"id 1796850072345 done", TimeLayout::EpochMilliseconds, false, 0},
    };
    const TimeContext context = December2026();
    for (const ParseCase& c : cases) {
        LineTime time;
        const bool parses = ParseExact(c.Layout, c.Line, context, time);
        EXPECT_EQ(parses, c.Parses) << TimeLayoutName(c.Layout) << ": " << c.Line;
        if (parses && c.Parses) {
            EXPECT_EQ(time.Micros, c.Micros) << c.Line;
            EXPECT_EQ(time.OffsetSeconds, c.Offset) << c.Line;
        }
    }
}

TEST(LineTime, LayoutsDoNotReadEachOther)
{
    const char* lines[] = {
        "2026-12-09T21:01:12Z x",          "Dec  9 21:01:12 host", "1.2.3.4 - - [09/Dec/2026:21:01:12 +0000] \"GET\"",
        "I1209 21:01:12.345678 1 x.go:1]", "1796850072 x",         "1796850072345 x",
    };
    const TimeContext context = December2026();
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        for (std::size_t j = 0; j < std::size(RecognisedTimeLayouts); ++j) {
            LineTime time;
            EXPECT_EQ(ParseExact(RecognisedTimeLayouts[j], lines[i], context, time), i == j)
                << TimeLayoutName(RecognisedTimeLayouts[j]) << ": " << lines[i];
        }
    }
}

TEST(LineTime, YearlessLayoutsTakeTheYearBeforeForMonthsAfterTheFilesLast)
{
    // A log begun in December and last written in January 2027.
    TimeContext context;
    context.Year = 2027;
    context.LatestMonth = 1;
    LineTime time;
    ASSERT_TRUE(ParseLineTime(TimeLayout::Syslog, "Dec 31 23:59:59 host", context, time));
    EXPECT_EQ(time.Micros, Micros(2026, 12, 31, 23, 59, 59));
    ASSERT_TRUE(ParseLineTime(TimeLayout::Syslog, "Jan  1 00:00:01 host", context, time));
    EXPECT_EQ(time.Micros, Micros(2027, 1, 1, 0, 0, 1));
    ASSERT_TRUE(ParseLineTime(TimeLayout::Klog, "I1231 23:59:59.000001 1 a.go:1]", context, time));
    EXPECT_EQ(time.Micros, Micros(2026, 12, 31, 23, 59, 59, 1));
    // The leap day only in a leap year: 2028's, not 2027's.
    context.Year = 2028;
    context.LatestMonth = 3;
    EXPECT_TRUE(ParseLineTime(TimeLayout::Syslog, "Feb 29 12:00:00 host", context, time));
    context.Year = 2027;
    EXPECT_FALSE(ParseLineTime(TimeLayout::Syslog, "Feb 29 12:00:00 host", context, time));
}

TEST(LineTime, ACutLineNeverReadsOnAndIsNoTimeUntilItsTimeIsWhole)
{
    struct Cut
    {
        TimeLayout Layout;
        const char* Line;
        std::size_t WholeAt; // the shortest cut that still holds the whole time
    };
    const Cut cuts[] = {
        {TimeLayout::Iso8601, "2026-12-09T21:01:12.345+01:00 tail", 19},
        {TimeLayout::Syslog, "Dec  9 21:01:12 host", 15},
        {TimeLayout::CommonLog, "1.2.3.4 - - [09/Dec/2026:21:01:12 +0000] \"GET\"", 33},
        {TimeLayout::Klog, "I1209 21:01:12.345678 1 x.go:1]", 14},
        {TimeLayout::EpochSeconds, "1796850072.5 x", 10},
        {TimeLayout::EpochMilliseconds, "1796850072345 x", 13},
    };
    const TimeContext context = December2026();
    for (const Cut& cut : cuts) {
        const std::string_view whole(cut.Line);
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            LineTime time;
            const bool parses = ParseExact(cut.Layout, whole.substr(0, length), context, time);
            EXPECT_EQ(parses, length >= cut.WholeAt) << cut.Line << " cut at " << length;
        }
    }
}
