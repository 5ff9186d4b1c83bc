// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/OccurrenceLines.h"
#include "filtering/SpanBuckets.h"

namespace {

struct Counted
{
    std::int64_t Key = 0;
    int Filter = -1;
    std::int64_t FileLine = 0;
};

// What bucket index must hold, counted afresh from the lines.
SpanBuckets::Bucket Expected(const SpanBuckets& buckets, std::size_t index, const std::vector<Counted>& lines)
{
    SpanBuckets::Bucket bucket;
    const std::int64_t from = buckets.KeyOf(index);
    const std::int64_t to = from + buckets.GetWidth();
    for (const Counted& line : lines)
        if (line.Key >= from && line.Key < to) {
            ++bucket.Lines[static_cast<std::size_t>(line.Filter < 0 ? SpanBuckets::NoFilter : line.Filter % 8)];
            if (bucket.FirstLine == 0 || line.FileLine < bucket.FirstLine)
                bucket.FirstLine = line.FileLine;
        }
    return bucket;
}

void ExpectBucketsHold(const SpanBuckets& buckets, const std::vector<Counted>& lines, const std::string& where)
{
    ASSERT_EQ(buckets.GetLineCount(), lines.size()) << where;
    // Every line lies in the span, and each bucket holds exactly the lines of its keys.
    for (const Counted& line : lines) {
        ASSERT_GE(line.Key, buckets.GetOrigin()) << where;
        ASSERT_LT(line.Key, buckets.KeyOf(buckets.GetBucketCount() - 1) + buckets.GetWidth()) << where;
    }
    for (std::size_t i = 0; i < buckets.GetBucketCount(); ++i) {
        const SpanBuckets::Bucket expected = Expected(buckets, i, lines);
        ASSERT_EQ(buckets.At(i).Lines, expected.Lines) << where << ", bucket " << i;
        ASSERT_EQ(buckets.At(i).FirstLine, expected.FirstLine) << where << ", bucket " << i;
    }
}

} // namespace

// Kept lines come in file order, several filters, context without one: the buckets hold what
// counting the lines afresh gives, and they are as narrow as the span allows.
TEST(SpanBucketsTest, CountsFileLinesInTheNarrowestBuckets)
{
    std::mt19937 random(20261211);
    for (int round = 0; round < 60; ++round) {
        const std::size_t count = 2 * std::uniform_int_distribution<std::size_t>(1, 40)(random);
        SpanBuckets buckets(count);
        std::vector<Counted> lines;
        std::int64_t line = std::uniform_int_distribution<std::int64_t>(1, 50)(random);
        const int total = std::uniform_int_distribution<int>(1, 3000)(random);
        const int gap = std::uniform_int_distribution<int>(1, 200)(random);
        for (int i = 0; i < total; ++i) {
            const int filter = std::uniform_int_distribution<int>(-1, 11)(random);
            buckets.Add(line, filter, line);
            lines.push_back({line, filter, line});
            line += std::uniform_int_distribution<int>(1, gap)(random);
        }
        const std::string where = "round " + std::to_string(round);
        ExpectBucketsHold(buckets, lines, where);
        EXPECT_EQ(buckets.GetOrigin(), lines.front().Key) << where;
        EXPECT_EQ(buckets.GetMinKey(), lines.front().Key) << where;
        EXPECT_EQ(buckets.GetMaxKey(), lines.back().Key) << where;
        // Half as wide would not hold the span from the first line.
        const std::int64_t span = lines.back().Key - lines.front().Key + 1;
        EXPECT_GE(static_cast<std::int64_t>(count) * buckets.GetWidth(), span) << where;
        if (buckets.GetWidth() > 1) {
            EXPECT_LT(static_cast<std::int64_t>(count) * buckets.GetWidth() / 2, span) << where;
        }
    }
}

