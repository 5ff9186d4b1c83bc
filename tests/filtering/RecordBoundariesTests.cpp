// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>

#include <gtest/gtest.h>

#include "filtering/RecordBoundaries.h"
#include "time/TimeLayoutDetector.h"

namespace {

std::string TimedLines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "Dec  1 10:00:0" + std::to_string(i % 10) + " host app: line\n";
    return text;
}

} // namespace

// The layout waits for a full sample of whole lines unless the start read so far is all there
// is, or is long enough; once known it stays until forgotten.
TEST(RecordBoundariesTest, DetectsTheLayoutFromAFullSample)
{
    const int sample = TimeLayoutDetector::SampleLines;
    RecordBoundaries boundaries{TimeContext()};
    EXPECT_FALSE(boundaries.DetectLayout(TimedLines(sample - 1), false));
    // A last line without its line feed may be cut off by the read: it is not sampled yet.
    EXPECT_FALSE(boundaries.DetectLayout(TimedLines(sample - 1) + "Dec  1 10:00:00 cut", false));
    EXPECT_FALSE(boundaries.IsLayoutKnown());
    EXPECT_TRUE(boundaries.DetectLayout(TimedLines(sample), false));
    EXPECT_EQ(boundaries.GetLayout(), TimeLayout::Syslog);
    EXPECT_TRUE(boundaries.SawLines());
    EXPECT_TRUE(boundaries.DetectLayout("no time here\n", true)); // known already: unchanged
    EXPECT_EQ(boundaries.GetLayout(), TimeLayout::Syslog);

    boundaries.Forget();
    EXPECT_FALSE(boundaries.IsLayoutKnown());
    EXPECT_TRUE(boundaries.DetectLayout("Dec  1 10:00:00 only", true));
    EXPECT_EQ(boundaries.GetLayout(), TimeLayout::Syslog);

    RecordBoundaries blank{TimeContext()};
    EXPECT_FALSE(blank.DetectLayout(std::string(1000, '\n'), false));
    EXPECT_TRUE(blank.DetectLayout(std::string(2 * 1024 * 1024, '\n'), false)); // blank lines only, and many
    EXPECT_EQ(blank.GetLayout(), TimeLayout::None);
    EXPECT_FALSE(blank.SawLines());
}

// The file's first line always begins a record; then a line with a time does, its line end
// (LF or CR LF) aside; without a layout every line does.
TEST(RecordBoundariesTest, TellsWhichLinesBeginRecords)
{
    RecordBoundaries boundaries{TimeContext()};
    ASSERT_TRUE(boundaries.DetectLayout("2026-12-01T10:00:00Z start\n", true));
    EXPECT_TRUE(boundaries.StartsRecord("\tat first\n", true));
    EXPECT_FALSE(boundaries.StartsRecord("\tat frame\n", false));
    EXPECT_FALSE(boundaries.StartsRecord("\n", false));
    EXPECT_FALSE(boundaries.StartsRecord("Dec  1 10:00:00 another layout\n", false));
    EXPECT_TRUE(boundaries.StartsRecord("2026-12-01 10:00:01\r\n", false));
    EXPECT_TRUE(boundaries.StartsRecord("2026-12-01 10:00:01", false));
    EXPECT_TRUE(boundaries.StartsRecord("WARN 2026-12-01 10:00:01 prefixed\n", false));

    RecordBoundaries none{TimeContext()};
    ASSERT_TRUE(none.DetectLayout("plain\ntext\n", true));
    EXPECT_EQ(none.GetLayout(), TimeLayout::None);
    EXPECT_TRUE(none.SawLines());
    EXPECT_TRUE(none.StartsRecord("\tat frame\n", false));
}
