// SPDX-License-Identifier: GPL-3.0-or-later
// Tables of original lines for texts made from filter output, and their chains.
#include <gtest/gtest.h>

#include "logtext/OriginLines.h"

namespace {

OutputLineNumbers Table(std::initializer_list<std::int64_t> numbers)
{
    OutputLineNumbers table;
    int filter = 0;
    for (std::int64_t number : numbers)
        table.Append(number, number % 2 == 0, number > 0 ? filter++ % 3 : -1);
    return table;
}

} // namespace

TEST(OriginLines, ComposeLeadsThroughEveryStepToTheOriginalLines)
{
    // A text of original lines 10, 20, 30, a marker, 50; output of it kept its lines 2, 3 and 5.
    const OutputLineNumbers parent = Table({10, 20, 30, 0, 50});
    OutputLineNumbers shown;
    shown.Append(2, false, 1);
    shown.Append(3, true, 1);
    shown.Append(0, false); // the cancel marker
    shown.Append(5, false, 0);
    shown.Append(9, false, 0); // past the parent's end: no file line
    const OutputLineNumbers composed = OriginLines::Compose(shown, &parent);
    EXPECT_EQ(composed.ToVector(), (std::vector<std::int64_t>{20, 30, 0, 50, 0}));
    // The context flags and filters are those of the step that kept the lines.
    EXPECT_FALSE(composed.IsContext(0));
    EXPECT_TRUE(composed.IsContext(1));
    EXPECT_EQ(composed.Filter(0), 1);
    EXPECT_EQ(composed.Filter(3), 0);

    // A further step composes with that table.
    OutputLineNumbers again;
    again.Append(4, false, 2);
    again.Append(1, false, 2);
    EXPECT_EQ(OriginLines::Compose(again, &composed).ToVector(), (std::vector<std::int64_t>{50, 20}));
    // Without a parent the numbers are original already.
    EXPECT_EQ(OriginLines::Compose(shown, nullptr).ToVector(), (std::vector<std::int64_t>{2, 3, 0, 5, 9}));
}

TEST(OriginLines, MapOriginTakesTheTextsOwnOrTheOriginalColours)
{
    const OutputLineNumbers table = Table({7, 8, 0, 12});
    // The whole text: the original line, context flag and filter.
    EXPECT_EQ(OriginLines::MapOrigin(table, {2, false, -1, false}, false), (ShownLineOrigin{8, true, 1, false}));
    EXPECT_EQ(OriginLines::MapOrigin(table, {1, false, -1, false}, false), (ShownLineOrigin{7, false, 0, false}));
    // Output of the text's own run: the run's flags, the original number.
    EXPECT_EQ(OriginLines::MapOrigin(table, {4, true, 5, false}, true), (ShownLineOrigin{12, true, 5, false}));
    // A marker, a line past the end and no line at all have no number.
    EXPECT_EQ(OriginLines::MapOrigin(table, {3, false, -1, false}, false).FileLine, 0);
    EXPECT_EQ(OriginLines::MapOrigin(table, {5, false, -1, false}, false).FileLine, 0);
    EXPECT_EQ(OriginLines::MapOrigin(table, {0, false, 2, false}, true), (ShownLineOrigin{0, false, 2, false}));
    EXPECT_EQ(OriginLines::OriginalLineOf(table, -1), 0);
}

TEST(OriginLines, OwnLineOfOriginalFindsTheLineOrTheNextOrTheLast)
{
    const OutputLineNumbers table = Table({0, 5, 9, 0, 14, 0});
    EXPECT_EQ(OriginLines::OwnLineOfOriginal(table, 9), 3);  // exact
    EXPECT_EQ(OriginLines::OwnLineOfOriginal(table, 10), 5); // the next, over a marker
    EXPECT_EQ(OriginLines::OwnLineOfOriginal(table, 1), 2);  // before the first
    EXPECT_EQ(OriginLines::OwnLineOfOriginal(table, 99), 5); // past the last numbered line
    EXPECT_EQ(OriginLines::OwnLineOfOriginal(Table({0, 0}), 3), 0);
    EXPECT_EQ(OriginLines::OwnLineOfOriginal(OutputLineNumbers(), 3), 0);
}
