// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "filtering/LineFeedCounter.h"
#include "filtering/LiteralSearcher.h"
#include "filtering/MultiLiteralScanner.h"

namespace {

std::size_t NaiveFind(const std::string& text, const std::string& pattern, bool caseSensitive)
{
    auto fold = [&](char c) { return (!caseSensitive && c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
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
            std::copy(pattern.begin(), pattern.end(),
                      text.begin() + static_cast<long>(random() % (text.size() - pattern.size())));
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

// Many strings at once, mixed case modes and lengths (the candidate width follows the shortest):
// the first hit and the set of strings found must be what a scan for each string finds, near
// vector edges and in the scalar tail too.
TEST(MultiLiteralScannerTest, FindsWhatASearchForEachFinds)
{
    std::mt19937 random(13);
    const std::string alphabet = std::string("abAB\n\0\xE9\xC9zy", 10);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::pair<std::string, bool>> literals(1 + random() % 12);
        const std::size_t shortest = 1 + random() % 4;
        for (auto& [text, caseSensitive] : literals) {
            text.resize(shortest + random() % 4);
            for (char& c : text)
                c = alphabet[random() % alphabet.size()];
            caseSensitive = random() % 2 == 0;
        }
        std::string text(random() % 300, 'x');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        for (int plant = 0; plant < 3 && !text.empty(); ++plant) {
            const std::string& literal = literals[random() % literals.size()].first;
            if (literal.size() <= text.size())
                text.replace(random() % (text.size() - literal.size() + 1), literal.size(), literal);
        }

        MultiLiteralScanner scanner;
        std::vector<std::size_t> numbers;
        for (const auto& [literal, caseSensitive] : literals)
            numbers.push_back(scanner.Add(literal, caseSensitive));
        scanner.Prepare();
        const std::size_t from = text.empty() ? 0 : random() % (text.size() / 4 + 1);
        const std::string_view searched = std::string_view(text).substr(from);

        std::size_t first = searched.size();
        std::vector<std::uint64_t> expected((scanner.GetCount() + 63) / 64, 0);
        for (std::size_t i = 0; i < literals.size(); ++i) {
            const std::size_t at = NaiveFind(std::string(searched), literals[i].first, literals[i].second);
            if (at == std::string::npos)
                continue;
            first = std::min(first, at);
            expected[numbers[i] >> 6] |= std::uint64_t(1) << (numbers[i] & 63);
        }
        const char* begin = text.data() + from;
        ASSERT_EQ(scanner.Find(begin, begin + searched.size()) - begin, static_cast<std::ptrdiff_t>(first))
            << "round " << round;
        std::vector<std::uint64_t> found(expected.size(), 0);
        scanner.Collect(begin, begin + searched.size(), found.data());
        ASSERT_EQ(found, expected) << "round " << round;
    }
}
