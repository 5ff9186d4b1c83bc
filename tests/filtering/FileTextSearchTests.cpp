// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/FileLineIndex.h"
#include "filtering/FileTextSearch.h"
#include "filtering/OutputLineNumbers.h"
#include "support/TempDir.h"

namespace {

bool IsWordByte(unsigned char c)
{
    return c >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int ClassOf(unsigned char c)
{
    if (c == '\r' || c == '\n')
        return 1;
    if (c <= ' ')
        return 0;
    return IsWordByte(c) ? 2 : 3;
}

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Every start of the pattern the way the editor's search would take it, one at a time.
std::vector<std::uint64_t> Occurrences(const std::string& text, const std::string& pattern, bool matchCase,
                                       bool wholeWord)
{
    std::vector<std::uint64_t> starts;
    for (std::size_t at = 0; at + pattern.size() <= text.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; i < pattern.size() && same; ++i)
            same = matchCase ? text[at + i] == pattern[i] : Fold(text[at + i]) == Fold(pattern[i]);
        if (!same)
            continue;
        if (wholeWord) {
            const std::size_t end = at + pattern.size();
            const int first = ClassOf(static_cast<unsigned char>(text[at]));
            const int last = ClassOf(static_cast<unsigned char>(text[end - 1]));
            const bool startOk = first >= 2 && (at == 0 || ClassOf(static_cast<unsigned char>(text[at - 1])) != first);
            const bool endOk =
                last >= 2 && (end == text.size() || ClassOf(static_cast<unsigned char>(text[end])) != last);
            if (!startOk || !endOk)
                continue;
        }
        starts.push_back(at);
    }
    return starts;
}

class OpenFile
{
public:
    explicit OpenFile(const std::string& path) : m_nFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() { ::close(m_nFd); }
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};

} // namespace

// Random texts of a small alphabet, so that near misses, folded letters, word borders and block
// borders all come up; both directions from every kind of start, against a byte-by-byte search.
TEST(FileTextSearchTest, FindsWhatAByteByByteSearchFinds)
{
    TempDir dir;
    std::mt19937 random(1234);
    const std::string alphabet = "aAbB_ .-\n\r\x80\xC3\xA9";
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 400, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        std::string pattern(1 + random() % 4, ' ');
        for (char& c : pattern)
            c = alphabet[random() % 6];
        const bool matchCase = random() % 2 == 0;
        const bool wholeWord = random() % 2 == 0;
        const std::string path = dir.Write("log", text);
        OpenFile file(path);
        FileTextSearch search(pattern, matchCase, wholeWord);
        search.SetBlockSize(1 + random() % 40);
        const std::vector<std::uint64_t> expected = Occurrences(text, pattern, matchCase, wholeWord);
        const std::string name = "round " + std::to_string(round) + " pattern '" + pattern + "'";
        for (std::uint64_t from = 0; from <= text.size(); from += 1 + random() % 7) {
            const auto next = std::lower_bound(expected.begin(), expected.end(), from);
            const std::uint64_t wanted = next == expected.end() ? FileTextSearch::NotFound : *next;
            EXPECT_EQ(search.FindForward(file.Get(), from, {}).Offset, wanted) << name << " down from " << from;
            const auto previous = std::lower_bound(expected.begin(), expected.end(), from);
            const std::uint64_t wantedUp = previous == expected.begin() ? FileTextSearch::NotFound : *(previous - 1);
            EXPECT_EQ(search.FindBackward(file.Get(), from, {}).Offset, wantedUp) << name << " up before " << from;
        }
    }
}

TEST(FileTextSearchTest, StopsWhenAskedAndCountsWhatItSearched)
{
    TempDir dir;
    const std::string path = dir.Write("log", std::string(1 << 20, 'x') + "needle");
    OpenFile file(path);
    FileTextSearch search("needle", true, false);
    search.SetBlockSize(4096);
    std::atomic<std::uint64_t> searched{0};
    auto result = search.FindForward(file.Get(), 0, {}, &searched);
    EXPECT_EQ(result.Offset, 1u << 20);
    EXPECT_GE(searched.load(), (1u << 20) - 4096);
    std::stop_source stop;
    stop.request_stop();
    result = search.FindForward(file.Get(), 0, stop.get_token());
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(result.Offset, FileTextSearch::NotFound);
    result = search.FindBackward(file.Get(), 1u << 21, stop.get_token());
    EXPECT_TRUE(result.Stopped);
}