// Times come in any order, earlier ones too: the span grows either way and still counts right.
TEST(SpanBucketsTest, GrowsTowardsEarlierAndLaterKeys)
{
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        SpanBuckets buckets(2 * std::uniform_int_distribution<std::size_t>(1, 20)(random));
        std::vector<Counted> lines;
        const std::int64_t base = std::uniform_int_distribution<std::int64_t>(-1000000, 1700000000000)(random);
        const std::int64_t spread = std::int64_t{1} << std::uniform_int_distribution<int>(0, 40)(random);
        for (int i = 0; i < 500; ++i) {
            const std::int64_t key = base + std::uniform_int_distribution<std::int64_t>(-spread, spread)(random);
            const int filter = std::uniform_int_distribution<int>(-1, 3)(random);
            buckets.Add(key, filter, i + 1);
            lines.push_back({key, filter, i + 1});
        }
        ExpectBucketsHold(buckets, lines, "round " + std::to_string(round));
    }
}

TEST(SpanBucketsTest, SumsRangesAndFindsTheNearestFilledBucket)
{
    std::mt19937 random(99);
    SpanBuckets buckets(64);
    std::vector<Counted> lines;
    for (std::int64_t line = 1; line <= 5000; line += std::uniform_int_distribution<int>(1, 300)(random)) {
        buckets.Add(line, 2, line);
        lines.push_back({line, 2, line});
    }
    for (int i = 0; i < 500; ++i) {
        const std::int64_t from = std::uniform_int_distribution<std::int64_t>(-100, 9000)(random);
        const std::int64_t to = from + std::uniform_int_distribution<std::int64_t>(0, 700)(random);
        // Every bucket that overlaps [from, to) counts whole.
        std::uint64_t expected = 0;
        for (std::size_t b = 0; b < buckets.GetBucketCount(); ++b)
            if (buckets.KeyOf(b) < to && buckets.KeyOf(b) + buckets.GetWidth() > from)
                expected += buckets.At(b).Total();
        ASSERT_EQ(buckets.Sum(from, to).Total(), expected) << from << " to " << to;

        const std::int64_t key = std::uniform_int_distribution<std::int64_t>(-100, 9000)(random);
        const std::size_t nearest = buckets.NearestFilled(key);
        ASSERT_LT(nearest, buckets.GetBucketCount());
        ASSERT_GT(buckets.At(nearest).Total(), 0U);
        const std::int64_t at = std::clamp<std::int64_t>((key - buckets.GetOrigin()) / buckets.GetWidth(), 0,
                                                         static_cast<std::int64_t>(buckets.GetBucketCount()) - 1);
        for (std::size_t b = 0; b < buckets.GetBucketCount(); ++b) {
            if (buckets.At(b).Total() > 0) {
                ASSERT_LE(std::abs(static_cast<std::int64_t>(nearest) - at),
                          std::abs(static_cast<std::int64_t>(b) - at))
                    << "key " << key;
            }
        }
    }
    EXPECT_EQ(SpanBuckets(8).NearestFilled(5), 8U) << "nothing is near in empty buckets";
}

TEST(SpanBucketsTest, StrongestSlotWinsAndTiesGoToTheLowerSlot)
{
    SpanBuckets buckets(4);
    buckets.Add(1, 3, 1);
    buckets.Add(1, 11, 1); // shares filter 3's colour
    buckets.Add(1, 1, 1);
    buckets.Add(2, -1, 2);
    buckets.Add(2, 5, 2);
    EXPECT_EQ(buckets.At(0).Strongest(), 3);
    EXPECT_EQ(buckets.At(1).Strongest(), 5);
    EXPECT_EQ(buckets.At(2).Strongest(), -1);
}

