// SPDX-License-Identifier: GPL-3.0-or-later
// The texts a document shows, without a window: their lines' bytes by range, where each line
// comes from, appended output, output spilled to a file, and Go To in each numbering.
#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/FileLineIndex.h"
#include "filtering/OutputLine.h"
#include "logtext/FilterOutputText.h"
#include "logtext/FollowedFileText.h"
#include "logtext/PagedFileText.h"
#include "logtext/StringTextLines.h"
#include "logtext/WholeFileText.h"
#include "support/TempDir.h"
#include "support/TextLines.h"

namespace {

// Lines of every sort a log has: empty, CR LF, long (past one read block), with or without a
// line feed at the end of the text.
std::string RandomText(std::mt19937& random)
{
    std::string text;
    const int lines = static_cast<int>(random() % 400);
    for (int i = 0; i < lines; ++i) {
        const unsigned kind = random() % 60;
        const std::size_t length = kind == 0 ? 70000 + random() % 70000 : random() % 90;
        for (std::size_t c = 0; c < length; ++c)
            text += static_cast<char>('a' + random() % 26);
        text += kind == 1 ? "\r\n" : "\n";
    }
    if (random() % 2)
        text += "tail without a line feed";
    return text;
}

// The lines by a plain split: each with its line feed; one more line than line feeds.
std::string Join(const std::vector<std::string>& lines, std::int64_t first, std::int64_t count)
{
    std::string joined;
    for (std::int64_t i = std::max<std::int64_t>(0, first);
         i < std::min<std::int64_t>(first + count, static_cast<std::int64_t>(lines.size())); ++i)
        joined += lines[static_cast<std::size_t>(i)];
    return joined;
}

void WaitForIndex(const FileLineIndex& index)
{
    while (!index.IsComplete())
        std::this_thread::yield();
}

std::string Read(const ShownText& text, std::int64_t first, std::int64_t count)
{
    std::string bytes;
    std::string error;
    EXPECT_TRUE(text.ReadLines(first, count, bytes, error)) << error;
    return bytes;
}

OutputBatch MakeBatch(const std::vector<std::int64_t>& fileLines, const std::vector<std::string>& source)
{
    OutputBatch batch;
    for (std::size_t i = 0; i < fileLines.size(); ++i) {
        const std::int64_t line = fileLines[i];
        const std::string text =
            line > 0 ? source[static_cast<std::size_t>(line - 1)] : std::string("<<< marker >>>\n");
        batch.Append(line, text, i % 3 == 1, line > 0 ? static_cast<int>(i % 4) : -1);
    }
    return batch;
}

} // namespace

TEST(ShownTextTest, RangesOfLinesMatchAPlainSplitInMemoryAndThroughTheFileIndex)
{
    std::mt19937 random(23);
    TempDir folder;
    for (int round = 0; round < 40; ++round) {
        const std::string text = RandomText(random);
        const std::vector<std::string> lines = SplitKeepingLineEnds(text);
        const std::string path = folder.Write("log-" + std::to_string(round) + ".log", text);
        FileLineIndex index(path, 4096);
        int error = 0;
        ASSERT_TRUE(index.Start(error));
        WaitForIndex(index);

        StringTextLines inMemory(text);
        const WholeFileText whole(inMemory);
        const PagedFileText paged(index);
        const auto count = static_cast<std::int64_t>(lines.size());
        ASSERT_EQ(whole.GetLineCount(), count);
        ASSERT_EQ(paged.GetLineCount(), count);
        for (int probe = 0; probe < 30; ++probe) {
            // Ranges that start and end anywhere, also past the end and at a stride's edge.
            std::int64_t first = static_cast<std::int64_t>(random() % (count + 3)) - 1;
            if (probe % 5 == 0)
                first = FileLineIndex::Stride * static_cast<std::int64_t>(random() % 4);
            const std::int64_t length = static_cast<std::int64_t>(random() % 150);
            const std::string expected = Join(lines, first, length);
            EXPECT_EQ(Read(whole, first, length), expected) << "round " << round << " first " << first;
            EXPECT_EQ(Read(paged, first, length), expected) << "round " << round << " first " << first;
        }
        EXPECT_EQ(Read(paged, 0, count), text);
    }
}

