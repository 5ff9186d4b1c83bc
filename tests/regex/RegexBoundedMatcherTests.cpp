// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <stop_token>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegexPatternGenerator.h"
#include "RegexTestSupport.h"
#include "regex/RegexBoundedMatcher.h"
#include "regex/RegexMatcher.h"

namespace {

Regex Compiled(const std::string& pattern, bool caseSensitive = true)
{
    Regex regex;
    EXPECT_EQ(regex.Parse(pattern, caseSensitive), RegexErrorNone) << Printable(pattern);
    return regex;
}

// The work a line may take at most: the backtracker's share before the fallback, and one pass of
// the linear decider over the line.
std::uint64_t QuickSteps(const Regex& regex, std::size_t length)
{
    const RegexBudget budget;
    return budget.QuickStepsPerUnit * regex.GetInstructions().size() * (length + 2) + budget.QuickMinimumSteps;
}

std::uint64_t FullSteps(const Regex& regex, std::size_t length)
{
    const RegexBudget budget;
    return budget.StepsPerUnit * regex.GetInstructions().size() * (length + 2) + budget.MinimumSteps;
}

// A budget that sends every line to the fallback at once, with the full share after it.
RegexBudget NoQuickShare()
{
    RegexBudget budget;
    budget.QuickStepsPerUnit = 0;
    budget.QuickMinimumSteps = 0;
    return budget;
}

TEST(RegexMatchLimits, CountsAndBoundsSteps)
{
    const Regex regex = Compiled("ab"); // Fork 2, 'a', 'b', Succeed
    RegexMatchContext context;
    ASSERT_TRUE(RegexMatcher::Match(regex, "ab", context, nullptr, {}, {}));
    EXPECT_EQ(context.GetStepCount(), 4u);
    RegexMatchLimits limits;
    limits.MaxSteps = 4;
    EXPECT_TRUE(RegexMatcher::Match(regex, "ab", context, nullptr, {}, limits));
    EXPECT_FALSE(context.ExhaustedBudget());
    limits.MaxSteps = 3;
    EXPECT_FALSE(RegexMatcher::Match(regex, "ab", context, nullptr, {}, limits));
    EXPECT_TRUE(context.ExhaustedBudget());
    EXPECT_EQ(context.GetStepCount(), 3u);
    limits.MaxSteps = 0;
    EXPECT_FALSE(RegexMatcher::Match(regex, "ab", context, nullptr, {}, limits));
    EXPECT_TRUE(context.ExhaustedBudget());

    // The stack cap holds even for a context grown larger by an earlier match.
    const Regex loop = Compiled("a.*b");
    const std::string line = "a" + std::string(5000, 'x') + "b";
    ASSERT_TRUE(loop.Match(line, context));
    ASSERT_GT(context.GetStackCapacity(), 10000u);
    limits = {};
    limits.MaxStackEntries = 1000;
    EXPECT_FALSE(RegexMatcher::Match(loop, line, context, nullptr, {}, limits));
    EXPECT_TRUE(context.ExhaustedBudget());
    EXPECT_FALSE(context.RanOutOfMemory()) << "a spent budget, not a shortage";
    EXPECT_TRUE(RegexMatcher::Match(loop, "axb", context, nullptr, {}, limits));
}

// The shapes that used to take minutes or exhaust memory: each line is decided, and the work
// counted stays within one quick share plus one pass over the line.
TEST(RegexBoundedMatcher, DecidesWhatUsedToBacktrackForever)
{
    struct Case
    {
        std::string Pattern;
        std::string Subject;
        bool Matches;
    };
    const std::string info = "INFO ERROR ";
    const std::vector<Case> cases = {
        {"^!(DEBUG)(.+)+ERROR$", info + std::string(30, 'x'), false},
        {"^!(DEBUG)(.+)+ERROR$", info + std::string(100, 'x'), false},
        {"^!(DEBUG)(.+)+ERROR$", info + std::string(10000, 'x'), false},
        {"^!(DEBUG)(.+)+ERROR$", "INFO " + std::string(10000, 'x') + " ERROR", true},
        {"^!(DEBUG)(.+)+ERROR$", "DEBUG " + std::string(10000, 'x') + " ERROR", false},
        {"!q.*\\d", std::string(10000, 'x'), false},
        {"!q.*\\d", std::string(1000000, 'x'), false},
        {"!q.*\\d", std::string(1000000, 'x') + "7", true},
        {"!q.*\\d", std::string(500000, 'x') + "q" + std::string(500000, 'x'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Pattern + " on " + std::to_string(c.Subject.size()) + " bytes");
        const Regex regex = Compiled(c.Pattern);
        RegexBoundedMatcher matcher(regex);
        ASSERT_TRUE(matcher.AlwaysDecides());
        RegexMatchContext context;
        EXPECT_EQ(matcher.Matches(c.Subject, context), c.Matches ? RegexOutcome::Match : RegexOutcome::NoMatch);
        EXPECT_LE(matcher.GetLastWork().Steps, QuickSteps(regex, c.Subject.size()));
        EXPECT_LE(matcher.GetLastWork().Positions, c.Subject.size() + 2);
        // The stack stays within the quick share's cap: a few MiB, not bytes per byte of line.
        EXPECT_LE(context.GetStackCapacity() * sizeof(std::size_t), RegexBudget().QuickStackBytes);
    }

    // The plain backtracker does not finish the shortest of them in a hundred times the work.
    const Regex regex = Compiled("^!(DEBUG)(.+)+ERROR$");
    RegexMatchContext context;
    RegexMatchLimits limits;
    limits.MaxSteps = 100 * QuickSteps(regex, 41);
    EXPECT_FALSE(RegexMatcher::Match(regex, info + std::string(30, 'x'), context, nullptr, {}, limits));
    EXPECT_TRUE(context.ExhaustedBudget());
}

// Find gives the unbounded backtracker's match, positions and groups included, also where it
// needed the table of dead branches to get there in time.
TEST(RegexBoundedMatcher, FindsTheSameMatchWithinTheBudget)
{
    const Regex regex = Compiled("!(DEBUG){x+}!y(.+)+ERROR");
    const std::string line = "DEBUG xxxy xxx " + std::string(5000, '.') + " ERROR ERROR done";
    RegexMatchContext expected;
    std::size_t expectedEnd = 0;
    ASSERT_TRUE(regex.Match(line, expected, &expectedEnd));

    RegexBoundedMatcher matcher(regex, NoQuickShare());
    RegexMatchContext context;
    std::size_t end = 0;
    ASSERT_EQ(matcher.Find(line, context, end), RegexOutcome::Match);
    EXPECT_GT(matcher.GetLastWork().Positions, 0u) << "went through the table";
    EXPECT_EQ(end, expectedEnd);
    EXPECT_EQ(context.GetMatchStart(), expected.GetMatchStart());
    EXPECT_EQ(context.GetGroupStart(0), expected.GetGroupStart(0));
    EXPECT_EQ(context.GetGroupEnd(0), expected.GetGroupEnd(0));

    // Some captures outlive the branch that made them, so a branch that may make one is never
    // skipped: a capture inside a negation stays when the negation fails; a group closed in a
    // failed branch stays closed until the search leaves the group, and a back reference inside
    // it reads that capture.
    const struct
    {
        const char* Pattern;
        const char* Subject;
    } captures[] = {
        {"(!{.}z)?a", "ab"},
        {"(!{.}z)?.", "ab"},
        {"{.}(!{.}z)?\\1", "ab"},
        {"{a\\0??}?" // (split so as not to read as a trigraph)
         "?(9)",
         "aa9"},
    };
    for (const auto& c : captures) {
        SCOPED_TRACE(std::string(c.Pattern) + " on " + c.Subject);
        const Regex capturing = Compiled(c.Pattern);
        ASSERT_TRUE(capturing.Match(c.Subject, expected, &expectedEnd));
        RegexBoundedMatcher bounded(capturing, NoQuickShare());
        ASSERT_EQ(bounded.Find(c.Subject, context, end), RegexOutcome::Match);
        EXPECT_EQ(context.GetMatchStart(), expected.GetMatchStart());
        EXPECT_EQ(end, expectedEnd);
        for (std::uint32_t group = 0; group < capturing.GetGroupCount(); ++group) {
            EXPECT_EQ(context.GetGroupStart(group), expected.GetGroupStart(group));
            EXPECT_EQ(context.GetGroupEnd(group), expected.GetGroupEnd(group));
        }
    }

    // No match: the linear answer is enough.
    ASSERT_EQ(matcher.Find(std::string(3000, 'x'), context, end), RegexOutcome::NoMatch);
    EXPECT_EQ(matcher.GetLastWork().Positions, 3002u);
}

TEST(RegexBoundedMatcher, BackReferencesAreExactOrTooComplex)
{
    RegexMatchContext context;
    {
        // Nested repetition before a back reference: nothing can be skipped, the budget runs out.
        const Regex regex = Compiled("^{x}(.+)+\\0$");
        RegexBoundedMatcher matcher(regex);
        EXPECT_FALSE(matcher.AlwaysDecides());
        const std::string line = "x" + std::string(30, 'y');
        EXPECT_EQ(matcher.Matches(line, context), RegexOutcome::TooComplex);
        EXPECT_EQ(matcher.GetLastWork().Steps, FullSteps(regex, line.size())) << "the whole budget, no more";
        std::size_t end = 0;
        EXPECT_EQ(matcher.Find(line, context, end), RegexOutcome::TooComplex);
        // The same expression on a line it finishes within the budget is answered exactly.
        EXPECT_EQ(matcher.Matches("xyyx", context), RegexOutcome::Match);
        EXPECT_EQ(matcher.Matches("xyyy", context), RegexOutcome::NoMatch);
    }
    {
        const Regex regex = Compiled("{a+}b\\0");
        RegexBoundedMatcher matcher(regex);
        std::size_t end = 0;
        ASSERT_EQ(matcher.Find("xaabaa", context, end), RegexOutcome::Match);
        EXPECT_EQ(context.GetMatchStart(), 1u);
        EXPECT_EQ(end, 6u);
        EXPECT_EQ(context.GetGroupStart(0), 1u);
        EXPECT_EQ(context.GetGroupEnd(0), 3u);
    }
    {
        // After the back reference nothing reads a group: the branches that cannot succeed there
        // are skipped, and the line is decided in linear work.
        const Regex regex = Compiled("^{x}\\0!(DEBUG)(.+)+ERROR$");
        RegexBoundedMatcher matcher(regex);
        EXPECT_FALSE(matcher.AlwaysDecides());
        for (const std::size_t count : {30u, 10000u}) {
            const std::string failing = "xxINFO ERROR " + std::string(count, 'y');
            EXPECT_EQ(matcher.Matches(failing, context), RegexOutcome::NoMatch) << count;
            EXPECT_LE(matcher.GetLastWork().Positions, failing.size() + 2);
            EXPECT_LE(matcher.GetLastWork().Steps, QuickSteps(regex, failing.size()) + 10 * failing.size());
            const std::string matching = "xxINFO " + std::string(count, 'y') + " ERROR";
            EXPECT_EQ(matcher.Matches(matching, context), RegexOutcome::Match) << count;
            EXPECT_EQ(matcher.Matches("xyINFO ERROR", context), RegexOutcome::NoMatch) << "the reference still counts";
        }
    }
    {
        // A stack the budget does not allow: a back reference cannot fall back, a negation can.
        RegexBudget budget;
        budget.MaxStackBytes = 1000 * sizeof(std::size_t);
        const std::string line = "a" + std::string(5000, 'x') + "Zq";
        RegexBoundedMatcher reference(Compiled("{a}.*Z\\0?"), budget);
        EXPECT_EQ(reference.Matches(line, context), RegexOutcome::TooComplex);
        RegexBoundedMatcher negation(Compiled("a.*Z!q"), budget);
        EXPECT_EQ(negation.Matches(line, context), RegexOutcome::NoMatch);
        RegexBoundedMatcher other(Compiled("a.*Z!x"), budget);
        EXPECT_EQ(other.Matches(line, context), RegexOutcome::Match);
    }
}

TEST(RegexBoundedMatcher, StopsWhenAsked)
{
    std::stop_source source;
    source.request_stop();
    RegexMatchContext context;
    RegexBoundedMatcher negation(Compiled("!q.*\\d"));
    EXPECT_EQ(negation.Matches(std::string(100000, 'x'), context, source.get_token()), RegexOutcome::Stopped);
    RegexBoundedMatcher reference(Compiled("^{x}(.+)+\\0$"));
    EXPECT_EQ(reference.Matches("x" + std::string(30, 'y'), context, source.get_token()), RegexOutcome::Stopped);
}

// Random small programs, back references and negations mixed, with no quick share, so that
// every line that is not decided at once goes through the fallback or the table: the answer and
// the match's start and end must be the unbounded backtracker's, and every group as well where
// the program has no progress checks (see Find for the loops' quirk).
TEST(RegexBoundedMatcher, AgreesWithTheUnboundedBacktrackerOnRandomPrograms)
{
    RegexPatternGenerator generator(7040);
    int compared = 0;
    int groupsCompared = 0;
    int pruned = 0;
    int tooComplex = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string pattern = generator.Pattern(round % 2 == 0);
        const bool caseSensitive = generator.Next(3) != 0;
        Regex regex;
        if (regex.Parse(pattern, caseSensitive) != RegexErrorNone)
            continue;
        RegexBoundedMatcher matcher(regex, NoQuickShare());
        const std::vector<RegexInstruction>& program = regex.GetInstructions();
        const bool loopFree = std::none_of(program.begin(), program.end(), [](const RegexInstruction& instruction) {
            return instruction.Op == RegexOp::RequireProgress;
        });
        RegexMatchContext expected;
        RegexMatchContext context;
        RegexMatchLimits generous;
        generous.MaxSteps = 2'000'000;
        for (int k = 0; k < 6; ++k) {
            const std::string subject = generator.Subject();
            SCOPED_TRACE("pattern \"" + Printable(pattern) + "\" subject \"" + Printable(subject) + "\"" +
                         (caseSensitive ? "" : " case-insensitive"));
            std::size_t expectedEnd = 0;
            const bool matched = RegexMatcher::Match(regex, subject, expected, &expectedEnd, {}, generous);
            if (expected.ExhaustedBudget())
                continue;
            const RegexOutcome decided = matcher.Matches(subject, context);
            std::size_t end = 0;
            const RegexOutcome found = matcher.Find(subject, context, end);
            pruned += matcher.GetLastWork().Positions > 0;
            if (found == RegexOutcome::TooComplex || decided == RegexOutcome::TooComplex) {
                ASSERT_FALSE(matcher.AlwaysDecides());
                ++tooComplex;
                continue;
            }
            ++compared;
            ASSERT_EQ(decided, matched ? RegexOutcome::Match : RegexOutcome::NoMatch);
            ASSERT_EQ(found, decided);
            if (!matched)
                continue;
            ASSERT_EQ(end, expectedEnd);
            ASSERT_EQ(context.GetMatchStart(), expected.GetMatchStart());
            if (!loopFree)
                continue;
            ++groupsCompared;
            for (std::uint32_t group = 0; group < regex.GetGroupCount(); ++group) {
                ASSERT_EQ(context.GetGroupStart(group), expected.GetGroupStart(group)) << group;
                ASSERT_EQ(context.GetGroupEnd(group), expected.GetGroupEnd(group)) << group;
            }
        }
    }
    EXPECT_GT(compared, 10000);
    EXPECT_GT(groupsCompared, 1000);
    EXPECT_GT(pruned, compared / 4) << "the table is used often";
    EXPECT_LT(tooComplex, compared / 100);
}

} // namespace
