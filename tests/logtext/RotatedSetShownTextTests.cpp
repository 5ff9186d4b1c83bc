// SPDX-License-Identifier: GPL-3.0-or-later
// A rotated set as the document shows it: each line numbered in its own file, the first line of
// each later file marked, the file's name for the status bar.
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "filtering/RotatedSetText.h"
#include "logtext/RotatedSetShownText.h"
#include "support/TempDir.h"

TEST(RotatedSetShownTextTest, NumbersLinesByTheirOwnFileAndMarksWhereEachFileStarts)
{
    const TempDir dir;
    const std::string older = dir.Write("app.log.1", "a1\na2\na3"); // no final line feed
    const std::string live = dir.Write("app.log", "b1\nb2\n");
    RotatedSetText set({older, live});
    int error = 0;
    ASSERT_TRUE(set.Start(error)) << error;
    while (!set.IsComplete())
        std::this_thread::yield();
    const RotatedSetShownText shown(set);

    ASSERT_EQ(shown.GetLineCount(), 6); // a1 a2 a3 b1 b2 and the empty line after b2's line feed
    std::string bytes;
    std::string problem;
    ASSERT_TRUE(shown.ReadLines(2, 2, bytes, problem)) << problem;
    EXPECT_EQ(bytes, "a3\nb1\n");

    struct Case
    {
        std::int64_t Line;
        std::int64_t FileLine;
        bool StartsFile;
        const char* Name;
    };
    const Case cases[] = {
        {0, 1, false, "app.log.1"}, {2, 3, false, "app.log.1"}, {3, 1, true, "app.log"},
        {4, 2, false, "app.log"},   {5, 3, false, "app.log"},
    };
    for (const Case& c : cases) {
        const ShownLineOrigin origin = shown.OriginOf(c.Line);
        EXPECT_EQ(origin.FileLine, c.FileLine) << "line " << c.Line;
        EXPECT_EQ(origin.StartsFile, c.StartsFile) << "line " << c.Line;
        EXPECT_FALSE(origin.IsContext);
        EXPECT_EQ(shown.FileNameOf(c.Line), c.Name) << "line " << c.Line;
        // The status bar and Go To count places in the whole set.
        EXPECT_EQ(shown.PlaceNumberOf(c.Line), c.Line + 1);
    }
    EXPECT_EQ(shown.OriginOf(-1), ShownLineOrigin());
    EXPECT_FALSE(shown.IsNumberedByPlace());
    EXPECT_FALSE(shown.IsEditable());
    // The live file is a plain one: followed, what is appended to it comes at the set's end.
    EXPECT_TRUE(shown.TakesFollowedBytes());
    EXPECT_EQ(shown.FindNumber(4).Line, 3);
}