TEST(ShownTextTest, WholeAndPagedFilesAreNumberedByPlace)
{
    StringTextLines lines("one\ntwo\nthree\n");
    const WholeFileText whole(lines);
    EXPECT_TRUE(whole.IsNumberedByPlace());
    EXPECT_EQ(whole.GetLastNumber(), 4); // the empty line after the last line feed
    EXPECT_EQ(whole.OriginOf(1), (ShownLineOrigin{2, false, -1}));
    EXPECT_EQ(whole.OriginOf(4).FileLine, 0);
    EXPECT_EQ(whole.OriginOf(-1).FileLine, 0);
    EXPECT_EQ(whole.PlaceNumberOf(2), 3);

    const NumberedLineFound inside = whole.FindNumber(3);
    EXPECT_EQ(inside.Line, 2);
    EXPECT_EQ(inside.How, NumberedLineFound::Reach::Exact);
    const NumberedLineFound past = whole.FindNumber(99);
    EXPECT_EQ(past.Line, 3);
    EXPECT_EQ(past.Number, 4);
    EXPECT_EQ(past.How, NumberedLineFound::Reach::PastEnd);
    EXPECT_FALSE(past.ByFileLine);
    EXPECT_EQ(whole.FindNumber(-5).Line, 0);
}

TEST(ShownTextTest, FollowedFileCountsAgainAfterEachRestart)
{
    // Two lines, a marker, three lines of the file started anew, a marker, one line.
    StringTextLines lines("a\nb\n<<< restarted >>>\nc\nd\ne\n<<< replaced >>>\nf\n");
    FollowedFileText followed(lines);
    EXPECT_TRUE(followed.IsNumberedByPlace());
    followed.AddRestart(2);
    followed.AddRestart(6);
    EXPECT_FALSE(followed.IsNumberedByPlace());
    const std::vector<std::int64_t> expected{1, 2, 0, 1, 2, 3, 0, 1, 2};
    for (std::size_t line = 0; line < expected.size(); ++line) {
        EXPECT_EQ(followed.OriginOf(static_cast<std::int64_t>(line)).FileLine, expected[line]) << line;
        EXPECT_EQ(followed.PlaceNumberOf(static_cast<std::int64_t>(line)), expected[line]) << line;
    }
    EXPECT_TRUE(followed.TakesFollowedBytes());
    followed.ClearRestarts();
    EXPECT_EQ(followed.OriginOf(7).FileLine, 8);
}

