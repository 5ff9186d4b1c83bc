// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/FileLineIndex.h"
#include "support/TempDir.h"
#include "time/IndexedFileLines.h"
#include "time/TimeEntry.h"
#include "time/TimeLayoutDetector.h"
#include "time/TimedLines.h"

namespace {

// Lines held in memory that count how often they are read.
class VectorLines : public ILineReader
{
public:
    explicit VectorLines(std::vector<std::string> lines) : m_Lines(std::move(lines)) {}
    std::int64_t GetLineCount() override { return static_cast<std::int64_t>(m_Lines.size()); }
    std::string_view GetLineStart(std::int64_t line) override
    {
        ++Reads;
        return m_Lines.at(static_cast<std::size_t>(line));
    }
    int Reads = 0;

private:
    std::vector<std::string> m_Lines;
};

// "1796850000 line" style lines: epoch seconds, or a line without a time for nullopt.
std::vector<std::string> EpochLines(const std::vector<std::optional<std::int64_t>>& seconds)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < seconds.size(); ++i)
        lines.push_back(seconds[i] ? std::to_string(*seconds[i]) + " line " + std::to_string(i)
                                   : "    at frame " + std::to_string(i));
    return lines;
}

std::int64_t Find(std::vector<std::string> lines, std::int64_t seconds)
{
    VectorLines reader(std::move(lines));
    TimedLines timed(reader, TimeLayout::EpochSeconds, TimeContext{});
    return timed.FindLineAtOrAfter(seconds * 1000000);
}

// What Go To should reach, found the slow way: the first line whose time (a line without one
// taking the time above, lines above the first time the first time) is at or after the time.
std::int64_t ReferenceFind(const std::vector<std::optional<std::int64_t>>& seconds, std::int64_t target)
{
    std::optional<std::int64_t> firstTime;
    for (const auto& s : seconds) {
        if (s) {
            firstTime = s;
            break;
        }
    }
    if (!firstTime)
        return -1;
    std::int64_t current = *firstTime;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        if (seconds[i])
            current = *seconds[i];
        if (current >= target)
            return static_cast<std::int64_t>(i);
    }
    return static_cast<std::int64_t>(seconds.size()) - 1;
}

std::int64_t UtcMicros(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&parts)) * 1000000;
}

} // namespace

TEST(TimeLayoutDetector, TheLayoutMostSampledLinesParseWith)
{
    // Mostly syslog, with ISO times quoted in some messages and lines without a time.
    TimeLayoutDetector mixed(TimeContext{});
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "Dec  9 21:01:" + std::to_string(10 + i % 50) + " host app: request\n";
    for (int i = 0; i < 25; ++i)
        text += "2026-12-09T21:01:12Z quoted\r\n";
    for (int i = 0; i < 15; ++i)
        text += "   continuation\n\n";
    mixed.AddText(text);
    EXPECT_EQ(mixed.GetLayout(), TimeLayout::Syslog);
    EXPECT_EQ(mixed.GetSampledLines(), 100); // empty lines are not counted

    // Only the first lines decide: what comes after the sample does not count.
    TimeLayoutDetector sampled(TimeContext{});
    std::string late;
    for (int i = 0; i < TimeLayoutDetector::SampleLines; ++i)
        late += "1796850072 x\n";
    for (int i = 0; i < 500; ++i)
        late += "2026-12-09 21:01:12 y\n";
    sampled.AddText(late);
    EXPECT_EQ(sampled.GetLayout(), TimeLayout::EpochSeconds);

    // A tie goes to the layout listed first; no time at all is None.
    TimeLayoutDetector tie(TimeContext{});
    tie.AddText("I1209 21:01:12.345678 1 a.go:1] x\n2026-12-09T21:01:12Z y\n");
    EXPECT_EQ(tie.GetLayout(), TimeLayout::Iso8601);
    TimeLayoutDetector none(TimeContext{});
    none.AddText("plain text\nid 1796850072 in the middle\n\n");
    EXPECT_EQ(none.GetLayout(), TimeLayout::None);
    TimeLayoutDetector empty(TimeContext{});
    empty.AddText({});
    EXPECT_EQ(empty.GetLayout(), TimeLayout::None);
    EXPECT_EQ(TimeLayoutName(TimeLayout::CommonLog), "common log");
    EXPECT_EQ(TimeLayoutName(TimeLayout::EpochMilliseconds), "epoch milliseconds");
}

