// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegexTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using enum RegexOp;

struct ShapeCase
{
    std::string Pattern;
    bool CaseSensitive;
    std::vector<RegexInstruction> Expected;
    std::uint32_t Groups;
    std::uint32_t Slots;
};

TEST(RegexCompiler, ProgramShapes)
{
    const RegexInstruction la = I(Literal, 'a');
    const RegexInstruction lb = I(Literal, 'b');
    const ShapeCase cases[] = {
        {"", true, Program({}), 0, 0},
        {"^", true, Program({}, true), 0, 0},
        {")ab", true, Program({}), 0, 0},
        {"]ab", true, Program({}), 0, 0},
        {"}ab", true, Program({}), 0, 0},
        {"ab)cd", true, Program({la, lb}), 0, 0},
        {"^a", true, Program({la}, true), 0, 0},
        // Loops, k being slot 0.
        {"a*", true,
         Program({I(PushSlot, 0), I(MarkPos, 0), I(PushPos), I(Fork, 9), I(PopPos), I(PopSlot, 0), I(Jump, 13), la,
                  I(RequireProgress, 0), I(MarkPos, 0), I(Jump, 2)}),
         0, 1},
        {"a?", true,
         Program({I(PushSlot, 0), I(MarkPos, 0), I(PushPos), I(Fork, 9), I(PopPos), I(PopSlot, 0), I(Jump, 12), la,
                  I(RequireProgress, 0), I(MarkPos, 0)}),
         0, 1},
        {"a+", true,
         Program({la, I(PushSlot, 0), I(MarkPos, 0), I(PushPos), I(Fork, 10), I(PopPos), I(PopSlot, 0), I(Jump, 14), la,
                  I(RequireProgress, 0), I(MarkPos, 0), I(Jump, 3)}),
         0, 1},
        {"a*?", true,
         Program({I(MarkPos, 0), I(PushSlot, 0), I(PushPos), I(Fork, 12), I(PopPos), I(PopSlot, 0), la,
                  I(RequireProgress, 0), I(MarkPos, 0), I(Jump, 3)}),
         0, 1},
        {"a+?", true,
         Program({la, I(MarkPos, 0), I(PushSlot, 0), I(PushPos), I(Fork, 13), I(PopPos), I(PopSlot, 0), la,
                  I(RequireProgress, 0), I(MarkPos, 0), I(Jump, 4)}),
         0, 1},
        {"a??", true, Program({I(PushPos), I(Fork, 6), I(PopPos), la}), 0, 0},
        {"a**", true,
         Program({I(PushSlot, 0), I(MarkPos, 0), I(PushPos), I(Fork, 9), I(PopPos), I(PopSlot, 0), I(Jump, 13), la,
                  I(RequireProgress, 0), I(MarkPos, 0), I(Jump, 2), I(Literal, '*')}),
         0, 1},
        {"a*??", true,
         Program({I(MarkPos, 0), I(PushSlot, 0), I(PushPos), I(Fork, 12), I(PopPos), I(PopSlot, 0), la,
                  I(RequireProgress, 0), I(MarkPos, 0), I(Jump, 3), I(Literal, '?')}),
         0, 1},
        {"*a", true, Program({I(Literal, '*'), la}), 0, 0},
        // Alternation: a|b|c is a|(b|c); a loop slides behind the wrapper.
        {"a|b", true, Program({I(PushPos), I(Fork, 6), I(PopPos), I(Jump, 8), la, I(Jump, 9), lb}), 0, 0},
        {"a|b|c", true,
         Program({I(PushPos), I(Fork, 6), I(PopPos), I(Jump, 8), la, I(Jump, 15), I(PushPos), I(Fork, 12), I(PopPos),
                  I(Jump, 14), lb, I(Jump, 15), I(Literal, 'c')}),
         0, 0},
        {"a*|b", true,
         Program({I(PushPos), I(Fork, 6), I(PopPos), I(Jump, 18), I(PushSlot, 0), I(MarkPos, 0), I(PushPos),
                  I(Fork, 13), I(PopPos), I(PopSlot, 0), I(Jump, 17), la, I(RequireProgress, 0), I(MarkPos, 0),
                  I(Jump, 6), I(Jump, 19), lb}),
         0, 1},
        {"a|", true, Program({}), 0, 0},
        {"xa|", true, Program({I(Literal, 'x')}), 0, 0},
        {"|x", true, Program({I(Literal, '|'), I(Literal, 'x')}), 0, 0},
        {"a||b", true, Program({I(PushPos), I(Fork, 6), I(PopPos), I(Jump, 8), la, I(Jump, 9), I(Literal, '|'), lb}), 0,
         0},
        // Classes: one Skip pair per item, in order; "-" first is a literal; "\t" is a tab.
        {"[a-cx]", true, Program({I(InClass, 7), I(Skip, 'a'), I(Skip, 'c'), I(Skip, 'x'), I(Skip, 'x')}), 0, 0},
        {"[^-a\\]]", true,
         Program(
             {I(NotInClass, 9), I(Skip, '-'), I(Skip, '-'), I(Skip, 'a'), I(Skip, 'a'), I(Skip, ']'), I(Skip, ']')}),
         0, 0},
        {"[\\t\\d]", true, Program({I(InClass, 7), I(Skip, '\t'), I(Skip, '\t'), I(Skip, 'd'), I(Skip, 'd')}), 0, 0},
        // Groups, match groups, back references, negation.
        {"(a)", true, Program({I(Fork, 4), I(Backtrack), la}), 0, 0},
        {"()", true, Program({I(Fork, 4), I(Backtrack), I(Skip)}), 0, 0},
        {"{a}", true,
         Program(
             {I(StashGroup, 0), I(OpenGroup, 0), I(Fork, 7), I(UnstashGroup, 0), I(Backtrack), la, I(CloseGroup, 0)}),
         1, 0},
        {"{}", true,
         Program({I(StashGroup, 0), I(OpenGroup, 0), I(Fork, 7), I(UnstashGroup, 0), I(Backtrack), I(Skip),
                  I(CloseGroup, 0)}),
         1, 0},
        {"{a}\\0", true,
         Program({I(StashGroup, 0), I(OpenGroup, 0), I(Fork, 7), I(UnstashGroup, 0), I(Backtrack), la, I(CloseGroup, 0),
                  I(MatchGroupText, 0)}),
         1, 0},
        {"!a", true,
         Program({I(MarkPos, 0), I(MarkDepth, 1), I(Fork, 8), I(ResetPos, 0), I(ResetDepth, 1), I(Jump, 12), la,
                  I(ResetPos, 0), I(ResetDepth, 1), I(Backtrack)}),
         0, 2},
        {"a!", true, Program({la}), 0, 0},
        // A star moves its body behind the loop's slot; a plus copies it with the same groups and new slots.
        {"(!a)*", true, Program({I(PushSlot, 0), I(MarkPos, 0),    I(PushPos),      I(Fork, 9),
                                 I(PopPos),      I(PopSlot, 0),    I(Jump, 24),     I(Fork, 11),
                                 I(Backtrack),   I(MarkPos, 1),    I(MarkDepth, 2), I(Fork, 17),
                                 I(ResetPos, 1), I(ResetDepth, 2), I(Jump, 21),     la,
                                 I(ResetPos, 1), I(ResetDepth, 2), I(Backtrack),    I(RequireProgress, 0),
                                 I(MarkPos, 0),  I(Jump, 2)}),
         0, 3},
        {"(!a)+", true,
         Program({I(Fork, 4),
                  I(Backtrack),
                  I(MarkPos, 0),
                  I(MarkDepth, 1),
                  I(Fork, 10),
                  I(ResetPos, 0),
                  I(ResetDepth, 1),
                  I(Jump, 14),
                  la,
                  I(ResetPos, 0),
                  I(ResetDepth, 1),
                  I(Backtrack),
                  I(PushSlot, 2),
                  I(MarkPos, 2),
                  I(PushPos),
                  I(Fork, 21),
                  I(PopPos),
                  I(PopSlot, 2),
                  I(Jump, 36),
                  I(Fork, 23),
                  I(Backtrack),
                  I(MarkPos, 3),
                  I(MarkDepth, 4),
                  I(Fork, 29),
                  I(ResetPos, 3),
                  I(ResetDepth, 4),
                  I(Jump, 33),
                  la,
                  I(ResetPos, 3),
                  I(ResetDepth, 4),
                  I(Backtrack),
                  I(RequireProgress, 2),
                  I(MarkPos, 2),
                  I(Jump, 14)}),
         0, 5},
        {"{a}+", true, Program({I(StashGroup, 0), I(OpenGroup, 0),
                                I(Fork, 7),       I(UnstashGroup, 0),
                                I(Backtrack),     la,
                                I(CloseGroup, 0), I(PushSlot, 0),
                                I(MarkPos, 0),    I(PushPos),
                                I(Fork, 16),      I(PopPos),
                                I(PopSlot, 0),    I(Jump, 26),
                                I(StashGroup, 0), I(OpenGroup, 0),
                                I(Fork, 21),      I(UnstashGroup, 0),
                                I(Backtrack),     la,
                                I(CloseGroup, 0), I(RequireProgress, 0),
                                I(MarkPos, 0),    I(Jump, 9)}),
         1, 1},
        // "$" and "^" are special only at the very end and the very beginning.
        {"a$", true, Program({la, I(Literal, 0)}), 0, 0},
        {"$", true, Program({I(Literal, 0)}), 0, 0},
        {"a$b", true, Program({la, I(Literal, '$'), lb}), 0, 0},
        {"x^", true, Program({I(Literal, 'x'), I(Literal, '^')}), 0, 0},
        // NUL bytes in the pattern are data: a one-item class, since Literal 0 means the end.
        {std::string("a\0b", 3), true, Program({la, I(InClass, 6), I(Skip, 0), I(Skip, 0), lb}), 0, 0},
        {std::string("\\\0", 2), true, Program({I(InClass, 5), I(Skip, 0), I(Skip, 0)}), 0, 0},
        // Escapes and abbreviations.
        {"a\\", true, Program({la, I(Literal, '\\')}), 0, 0},
        {"\\t\\.", true, Program({I(Literal, 't'), I(Literal, '.')}), 0, 0},
        {"\\d", true, Program({I(Fork, 4), I(Backtrack), I(InClass, 7), I(Skip, '0'), I(Skip, '9')}), 0, 0},
        {"\\D", false, Program({I(Fork, 4), I(Backtrack), I(InClass, 7), I(Skip, '0'), I(Skip, '9')}), 0, 0},
        {"\\D", true, Program({I(Literal, 'D')}), 0, 0},
        {"A[B-C]", false, Program({la, I(InClass, 6), I(Skip, 'b'), I(Skip, 'c')}), 0, 0},
        {"\\n", true,
         Program({I(Fork, 4),
                  I(Backtrack),
                  I(PushPos),
                  I(Fork, 8),
                  I(PopPos),
                  I(Jump, 10),
                  I(Literal, '\r'),
                  I(Jump, 23),
                  I(Fork, 12),
                  I(Backtrack),
                  I(PushSlot, 0),
                  I(MarkPos, 0),
                  I(PushPos),
                  I(Fork, 19),
                  I(PopPos),
                  I(PopSlot, 0),
                  I(Jump, 22),
                  I(Literal, '\r'),
                  I(RequireProgress, 0),
                  I(MarkPos, 0),
                  I(Literal, '\n')}),
         0, 1},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE("pattern \"" + Printable(c.Pattern) + "\"" + (c.CaseSensitive ? "" : " case-insensitive"));
        Regex regex;
        ASSERT_EQ(regex.Parse(c.Pattern, c.CaseSensitive), RegexErrorNone);
        EXPECT_EQ(regex.GetInstructions(), c.Expected);
        EXPECT_EQ(regex.GetGroupCount(), c.Groups);
        EXPECT_EQ(regex.GetSlotCount(), c.Slots);
        EXPECT_EQ(regex.IsCaseSensitive(), c.CaseSensitive);
    }
}

