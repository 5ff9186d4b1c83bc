// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegexPatternGenerator.h"
#include "RegexTestSupport.h"
#include "regex/RegexDfa.h"
#include "regex/RegexNfa.h"
#include "regex/RequiredLiterals.h"

namespace {

struct Expression
{
    std::string Pattern;
    bool CaseSensitive;
};

Regex Compiled(const Expression& expression)
{
    Regex regex;
    EXPECT_EQ(regex.Parse(expression.Pattern, expression.CaseSensitive), RegexErrorNone) << expression.Pattern;
    return regex;
}

bool Backtracks(const Regex& regex, const std::string& subject)
{
    RegexMatchContext context;
    return regex.Match(subject, context);
}

// The quirks of the language, each where an automaton built the usual way would differ.
const std::vector<Expression> kQuirks = {
    {"ab|cd", true},              // alternation binds tighter than concatenation: a(b|c)d
    {"a|b|c", true}, {"$", true}, // "$" is the subject's end, after its line feed
    {"x*$", true},   {"c$", true},     {"c\\n$", true},   {"\\n", true},          {"^\\n", true},
    {"^a", true},    {"^", true},      {"", true},        {"a*", true},           {".", true},
    {"[^a]", true},  {"a.*?bc", true}, {"<.*?>", true},   {"a??b", true},         {"(ab)+?c", true},
    {"\\q", true},   {"\\w\\z", true}, {"\\d\\h", true},  {"\\a\\b\\c", true},    {"[A-Z]x", false},
    {"ABC", false},  {"\\D", false},   {"[Z-a]", true},   {"\xE4", false},        {"\\\\", true},
    {"a\\", true},   {"[-\\]]", true}, {"[a\\-z]", true}, {"[\\t]", true},        {"\\t", true},
    {"()*x", true},  {"{a}b", true},   {"a**", true},     {"*a", true},           {"a||b", true},
    {"|x", true},    {"ab)cd", true},  {"\r", true},      {"[\x80-\xFF]+", true},
};

const std::vector<std::string> kSubjects = {
    "",         "abd",    "acd", "ab",  "abc",        "abc\n", "abbc",      "c",      "\n",   "\r",
    "\r\n",     "x\rb\n", "ba",  "a",   "<abc><def>", "ab?",   "\"x\" 'y'", "Az9 FF", "a\tb", "xAbCx",
    "\xC4\xE4", "a\\",    "\\",  "]-",  "-",          "ababc", "Ax\n",      "x",      "ZZ",   std::string("a\0b", 3),
    "\xFF\x80", "a\r\n",  "*a",  "a|b", "|x",         "abcd",  "z",         "{a}b",
};

TEST(RegexAutomaton, DecidesEveryQuirkLikeTheBacktracker)
{
    for (const Expression& expression : kQuirks) {
        const Regex regex = Compiled(expression);
        ASSERT_TRUE(RegexNfa::IsExact(regex)) << expression.Pattern;
        RegexDfa automaton(regex);
        for (const std::string& subject : kSubjects)
            EXPECT_EQ(automaton.Matches(subject), Backtracks(regex, subject))
                << "pattern \"" << Printable(expression.Pattern) << "\" subject \"" << Printable(subject) << "\""
                << (expression.CaseSensitive ? "" : " case-insensitive");
    }
}

TEST(RegexAutomaton, LeavesBackReferencesAndNegationsToTheBacktracker)
{
    for (const char* pattern : {"{a}\\0", "a!b", "!a", "(!a)*b", "{a}{b}\\1?", "x(!y)+?"}) {
        Regex regex;
        ASSERT_EQ(regex.Parse(pattern, true), RegexErrorNone) << pattern;
        EXPECT_FALSE(RegexNfa::IsExact(regex)) << pattern;
    }
}

// With a cache that holds hardly a state, it is emptied all the time and must still agree.
TEST(RegexAutomaton, AgreesWhenItsCacheOverflows)
{
    std::mt19937 random(3);
    const Regex regex = Compiled({"(a|b)*a(a|b)(a|b)(a|b)(a|b)(a|b)c", true});
    RegexDfa cramped(regex, 256);
    RegexDfa roomy(regex);
    for (int round = 0; round < 300; ++round) {
        std::string subject(random() % 200, 'a');
        for (char& c : subject)
            c = "abc"[random() % 3];
        const bool expected = Backtracks(regex, subject);
        ASSERT_EQ(cramped.Matches(subject), expected) << subject;
        ASSERT_EQ(roomy.Matches(subject), expected) << subject;
    }
    EXPECT_GT(cramped.GetCacheFlushes(), 0u);
    EXPECT_EQ(roomy.GetCacheFlushes(), 0u);
}

struct LiteralCase
{
    std::string Pattern;
    bool CaseSensitive;
    std::vector<std::string> Literals; // in any order
    bool IsMatch;
};

TEST(RequiredLiterals, FindsWhatEveryMatchHolds)
{
    const std::vector<LiteralCase> cases = {
        {".*Exception", true, {"Exception"}, false},
        {"[a-z]+\\.example", true, {".example"}, false},
        {"(ConnectionReset)|(NullPointerException)|(status=503)",
         true,
         {"ConnectionReset", "NullPointerException", "status=503"},
         true},
        {"(WARN)|(ERROR)", false, {"warn", "error"}, true}, // lowered: found folding A to Z
        {"ERROR", true, {"ERROR"}, true},
        {"WAR(N)?", true, {"WAR"}, true},
        {"ERROR.*timeout after \\z ms", true, {"timeout after "}, false}, // fourteen bytes beat five capitals
        {"^2026-12", true, {"2026-12"}, false},                           // anchored: a hit is not a match
        {"timeout\\n", true, {"timeout"}, false},                         // line ends never: CR LF reads as LF
        {"a\r\nb", true, {"b"}, false},
        {"x!yz", true, {"xz"}, false},                                  // the negation consumes nothing
        {"{a}bc\\0d", true, {"abc"}, false},                            // the back reference reads anything
        {"(ab)+x", true, {"ab"}, false},                                // the first copy of a plus is required
        {std::string("\0ab", 3), true, {std::string("\0ab", 3)}, true}, // NUL is data
        {"a*", true, {}, false},                                        // matches everywhere
        {"$", true, {}, false},
        {"\\w+@\\w+", true, {"@"}, false},
        {"[ab]c", true, {"c"}, false},
    };
    for (const LiteralCase& c : cases) {
        const Regex regex = Compiled({c.Pattern, c.CaseSensitive});
        RequiredLiterals found = FindRequiredLiterals(regex);
        std::sort(found.Literals.begin(), found.Literals.end());
        std::vector<std::string> expected = c.Literals;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found.Literals, expected) << Printable(c.Pattern);
        EXPECT_EQ(found.IsMatch, c.IsMatch) << Printable(c.Pattern);
        EXPECT_EQ(found.CaseSensitive, c.CaseSensitive) << Printable(c.Pattern);
    }
}