// Rows split the keys without a gap or an overlap, and a key's row holds it.
TEST(SpanRowsTest, RowsCoverTheKeysInOrder)
{
    for (const SpanRows rows :
         {SpanRows{1, 10, 700}, SpanRows{1, 1000003, 613}, SpanRows{5, 5, 3}, SpanRows{-50, 1700000000000000, 1024}}) {
        EXPECT_EQ(rows.RowStart(0), rows.First);
        EXPECT_EQ(rows.RowStart(rows.Rows), rows.Last + 1);
        for (int row = 0; row < rows.Rows; ++row) {
            ASSERT_LE(rows.RowStart(row), rows.RowStart(row + 1));
            if (rows.RowStart(row) < rows.RowStart(row + 1)) {
                ASSERT_EQ(rows.RowOf(rows.RowStart(row)), row);
                ASSERT_EQ(rows.RowOf(rows.RowStart(row + 1) - 1), row);
            }
        }
        EXPECT_EQ(rows.RowOf(rows.First - 1000), 0);
        EXPECT_EQ(rows.RowOf(rows.Last + 1000), rows.Rows - 1);
    }
}

namespace {

bool IsWord(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The lines that hold the pattern, found by looking at every position.
std::vector<std::int64_t> ReferenceLines(const std::string& text, const std::string& pattern, bool caseSensitive,
                                         bool wholeWord)
{
    std::vector<std::int64_t> lines;
    std::int64_t line = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        bool match = at + pattern.size() <= text.size();
        for (std::size_t k = 0; match && k < pattern.size(); ++k)
            match = caseSensitive ? text[at + k] == pattern[k] : Lower(text[at + k]) == Lower(pattern[k]);
        if (match && wholeWord)
            match = (at == 0 || !IsWord(text[at - 1])) &&
                    (at + pattern.size() >= text.size() || !IsWord(text[at + pattern.size()]));
        if (match && (lines.empty() || lines.back() != line))
            lines.push_back(line);
        if (text[at] == '\n')
            ++line;
    }
    return lines;
}

} // namespace

// Whatever the size of a turn, even one byte, occurrences across turns and several on a line
// are found, each line once.
TEST(OccurrenceLinesTest, FindsTheLinesInTurnsOfAnySize)
{
    std::mt19937 random(4242);
    static const char* const pieces[] = {"ab", "AB", "abab", " ", "\n", "_ab", "ab_", "x", "aB\n", "\r\n", "é"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int count = std::uniform_int_distribution<int>(0, 80)(random);
        for (int i = 0; i < count; ++i)
            text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
        const std::string pattern = round % 3 == 0 ? "ab" : round % 3 == 1 ? "bab" : "b\nx";
        const bool caseSensitive = round % 2 == 0;
        const bool wholeWord = round % 5 == 0;
        OccurrenceLines scan(pattern, caseSensitive, wholeWord);
        std::vector<std::int64_t> found;
        const std::size_t budget = std::uniform_int_distribution<std::size_t>(1, 12)(random);
        int turns = 0;
        while (!scan.Scan(text, budget, [&found](std::int64_t line) { found.push_back(line); }))
            ASSERT_LT(++turns, 10000) << "the scan must come to an end";
        ASSERT_EQ(found, ReferenceLines(text, pattern, caseSensitive, wholeWord))
            << "round " << round << ", turns of " << budget << " in \"" << text << "\"";
        // The text grown at its end: the scan goes on from where it stopped, an occurrence
        // across the old end included, and tells only lines not told before.
        // (A whole word at the old end may stop being one once letters follow: not tried.)
        const std::string grown = text + (wholeWord ? "\n" : "b") + text;
        while (!scan.Scan(grown, budget, [&found](std::int64_t line) { found.push_back(line); }))
            ASSERT_LT(++turns, 20000);
        std::vector<std::int64_t> expected = ReferenceLines(grown, pattern, caseSensitive, wholeWord);
        ASSERT_EQ(found, expected) << "round " << round << ", grown";
        // Again from the start, after a restart, in one turn.
        scan.Restart();
        found.clear();
        EXPECT_TRUE(scan.Scan(text, text.size() + 1, [&found](std::int64_t line) { found.push_back(line); }));
        EXPECT_EQ(found, ReferenceLines(text, pattern, caseSensitive, wholeWord)) << "round " << round;
    }
}
