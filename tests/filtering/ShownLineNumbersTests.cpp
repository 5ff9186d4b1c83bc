// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the lines a view shows: filter output's file lines with the searches Go To
// and Ctrl+T use, and a followed file's lines counted anew after each restart marker.
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/OutputLineNumbers.h"
#include "filtering/RestartedLineNumbers.h"

namespace {

// Rising file lines, some lines with none (markers, 0) among them.
std::vector<std::int64_t> RandomOutput(std::mt19937& random, std::size_t size)
{
    std::vector<std::int64_t> lines;
    std::int64_t line = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (random() % 7 == 0) {
            lines.push_back(0);
            continue;
        }
        line += 1 + static_cast<std::int64_t>(random() % (random() % 5 == 0 ? 500 : 3));
        lines.push_back(line);
    }
    return lines;
}

std::size_t ReferenceFirstAtOrAfter(const std::vector<std::int64_t>& lines, std::int64_t number)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] > 0 && lines[i] >= number)
            return i;
    return lines.size();
}

std::size_t ReferenceNearest(const std::vector<std::int64_t>& lines, std::int64_t fileLine)
{
    // The numbered line nearest to it; of two as near, the one at or after it.
    std::size_t best = lines.size();
    std::int64_t bestDistance = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] <= 0)
            continue;
        const std::int64_t distance = lines[i] >= fileLine ? lines[i] - fileLine : fileLine - lines[i];
        const bool first = best == lines.size();
        const bool tieToLater = !first && distance == bestDistance && lines[i] >= fileLine && lines[best] < fileLine;
        if (first || distance < bestDistance || tieToLater) {
            best = i;
            bestDistance = distance;
        }
    }
    return best == lines.size() ? 0 : best;
}

} // namespace

TEST(ShownLineNumbersTest, SearchesAgreeWithAScanOverRandomOutput)
{
    std::mt19937 random(17);
    for (int round = 0; round < 300; ++round) {
        const std::vector<std::int64_t> lines = RandomOutput(random, random() % 200);
        OutputLineNumbers numbers;
        for (const std::int64_t line : lines)
            numbers.Append(line, random() % 4 == 0);
        std::int64_t last = 0;
        std::size_t end = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i] > 0) {
                last = lines[i];
                end = i + 1;
            }
        ASSERT_EQ(numbers.LastFileLine(), last);
        ASSERT_EQ(numbers.EndOfNumbered(), end);
        const std::int64_t top = last + 3;
        for (std::int64_t probe = 0; probe <= top; probe += 1 + static_cast<std::int64_t>(random() % 4)) {
            ASSERT_EQ(numbers.FirstAtOrAfter(probe), ReferenceFirstAtOrAfter(lines, probe))
                << "round " << round << " file line " << probe;
            ASSERT_EQ(numbers.NearestTo(probe), ReferenceNearest(lines, probe))
                << "round " << round << " file line " << probe;
        }
    }
}

TEST(ShownLineNumbersTest, MarkersAtTheProbesAndAtTheEnds)
{
    // A marker where the search looks first must not hide the lines after it.
    OutputLineNumbers numbers;
    for (const std::int64_t line : {1, 2, 3, 0, 4, 5, 6})
        numbers.Append(line, false);
    EXPECT_EQ(numbers.FirstAtOrAfter(6), 6U);
    EXPECT_EQ(numbers.FirstAtOrAfter(4), 4U);
    EXPECT_EQ(numbers.FirstAtOrAfter(7), 7U);
    EXPECT_EQ(numbers.NearestTo(100), 6U);

    // A run cancelled at once: only its marker.
    OutputLineNumbers onlyMarker;
    onlyMarker.Append(0, false);
    EXPECT_EQ(onlyMarker.FirstAtOrAfter(1), 1U);
    EXPECT_EQ(onlyMarker.EndOfNumbered(), 0U);
    EXPECT_EQ(onlyMarker.LastFileLine(), 0);
    EXPECT_EQ(onlyMarker.NearestTo(5), 0U);

    // Nearest: the nearer of the lines around a file line, a tie to the later one.
    OutputLineNumbers sparse;
    for (const std::int64_t line : {10, 20, 0, 40})
        sparse.Append(line, false);
    EXPECT_EQ(sparse.NearestTo(14), 0U);
    EXPECT_EQ(sparse.NearestTo(15), 1U);
    EXPECT_EQ(sparse.NearestTo(29), 1U);
    EXPECT_EQ(sparse.NearestTo(30), 3U);
    EXPECT_EQ(sparse.NearestTo(1), 0U);
}

TEST(ShownLineNumbersTest, RestartedFileCountsFromEachMarker)
{
    RestartedLineNumbers numbers;
    EXPECT_EQ(numbers.FileLineOf(0), 1);
    EXPECT_EQ(numbers.FileLineOf(41), 42);
    // Lines 0-2 of the first file, the marker on line 3, the new file from line 4.
    numbers.AddMarker(3);
    EXPECT_EQ(numbers.FileLineOf(2), 3);
    EXPECT_EQ(numbers.FileLineOf(3), 0);
    EXPECT_EQ(numbers.FileLineOf(4), 1);
    EXPECT_EQ(numbers.FileLineOf(9), 6);
    // A second restart right after the first: its own marker, then line 1 again.
    numbers.AddMarker(5);
    EXPECT_EQ(numbers.FileLineOf(4), 1);
    EXPECT_EQ(numbers.FileLineOf(5), 0);
    EXPECT_EQ(numbers.FileLineOf(6), 1);
    EXPECT_EQ(numbers.LastMarker(), 5);
    numbers.Clear();
    EXPECT_TRUE(numbers.Empty());
    EXPECT_EQ(numbers.FileLineOf(6), 7);
}