// The prefilter looks for the rarest literal every match holds, wherever it stands; a literal
// that only some matches hold is never taken, however rare.
TEST(RequiredLiterals, ChoosesTheRarestRequiredLiteral)
{
    const std::vector<LiteralCase> cases = {
        // Behind two alternations and a class: the branches' own literals are common.
        {"((Server)|(Pool)|(TokenCache)|(Scheduler)|(Blob)|(Outbox)) - ((Request)|(Write)) [a-z0-9 ]+ failed: "
         "upstream returned status 50",
         true,
         {" failed: upstream returned status 50"},
         false},
        {"((worker)|(pool))-\\z\\] \\w+ +\\w+\\.\\w+ - Write to volume", true, {" - Write to volume"}, false},
        {"\\[worker-\\d\\d\\] ERROR", true, {"] ERROR"}, false},
        {"[a-zA-Z]+Error: ", true, {"Error: "}, false},
        // Between two required literals the rarer one; a set of rare branches beats a common
        // literal every match holds.
        {"the ((Deadlock)|(Segfault)) in", true, {"Deadlock in", "Segfault in"}, false},
        {"foo((bar)|(baz))qux", true, {"barqux", "bazqux"}, false},
        {"a*b(cdef)*g", true, {"b"}, false},
        // Ignoring case: lowered, and ranked with both cases of each letter.
        {"[a-z]+ ((REQUEST)|(JOB)) \\z FAILED: upstream", false, {" failed: upstream"}, false},
        // Not held by every match: in an optional group, in one branch only, or repeated any
        // number of times.
        {"x(OutOfMemoryError)?y", true, {"x"}, false},
        {"((OutOfMemoryError)|(a))b", true, {"OutOfMemoryErrorb", "ab"}, true},
        {"((OutOfMemoryError)|(a))\\z", true, {"OutOfMemoryError", "a"}, false},
        {"ab(Deadlock)*c", true, {"ab"}, false},
        {"((Segfault)|(x))?y", true, {"y"}, true},
        {"{Segfault}?y\\0", true, {"y"}, false},
    };
    for (const LiteralCase& c : cases) {
        const Regex regex = Compiled({c.Pattern, c.CaseSensitive});
        RequiredLiterals found = FindRequiredLiterals(regex);
        std::sort(found.Literals.begin(), found.Literals.end());
        std::vector<std::string> expected = c.Literals;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found.Literals, expected) << Printable(c.Pattern);
        EXPECT_EQ(found.IsMatch, c.IsMatch) << Printable(c.Pattern);
    }
}

bool Holds(const std::string& subject, const std::string& literal, bool caseSensitive)
{
    if (caseSensitive)
        return subject.find(literal) != std::string::npos;
    std::string lowered = subject;
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lowered.find(literal) != std::string::npos;
}

// Random expressions of the whole grammar, back references and negations included: every
// subject the backtracker matches holds one of the literals, and when a hit is said to be a
// match, every subject holding one matches.
TEST(RequiredLiterals, EveryMatchHoldsOneOfThem)
{
    RegexPatternGenerator generator(20261210);
    int withLiterals = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string pattern = generator.Pattern(round % 2 == 0);
        const bool caseSensitive = generator.Next(3) != 0;
        Regex regex;
        if (regex.Parse(pattern, caseSensitive) != RegexErrorNone)
            continue;
        const RequiredLiterals found = FindRequiredLiterals(regex);
        if (found.Literals.empty())
            continue;
        ++withLiterals;
        for (int attempt = 0; attempt < 40; ++attempt) {
            const std::string subject = generator.Subject();
            const bool held = std::any_of(found.Literals.begin(), found.Literals.end(),
                                          [&](const std::string& l) { return Holds(subject, l, found.CaseSensitive); });
            const bool matches = Backtracks(regex, subject);
            if (matches) {
                ASSERT_TRUE(held) << "pattern \"" << Printable(pattern) << "\" subject \"" << Printable(subject)
                                  << "\"";
            }
            if (found.IsMatch) {
                ASSERT_EQ(matches, held) << "pattern \"" << Printable(pattern) << "\" subject \"" << Printable(subject)
                                         << "\"";
            }
        }
    }
    EXPECT_GT(withLiterals, 300); // the check above ran on many expressions
}

} // namespace
