// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "filtering/HighlightRules.h"

namespace {

std::vector<HighlightRule> SomeRules()
{
    return {
        {"ERROR", false, true, 0xFFFFFF, 0xC62828},
        {"time=\\z+ms$", true, false, 0x000000, 0x8BE28B},
        // Blanks inside and at the ends of a pattern, '#' and a second-looking field are its own.
        {" a  #123456 b ", false, false, 0x0A0B0C, 0xABCDEF},
        {"# not a comment", true, true, 0x000000, 0xFFE066},
    };
}

TEST(HighlightRulesFile, RoundTripKeepsEveryField)
{
    const std::vector<HighlightRule> rules = SomeRules();
    const std::string text = FormatHighlightsFile(rules);
    EXPECT_EQ(text.substr(0, HighlightsFileHeader.size()), HighlightsFileHeader);
    std::vector<HighlightRule> read;
    std::string message;
    ASSERT_TRUE(ParseHighlightsFile(text, read, message)) << message;
    EXPECT_EQ(read, rules);

    // An empty list is a file too, and lines ending CR LF read the same.
    ASSERT_TRUE(ParseHighlightsFile(FormatHighlightsFile({}), read, message)) << message;
    EXPECT_TRUE(read.empty());
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_TRUE(ParseHighlightsFile(crlf, read, message)) << message;
    EXPECT_EQ(read, rules);
}

TEST(HighlightRulesFile, CommentsAndEmptyLinesAreSkipped)
{
    std::vector<HighlightRule> read;
    std::string message;
    ASSERT_TRUE(
        ParseHighlightsFile("# Ostrel highlights 1\n\n# a note\nliteral nocase #000000 #FFFFFF warn", read, message))
        << message;
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].Pattern, "warn");
    EXPECT_EQ(read[0].Back, 0xFFFFFFu);
}

TEST(HighlightRulesFile, MalformedFilesAreRefusedAndChangeNothing)
{
    const struct
    {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"", "The file is empty"},
        {"literal case #000000 #FFFFFF x\n", "This is not a highlights file"},
        {"# Ostrel highlights 2\n", "This is not a highlights file"},
        {"# Ostrel highlights 1\nliteral case #000000 #FFFFFF ok\nword case #000000 #FFFFFF x\n",
         "Line 3: unknown kind \"word\""},
        {"# Ostrel highlights 1\nregex Case #000000 #FFFFFF x\n", "Line 2: unknown case \"Case\""},
        {"# Ostrel highlights 1\nregex case #00000G #FFFFFF x\n", "Line 2: bad text colour \"#00000G\""},
        {"# Ostrel highlights 1\nregex case #000000 FFFFFF x\n", "Line 2: bad background colour \"FFFFFF\""},
        {"# Ostrel highlights 1\nregex case #000000 #FFFFFF0 x\n", "Line 2: bad background colour"},
        {"# Ostrel highlights 1\nliteral case #000000 #FFFFFF \n", "Line 2: The text to highlight is empty."},
        {"# Ostrel highlights 1\nliteral case #000000\n", "Line 2: bad background colour \"\""},
        {"# Ostrel highlights 1\nliteral case #000000 #FFFFFF a\rb\n", "Line 2: The text to highlight must stay"},
    };
    for (const auto& c : cases) {
        std::vector<HighlightRule> rules = SomeRules();
        std::string message;
        EXPECT_FALSE(ParseHighlightsFile(c.Text, rules, message)) << c.Text;
        EXPECT_EQ(message.rfind(c.Message, 0), 0u) << message;
        EXPECT_EQ(rules, SomeRules()) << c.Text;
    }

    // Past the most rules a list holds.
    std::string tooMany(HighlightsFileHeader);
    tooMany += '\n';
    for (std::size_t i = 0; i <= MaxHighlightRules; ++i)
        tooMany += "literal case #000000 #FFFFFF r" + std::to_string(i) + "\n";
    std::vector<HighlightRule> rules = SomeRules();
    std::string message;
    EXPECT_FALSE(ParseHighlightsFile(tooMany, rules, message));
    EXPECT_NE(message.find("more than"), std::string::npos) << message;
    EXPECT_EQ(rules, SomeRules());
}

TEST(HighlightRulesFile, NextColoursAreTheFirstUnused)
{
    std::vector<HighlightRule> rules;
    EXPECT_EQ(NextHighlightColours(rules).Back, HighlightPalette[0].Back);
    rules.push_back({"a", false, false, HighlightPalette[1].Fore, HighlightPalette[1].Back});
    EXPECT_EQ(NextHighlightColours(rules).Back, HighlightPalette[0].Back);
    rules.push_back({"b", false, false, HighlightPalette[0].Fore, HighlightPalette[0].Back});
    EXPECT_EQ(NextHighlightColours(rules).Back, HighlightPalette[2].Back);
    // A colour of the user's own takes no pair; once all are used they come round by count.
    rules.clear();
    for (const HighlightColours& colours : HighlightPalette)
        rules.push_back({"x", false, false, colours.Fore, colours.Back});
    rules.push_back({"y", false, false, 0x123456, 0x654321});
    EXPECT_EQ(NextHighlightColours(rules).Back, HighlightPalette[rules.size() % HighlightPalette.size()].Back);
}

} // namespace