TEST(ShownTextTest, FilterOutputKeepsFileLinesAcrossBatchesAndTheSpill)
{
    std::mt19937 random(5);
    TempDir folder;
    std::vector<std::string> source;
    for (int i = 0; i < 5000; ++i)
        source.push_back("line " + std::to_string(i + 1) + (i % 9 == 0 ? "\r\n" : "\n"));

    for (int round = 0; round < 20; ++round) {
        // Rising kept lines with a marker now and then, appended in batches of any size.
        std::vector<std::int64_t> kept;
        for (std::int64_t line = 1 + static_cast<std::int64_t>(random() % 5); line <= 5000;
             line += 1 + static_cast<std::int64_t>(random() % 40)) {
            kept.push_back(line);
            if (random() % 50 == 0)
                kept.push_back(0);
        }
        StringTextLines editor;
        FilterOutputText output(editor);
        std::string shown;
        std::vector<std::int64_t> numbers;
        std::size_t at = 0;
        const std::size_t spillAt = kept.size() / 2;
        std::unique_ptr<FileLineIndex> spillIndex;
        std::unique_ptr<PagedFileText> spill;
        std::string spillPath;
        while (at < kept.size()) {
            const std::size_t size = std::min(kept.size() - at, 1 + static_cast<std::size_t>(random() % 60));
            const std::vector<std::int64_t> part(kept.begin() + static_cast<std::ptrdiff_t>(at),
                                                 kept.begin() + static_cast<std::ptrdiff_t>(at + size));
            const OutputBatch batch = MakeBatch(part, source);
            shown += batch.Text;
            numbers.insert(numbers.end(), part.begin(), part.end());
            output.Append(batch.Lines);
            at += size;
            if (spill) {
                // Later batches go to the end of the spill file, and its index reads on.
                std::ofstream(spillPath, std::ios::binary | std::ios::app) << batch.Text;
                spillIndex->Extend();
                WaitForIndex(*spillIndex);
            } else {
                editor.Append(batch.Text);
                if (at >= spillAt) {
                    // The output outgrew the editor: from now on its lines are read from a file.
                    spillPath = folder.Write("spill-" + std::to_string(round) + ".log", shown);
                    spillIndex = std::make_unique<FileLineIndex>(spillPath, 4096);
                    int error = 0;
                    ASSERT_TRUE(spillIndex->Start(error));
                    WaitForIndex(*spillIndex);
                    spill = std::make_unique<PagedFileText>(*spillIndex);
                    output.ReadFrom(spill->Lines(), true);
                    EXPECT_FALSE(output.IsEditable());
                }
            }
        }
        ASSERT_TRUE(output.ReadsFrom(spill->Lines()));
        ASSERT_EQ(output.Numbers().Size(), numbers.size());
        const std::vector<std::string> shownLines = SplitKeepingLineEnds(shown);
        for (int probe = 0; probe < 40; ++probe) {
            const auto line = static_cast<std::int64_t>(random() % numbers.size());
            const ShownLineOrigin origin = output.OriginOf(line);
            EXPECT_EQ(origin.FileLine, numbers[static_cast<std::size_t>(line)]);
            EXPECT_EQ(Read(output, line, 3), Join(shownLines, line, 3)) << "round " << round << " line " << line;
        }
        EXPECT_EQ(Read(output, 0, output.GetLineCount()), shown);
        EXPECT_EQ(output.OriginOf(static_cast<std::int64_t>(numbers.size())).FileLine, 0);
    }
}

TEST(ShownTextTest, GoToInFilterOutputTakesFileLines)
{
    std::vector<std::string> source;
    for (int i = 0; i < 100; ++i)
        source.push_back("l" + std::to_string(i + 1) + "\n");
    StringTextLines editor;
    FilterOutputText output(editor);
    // Nothing kept yet: numbered by place, as any text.
    EXPECT_FALSE(output.FindNumber(3).ByFileLine);

    const OutputBatch batch = MakeBatch({5, 9, 0, 40, 41, 0}, source);
    editor.Append(batch.Text);
    output.Append(batch.Lines);
    EXPECT_EQ(output.GetLastNumber(), 41);
    EXPECT_FALSE(output.IsNumberedByPlace());
    EXPECT_TRUE(output.IsFilterOutput());
    EXPECT_FALSE(output.TakesFollowedBytes());

    struct Case
    {
        std::int64_t Number;
        std::int64_t Line;
        std::int64_t Reached;
        NumberedLineFound::Reach How;
    };
    const Case cases[] = {
        {1, 0, 5, NumberedLineFound::Reach::Next},    {5, 0, 5, NumberedLineFound::Reach::Exact},
        {9, 1, 9, NumberedLineFound::Reach::Exact},   {10, 3, 40, NumberedLineFound::Reach::Next},
        {41, 4, 41, NumberedLineFound::Reach::Exact}, {42, 4, 41, NumberedLineFound::Reach::PastEnd},
    };
    for (const Case& c : cases) {
        const NumberedLineFound found = output.FindNumber(c.Number);
        EXPECT_TRUE(found.ByFileLine);
        EXPECT_EQ(found.Line, c.Line) << c.Number;
        EXPECT_EQ(found.Number, c.Reached) << c.Number;
        EXPECT_EQ(found.How, c.How) << c.Number;
    }
    EXPECT_EQ(output.OriginOf(1), (ShownLineOrigin{9, true, 1}));

    // Handed over to the toggle and back: the same numbers.
    OutputLineNumbers taken = output.TakeNumbers();
    EXPECT_TRUE(output.Numbers().Empty());
    output.SetNumbers(std::move(taken));
    EXPECT_EQ(output.OriginOf(3).FileLine, 40);
}
