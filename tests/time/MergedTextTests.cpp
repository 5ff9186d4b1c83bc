// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "logtext/IndexedTextLines.h"
#include "logtext/MergedShownText.h"
#include "support/TempDir.h"
#include "time/MergedText.h"

namespace {

// One line of a log as the tests write it, and where the merge must put it.
struct LogLine
{
    std::int64_t Seconds = 0; // the time it is merged by (a line without one: the time above)
    int Input = 0;
    std::int64_t Line = 0; // 0-based, in its own log
    std::string Text;      // with its line end, as the merge gives it
};

std::string IsoStamp(std::int64_t seconds)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "2026-12-01T%02d:%02d:%02dZ ", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return stamp;
}

bool HasGzip()
{
    return std::system("command -v gzip > /dev/null") == 0;
}

// A log of random lines whose times never go backwards, with runs of equal times, lines without
// a time of their own and CR LF ends; the last line now and then without a line end, for which
// the merge adds a line feed.
std::vector<LogLine> RandomLog(std::mt19937& random, int input, int lines, std::string& bytes)
{
    std::vector<LogLine> log;
    std::int64_t seconds = random() % 30;
    for (int n = 0; n < lines; ++n) {
        const std::string end = random() % 4 == 0 ? "\r\n" : "\n";
        std::string text;
        if (n > 0 && random() % 5 == 0) {
            text = "    continued " + std::to_string(n) + end;
        } else {
            seconds += random() % 3 == 0 ? 1 : 0;
            text = IsoStamp(seconds) + "log " + std::to_string(input) + " line " + std::to_string(n) +
                   std::string(random() % 40, 'x') + end;
        }
        log.push_back({seconds, input, n, text});
    }
    bytes.clear();
    for (const LogLine& line : log)
        bytes += line.Text;
    if (random() % 2 == 0) {
        bytes.pop_back(); // no line feed at the end
        if (bytes.back() == '\r')
            bytes.pop_back();
        log.back().Text = log.back().Text.substr(0, log.back().Text.find_first_of("\r\n")) + "\n";
    }
    return log;
}

// What a merge of logs whose times never go backwards is: a stable sort by time of the logs one
// after the other.
std::vector<LogLine> StableSortByTime(const std::vector<std::vector<LogLine>>& logs)
{
    std::vector<LogLine> all;
    for (const auto& log : logs)
        all.insert(all.end(), log.begin(), log.end());
    std::stable_sort(all.begin(), all.end(), [](const LogLine& a, const LogLine& b) { return a.Seconds < b.Seconds; });
    return all;
}

std::string Joined(const std::vector<LogLine>& lines, std::size_t first, std::size_t end)
{
    std::string text;
    for (std::size_t i = first; i < std::min(end, lines.size()); ++i)
        text += lines[i].Text;
    return text;
}

std::shared_ptr<MergedText> StartMerge(const std::vector<std::string>& paths)
{
    auto merged = std::make_shared<MergedText>(paths);
    std::string message;
    EXPECT_TRUE(merged->Open(message)) << message;
    int error = 0;
    EXPECT_TRUE(merged->Start(error));
    return merged;
}

void WaitUntilComplete(const MergedText& merged)
{
    while (!merged.IsComplete())
        std::this_thread::yield();
}

} // namespace