// The index: every Stride-th line start, located by line and by offset, for files of every shape.
TEST(FileLineIndexTest, LocatesLinesAndOffsets)
{
    TempDir dir;
    std::mt19937 random(99);
    for (int round = 0; round < 30; ++round) {
        std::string text;
        const int lines = static_cast<int>(random() % 1000);
        std::vector<std::uint64_t> starts = {0};
        for (int i = 0; i < lines; ++i) {
            text += std::string(random() % 50, 'a') + (random() % 3 == 0 ? "\r\n" : "\n");
            starts.push_back(text.size());
        }
        if (random() % 2)
            text += "tail";
        const std::string path = dir.Write("log" + std::to_string(round), text);
        FileLineIndex index(path);
        int error = 0;
        ASSERT_TRUE(index.Start(error)) << error;
        while (!index.IsComplete())
            std::this_thread::yield();
        EXPECT_EQ(index.GetLineCount(), static_cast<std::int64_t>(starts.size())) << round;
        EXPECT_EQ(index.GetIndexedBytes(), text.size());
        for (std::int64_t line = 0; line < static_cast<std::int64_t>(starts.size()); ++line) {
            const FileLineIndex::Checkpoint known = index.Locate(line);
            EXPECT_EQ(known.Line, line / FileLineIndex::Stride * FileLineIndex::Stride);
            EXPECT_EQ(known.Offset, starts[static_cast<std::size_t>(known.Line)]);
            const FileLineIndex::Checkpoint byOffset = index.LocateOffset(starts[static_cast<std::size_t>(line)]);
            EXPECT_EQ(byOffset.Line, known.Line);
        }
    }
    FileLineIndex folder(dir.Path().string());
    int error = 0;
    EXPECT_FALSE(folder.Start(error));
    EXPECT_EQ(error, EISDIR);
}

// Read in parts on two threads, the index is the one a single pass builds: for text with CR LF
// and without a final line feed, empty files, files of line feeds only, and parts whose edges
// fall on line feeds, just before and just after them.
TEST(FileLineIndexTest, ReadInPartsEqualsOnePass)
{
    TempDir dir;
    std::mt19937 random(2026);
    std::vector<std::string> texts = {"", "\n", "\n\n\n", std::string(300, '\n'), "no line feed at all"};
    for (int round = 0; round < 12; ++round) {
        std::string text;
        const int lines = static_cast<int>(random() % 400);
        for (int i = 0; i < lines; ++i)
            text += std::string(random() % 20, 'x') + (random() % 3 == 0 ? "\r\n" : "\n");
        if (random() % 2)
            text += "tail";
        texts.push_back(text);
    }
    // Lines of 8 bytes: parts of 8, 16 or 64 end right on a line feed, of 7 and 9 beside one.
    std::string even;
    for (int i = 0; i < 500; ++i)
        even += "line" + std::to_string(100 + i % 900).substr(0, 3) + "\n";
    texts.push_back(even);
    for (std::size_t t = 0; t < texts.size(); ++t) {
        const std::string& text = texts[t];
        std::vector<std::uint64_t> starts = {0};
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n')
                starts.push_back(i + 1);
        const std::string path = dir.Write("parts" + std::to_string(t), text);
        for (const std::size_t partSize : {std::size_t{1}, std::size_t{7}, std::size_t{8}, std::size_t{9},
                                           std::size_t{16}, std::size_t{64}, std::size_t{1000}}) {
            FileLineIndex index(path, partSize);
            int error = 0;
            ASSERT_TRUE(index.Start(error)) << error;
            while (!index.IsComplete())
                std::this_thread::yield();
            ASSERT_EQ(index.GetLineCount(), static_cast<std::int64_t>(starts.size())) << t << " " << partSize;
            ASSERT_EQ(index.GetIndexedBytes(), text.size());
            for (std::int64_t line = 0; line < static_cast<std::int64_t>(starts.size()); ++line) {
                const FileLineIndex::Checkpoint known = index.Locate(line);
                ASSERT_EQ(known.Line, line / FileLineIndex::Stride * FileLineIndex::Stride) << t << " " << partSize;
                ASSERT_EQ(known.Offset, starts[static_cast<std::size_t>(known.Line)]) << t << " " << partSize;
            }
        }
    }
}

