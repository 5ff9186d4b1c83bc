// SPDX-License-Identifier: GPL-3.0-or-later
#include <stop_token>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegexTestSupport.h"

namespace {

constexpr std::size_t kUnset = RegexMatchContext::NoPosition;
constexpr bool kSensitive = true;
constexpr bool kInsensitive = false;

struct MatchCase
{
    std::string Pattern;
    std::string Subject;
    bool CaseSensitive;
    bool Matched;
    std::size_t Start = 0; // checked only when Matched
    std::size_t End = 0;
};

void CheckMatches(const std::vector<MatchCase>& cases)
{
    for (const MatchCase& c : cases) {
        SCOPED_TRACE("pattern \"" + Printable(c.Pattern) + "\" subject \"" + Printable(c.Subject) + "\"" +
                     (c.CaseSensitive ? "" : " case-insensitive"));
        const MatchOutcome outcome = RunMatch(c.Pattern, c.Subject, c.CaseSensitive);
        ASSERT_EQ(outcome.Error, RegexErrorNone);
        EXPECT_EQ(outcome.Matched, c.Matched);
        if (c.Matched && outcome.Matched) {
            EXPECT_EQ(outcome.Start, c.Start);
            EXPECT_EQ(outcome.End, c.End);
        }
    }
}

std::string Bytes(const char* text, std::size_t length)
{
    return std::string(text, length);
}

TEST(RegexMatcher, SearchAndSubjectEnd)
{
    CheckMatches({
        // The attempt at 0 is made even for an empty subject.
        {"", "", kSensitive, true, 0, 0},
        {"$", "", kSensitive, true, 0, 1},
        {"a*", "", kSensitive, true, 0, 0},
        {"!a", "", kSensitive, true, 0, 0},
        {".", "", kSensitive, false},
        {"a", "", kSensitive, false},
        {"[^a]", "", kSensitive, false},
        {"^$", "", kSensitive, true, 0, 1},
        // No attempt starts at the end of a non-empty subject; a final "$" steps past the end.
        {"$", "abc", kSensitive, false},
        {"x*$", "abc", kSensitive, false},
        {"^$", "a", kSensitive, false},
        {"c$", "abc", kSensitive, true, 2, 4},
        {"x$", "axbx", kSensitive, true, 3, 5},
        {"c$", "abc\n", kSensitive, false},
        {"c\\n$", "abc\n", kSensitive, true, 2, 5},
        {"$", "line\n", kSensitive, false},
        {"\\n", "line\n", kSensitive, true, 4, 5},
        {"^a", "ab", kSensitive, true, 0, 1},
        {"^a", "ba", kSensitive, false},
        {"^", "xyz", kSensitive, true, 0, 0},
        {"", "xyz", kSensitive, true, 0, 0},
        {"a|", "q", kSensitive, true, 0, 0},
        {"a*", "bbb", kSensitive, true, 0, 0},
        // Attempts skipped to the leading literal must still find the first match.
        {"b", "aab", kSensitive, true, 2, 3},
        {"ab", "aab", kSensitive, true, 1, 3},
        {"abc", "ababc", kSensitive, true, 2, 5},
        {"ab", "ba", kSensitive, false},
        {"aa", "a", kSensitive, false},
        {"a*ab", "aaab", kSensitive, true, 0, 4},
        {"(a|b)*c", "ababc", kSensitive, true, 0, 5},
        {"[0-9]+\\.[0-9]*", "v12.5x", kSensitive, true, 1, 5},
    });
}

TEST(RegexMatcher, OperatorsAndPriorities)
{
    CheckMatches({
        {"<.*?>", "<abc><def>", kSensitive, true, 0, 5},
        {"<.*>", "<abc><def>", kSensitive, true, 0, 10},
        {"a!b", "ac", kSensitive, true, 0, 1},
        {"a!b", "a", kSensitive, true, 0, 1},
        {"a!b", "ab", kSensitive, false},
        {"(!a)*b", "b", kSensitive, true, 0, 1},
        {"ab|cd", "abd", kSensitive, true, 0, 3},
        {"ab|cd", "acd", kSensitive, true, 0, 3},
        {"ab|cd", "ab", kSensitive, false},
        {"[^-a\\]]", "a-]b", kSensitive, true, 3, 4},
        // Non-greedy loops resume where they stopped.
        {"a.*?bc", "abbc", kSensitive, true, 0, 4},
        {"ax??xy", "axxy", kSensitive, true, 0, 4},
        {"a*?", "aaa", kSensitive, true, 0, 0},
        {"a+?", "aaa", kSensitive, true, 0, 1},
        {"a??", "a", kSensitive, true, 0, 0},
        {"a*?b", "aaab", kSensitive, true, 0, 4},
        {"a+?b", "xaab", kSensitive, true, 1, 4},
        {"(ab)*?c", "ababc", kSensitive, true, 0, 5},
        // Loops whose body matches nothing end at the progress check.
        {"()*?x", "ax", kSensitive, true, 1, 2},
        {"!a*?b", "ab", kSensitive, true, 1, 2},
        {"(!a)*?b", "aab", kSensitive, true, 2, 3},
        {"{}\\0*?x", "ax", kSensitive, true, 1, 2},
        {"{}\\0*x", "ax", kSensitive, true, 1, 2},
        {"()*x", "ax", kSensitive, true, 1, 2},
    });
}

TEST(RegexMatcher, AbbreviationsAndEscapes)
{
    CheckMatches({
        {"\\a", "_x", kSensitive, true, 1, 2},
        {"\\a", "5", kSensitive, true, 0, 1},
        {"\\a", "_", kSensitive, false},
        {"\\b", "x\ty", kSensitive, true, 1, 2},
        {"\\b", "x y", kSensitive, true, 1, 2},
        {"\\b", "t\\", kSensitive, false},
        {"\\c", "5Q", kSensitive, true, 1, 2},
        {"\\d", "ab3", kSensitive, true, 2, 3},
        {"\\h", "xgF", kSensitive, true, 2, 3},
        {"\\h", "g", kSensitive, false},
        {"\\n", "a\rb", kSensitive, true, 1, 2},
        {"\\n", "a\r\n", kSensitive, true, 1, 2},
        {"\\n$", "a\r\n", kSensitive, true, 1, 4},
        {"\\n", "ab", kSensitive, false},
        {"\\q", "say \"x\" now", kSensitive, true, 4, 7},
        {"\\q", "say 'x' now", kSensitive, false},
        {"\\w+", "12 hello 3", kSensitive, true, 3, 8},
        {"\\w", "12 hello 3", kSensitive, true, 3, 8},
        {"\\z", "ab123c", kSensitive, true, 2, 5},
        {"\\d+", "ab123c", kSensitive, true, 2, 5},
        {"\\x", "x", kSensitive, true, 0, 1},
        {"\\t", "\tt", kSensitive, true, 1, 2},
        {"[\\t]", "t\t", kSensitive, true, 1, 2},
        {"a\\", "a\\", kSensitive, true, 0, 2},
        {"a\\", "a", kSensitive, false},
    });
}

TEST(RegexMatcher, CaseFoldingLowersOnlyAsciiLetters)
{
    CheckMatches({
        {"abc", "xAbCx", kInsensitive, true, 1, 4},
        {"abc", "xAbCx", kSensitive, false},
        {"ERROR", "an error", kInsensitive, true, 3, 8},
        {"err", "xxERRxx", kInsensitive, true, 2, 5},
        {"1a", "x1A", kInsensitive, true, 1, 3},
        {"ab", "Ax aX Ab", kInsensitive, true, 6, 8},
        {"ab", "aX Ax ab", kInsensitive, true, 6, 8},
        {"ab", "aX Ax a", kInsensitive, false},
        {"Z", "z", kInsensitive, true, 0, 1},
        {"z", "Z", kInsensitive, true, 0, 1},
        {"{a}\\0", "aA", kInsensitive, true, 0, 2},
        {"{a}\\0", "aA", kSensitive, false},
        {"[A-Z]+", "abcD1", kInsensitive, true, 0, 4},
        {"[A-Z]", "q", kSensitive, false},
        {"\\D", "7", kInsensitive, true, 0, 1},
        {"\\D", "D", kSensitive, true, 0, 1},
        {"\\D", "7", kSensitive, false},
        {"\\a", "Q", kInsensitive, true, 0, 1},
        // Neighbours of the letters and bytes above 127 are never folded.
        {"@", "`", kInsensitive, false},
        {"`", "@", kInsensitive, false},
        {"\\[", "{", kInsensitive, false},
        {"\\{", "[", kInsensitive, false},
        {"\xE4", "\xC4", kInsensitive, false},
        {"\xC4", "\xE4", kInsensitive, false},
        {"\xC4", "\xC4", kInsensitive, true, 0, 1},
        // Both sides are lowered, so a class spanning the capitals no longer holds them.
        {"[@-_]", "A", kInsensitive, false},
    });
}

TEST(RegexMatcher, NulBytesAreData)
{
    CheckMatches({
        {"a.b", Bytes("a\0b", 3), kSensitive, true, 0, 3},
        {"[^x]", Bytes("\0", 1), kSensitive, true, 0, 1},
        {".*", Bytes("a\0b", 3), kSensitive, true, 0, 3},
        {"b", Bytes("\0\0b", 3), kSensitive, true, 2, 3},
        {"a$", Bytes("a\0", 2), kSensitive, false},
        {"a$", "a", kSensitive, true, 0, 2},
        {Bytes("a\0b", 3), Bytes("xa\0b", 4), kSensitive, true, 1, 4},
        {Bytes("a\0b", 3), "ab", kSensitive, false},
        {Bytes("A\0B", 3), Bytes("xa\0b", 4), kInsensitive, true, 1, 4},
        {Bytes("a\0", 2), "a", kSensitive, false},
        {Bytes("\\\0", 2), Bytes("x\0", 2), kSensitive, true, 1, 2},
        {Bytes("\0*x", 3), Bytes("\0\0x", 3), kSensitive, true, 0, 3},
        {Bytes("[\0-\x01]", 5), "x\x01", kSensitive, true, 1, 2},
        {Bytes("[^\0]", 4), Bytes("\0a", 2), kSensitive, true, 1, 2},
    });
}

struct CaptureCase
{
    std::string Pattern;
    std::string Subject;
    std::size_t Start;
    std::size_t End;
    std::vector<std::pair<std::size_t, std::size_t>> Groups;
};

TEST(RegexMatcher, MatchGroupsAndBackReferences)
{
    const CaptureCase cases[] = {
        {"{a*}b\\0", "aabaa", 0, 5, {{0, 2}}},
        {"{a*}b\\0", "aab", 2, 3, {{2, 2}}},
        {"{a+}-\\0", "aa-a", 1, 4, {{1, 2}}},
        {"{(a)|(ab)}c", "abc", 0, 3, {{0, 2}}},
        {"{a??}a", "aa", 0, 1, {{0, 0}}},
        {"{a?}a", "aa", 0, 2, {{0, 1}}},
        {"{a*}a", "aaa", 0, 3, {{0, 2}}},
        {"{[a-z]}*x", "abcx", 0, 4, {{2, 3}}},
        {"{a}*b", "b", 0, 1, {{kUnset, kUnset}}},
        {"x|{y}", "x", 0, 1, {{kUnset, kUnset}}},
        {"{a}{b}?c", "ac", 0, 2, {{0, 1}, {kUnset, kUnset}}},
        // A reference to a group that is still open matches the empty string.
        {"{a\\0}", "a", 0, 1, {{0, 1}}},
        {"{a\\0b}", "ab", 0, 2, {{0, 2}}},
        {"({ab\\0})+", "abab", 0, 4, {{2, 4}}},
        // A negation keeps what its operand captured, and captures survive into later attempts.
        {"!{a}b", "ab", 1, 2, {{0, 1}}},
        // Attempt 0 leaves the capture [0,2) behind; when attempt 1 reopens the group at 1 the
        // reference is still empty, so the operand matches "aa" there and only attempt 2 succeeds.
        {"!{a\\0a}", "aaa", 2, 2, {{1, 3}}},
    };
    for (const CaptureCase& c : cases) {
        SCOPED_TRACE("pattern \"" + c.Pattern + "\" subject \"" + c.Subject + "\"");
        const MatchOutcome outcome = RunMatch(c.Pattern, c.Subject);
        ASSERT_EQ(outcome.Error, RegexErrorNone);
        ASSERT_TRUE(outcome.Matched);
        EXPECT_EQ(outcome.Start, c.Start);
        EXPECT_EQ(outcome.End, c.End);
        EXPECT_EQ(outcome.Groups, c.Groups);
    }
}

TEST(RegexMatcher, SubjectEndsAtItsLength)
{
    // The byte after the view would change every one of these results.
    const std::string buffer = "abbc";
    const std::string_view subject(buffer.data(), 2);
    RegexMatchContext context;
    Regex regex;
    std::size_t end = 0;
    ASSERT_EQ(regex.Parse("abb", true), RegexErrorNone);
    EXPECT_FALSE(regex.Match(subject, context, &end));
    ASSERT_EQ(regex.Parse("{b}\\0", true), RegexErrorNone);
    EXPECT_FALSE(regex.Match(subject, context, &end));
    ASSERT_EQ(regex.Parse("b$", true), RegexErrorNone);
    EXPECT_TRUE(regex.Match(subject, context, &end));
    EXPECT_EQ(end, 3u);
    ASSERT_EQ(regex.Parse(".*", true), RegexErrorNone);
    EXPECT_TRUE(regex.Match(subject, context, &end));
    EXPECT_EQ(end, 2u);

    // A view without data is the empty subject.
    ASSERT_EQ(regex.Parse("$", true), RegexErrorNone);
    EXPECT_TRUE(regex.Match(std::string_view(), context));
    ASSERT_EQ(regex.Parse("a", true), RegexErrorNone);
    EXPECT_FALSE(regex.Match(std::string_view(), context));
}

TEST(RegexMatcher, ContextServesManyExpressions)
{
    Regex groups;
    Regex plain;
    ASSERT_EQ(groups.Parse("{a+}{b+}", true), RegexErrorNone);
    ASSERT_EQ(plain.Parse("!x.", true), RegexErrorNone);
    RegexMatchContext context(0);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(groups.Match("xaabbb", context));
        EXPECT_EQ(context.GetGroupCount(), 2u);
        EXPECT_EQ(context.GetGroupStart(0), 1u);
        EXPECT_EQ(context.GetGroupEnd(1), 6u);
        ASSERT_TRUE(plain.Match("xy", context));
        EXPECT_EQ(context.GetGroupCount(), 0u);
        EXPECT_EQ(context.GetGroupStart(0), kUnset);
        EXPECT_EQ(context.GetMatchStart(), 1u);
        EXPECT_EQ(context.GetMatchEnd(), 2u);
    }