// Random logs, one of them packed with gzip in two members: while the merge is built, every
// range of the lines merged so far reads as the stable sort by time of the logs has it; once
// complete, the whole text, ranges read at any offset, and each line's log and line there too.
TEST(MergedTextTest, ReadsAsAStableSortByTimeWhileAndAfterItIsBuilt)
{
    const bool gzip = HasGzip();
    std::mt19937 random(4711);
    for (int round = 0; round < 4; ++round) {
        TempDir dir;
        const int count = 2 + round % 3;
        std::vector<std::vector<LogLine>> logs;
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            std::string bytes;
            logs.push_back(RandomLog(random, i, 2000 + static_cast<int>(random() % 6000), bytes));
            const std::string path = dir.Write("log" + std::to_string(i), bytes);
            if (gzip && i == 1) {
                const std::size_t half = bytes.size() / 2;
                const std::string first = dir.Write("first", bytes.substr(0, half));
                const std::string second = dir.Write("second", bytes.substr(half));
                const std::string packed = path + ".gz";
                ASSERT_EQ(std::system(std::string{"gzip -c '"}
                                          .append(first)
                                          .append("' > '")
                                          .append(packed)
                                          .append("' && gzip -c '")
                                          .append(second)
                                          .append("' >> '")
                                          .append(packed)
                                          .append("'")
                                          .c_str()),
                          0);
                paths.push_back(packed);
            } else {
                paths.push_back(path);
            }
        }
        const std::vector<LogLine> expected = StableSortByTime(logs);
        const std::shared_ptr<MergedText> merged = StartMerge(paths);
        const IndexedTextLines lines(*merged);
        bool complete = false;
        do {
            complete = merged->IsComplete();
            // Lines merged so far: the last counted one is the empty one after the last line feed.
            const std::int64_t known = lines.GetLineCount() - 1;
            ASSERT_LE(known, static_cast<std::int64_t>(expected.size()));
            for (int probe = 0; probe < 3 && known > 0; ++probe) {
                const std::int64_t first = static_cast<std::int64_t>(random() % static_cast<unsigned>(known));
                const std::int64_t take = std::min(known - first, 1 + static_cast<std::int64_t>(random() % 300));
                std::string bytes;
                std::string error;
                ASSERT_TRUE(lines.ReadLines(first, take, bytes, error)) << error;
                ASSERT_EQ(bytes,
                          Joined(expected, static_cast<std::size_t>(first), static_cast<std::size_t>(first + take)))
                    << "round " << round << " lines " << first << "+" << take;
            }
        } while (!complete);

        const std::string whole = Joined(expected, 0, expected.size());
        ASSERT_EQ(merged->GetLineCount(), static_cast<std::int64_t>(expected.size()) + 1);
        ASSERT_EQ(merged->GetSize(), whole.size());
        std::string bytes;
        std::string error;
        ASSERT_TRUE(lines.ReadLines(0, merged->GetLineCount(), bytes, error)) << error;
        ASSERT_EQ(bytes, whole) << "round " << round;
        for (int probe = 0; probe < 200; ++probe) {
            const std::uint64_t offset = random() % whole.size();
            std::string range(1 + random() % 9000, '\0');
            int readError = 0;
            const std::int64_t got = merged->ReadRange(offset, range.data(), range.size(), readError);
            ASSERT_EQ(range.substr(0, static_cast<std::size_t>(got)), whole.substr(offset, range.size()))
                << "round " << round << " offset " << offset;
            const IndexedText::Checkpoint at = merged->LocateOffset(offset);
            ASSERT_LE(at.Offset, offset);
            ASSERT_EQ(at.Offset, Joined(expected, 0, static_cast<std::size_t>(at.Line)).size());
        }
        const MergedShownText shown(merged);
        for (int probe = 0; probe < 200; ++probe) {
            const std::size_t line = random() % expected.size();
            ASSERT_EQ(merged->SourceOfLine(static_cast<std::int64_t>(line)),
                      (MergedText::SourceLine{expected[line].Input, expected[line].Line}))
                << "round " << round << " line " << line;
            ASSERT_EQ(shown.OriginOf(static_cast<std::int64_t>(line)).FileLine, expected[line].Line + 1);
            ASSERT_EQ(shown.OriginOf(static_cast<std::int64_t>(line)).Source, expected[line].Input);
            const std::string name = shown.FileNameOf(static_cast<std::int64_t>(line));
            ASSERT_EQ(name,
                      paths[static_cast<std::size_t>(expected[line].Input)].substr(dir.Path().string().size() + 1));
        }
        ASSERT_EQ(merged->SourceOfLine(static_cast<std::int64_t>(expected.size())).Input, -1);
    }
}

// A log of a time per line merged with itself: each line twice in a row, the first of the pair
// from the log given first, also where a block of the merge ends between the two.
TEST(MergedTextTest, MergesALogWithItselfStably)
{
    TempDir dir;
    std::string bytes;
    for (int n = 0; n < 5000; ++n)
        bytes += IsoStamp(n) + "line " + std::to_string(n) + "\n";
    const std::string path = dir.Write("a.log", bytes);
    const std::shared_ptr<MergedText> merged = StartMerge({path, path});
    WaitUntilComplete(*merged);
    ASSERT_EQ(merged->GetLineCount(), 10001);
    const IndexedTextLines lines(*merged);
    for (const std::int64_t line : {0, 1, 2, 4094, 4095, 4096, 4097, 9998}) {
        std::string twice;
        std::string error;
        ASSERT_TRUE(lines.ReadLines(line / 2 * 2, 2, twice, error)) << error;
        const std::string one = IsoStamp(line / 2) + "line " + std::to_string(line / 2) + "\n";
        EXPECT_EQ(twice, one + one) << line;
        EXPECT_EQ(merged->SourceOfLine(line), (MergedText::SourceLine{static_cast<int>(line % 2), line / 2})) << line;
    }
}

// A log without times, or one that cannot be read, keeps the merge from opening, and the message
// names it; so do more logs than a line's byte can tell apart.
TEST(MergedTextTest, RefusesLogsItCannotMergeNamingThem)
{
    TempDir dir;
    const std::string timed = dir.Write("timed.log", IsoStamp(1) + "one\n" + IsoStamp(2) + "two\n");
    const std::string untimed = dir.Write("plain.txt", "no time here\nnor here\n");
    std::string message;
    MergedText withUntimed({timed, untimed});
    EXPECT_FALSE(withUntimed.Open(message));
    EXPECT_NE(message.find(untimed), std::string::npos) << message;
    EXPECT_NE(message.find("No times"), std::string::npos) << message;
    int error = 0;
    EXPECT_FALSE(withUntimed.Start(error));

    const std::string missing = (dir.Path() / "missing.log").string();
    MergedText withMissing({missing, timed});
    EXPECT_FALSE(withMissing.Open(message));
    EXPECT_NE(message.find(missing), std::string::npos) << message;

    MergedText tooMany(std::vector<std::string>(MergedText::MaxInputs + 1, timed));
    EXPECT_FALSE(tooMany.Open(message));
    EXPECT_NE(message.find("Too many"), std::string::npos) << message;
}
