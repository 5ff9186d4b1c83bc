// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "time/KeptLineTimes.h"

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct Line
{
    std::string Text;
    std::int64_t Millis = 0; // the time it counts at
    bool Counted = false;    // a time came at or before it
    int Filter = -1;
};

// Kept lines of 2026-12-11 in ISO 8601 with milliseconds, some without a time of their own.
std::vector<Line> RandomLines(std::mt19937& random, int count, int stepMs)
{
    const std::int64_t dayStart = DaysFromCivil(2026, 12, 11) * 86400000;
    std::vector<Line> lines;
    std::int64_t offset = std::uniform_int_distribution<std::int64_t>(0, 3600000)(random);
    bool timed = false;
    std::int64_t last = 0;
    for (int i = 0; i < count; ++i) {
        Line line;
        line.Filter = std::uniform_int_distribution<int>(-1, 9)(random);
        if (i > 0 && std::uniform_int_distribution<int>(0, 4)(random) == 0) {
            line.Text = "    at continuation " + std::to_string(i) + "\n";
        } else {
            offset = std::min<std::int64_t>(86399999, offset + std::uniform_int_distribution<int>(0, stepMs)(random));
            char stamp[64];
            std::snprintf(stamp, sizeof stamp, "2026-12-11T%02d:%02d:%02d.%03dZ", static_cast<int>(offset / 3600000),
                          static_cast<int>(offset / 60000 % 60), static_cast<int>(offset / 1000 % 60),
                          static_cast<int>(offset % 1000));
            line.Text = std::string(stamp) + " INFO message " + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
            last = dayStart + offset;
            timed = true;
        }
        line.Millis = last;
        line.Counted = timed;
        lines.push_back(line);
    }
    return lines;
}

} // namespace

// Each bucket holds the lines of its times, a line without a time at the time above it; the
// buckets widen in pairs as the times spread, from spans of milliseconds to hours.
TEST(KeptLineTimesTest, CountsKeptLinesByTheirTimes)
{
    std::mt19937 random(1211);
    for (int round = 0; round < 40; ++round) {
        const int stepMs = 1 << std::uniform_int_distribution<int>(0, 16)(random);
        const int count = std::uniform_int_distribution<int>(1, 2500)(random);
        const std::vector<Line> lines = RandomLines(random, count, stepMs);
        KeptLineTimes times(TimeContext{}, 64);
        for (std::size_t i = 0; i < lines.size(); ++i)
            times.Add(lines[i].Text, static_cast<std::int64_t>(i) + 1, lines[i].Filter);
        times.Finish();
        ASSERT_EQ(times.GetLayout(), TimeLayout::Iso8601) << "round " << round;
        const SpanBuckets& buckets = times.Buckets();
        ASSERT_EQ(buckets.GetLineCount(), lines.size()) << "round " << round;
        for (std::size_t b = 0; b < buckets.GetBucketCount(); ++b) {
            std::array<std::uint64_t, SpanBuckets::Colours + 1> expected{};
            std::int64_t first = 0;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (lines[i].Millis >= buckets.KeyOf(b) && lines[i].Millis < buckets.KeyOf(b) + buckets.GetWidth()) {
                    ++expected[static_cast<std::size_t>(SpanBuckets::SlotOf(lines[i].Filter))];
                    first = first ? first : static_cast<std::int64_t>(i) + 1;
                }
            ASSERT_EQ(buckets.At(b).Lines, expected) << "round " << round << ", bucket " << b;
            ASSERT_EQ(buckets.At(b).FirstLine, first) << "round " << round << ", bucket " << b;
        }
        EXPECT_EQ(buckets.GetMinKey(), lines.front().Millis);
        EXPECT_EQ(buckets.GetMaxKey(), lines.back().Millis);
    }
}

// Lines before the first time count nowhere; a file without times counts nothing; the layout is
// told only once the sample is full, or at the end.
TEST(KeptLineTimesTest, LinesWithoutTimes)
{
    KeptLineTimes times;
    times.Add("no time here\n", 1, 0);
    times.Add("nor here\n", 2, 0);
    EXPECT_FALSE(times.IsDecided());
    times.Add("2026-12-11 10:00:00,250 ERROR first\n", 3, 1);
    times.Add("  continued\n", 4, 1);
    times.Finish();
    EXPECT_EQ(times.GetLayout(), TimeLayout::Iso8601);
    EXPECT_EQ(times.Buckets().GetLineCount(), 2U);
    EXPECT_EQ(times.Buckets().GetMinKey(), times.Buckets().GetMaxKey());
    EXPECT_EQ(times.Buckets().At(0).FirstLine, 3);

    KeptLineTimes none;
    for (int i = 0; i < 300; ++i)
        none.Add("plain line " + std::to_string(i), i + 1, -1);
    EXPECT_TRUE(none.IsDecided()) << "a full sample decides";
    EXPECT_EQ(none.GetLayout(), TimeLayout::None);
    EXPECT_TRUE(none.Buckets().Empty());
}
