// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/LineFeedCounter.h"
#include "filtering/LiteralSearcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

std::size_t NaiveFind(const std::string& text, const std::string& pattern, bool caseSensitive)
{
    auto fold = [&](char c) {
        return (!caseSensitive && c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    if (pattern.size() > text.size())
        return std::string::npos;
    for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
        bool equal = true;
        for (std::size_t k = 0; k < pattern.size() && equal; ++k)
            equal = fold(text[i + k]) == fold(pattern[k]);
        if (equal)
            return i;
    }
    return std::string::npos;
}

} // namespace

// The vector loops work 16 or 32 bytes at a time: hits near block edges, in the scalar tail and
// with the pattern's last byte beyond a full vector are where they would go wrong.
TEST(LiteralSearcherTest, FindsWhatASimpleScanFinds)
{
    std::mt19937 random(7);
    const std::string alphabet = "abAB\n\0\xE9\xC9z";
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 200, 'x');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        std::string pattern(1 + random() % 5, 'x');
        for (char& c : pattern)
            c = alphabet[random() % alphabet.size()];
        if (random() % 3 == 0 && text.size() > pattern.size()) // plant it somewhere
            std::copy(pattern.begin(), pattern.end(), text.begin() + static_cast<long>(random() % (text.size() - pattern.size())));
        for (const bool caseSensitive : {true, false}) {
            const LiteralSearcher searcher(pattern, caseSensitive);
            ASSERT_EQ(searcher.Find(text), NaiveFind(text, pattern, caseSensitive))
                << "round " << round << (caseSensitive ? " case-sensitive" : " ignoring case");
        }
    }
}

TEST(LiteralSearcherTest, HandlesTheEdges)
{
    EXPECT_EQ(LiteralSearcher("", true).Find("abc"), 0u);
    EXPECT_EQ(LiteralSearcher("", true).Find(""), 0u);
    EXPECT_EQ(LiteralSearcher("abc", true).Find("ab"), LiteralSearcher::npos);
    EXPECT_EQ(LiteralSearcher("ERROR", false).Find(std::string(100, 'x') + "eRrOr"), 100u);
    EXPECT_EQ(LiteralSearcher("\xE9", false).Find("\xC9\xE9"), 1u) << "only A to Z fold";
    // Nothing past the view's end may be read as part of the text.
    const std::string buffer = "xxxxab";
    EXPECT_EQ(LiteralSearcher("ab", true).Find(std::string_view(buffer).substr(0, 5)), LiteralSearcher::npos);
}

TEST(LineFeedCounterTest, CountsEveryLineFeed)
{
    std::mt19937 random(11);
    for (const std::size_t size : {0u, 1u, 15u, 16u, 31u, 32u, 33u, 255u * 32u, 255u * 32u + 5u, 100000u}) {
        std::string text(size, 'a');
        for (char& c : text)
            c = random() % 4 == 0 ? '\n' : 'a';
        const auto expected = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_EQ(CountLineFeeds(text.data(), text.size()), expected) << "size " << size;
    }
    const std::string allLineFeeds(70000, '\n'); // more than 255 per byte lane
    EXPECT_EQ(CountLineFeeds(allLineFeeds.data(), allLineFeeds.size()), 70000u);
}