// A file cut short after it was indexed: Extend finds it shorter and counts what is left, cut at
// a line start, inside a line, at a checkpoint, before the first one and to nothing; and a file
// that grows again afterwards is counted on from there.
TEST(FileLineIndexTest, TakesAFileThatGotShorterAsItNowIs)
{
    TempDir dir;
    std::string text;
    std::vector<std::uint64_t> starts = {0};
    for (int i = 0; i < 1000; ++i) {
        text += "line " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 13), 'x') + '\n';
        starts.push_back(text.size());
    }
    const auto waitForIndex = [](const FileLineIndex& index) {
        while (!index.IsComplete())
            std::this_thread::yield();
    };
    const std::size_t checkpoint = starts[FileLineIndex::Stride * 3];
    for (const std::size_t cut : {starts[500], starts[500] + 3, checkpoint, checkpoint - 1, checkpoint + 1,
                                  starts[FileLineIndex::Stride - 1], std::size_t{5}, std::size_t{0}}) {
        const std::string path = dir.Write("log", text);
        FileLineIndex index(path);
        int error = 0;
        ASSERT_TRUE(index.Start(error)) << error;
        waitForIndex(index);
        ASSERT_EQ(index.GetLineCount(), static_cast<std::int64_t>(starts.size()));
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut)), 0);
        index.Extend();
        waitForIndex(index);
        const std::string left = text.substr(0, cut);
        const auto feeds = static_cast<std::int64_t>(std::count(left.begin(), left.end(), '\n'));
        EXPECT_EQ(index.GetLineCount(), feeds + 1) << cut;
        EXPECT_EQ(index.GetIndexedBytes(), cut);
        EXPECT_EQ(index.GetStartSize(), cut);
        const FileLineIndex::Checkpoint last = index.Locate(feeds + 1000);
        EXPECT_EQ(last.Line, feeds / FileLineIndex::Stride * FileLineIndex::Stride) << cut;
        EXPECT_EQ(last.Offset, starts[static_cast<std::size_t>(last.Line)]) << cut;
        EXPECT_EQ(index.LocateOffset(text.size()).Offset, last.Offset) << cut;

        // Written on after the cut: counted from where the index stands.
        const std::string more = "again\nand again\n";
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, more.data(), more.size()), static_cast<ssize_t>(more.size()));
        ::close(fd);
        index.Extend();
        waitForIndex(index);
        EXPECT_EQ(index.GetLineCount(), feeds + 3) << cut;
        EXPECT_EQ(index.GetIndexedBytes(), cut + more.size());
    }
}

// Numbers in file order with context flags, the cancel marker's 0 after them and big jumps:
// every one comes back as it went in.
TEST(OutputLineNumbersTest, KeepsEveryNumberAndFlag)
{
    std::mt19937 random(5);
    OutputLineNumbers numbers;
    std::vector<std::pair<std::int64_t, bool>> expected;
    std::int64_t line = 0;
    for (int i = 0; i < 5000; ++i) {
        line += random() % 4 == 0 ? static_cast<std::int64_t>(random()) * 1000 : 1 + random() % 3;
        const bool context = random() % 3 == 0;
        numbers.Append(line, context);
        expected.emplace_back(line, context);
    }
    numbers.Append(0, false);
    expected.emplace_back(0, false);
    ASSERT_EQ(numbers.Size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(numbers.LineNumber(i), expected[i].first) << i;
        ASSERT_EQ(numbers.IsContext(i), expected[i].second) << i;
    }
    EXPECT_EQ(numbers.ToVector().back(), 0);
    OutputLineNumbers moved = std::move(numbers);
    EXPECT_EQ(moved.Size(), expected.size());
    EXPECT_TRUE(numbers.Empty()) << "a list moved from is empty"; // NOLINT(bugprone-use-after-move)
    numbers = std::move(moved);
    EXPECT_EQ(numbers.LineNumber(7), expected[7].first);
    numbers.Clear();
    EXPECT_TRUE(numbers.Empty());
    numbers.Append(7, true);
    EXPECT_EQ(numbers.LineNumber(0), 7);
}
