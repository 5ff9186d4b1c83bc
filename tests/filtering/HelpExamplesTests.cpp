// SPDX-License-Identifier: GPL-3.0-or-later
// The expression help page shows each example with a line it keeps and a line it does not keep.
// Every example runs here through the engine on a file of exactly those lines, so the page cannot
// promise what the matcher does not do.
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "support/TempDir.h"

namespace {

struct HelpExample
{
    std::string Expression;
    std::string Kept;
    std::string NotKept;
};

std::string ReadHelpPage()
{
    std::ifstream in(std::string(OSTREL_SOURCE_DIR) + "/help/RegExpSyntax.html", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DecodeEntities(std::string text)
{
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities)
        for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::strlen(entity), character);
    return text;
}

// The <code> texts of one table row, in order.
std::vector<std::string> CodesOf(const std::string& row)
{
    std::vector<std::string> codes;
    for (std::size_t at = row.find("<code>"); at != std::string::npos; at = row.find("<code>", at)) {
        at += 6;
        const std::size_t end = row.find("</code>", at);
        if (end == std::string::npos)
            break;
        codes.push_back(DecodeEntities(row.substr(at, end - at)));
        at = end;
    }
    return codes;
}

std::vector<HelpExample> ReadExamples(const std::string& page)
{
    std::vector<HelpExample> examples;
    const std::size_t table = page.find("<table class=\"examples\">");
    if (table == std::string::npos)
        return examples;
    const std::size_t tableEnd = page.find("</table>", table);
    for (std::size_t row = page.find("<tr>", table); row != std::string::npos && row < tableEnd;
         row = page.find("<tr>", row + 1)) {
        const std::string text = page.substr(row, page.find("</tr>", row) - row);
        if (text.find("<th>") != std::string::npos)
            continue;
        const std::vector<std::string> codes = CodesOf(text);
        // The expression, then the kept and the dropped line; the description may hold no code.
        if (codes.size() >= 3)
            examples.push_back({codes.front(), codes[codes.size() - 2], codes.back()});
        else
            examples.push_back({text, "", ""}); // a row the test cannot read fails below
    }
    return examples;
}

} // namespace

TEST(HelpExamplesTests, EveryExampleKeepsWhatThePageSays)
{
    const std::string page = ReadHelpPage();
    ASSERT_FALSE(page.empty()) << "help/RegExpSyntax.html not found";
    const std::vector<HelpExample> examples = ReadExamples(page);
    ASSERT_GE(examples.size(), 10u);
    TempDir dir;
    for (const HelpExample& example : examples) {
        ASSERT_FALSE(example.Kept.empty())
            << "an example row without its kept and dropped lines: " << example.Expression;
        // The lines as a log holds them, each with its line feed; CR LF must read the same.
        for (const char* lineEnd : {"\n", "\r\n"}) {
            const std::string log = example.NotKept + lineEnd + example.Kept + lineEnd;
            FilterEngine engine(FilterRun{dir.Write("example.log", log), {Expression(example.Expression)}, false});
            CollectingOutput output;
            ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished) << example.Expression;
            EXPECT_TRUE(output.Errors.empty()) << example.Expression << ": " << output.Errors.front();
            ASSERT_EQ(output.Lines.size(), 1u)
                << example.Expression << " on \"" << example.NotKept << "\" and \"" << example.Kept << "\"";
            EXPECT_EQ(output.Lines.front().Number, 2) << example.Expression << " kept \"" << example.NotKept << "\"";
        }
    }
}

TEST(HelpExamplesTests, LineEndsAndCaseAreAsThePageDescribes)
{
    // "$" is the place after the line feed: a bare "timeout$" finds only a last line without one.
    TempDir dir;
    const auto keptNumbers = [&](const std::string& expression, bool caseSensitive, const std::string& log) {
        FilterEngine engine(FilterRun{dir.Write("case.log", log), {Expression(expression, caseSensitive)}, false});
        CollectingOutput output;
        engine.Run(std::stop_token(), output);
        std::vector<std::int64_t> numbers;
        for (const KeptLine& line : output.Lines)
            numbers.push_back(line.Number);
        return numbers;
    };
    EXPECT_EQ(keptNumbers("timeout$", true, "read timeout\nlast timeout"), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(keptNumbers("timeout\\n?$", true, "read timeout\nlast timeout"), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(keptNumbers("x.y", true, "x\ny\n"), (std::vector<std::int64_t>{}));
    EXPECT_EQ(keptNumbers("x.", true, "x\n"), (std::vector<std::int64_t>{1})); // "." takes the line feed

    // Ignoring case, the expression is lowered first: \D names the digits, and letters fold only A to Z.
    EXPECT_EQ(keptNumbers("\\D", false, "abc\n7\n"), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(keptNumbers("\\D", true, "abc\nD\n"), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(keptNumbers("ERROR", false, "an error\n\xC3\x89RROR\n"), (std::vector<std::int64_t>{1}));
}