TEST(TimedLines, GoesToTheFirstLineAtOrAfterATime)
{
    // Two untimed lines above the first time, a stack trace, equal times.
    constexpr std::int64_t B = 1796850000;
    const std::vector<std::optional<std::int64_t>> seconds = {
        std::nullopt, std::nullopt, B + 100, B + 110, std::nullopt, std::nullopt,
        B + 120,      B + 120,      B + 120, B + 130, std::nullopt, B + 140,
    };
    struct Case
    {
        std::int64_t Target;
        std::int64_t Line;
    };
    const Case cases[] = {
        {B + 50, 0},                                    // before the first line: line 1
        {B + 100, 0},                                   // the first time itself: the lines above it take it
        {B + 101, 3},     {B + 110, 3},  {B + 111, 6},  // past the trace to the next time
        {B + 120, 6},                                   // the first of equal times
        {B + 121, 9},     {B + 140, 11}, {B + 141, 11}, // past the last: the last line
        {B + 100000, 11},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Find(EpochLines(seconds), c.Target), c.Line) << c.Target;
        EXPECT_EQ(ReferenceFind(seconds, c.Target), c.Line) << c.Target;
    }
    // No time anywhere, and no line at all.
    EXPECT_EQ(Find({"a", "b"}, 5), -1);
    EXPECT_EQ(Find({}, 5), -1);
    // One line.
    EXPECT_EQ(Find({"1796850072 only"}, 1), 0);
    EXPECT_EQ(Find({"1796850072 only"}, 1796850073), 0);
}

TEST(TimedLines, AgreesWithAScanOnSortedTextsAndReadsFewLines)
{
    std::mt19937 random(1209);
    for (int round = 0; round < 300; ++round) {
        const std::size_t count = 1 + random() % 400;
        std::vector<std::optional<std::int64_t>> seconds;
        std::int64_t now = 1796850000;
        for (std::size_t i = 0; i < count; ++i) {
            if (random() % 4 == 0) {
                seconds.emplace_back();
            } else {
                now += static_cast<std::int64_t>(random() % 3); // equal times are common
                seconds.emplace_back(now);
            }
        }
        for (int probe = 0; probe < 10; ++probe) {
            const std::int64_t target = 1796849990 + static_cast<std::int64_t>(random() % (now - 1796849980 + 20));
            ASSERT_EQ(Find(EpochLines(seconds), target), ReferenceFind(seconds, target))
                << "round " << round << " target " << target;
        }
    }

    // A long sorted log: a search reads a few dozen lines, not the file.
    std::vector<std::optional<std::int64_t>> seconds;
    for (std::int64_t i = 0; i < 200000; ++i)
        seconds.emplace_back(i % 7 == 3 ? std::nullopt : std::optional<std::int64_t>(1796850000 + i));
    VectorLines reader(EpochLines(seconds));
    TimedLines timed(reader, TimeLayout::EpochSeconds, TimeContext{});
    EXPECT_EQ(timed.FindLineAtOrAfter((1796850000 + 123456) * 1000000LL), 123456);
    EXPECT_LT(reader.Reads, 200);
}

TEST(TimedLines, TimesThatGoBackwardsStillGiveALine)
{
    std::mt19937 random(77);
    for (int round = 0; round < 300; ++round) {
        const std::size_t count = 1 + random() % 200;
        std::vector<std::optional<std::int64_t>> seconds;
        for (std::size_t i = 0; i < count; ++i) {
            if (random() % 3 == 0)
                seconds.emplace_back();
            else
                seconds.emplace_back(1796850000 + static_cast<std::int64_t>(random() % 100));
        }
        const bool anyTime = std::any_of(seconds.begin(), seconds.end(), [](const auto& s) { return s.has_value(); });
        for (int probe = 0; probe < 5; ++probe) {
            const std::int64_t target = 1796849990 + static_cast<std::int64_t>(random() % 120);
            VectorLines reader(EpochLines(seconds));
            TimedLines timed(reader, TimeLayout::EpochSeconds, TimeContext{});
            const std::int64_t line = timed.FindLineAtOrAfter(target * 1000000);
            if (!anyTime) {
                ASSERT_EQ(line, -1);
                continue;
            }
            ASSERT_GE(line, 0);
            ASSERT_LT(line, static_cast<std::int64_t>(count));
            // Each probe reads forward within a range that shrinks: never more than the lines
            // times the steps of a binary search.
            ASSERT_LE(reader.Reads, static_cast<int>(count) * 20);
            // A line found inside the text has a time at or after the one asked for.
            if (line > 0 && line < static_cast<std::int64_t>(count) - 1 && seconds[static_cast<std::size_t>(line)]) {
                EXPECT_GE(*seconds[static_cast<std::size_t>(line)], target);
            }
        }
    }
}

TEST(TimeEntry, ParsesClockTimesDatesAndSpansBack)
{
    struct Case
    {
        const char* Text;
        TimeEntry::Kind Kind;
    };
    using K = TimeEntry::Kind;
    const Case cases[] = {
        {"14:05", K::ClockTime},
        {" 14:05:30 ", K::ClockTime},
        {"9:05", K::ClockTime},
        {"14:05:30.250", K::ClockTime},
        {"2026-12-09 14:05:30", K::DateTime},
        {"2026-12-09T14:05", K::DateTime},
        {"-10m", K::BeforeLast},
        {"-2h", K::BeforeLast},
        {"-30s", K::BeforeLast},
        {"-1d", K::BeforeLast},
        {"-5", K::NotATime},
        {"12", K::NotATime},
        {"ten", K::NotATime},
        {"", K::NotATime},
        {"25:00", K::Invalid},
        {"14:60", K::Invalid},
        {"14:5", K::Invalid},
        {"14:05:", K::Invalid},
        {"14:05 pm", K::Invalid},
        {"2026-02-30 10:00", K::Invalid},
        {"2026-12-09 14", K::NotATime},
        {"-m", K::Invalid},
        {"-10x", K::Invalid},
        {"-1234567890m", K::Invalid},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseTimeEntry(c.Text).What, c.Kind) << c.Text;
    const TimeEntry clock = ParseTimeEntry("14:05:30.25");
    EXPECT_EQ(std::tie(clock.Civil.Hour, clock.Civil.Minute, clock.Civil.Second, clock.Civil.Micro),
              std::make_tuple(14, 5, 30, 250000));
    EXPECT_EQ(ParseTimeEntry("-90m").BackMicros, 90LL * 60 * 1000000);
}

