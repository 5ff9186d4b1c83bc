// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegexTestSupport.h"

namespace {

using enum RegexOp;

struct ShapeCase
{
    std::string Pattern;
    bool CaseSensitive;
    std::uint32_t Groups;
    std::uint32_t Slots;
    const char* Body; // as Program reads it
    bool Anchored = false;
};

TEST(RegexCompiler, ProgramShapes)
{
    // clang-format off
    const ShapeCase cases[] = {
        {"", true, 0, 0, ""},
        {"^", true, 0, 0, "", true},
        {")ab", true, 0, 0, ""},
        {"]ab", true, 0, 0, ""},
        {"}ab", true, 0, 0, ""},
        {"ab)cd", true, 0, 0, "'a'; 'b'"},
        {"^a", true, 0, 0, "'a'", true},
        // Loops, k being slot 0.
        {"a*", true, 0, 1,
         "PushSlot 0; MarkPos 0; PushPos; Fork 9; PopPos; PopSlot 0; Jump 13; "
         "'a'; RequireProgress 0; MarkPos 0; Jump 2"},
        {"a?", true, 0, 1,
         "PushSlot 0; MarkPos 0; PushPos; Fork 9; PopPos; PopSlot 0; Jump 12; "
         "'a'; RequireProgress 0; MarkPos 0"},
        {"a+", true, 0, 1,
         "'a'; PushSlot 0; MarkPos 0; PushPos; Fork 10; PopPos; PopSlot 0; Jump 14; "
         "'a'; RequireProgress 0; MarkPos 0; Jump 3"},
        {"a*?", true, 0, 1,
         "MarkPos 0; PushSlot 0; PushPos; Fork 12; PopPos; PopSlot 0; "
         "'a'; RequireProgress 0; MarkPos 0; Jump 3"},
        {"a+?", true, 0, 1,
         "'a'; MarkPos 0; PushSlot 0; PushPos; Fork 13; PopPos; PopSlot 0; "
         "'a'; RequireProgress 0; MarkPos 0; Jump 4"},
        {"a??", true, 0, 0, "PushPos; Fork 6; PopPos; 'a'"},
        {"a**", true, 0, 1,
         "PushSlot 0; MarkPos 0; PushPos; Fork 9; PopPos; PopSlot 0; Jump 13; "
         "'a'; RequireProgress 0; MarkPos 0; Jump 2; '*'"},
        {"a*??", true, 0, 1,
         "MarkPos 0; PushSlot 0; PushPos; Fork 12; PopPos; PopSlot 0; "
         "'a'; RequireProgress 0; MarkPos 0; Jump 3; '?'"},
        {"*a", true, 0, 0, "'*'; 'a'"},
        // Alternation: a|b|c is a|(b|c); a loop slides behind the wrapper.
        {"a|b", true, 0, 0, "PushPos; Fork 6; PopPos; Jump 8; 'a'; Jump 9; 'b'"},
        {"a|b|c", true, 0, 0,
         "PushPos; Fork 6; PopPos; Jump 8; 'a'; Jump 15; "
         "PushPos; Fork 12; PopPos; Jump 14; 'b'; Jump 15; 'c'"},
        {"a*|b", true, 0, 1,
         "PushPos; Fork 6; PopPos; Jump 18; "
         "PushSlot 0; MarkPos 0; PushPos; Fork 13; PopPos; PopSlot 0; Jump 17; 'a'; RequireProgress 0; MarkPos 0; "
         "Jump 6; Jump 19; 'b'"},
        {"a|", true, 0, 0, ""},
        {"xa|", true, 0, 0, "'x'"},
        {"|x", true, 0, 0, "'|'; 'x'"},
        {"a||b", true, 0, 0, "PushPos; Fork 6; PopPos; Jump 8; 'a'; Jump 9; '|'; 'b'"},
        // Classes: one Skip pair per item, in order; "-" first is a literal; "\t" is a tab.
        {"[a-cx]", true, 0, 0, "InClass 7; Skip 'a'; Skip 'c'; Skip 'x'; Skip 'x'"},
        {"[^-a\\]]", true, 0, 0, "NotInClass 9; Skip '-'; Skip '-'; Skip 'a'; Skip 'a'; Skip ']'; Skip ']'"},
        {"[\\t\\d]", true, 0, 0, "InClass 7; Skip 9; Skip 9; Skip 'd'; Skip 'd'"},
        // Groups, match groups, back references, negation.
        {"(a)", true, 0, 0, "Fork 4; Backtrack; 'a'"},
        {"()", true, 0, 0, "Fork 4; Backtrack; Skip"},
        {"{a}", true, 1, 0, "StashGroup 0; OpenGroup 0; Fork 7; UnstashGroup 0; Backtrack; 'a'; CloseGroup 0"},
        {"{}", true, 1, 0, "StashGroup 0; OpenGroup 0; Fork 7; UnstashGroup 0; Backtrack; Skip; CloseGroup 0"},
        {"{a}\\0", true, 1, 0,
         "StashGroup 0; OpenGroup 0; Fork 7; UnstashGroup 0; Backtrack; 'a'; CloseGroup 0; MatchGroupText 0"},
        {"!a", true, 0, 2,
         "MarkPos 0; MarkDepth 1; Fork 8; ResetPos 0; ResetDepth 1; Jump 12; "
         "'a'; ResetPos 0; ResetDepth 1; Backtrack"},
        {"a!", true, 0, 0, "'a'"},
        // A star moves its body behind the loop's slot; a plus copies it with the same groups and new slots.
        {"(!a)*", true, 0, 3,
         "PushSlot 0; MarkPos 0; PushPos; Fork 9; PopPos; PopSlot 0; Jump 24; "
         "Fork 11; Backtrack; MarkPos 1; MarkDepth 2; Fork 17; ResetPos 1; ResetDepth 2; Jump 21; "
         "'a'; ResetPos 1; ResetDepth 2; Backtrack; "
         "RequireProgress 0; MarkPos 0; Jump 2"},
        {"(!a)+", true, 0, 5,
         "Fork 4; Backtrack; MarkPos 0; MarkDepth 1; Fork 10; ResetPos 0; ResetDepth 1; Jump 14; "
         "'a'; ResetPos 0; ResetDepth 1; Backtrack; "
         "PushSlot 2; MarkPos 2; PushPos; Fork 21; PopPos; PopSlot 2; Jump 36; "
         "Fork 23; Backtrack; MarkPos 3; MarkDepth 4; Fork 29; ResetPos 3; ResetDepth 4; Jump 33; "
         "'a'; ResetPos 3; ResetDepth 4; Backtrack; "
         "RequireProgress 2; MarkPos 2; Jump 14"},
        {"{a}+", true, 1, 1,
         "StashGroup 0; OpenGroup 0; Fork 7; UnstashGroup 0; Backtrack; 'a'; CloseGroup 0; "
         "PushSlot 0; MarkPos 0; PushPos; Fork 16; PopPos; PopSlot 0; Jump 26; "
         "StashGroup 0; OpenGroup 0; Fork 21; UnstashGroup 0; Backtrack; 'a'; CloseGroup 0; "
         "RequireProgress 0; MarkPos 0; Jump 9"},
        // "$" and "^" are special only at the very end and the very beginning.
        {"a$", true, 0, 0, "'a'; Literal 0"},
        {"$", true, 0, 0, "Literal 0"},
        {"a$b", true, 0, 0, "'a'; '$'; 'b'"},
        {"x^", true, 0, 0, "'x'; '^'"},
        // NUL bytes in the pattern are data: a one-item class, since Literal 0 means the end.
        {std::string("a\0b", 3), true, 0, 0, "'a'; InClass 6; Skip 0; Skip 0; 'b'"},
        {std::string("\\\0", 2), true, 0, 0, "InClass 5; Skip 0; Skip 0"},
        // Escapes and abbreviations (92 is a backslash, 13 and 10 are CR and LF).
        {"a\\", true, 0, 0, "'a'; Literal 92"},
        {"\\t\\.", true, 0, 0, "'t'; '.'"},
        {"\\d", true, 0, 0, "Fork 4; Backtrack; InClass 7; Skip '0'; Skip '9'"},
        {"\\D", false, 0, 0, "Fork 4; Backtrack; InClass 7; Skip '0'; Skip '9'"},
        {"\\D", true, 0, 0, "'D'"},
        {"A[B-C]", false, 0, 0, "'a'; InClass 6; Skip 'b'; Skip 'c'"},
        {"\\n", true, 0, 1,
         "Fork 4; Backtrack; PushPos; Fork 8; PopPos; Jump 10; Literal 13; Jump 23; "
         "Fork 12; Backtrack; PushSlot 0; MarkPos 0; PushPos; Fork 19; PopPos; PopSlot 0; Jump 22; "
         "Literal 13; RequireProgress 0; MarkPos 0; Literal 10"},
    };
    // clang-format on
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE("pattern \"" + Printable(c.Pattern) + "\"" + (c.CaseSensitive ? "" : " case-insensitive"));
        Regex regex;
        ASSERT_EQ(regex.Parse(c.Pattern, c.CaseSensitive), RegexErrorNone);
        EXPECT_EQ(regex.GetInstructions(), Program(c.Body, c.Anchored));
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
    EXPECT_EQ(regex.GetInstructions(), Program("'x'"));
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
    EXPECT_EQ(regex.GetInstructions(), Program("'a'; 'b'"));
    EXPECT_EQ(regex.LeadingLiteral(), "ab");

    ASSERT_EQ(regex.Parse(std::string_view(buffer.data() + 4, 2), true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program("'a'; Literal 92"));

    EXPECT_EQ(regex.Parse(std::string_view(buffer.data() + 8, 2), true), RegexErrorMissingBracket);
    EXPECT_EQ(regex.Parse(std::string_view(buffer.data() + 8, 3), true), RegexErrorNone);

    ASSERT_EQ(regex.Parse(std::string_view(buffer.data() + 12, 1), true), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program("Literal 0"));

    // The pointer overload reads exactly length bytes too.
    ASSERT_EQ(regex.Parse(buffer.data() + 5, 1, false), RegexErrorNone);
    EXPECT_EQ(regex.GetInstructions(), Program("Literal 92"));
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
