// SPDX-License-Identifier: GPL-3.0-or-later
#include <stop_token>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegexPatternGenerator.h"
#include "RegexTestSupport.h"
#include "regex/RegexLinearDecider.h"
#include "regex/RegexMatcher.h"

namespace {

struct DecisionCase
{
    std::string Pattern;
    std::string Subject;
    bool CaseSensitive;
    bool Matches;
};

std::string Nul(const char* text, std::size_t length)
{
    return std::string(text, length);
}

// Negations the way the backtracker reads them, each answer also checked against it.
TEST(RegexLinearDecider, DecidesNegationsAsTheBacktrackerDoes)
{
    const std::vector<DecisionCase> cases = {
        // A negation at the only attempt of an empty or one-byte subject.
        {"!a", "", true, true},
        {"!a", "a", true, false},
        {"!a", "ab", true, true},
        {"a!b", "ab", true, false},
        {"a!b", "ac", true, true},
        {"a!b", "a", true, true},
        // A zero-width iteration ends the loop.
        {"(!a)*b", "b", true, true},
        {"(!a)*b", "ab", true, true},
        {"(!a)*b", "a", true, false},
        // "$" is the end after the line feed; no attempt starts at the end of a non-empty subject.
        {"!$", "", true, false},
        {"!$", "x", true, true},
        {"!$", "\n", true, true},
        {"a!$", "a", true, false},
        {"a!$", "ab", true, true},
        {"^!$", "", true, false},
        // Nested negations: a double negation is a look-ahead.
        {"!(!a)", "a", true, true},
        {"!(!a)", "b", true, false},
        {"!(!a)b", "ab", true, false},
        {"!(a!b)c", "c", true, true},
        {"!(a!b)c", "ac", true, true},
        {"!(a!b)c", "abc", true, true},
        {"!(!(!a))b", "ab", true, true},
        // A negation whose operand holds a loop, and loops around negations.
        {"x!(ab)y", "xy", true, true},
        {"x!(ab)y", "xaby", true, false},
        {"a!(b*c)", "abbc", true, false},
        {"a!(b*c)", "abbd", true, true},
        {"a!(b*c)", "ac", true, false},
        {"a!(b+?c)", "abbc", true, false},
        {"(a!b)+c", "aac", true, true},
        {"(a!b)+c", "abac", true, true},
        {"(a!b)+c", "abc", true, false},
        {"(!b.)*?c", "aac", true, true},
        {"(!b.)*c", "abc", true, true},
        {"^(!b.)*c", "abc", true, false},
        // Anchored and not.
        {"^!(DEBUG).*ERROR", "DEBUG ERROR", true, false},
        {"^!(DEBUG).*ERROR", "INFO ERROR", true, true},
        {"!(DEBUG).*ERROR", "DEBUG ERROR", true, true},
        // Case folding applies to the operand as to the rest.
        {"^!(debug)", "DeBuG x", false, false},
        {"^!(debug)", "DeBuG x", true, true},
        {"!(DEBUG)error", "debugERROR", false, true},
        {"^!(DEBUG)error", "debugERROR", false, false},
        // NUL bytes are data; only the end is the terminator.
        {Nul("a!\0", 3), Nul("a\0", 2), true, false},
        {Nul("a!\0", 3), "a", true, true},
        {"!.", Nul("\0", 1), true, false},
        {"a!.", "a", true, true},
        {"!(a)\\n", Nul("\0\n", 2), true, true},
    };
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE("pattern \"" + Printable(c.Pattern) + "\" subject \"" + Printable(c.Subject) + "\"" +
                     (c.CaseSensitive ? "" : " case-insensitive"));
        Regex regex;
        ASSERT_EQ(regex.Parse(c.Pattern, c.CaseSensitive), RegexErrorNone);
        RegexMatchContext context;
        ASSERT_EQ(regex.Match(c.Subject, context), c.Matches) << "the table itself is wrong";
        RegexLinearDecider decider(regex);
        ASSERT_TRUE(decider.CanDecide());
        EXPECT_EQ(decider.Decide(c.Subject, {}),
                  c.Matches ? RegexLinearDecider::Outcome::Match : RegexLinearDecider::Outcome::NoMatch);
        EXPECT_LE(decider.GetPositionsVisited(), c.Subject.size() + 2);
    }
}

TEST(RegexLinearDecider, LeavesBackReferencesToTheBacktracker)
{
    for (const char* pattern : {"{a}\\0", "!({a}\\0)", "{a}!(b\\0)", "{a}(b\\0)*"}) {
        Regex regex;
        ASSERT_EQ(regex.Parse(pattern, true), RegexErrorNone) << pattern;
        RegexLinearDecider decider(regex);
        EXPECT_FALSE(decider.CanDecide()) << pattern;
        EXPECT_EQ(decider.Decide("aa", {}), RegexLinearDecider::Outcome::NoMatch) << "refuses rather than guesses";
    }
    // Without back references the same shapes are decided.
    for (const char* pattern : {"{a}", "!({a}b)", "{a}!(b{c})*"}) {
        Regex regex;
        ASSERT_EQ(regex.Parse(pattern, true), RegexErrorNone) << pattern;
        EXPECT_TRUE(RegexLinearDecider(regex).CanDecide()) << pattern;
    }
}