TEST(RegexCompiler, BackReferenceTakesAllDigits)
{
    std::string pattern;
    for (int group = 0; group < 13; ++group)
        pattern += "{x}";
    Regex regex;
    ASSERT_EQ(regex.Parse(pattern + "\\12", true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions().end()[-2], I(MatchGroupText, 12));
    EXPECT_EQ(regex.Parse(pattern + "\\13", true), RegexErrorNoSuchGroup);
}

struct ErrorCase
{
    std::string Pattern;
    bool CaseSensitive;
    std::int32_t Error;
};

TEST(RegexCompiler, ParseErrors)
{
    const ErrorCase cases[] = {
        {"[]", true, RegexErrorEmptyRange},
        {"[^]", true, RegexErrorEmptyRange},
        {"[]a]", true, RegexErrorEmptyRange},
        {"[a-]", true, RegexErrorMissingBracket},
        {"[a-", true, RegexErrorMissingBracket},
        {"[a", true, RegexErrorMissingBracket},
        {"[", true, RegexErrorMissingBracket},
        {"[^", true, RegexErrorMissingBracket},
        {"[\\", true, RegexErrorMissingBracket},
        {"[a\\]", true, RegexErrorMissingBracket},
        {"[b-a]", true, RegexErrorInvalidRange},
        {"[a-\\t]", true, RegexErrorInvalidRange},
        {"[Z-a]", false, RegexErrorInvalidRange},
        {"{a", true, RegexErrorMissingBrace},
        {"{", true, RegexErrorMissingBrace},
        {"{a)", true, RegexErrorMissingBrace},
        {"(a", true, RegexErrorMissingParenthesis},
        {"(a}", true, RegexErrorMissingParenthesis},
        {"(a|b", true, RegexErrorMissingParenthesis},
        {"\\0", true, RegexErrorNoSuchGroup},
        {"{a}\\1", true, RegexErrorNoSuchGroup},
        {"\\0{a}", true, RegexErrorNoSuchGroup},
        {"{a}\\99999999999999999999", true, RegexErrorNoSuchGroup},
        {"(a*)*", true, RegexErrorEmptyRepeat},
        {"(a?)+", true, RegexErrorEmptyRepeat},
        {"(a*?)*", true, RegexErrorEmptyRepeat},
        {"(a+?)*", true, RegexErrorEmptyRepeat},
        {"(a?\?)*?", true, RegexErrorEmptyRepeat},
        {"{a*}+?", true, RegexErrorEmptyRepeat},
        {"(a|b*)*", true, RegexErrorEmptyRepeat},
        {"(b*|a)+", true, RegexErrorEmptyRepeat},
        {"(!a)+x(ab*)*", true, RegexErrorNone},
        // The dropped "a*|" still set the group's flag.
        {"(a*|)*", true, RegexErrorEmptyRepeat},
        // Compiles: optional bodies may be empty, an empty group leaves the cleared flag alone, a
        // plus keeps its body's flag, a negation or back reference counts as its content.
        {"(a*)?", true, RegexErrorNone},
        {"(a*)??", true, RegexErrorNone},
        {"()*", true, RegexErrorNone},
        {"()*?", true, RegexErrorNone},
        {"(a+)*", true, RegexErrorNone},
        {"(a*b)*", true, RegexErrorNone},
        {"(a*b*)*", true, RegexErrorEmptyRepeat},
        {"(a*(b|c*))*", true, RegexErrorEmptyRepeat},
        {"(a*(b|c))*", true, RegexErrorNone},
        {"!a*", true, RegexErrorNone},
        {"{a}\\0*", true, RegexErrorNone},
        {"\\w*", true, RegexErrorNone},
        {"{a\\0}", true, RegexErrorNone},
        {"[-a]", true, RegexErrorNone},
        {"[\\]]", true, RegexErrorNone},
        {"[Z-a]", true, RegexErrorNone},
        {"a)(", true, RegexErrorNone},
        {"$*", true, RegexErrorNone},
    };
    for (const ErrorCase& c : cases) {
        Regex regex;
        EXPECT_EQ(regex.Parse(c.Pattern, c.CaseSensitive), c.Error)
            << "pattern \"" << Printable(c.Pattern) << "\"" << (c.CaseSensitive ? "" : " case-insensitive");
        EXPECT_EQ(regex.GetError(), c.Error);
        if (c.Error != RegexErrorNone) {
            EXPECT_TRUE(regex.LeadingLiteral().empty());
        }
    }
}

TEST(RegexCompiler, ParseReplacesAndNullPatternLeavesUntouched)
{
    Regex regex;
    ASSERT_EQ(regex.Parse("{a}!b", false), RegexErrorNone);
    const std::vector<RegexInstruction> before = regex.GetInstructions();

    EXPECT_EQ(regex.Parse(nullptr, 3, true), RegexErrorInvalidInput);
    EXPECT_EQ(regex.GetError(), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), before);
    EXPECT_EQ(regex.GetGroupCount(), 1u);
    EXPECT_EQ(regex.GetSlotCount(), 2u);
    EXPECT_FALSE(regex.IsCaseSensitive());

    EXPECT_EQ(regex.Parse("[", true), RegexErrorMissingBracket);
    ASSERT_EQ(regex.Parse("x", true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program({I(Literal, 'x')}));
    EXPECT_EQ(regex.GetGroupCount(), 0u);
    EXPECT_EQ(regex.GetSlotCount(), 0u);
    EXPECT_TRUE(regex.IsCaseSensitive());
}

TEST(RegexCompiler, LeadingLiteral)
{
    const struct
    {
        std::string Pattern;
        bool CaseSensitive;
        std::string Expected;
    } cases[] = {
        {"abc", true, "abc"},      {"abc*", true, "ab"}, {"ab|cd", true, "a"},  {"ab$", true, "ab"},
        {"$", true, ""},           {"^ab", true, "ab"},  {"(ab)", true, ""},    {"a*b", true, ""},
        {"ErRoR", false, "error"}, {"\\.x", true, ".x"}, {"\\dx", true, ""},    {std::string("a\0b", 3), true, "a"},
        {"\xC4x", false, "\xC4x"}, {"a!b", true, "a"},   {"ab{c}", true, "ab"},
    };
    for (const auto& c : cases) {
        Regex regex;
        ASSERT_EQ(regex.Parse(c.Pattern, c.CaseSensitive), RegexErrorNone) << Printable(c.Pattern);
        EXPECT_EQ(regex.LeadingLiteral(), c.Expected) << Printable(c.Pattern);
    }
}

TEST(RegexCompiler, PatternEndsAtItsLength)
{
    // Each view stops one byte short of a byte that would change the program.
    const std::string buffer = "ab*|a\\]|[a]|$x";
    Regex regex;
    ASSERT_EQ(regex.Parse(std::string_view(buffer.data(), 2), true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program({I(Literal, 'a'), I(Literal, 'b')}));
    EXPECT_EQ(regex.LeadingLiteral(), "ab");

    ASSERT_EQ(regex.Parse(std::string_view(buffer.data() + 4, 2), true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program({I(Literal, 'a'), I(Literal, '\\')}));

    EXPECT_EQ(regex.Parse(std::string_view(buffer.data() + 8, 2), true), RegexErrorMissingBracket);
    EXPECT_EQ(regex.Parse(std::string_view(buffer.data() + 8, 3), true), RegexErrorNone);

    ASSERT_EQ(regex.Parse(std::string_view(buffer.data() + 12, 1), true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program({I(Literal, 0)}));

    // The pointer overload reads exactly length bytes too.
    ASSERT_EQ(regex.Parse(buffer.data() + 5, 1, false), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program({I(Literal, '\\')}));
}

TEST(RegexCompiler, LargePatternsNeitherRecurseNorBlowUp)
{
    // Long sequences and long alternation chains are compiled in loops.
    const std::string literals(200000, 'a');
    Regex regex;
    ASSERT_EQ(regex.Parse(literals, true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions().size(), literals.size() + 3);

    std::string chain;
    for (int i = 0; i < 50000; ++i)
        chain += "a|";
    ASSERT_EQ(regex.Parse(chain + "b", true), RegexErrorNone);
    RegexMatchContext context;
    EXPECT_TRUE(regex.Match("xb", context));
    EXPECT_FALSE(regex.Match("x", context));

    // Nesting that a pattern can reasonably hold compiles; absurd nesting is refused as running
    // out of memory instead of exhausting the stack.
    ASSERT_EQ(regex.Parse(std::string(200, '(') + "a" + std::string(200, ')'), true), RegexErrorNone);
    EXPECT_TRUE(regex.Match("a", context));
    for (const char open : {'(', '{', '!'})
        EXPECT_EQ(regex.Parse(std::string(100000, open), true), RegexErrorOutOfMemory) << open;

    // Nested plus loops double the program at every level; the program size is capped.
    std::string nested = "a";
    for (int level = 0; level < 30; ++level)
        nested = "(" + nested + ")+";
    EXPECT_EQ(regex.Parse(nested, true), RegexErrorOutOfMemory);
}

TEST(RegexCompiler, ErrorTexts)
{
    const std::pair<std::int32_t, const char*> texts[] = {
        {RegexErrorNone, "No error occurred"},
        {RegexErrorOutOfMemory, "Out of memory"},
        {RegexErrorMissingBrace, "A closing brace was expected"},
        {RegexErrorMissingParenthesis, "A closing parenthesis was expected"},
        {RegexErrorMissingBracket, "A closing bracket was expected"},
        {RegexErrorUnexpected, "An unspecified fatal error occurred"},
        {RegexErrorEmptyRange, "A range expression was empty"},
        {RegexErrorNoSuchGroup, "A back reference was made to a group that did not exist"},
        {RegexErrorInvalidRange, "An invalid range was specified"},
        {RegexErrorEmptyRepeat, "A repeat operator (* or +) was applied to an expression that could be empty"},
        {RegexErrorInvalidInput, "The input string was invalid"},
        {11, "Unknown error"},
        {-1, "Unknown error"},
    };
    for (const auto& [code, text] : texts)
        EXPECT_STREQ(RegexErrorText(code), text) << code;
}

} // namespace