    // An expression that never compiled never matches.
    Regex unparsed;
    EXPECT_FALSE(unparsed.Match("", context));
    Regex failed;
    ASSERT_EQ(failed.Parse("(", true), RegexErrorMissingParenthesis);
    EXPECT_FALSE(failed.Match("(", context));
}

TEST(RegexMatcher, GreedyLoopOverLongLineGrowsTheStack)
{
    Regex regex;
    ASSERT_EQ(regex.Parse(".*x", true), RegexErrorNone);
    RegexMatchContext context(256);
    const std::string line = std::string(100000, 'a') + "x";
    std::size_t end = 0;
    ASSERT_TRUE(regex.Match(line, context, &end));
    EXPECT_EQ(end, line.size());
    EXPECT_GE(context.GetStackCapacity(), 3u * 100000);

    ASSERT_EQ(regex.Parse("{a|b}*c", true), RegexErrorNone);
    std::string alternating;
    for (int i = 0; i < 50000; ++i)
        alternating += "ab";
    ASSERT_TRUE(regex.Match(alternating + "c", context, &end));
    EXPECT_EQ(end, alternating.size() + 1);
    EXPECT_EQ(context.GetGroupStart(0), alternating.size() - 1);
}

TEST(RegexMatcher, StopRequestEndsMatch)
{
    Regex regex;
    ASSERT_EQ(regex.Parse("(a+)+b", true), RegexErrorNone);
    RegexMatchContext context;

    // Without a stop this would backtrack for ever before reaching the match at the end.
    std::stop_source stopped;
    stopped.request_stop();
    const std::string line = std::string(5000, 'a') + "-ab";
    EXPECT_FALSE(regex.Match(line, context, nullptr, stopped.get_token()));

    // A token that could stop but was not asked to changes nothing.
    std::stop_source running;
    std::size_t end = 0;
    EXPECT_TRUE(regex.Match(std::string(20, 'a') + "b", context, &end, running.get_token()));
    EXPECT_EQ(end, 21u);
    EXPECT_TRUE(regex.Match(line.substr(4990), context, &end, running.get_token()));
}

} // namespace