// A program not made the way the compiler makes it is refused, not misread: the reasoning holds
// only for the shapes the compiler emits.
TEST(RegexLinearDecider, RefusesProgramsOfOtherShapes)
{
    // "a!b" as compiled, then spoilt one way at a time.
    const std::string negation = "'a'; MarkPos 0; MarkDepth 1; Fork 9; ResetPos 0; ResetDepth 1; Jump 13; 'b'; "
                                 "ResetPos 0; ResetDepth 1; Backtrack";
    {
        Regex regex;
        ASSERT_EQ(regex.Parse("a!b", true), RegexErrorNone);
        ASSERT_EQ(regex.GetInstructions(), Program(negation)) << "the compiled form the cases start from";
    }
    struct Case
    {
        const char* What;
        std::string Body;
        bool Accepted;
        const char* Matching = ""; // a subject an accepted program matches
        const char* Failing = "";  // and one it does not
    };
    const std::vector<Case> cases = {
        {"as compiled", negation, true, "xac", "xab"},
        {"a Fork whose second branch resumes elsewhere", "Fork 4; 'a'; 'b'", false},
        {"a Fork that restores the position", "PushPos; Fork 6; PopPos; Jump 7; 'a'; 'b'", true, "xab", "a"},
        {"a PopPos no Fork leads to", "PushPos; 'a'; PopPos", false},
        {"a jump into the operand of a negation",
         "Jump 10; MarkPos 0; MarkDepth 1; Fork 9; ResetPos 0; ResetDepth 1; Jump 14; 'b'; 'c'; ResetPos 0; "
         "ResetDepth 1; Backtrack",
         false},
        {"a jump out of the operand of a negation",
         "MarkPos 0; MarkDepth 1; Fork 8; ResetPos 0; ResetDepth 1; Jump 13; Jump 13; 'b'; ResetPos 0; "
         "ResetDepth 1; Backtrack; 'c'",
         false},
        {"a negation whose end does not reset",
         "'a'; MarkPos 0; MarkDepth 1; Fork 9; ResetPos 0; ResetDepth 1; "
         "Jump 13; 'b'; ResetPos 0; Skip; Backtrack",
         false},
        {"a reset outside a negation", "ResetPos 0; 'a'", false},
        {"a second attempt loop", "RetryAtNextChar; 'a'", false},
        {"a class item that is no Skip", "InClass 5; Skip 97; 'b'; 'c'", false},
    };
    for (const Case& c : cases) {
        RegexLinearDecider decider(Program(c.Body), true);
        EXPECT_EQ(decider.CanDecide(), c.Accepted) << c.What;
        if (c.Accepted) {
            EXPECT_EQ(decider.Decide(c.Matching, {}), RegexLinearDecider::Outcome::Match) << c.What;
            EXPECT_EQ(decider.Decide(c.Failing, {}), RegexLinearDecider::Outcome::NoMatch) << c.What;
        }
    }
    Regex failed;
    ASSERT_NE(failed.Parse("(a", true), RegexErrorNone);
    EXPECT_FALSE(RegexLinearDecider(failed).CanDecide()) << "a partial program";
}

TEST(RegexLinearDecider, LooksAtTheStopRequest)
{
    Regex regex;
    ASSERT_EQ(regex.Parse("!q.*\\d", true), RegexErrorNone);
    RegexLinearDecider decider(regex);
    std::stop_source source;
    source.request_stop();
    EXPECT_EQ(decider.Decide(std::string(100000, 'x'), source.get_token()), RegexLinearDecider::Outcome::Stopped);
    EXPECT_LT(decider.GetPositionsVisited(), 100000u);
    EXPECT_EQ(decider.Decide("x7", source.get_token()), RegexLinearDecider::Outcome::Match) << "short: done first";
}

// Many random small programs with negations against the backtracker without limits, on random
// subjects. A case the backtracker itself cannot finish in a generous number of steps is left
// out; there must be few.
TEST(RegexLinearDecider, AgreesWithTheBacktrackerOnRandomPrograms)
{
    RegexPatternGenerator generator(20261214);
    int compared = 0;
    int matched = 0;
    int skipped = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::string pattern = generator.Pattern(false);
        const bool caseSensitive = generator.Next(3) != 0;
        Regex regex;
        if (regex.Parse(pattern, caseSensitive) != RegexErrorNone)
            continue;
        RegexLinearDecider decider(regex);
        ASSERT_TRUE(decider.CanDecide()) << Printable(pattern);
        RegexMatchContext context;
        RegexMatchLimits limits;
        limits.MaxSteps = 2'000'000;
        for (int k = 0; k < 8; ++k) {
            const std::string subject = generator.Subject();
            const bool expected = RegexMatcher::Match(regex, subject, context, nullptr, {}, limits);
            if (context.ExhaustedBudget()) {
                ++skipped;
                continue;
            }
            ++compared;
            matched += expected;
            ASSERT_EQ(decider.Decide(subject, {}) == RegexLinearDecider::Outcome::Match, expected)
                << "pattern \"" << Printable(pattern) << "\" subject \"" << Printable(subject) << "\""
                << (caseSensitive ? "" : " case-insensitive");
        }
    }
    EXPECT_GT(compared, 15000);
    EXPECT_GT(matched, compared / 5) << "both answers are well represented";
    EXPECT_LT(matched, compared * 4 / 5);
    EXPECT_LT(skipped, compared / 100);
}

} // namespace