TEST(TimeEntry, ResolvesAgainstTheFirstAndLastTimes)
{
    // A log written one hour east of UTC from 22:00 on 9 December to 03:00 on the 10th.
    const std::int32_t zone = 3600;
    const LineTime first{UtcMicros(2026, 12, 9, 22, 0, 0) - zone * 1000000LL, zone};
    const LineTime last{UtcMicros(2026, 12, 10, 3, 0, 0) - zone * 1000000LL, zone};
    const auto resolve = [&](const char* text) { return ResolveTimeEntry(ParseTimeEntry(text), first, last); };
    // Clock times are the file's own clock: 23:15 on the first day.
    EXPECT_EQ(resolve("23:15"), UtcMicros(2026, 12, 9, 23, 15, 0) - zone * 1000000LL);
    // Before the first time on its day, but within the log on the next: past midnight.
    EXPECT_EQ(resolve("01:30"), UtcMicros(2026, 12, 10, 1, 30, 0) - zone * 1000000LL);
    // Before the first time, and on the next day after the last: stays on the first day.
    EXPECT_EQ(resolve("21:00"), UtcMicros(2026, 12, 9, 21, 0, 0) - zone * 1000000LL);
    EXPECT_EQ(resolve("2026-12-10 02:00:00"), UtcMicros(2026, 12, 10, 2, 0, 0) - zone * 1000000LL);
    EXPECT_EQ(resolve("-10m"), last.Micros - 600LL * 1000000);
    EXPECT_EQ(resolve("-2h"), last.Micros - 7200LL * 1000000);

    // A first time before the epoch's midnight in its zone still takes its own day.
    const LineTime early{-1000000LL, -3600};
    EXPECT_EQ(ResolveTimeEntry(ParseTimeEntry("22:00"), early, early), UtcMicros(1969, 12, 31, 23, 0, 0));
}

TEST(IndexedFileLines, ReadsLinesThroughTheIndexAndFindsTimes)
{
    TempDir dir;
    std::string text;
    std::vector<std::string> expected;
    // More lines than the index's stride, long ones among them, and CR LF ends.
    for (int i = 0; i < 1000; ++i) {
        std::string line = "2026-12-09T21:" + std::string(i / 60 < 10 ? "0" : "") + std::to_string(i / 60 % 60) + ":" +
                           (i % 60 < 10 ? "0" : "") + std::to_string(i % 60) + "Z line " + std::to_string(i);
        if (i % 97 == 5)
            line += std::string(40000, 'x');
        if (i % 13 == 0)
            line = "    at trace " + std::to_string(i);
        expected.push_back(line);
        text += line + (i % 2 ? "\r\n" : "\n");
    }
    text.pop_back(); // the last line without its line feed
    const std::string path = dir.Write("log", text);
    FileLineIndex index(path);
    int error = 0;
    ASSERT_TRUE(index.Start(error)) << error;
    while (!index.IsComplete())
        std::this_thread::yield();

    IndexedFileLines lines(index);
    ASSERT_EQ(lines.GetLineCount(), 1000);
    // In any order: backwards, strides apart, and one after the other.
    for (std::int64_t line : {999, 0, 500, 501, 502, 64, 63, 128, 998, 5, 102, 103}) {
        const std::string& whole = expected[static_cast<std::size_t>(line)];
        const std::string_view start = lines.GetLineStart(line);
        EXPECT_EQ(std::string(start), whole.substr(0, std::min(whole.size(), LineTimePrefixBytes))) << line;
    }
    EXPECT_TRUE(lines.GetLineStart(1000).empty());
    EXPECT_TRUE(lines.GetLineStart(-1).empty());

    IndexedFileLines probed(index);
    TimedLines timed(probed, TimeLayout::Iso8601, TimeContext{});
    // 21:05:00 is line 300; line 300 is no trace line (300 % 13 != 0).
    EXPECT_EQ(timed.FindLineAtOrAfter(UtcMicros(2026, 12, 9, 21, 5, 0)), 300);
    // 21:03:54 is line 234, a trace line (234 = 13 * 18): the next timed line.
    EXPECT_EQ(timed.FindLineAtOrAfter(UtcMicros(2026, 12, 9, 21, 3, 54)), 235);
    EXPECT_EQ(timed.FindLineAtOrAfter(UtcMicros(2026, 12, 9, 22, 0, 0)), 999);
    EXPECT_EQ(timed.FindLineAtOrAfter(UtcMicros(2026, 12, 9, 20, 0, 0)), 0);
}
