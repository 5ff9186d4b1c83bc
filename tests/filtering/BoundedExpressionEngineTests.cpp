// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "regex/RegexMatchContext.h"
#include "support/TempDir.h"

namespace {

std::vector<std::int64_t> KeptNumbers(const CollectingOutput& output)
{
    std::vector<std::int64_t> numbers;
    for (const KeptLine& line : output.Lines)
        numbers.push_back(line.Number);
    return numbers;
}

} // namespace

// A line an expression is too complex for is reported once per filter with its file line
// number, counted every time, and then goes on to the next filter as not matched.
TEST(BoundedExpressionEngineTest, ReportsTooComplexLinesOncePerFilter)
{
    TempDir dir;
    const std::string x = "x" + std::string(30, 'y'); // too complex for the first expression
    const std::string y = "y" + std::string(30, 'x'); // and this for the third
    const std::string path = dir.Write("log", "keep 1\n" + x + "\nxyx\n" + x + "\n" + y + "\n" + x + " keep\n");
    const FilterRun run{path, {Expression("^{x}(.+)+\\0\\n"), Literal("keep"), Expression("^{y}(.+)+\\0\\n")}, false};
    FilterEngine engine(run);
    CollectingOutput output;
    ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
    EXPECT_EQ(output.Errors, (std::vector<std::string>{TooComplexMessage(2, path), TooComplexMessage(5, path)}));
    EXPECT_EQ(output.Errors[0], "The expression is too complex for line 2 of " + path);
    EXPECT_EQ(engine.GetTooComplexLineCount(), 4); // lines 2, 4 and 6 for the first, 5 for the third
    EXPECT_EQ(KeptNumbers(output), (std::vector<std::int64_t>{1, 3, 6}));
    EXPECT_EQ(output.Filters, (std::vector<int>{1, 0, 1}));

    // Each run reports afresh; in exclude mode a line not known to match is kept as not matched.
    FilterRun excluding = run;
    excluding.ExcludeMatches = true;
    FilterEngine again(excluding);
    CollectingOutput excluded;
    ASSERT_EQ(again.Run(std::stop_token(), excluded), EngineResult::Finished);
    EXPECT_EQ(excluded.Errors.size(), 2u);
    EXPECT_EQ(KeptNumbers(excluded), (std::vector<std::int64_t>{2, 4, 5}));
}

// Negations of the shapes that used to take minutes per line are decided, whatever the lines'
// lengths, with no report; each line as the plain definition decides it.
TEST(BoundedExpressionEngineTest, DecidesNegationsOnLongLines)
{
    TempDir dir;
    const std::string lines[] = {
        "INFO ERROR " + std::string(10000, 'x') + "\n",       // no match, backtracked forever before
        "INFO " + std::string(10000, 'x') + " ERROR",         // the last line, without its line feed
        "DEBUG " + std::string(100, 'x') + " ERROR\n",        // excluded by the negation
        std::string(1000000, 'x') + "\n",                     // no digit: quadratic before
        std::string(500000, 'x') + "5" + std::string(10, 'q') // a digit
    };
    std::string content;
    for (const std::string& line : {lines[0], lines[2], lines[3], lines[4] + "\n", lines[1]})
        content += line;
    const std::string path = dir.Write("log", content);
    FilterEngine engine(FilterRun{path, {Expression("^!(DEBUG)(.+)+ERROR$"), Expression("!q.*\\d")}, false});
    CollectingOutput output;
    ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
    EXPECT_TRUE(output.Errors.empty());
    EXPECT_EQ(engine.GetTooComplexLineCount(), 0);
    EXPECT_EQ(KeptNumbers(output), (std::vector<std::int64_t>{4, 5}));
    EXPECT_EQ(output.Filters, (std::vector<int>{1, 0}));
}

// The one-filter view of the same: what LineMatcher answers for each kind of expression.
TEST(BoundedExpressionEngineTest, LineMatcherTellsTooComplexApart)
{
    RegexMatchContext context;
    LineMatcher reference(Expression("^{x}(.+)+\\0\\n"));
    EXPECT_EQ(reference.Matches("x" + std::string(30, 'y') + "\n", context), LineMatch::TooComplex);
    EXPECT_EQ(reference.Matches("xyyx\n", context), LineMatch::Match);
    EXPECT_EQ(reference.Matches("xyyy\n", context), LineMatch::NoMatch);
    LineMatcher negation(Expression("^!(DEBUG)(.+)+ERROR$"));
    EXPECT_EQ(negation.Matches("INFO ERROR " + std::string(40, 'x'), context), LineMatch::NoMatch);
    EXPECT_EQ(negation.Matches("INFO " + std::string(40, 'x') + "ERROR", context), LineMatch::Match);
}
