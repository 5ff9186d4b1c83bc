// SPDX-License-Identifier: GPL-3.0-or-later
// The marked lines of a document: toggling, the order they are listed in, and going to the next
// and previous one round the ends, past the lines that are not shown.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "logtext/BookmarkSet.h"

namespace {

using Lines = std::vector<std::int64_t>;

BookmarkSet Marked(const Lines& lines)
{
    BookmarkSet set;
    set.Assign(lines);
    return set;
}

} // namespace

TEST(BookmarkSet, ToggleMarksAndUnmarksAndKeepsOrder)
{
    BookmarkSet set;
    EXPECT_TRUE(set.Empty());
    EXPECT_TRUE(set.Toggle(40));
    EXPECT_TRUE(set.Toggle(3));
    EXPECT_TRUE(set.Toggle(9'000'000'000LL)); // a line past 32 bits
    EXPECT_EQ(set.All(), (Lines{3, 40, 9'000'000'000LL}));
    EXPECT_TRUE(set.Contains(40));
    EXPECT_FALSE(set.Toggle(40));
    EXPECT_FALSE(set.Contains(40));
    EXPECT_EQ(set.All(), (Lines{3, 9'000'000'000LL}));
    // A line of no file (a marker) is never marked.
    EXPECT_FALSE(set.Toggle(0));
    EXPECT_FALSE(set.Toggle(-5));
    EXPECT_EQ(set.Size(), 2u);
    set.Clear();
    EXPECT_TRUE(set.Empty());
}

TEST(BookmarkSet, AssignDropsRepeatsAndLinesOfNoFile)
{
    EXPECT_EQ(Marked({7, 0, 2, 7, -1, 5}).All(), (Lines{2, 5, 7}));
    BookmarkSet set = Marked({1, 2});
    set.Assign({});
    EXPECT_TRUE(set.Empty());
}

TEST(BookmarkSet, NextAndPreviousGoRoundTheEnds)
{
    const BookmarkSet set = Marked({10, 20, 30});
    const auto next = [&set](std::int64_t from) { return set.Next(from); };
    const auto previous = [&set](std::int64_t from) { return set.Previous(from); };

    EXPECT_EQ(next(1)->Line, 10);
    EXPECT_FALSE(next(1)->Wrapped);
    // From a marked line: the one after it, not itself.
    EXPECT_EQ(next(10)->Line, 20);
    EXPECT_EQ(next(25)->Line, 30);
    EXPECT_EQ(next(30)->Line, 10);
    EXPECT_TRUE(next(30)->Wrapped);
    EXPECT_EQ(next(99)->Line, 10);
    EXPECT_TRUE(next(99)->Wrapped);

    EXPECT_EQ(previous(99)->Line, 30);
    EXPECT_FALSE(previous(99)->Wrapped);
    EXPECT_EQ(previous(30)->Line, 20);
    EXPECT_EQ(previous(11)->Line, 10);
    EXPECT_EQ(previous(10)->Line, 30);
    EXPECT_TRUE(previous(10)->Wrapped);
    EXPECT_EQ(previous(1)->Line, 30);
    EXPECT_TRUE(previous(1)->Wrapped);
}

TEST(BookmarkSet, OneMarkComesBackToItselfAndNoneGivesNothing)
{
    const BookmarkSet one = Marked({5});
    EXPECT_EQ(one.Next(5)->Line, 5);
    EXPECT_TRUE(one.Next(5)->Wrapped);
    EXPECT_EQ(one.Previous(5)->Line, 5);
    EXPECT_TRUE(one.Previous(5)->Wrapped);

    const BookmarkSet none;
    EXPECT_FALSE(none.Next(1).has_value());
    EXPECT_FALSE(none.Previous(1).has_value());
}

TEST(BookmarkSet, LinesNotShownAreSkippedBothWays)
{
    const BookmarkSet set = Marked({10, 20, 30, 40});
    // Filter output that kept 10 and 40 only.
    const BookmarkSet::Reachable kept = [](std::int64_t line) { return line == 10 || line == 40; };
    EXPECT_EQ(set.Next(10, kept)->Line, 40);
    EXPECT_FALSE(set.Next(10, kept)->Wrapped);
    EXPECT_EQ(set.Next(40, kept)->Line, 10);
    EXPECT_TRUE(set.Next(40, kept)->Wrapped);
    EXPECT_EQ(set.Previous(40, kept)->Line, 10);
    EXPECT_EQ(set.Previous(35, kept)->Line, 10);
    EXPECT_EQ(set.Previous(10, kept)->Line, 40);
    EXPECT_TRUE(set.Previous(10, kept)->Wrapped);

    const BookmarkSet::Reachable nothing = [](std::int64_t) { return false; };
    EXPECT_FALSE(set.Next(1, nothing).has_value());
    EXPECT_FALSE(set.Previous(50, nothing).has_value());
}
