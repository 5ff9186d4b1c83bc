// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "time/MergedLogReader.h"
#include "time/TimedLogInput.h"

namespace {

// The times of the tests are written in UTC or in no zone, read as UTC.
const TimeContext Utc{2026, 12, 0};
// 2026-12-01T00:00:00Z, the day of the times IsoLine writes.
constexpr std::int64_t DayStart = 1796083200;

// One line of an input as the tests write it: its time in seconds into the day, or none for a line that has
// no time of its own.
struct WrittenLine
{
    std::optional<std::int64_t> Seconds;
    std::string Text; // with its line end
};

struct ExpectedLine
{
    std::int64_t Time = 0;
    std::size_t Input = 0;
    std::int64_t LineNumber = 0;
    std::string Text;

    bool operator==(const ExpectedLine& other) const
    {
        return Time == other.Time && Input == other.Input && LineNumber == other.LineNumber && Text == other.Text;
    }
};

std::ostream& operator<<(std::ostream& out, const ExpectedLine& line)
{
    return out << line.Input << ":" << line.LineNumber << " at " << line.Time << ": " << line.Text;
}

// The lines of each input with the times the merge must give them, the slow way: a line without
// a time takes the time above; lines above the first time take the first time.
std::vector<std::vector<ExpectedLine>> TimedInputs(const std::vector<std::vector<WrittenLine>>& inputs)
{
    std::vector<std::vector<ExpectedLine>> timed;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::int64_t time = 0;
        for (const WrittenLine& line : inputs[i])
            if (line.Seconds) {
                time = *line.Seconds;
                break;
            }
        timed.emplace_back();
        std::int64_t number = 0;
        for (const WrittenLine& line : inputs[i]) {
            time = line.Seconds.value_or(time);
            timed.back().push_back(ExpectedLine{(DayStart + time) * 1000000, i, ++number, line.Text});
        }
    }
    return timed;
}

// A stable sort by time of the inputs one after the other: what a merge of inputs whose times
// never go backwards must give.
std::vector<ExpectedLine> StableSortByTime(const std::vector<std::vector<ExpectedLine>>& inputs)
{
    std::vector<ExpectedLine> all;
    for (const auto& input : inputs)
        all.insert(all.end(), input.begin(), input.end());
    std::stable_sort(all.begin(), all.end(),
                     [](const ExpectedLine& a, const ExpectedLine& b) { return a.Time < b.Time; });
    return all;
}

// The merge the obvious way, for any times: again and again, the earliest of the inputs' next
// lines, of equal times the first input's.
std::vector<ExpectedLine> NaiveMerge(const std::vector<std::vector<ExpectedLine>>& inputs)
{
    std::vector<std::size_t> next(inputs.size(), 0);
    std::vector<ExpectedLine> merged;
    for (;;) {
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < inputs.size(); ++i)
            if (next[i] < inputs[i].size() && (!best || inputs[i][next[i]].Time < inputs[*best][next[*best]].Time))
                best = i;
        if (!best)
            return merged;
        merged.push_back(inputs[*best][next[*best]++]);
    }
}

std::string Joined(const std::vector<WrittenLine>& lines)
{
    std::string text;
    for (const WrittenLine& line : lines)
        text += line.Text;
    return text;
}

std::unique_ptr<TimedLogInput> OpenInput(const std::string& path,
                                         TimedLogInput::OpenResult expected = TimedLogInput::OpenResult::Opened)
{
    auto input = std::make_unique<TimedLogInput>(path, path);
    input->SetContext(Utc);
    EXPECT_EQ(input->Open(), expected) << path;
    return input;
}

std::vector<ExpectedLine> ReadMerge(const std::vector<std::string>& paths)
{
    std::vector<std::unique_ptr<TimedLogInput>> inputs;
    for (const std::string& path : paths)
        inputs.push_back(OpenInput(path));
    MergedLogReader reader(std::move(inputs));
    std::vector<ExpectedLine> merged;
    MergedLogReader::Line line;
    while (reader.Next(line))
        merged.push_back(ExpectedLine{line.Time, line.Input, line.LineNumber, std::string(line.Text)});
    return merged;
}

std::string IsoLine(std::int64_t seconds, const std::string& text)
{
    // Within the day: seconds below 86400.
    const int within = static_cast<int>(seconds % 86400);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "2026-12-01T%02d:%02d:%02dZ", within / 3600, within / 60 % 60, within % 60);
    return std::string(stamp) + " " + text;
}

bool HasGzip()
{
    return std::system("command -v gzip > /dev/null") == 0;
}

} // namespace

// Random inputs with runs of equal times, lines without a time (above the first time too), CR LF
// and LF lines, a last line without a line feed, and one input packed with gzip in two members:
// the merge is the stable sort by time of the inputs one after the other, line numbers and bytes
// included. Where an input's times go backwards the merge is still the obvious one.
TEST(MergedLogReaderTest, MergesAsAStableSortByTime)
{
    const bool gzip = HasGzip();
    std::mt19937 random(2026);
    for (int round = 0; round < 60; ++round) {
        TempDir dir;
        const std::size_t count = 1 + random() % 4;
        const bool backwards = round % 5 == 4;
        std::vector<std::vector<WrittenLine>> written(count);
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < count; ++i) {
            std::int64_t seconds = random() % 20;
            // A header without a time, above the first time, now and then.
            if (random() % 3 == 0)
                written[i].push_back({std::nullopt, "header of " + std::to_string(i) + "\n"});
            const int lines = 1 + static_cast<int>(random() % 400);
            for (int n = 0; n < lines; ++n) {
                const std::string end = random() % 3 == 0 ? "\r\n" : "\n";
                if (n > 0 && random() % 6 == 0) {
                    written[i].push_back({std::nullopt, "    at frame " + std::to_string(n) + end});
                    continue;
                }
                if (backwards && random() % 10 == 0)
                    seconds = std::max<std::int64_t>(0, seconds - static_cast<std::int64_t>(random() % 5));
                else
                    seconds += random() % 3 == 0 ? 1 : 0; // many lines share a time
                written[i].push_back({seconds, IsoLine(seconds, "input " + std::to_string(i)) + end});
            }
            if (random() % 4 == 0)
                written[i].back().Text.erase(written[i].back().Text.find_first_of("\r\n")); // no line end
            const std::string path = dir.Write("log" + std::to_string(i), Joined(written[i]));
            if (gzip && i == 1) {
                // Two members, as `cat a.gz b.gz` makes.
                const std::size_t half = written[i].size() / 2;
                const std::string first =
                    dir.Write("first", Joined({written[i].begin(), written[i].begin() + static_cast<long>(half)}));
                const std::string second =
                    dir.Write("second", Joined({written[i].begin() + static_cast<long>(half), written[i].end()}));
                const std::string packed = path + ".gz";
                ASSERT_EQ(std::system(("gzip -c '" + first + "' > '" + packed + "' && gzip -c '" + second + "' >> '" +
                                       packed + "'")
                                          .c_str()),
                          0);
                paths.push_back(packed);
            } else {
                paths.push_back(path);
            }
        }
        const auto timed = TimedInputs(written);
        const std::vector<ExpectedLine> merged = ReadMerge(paths);
        ASSERT_EQ(merged, NaiveMerge(timed)) << "round " << round;
        if (!backwards) {
            ASSERT_EQ(merged, StableSortByTime(timed)) << "round " << round;
        }
    }
}

// Times that go backwards within a log do not reorder its lines: the late line waits as its
// log's next line, and what it holds back comes after it.
TEST(MergedLogReaderTest, KeepsTheOrderOfALogWhoseTimesGoBackwards)
{
    TempDir dir;
    const std::string a = dir.Write("a", IsoLine(5, "a5\n") + IsoLine(1, "a1\n") + IsoLine(6, "a6\n"));
    const std::string b = dir.Write("b", IsoLine(2, "b2\n") + IsoLine(4, "b4\n") + IsoLine(7, "b7\n"));
    std::string order;
    for (const ExpectedLine& line : ReadMerge({a, b}))
        order += line.Text.substr(21, 2) + " ";
    EXPECT_EQ(order, "b2 b4 a5 a1 a6 b7 ");
}

// Merged with itself a log gives each stretch of equal time twice, first from the first input,
// its lines without a time going with the line above.
TEST(MergedLogReaderTest, MergesALogWithItself)
{
    TempDir dir;
    const std::string log = dir.Write("a", "starts untimed\n" + IsoLine(1, "one\n") + "  more of one\n" +
                                               IsoLine(1, "also one\n") + IsoLine(2, "two"));
    std::vector<std::string> seen;
    for (const ExpectedLine& line : ReadMerge({log, log}))
        seen.push_back(std::to_string(line.Input) + ":" + std::to_string(line.LineNumber));
    EXPECT_EQ(seen, std::vector<std::string>({"0:1", "0:2", "0:3", "0:4", "1:1", "1:2", "1:3", "1:4", "0:5", "1:5"}));
}

// Each log is read in its own layout, and times with zones compare as the instants they are.
TEST(MergedLogReaderTest, MergesLogsOfDifferentLayouts)
{
    TempDir dir;
    const std::int64_t t = DayStart + 21 * 3600; // 2026-12-01 21:00:00 UTC
    const std::string iso =
        dir.Write("iso", "2026-12-01T22:00:01+01:00 tag=iso:01\n2026-12-01 21:00:04.500Z tag=iso:04.5\n");
    const std::string epoch = dir.Write("epoch", std::to_string(t + 2) + " tag=epoch:02\n" + std::to_string(t + 4) +
                                                     ".250 tag=epoch:04.25\n");
    const std::string millis = dir.Write("millis", std::to_string((t + 3) * 1000 + 999) + " tag=millis:03.999\n");
    const std::string syslog = dir.Write("syslog", "Dec  1 21:00:00 host tag=syslog:00\n"
                                                   "Dec  1 21:00:05 host tag=syslog:05\n");
    const std::string common =
        dir.Write("common", "10.0.0.1 - - [01/Dec/2026:20:00:03 -0100] \"GET / HTTP/1.1\" 200 tag=common:03\n");
    std::vector<std::string> order;
    for (const ExpectedLine& line : ReadMerge({iso, epoch, millis, syslog, common}))
        order.push_back(line.Text.substr(line.Text.find("tag=") + 4));
    EXPECT_EQ(order, std::vector<std::string>({"syslog:00\n", "iso:01\n", "epoch:02\n", "common:03\n",
                                               "millis:03.999\n", "epoch:04.25\n", "iso:04.5\n", "syslog:05\n"}));
}

// A log whose first lines show no time is refused, and so are an empty log and one that cannot be
// opened; the layout is told from the first lines only.
TEST(MergedLogReaderTest, RefusesLogsWithoutTimes)
{
    TempDir dir;
    std::string lateTimes;
    for (int i = 0; i < 150; ++i)
        lateTimes += "no time on line " + std::to_string(i) + "\n";
    lateTimes += IsoLine(1, "too late to tell\n");
    const std::string late = dir.Write("late", lateTimes);
    const std::string empty = dir.Write("empty", "");
    const std::string plain = dir.Write("plain", "just\ntext\n");
    OpenInput(late, TimedLogInput::OpenResult::NoTimes);
    OpenInput(empty, TimedLogInput::OpenResult::NoTimes);
    OpenInput(plain, TimedLogInput::OpenResult::NoTimes);
    auto missing = OpenInput((dir.Path() / "none").string(), TimedLogInput::OpenResult::CannotOpen);
    EXPECT_EQ(missing->GetOpenError(), ENOENT);
    auto folder = OpenInput(dir.Path().string(), TimedLogInput::OpenResult::CannotOpen);
    EXPECT_EQ(folder->GetOpenError(), EISDIR);

    // Empty lines do not count towards the sample: a time after many of them is still found.
    const std::string spaced = dir.Write("spaced", std::string(500, '\n') + IsoLine(3, "found\n"));
    auto input = OpenInput(spaced);
    EXPECT_EQ(input->GetLayout(), TimeLayout::Iso8601);
}

// A line of 100 MB is read whole and takes its place by its time.
TEST(MergedLogReaderTest, MergesAVeryLongLine)
{
    TempDir dir;
    const std::string body(100u << 20, 'x');
    const std::string longLog = dir.Write("long", IsoLine(2, body) + "\n" + IsoLine(4, "after long\n"));
    const std::string shortLog = dir.Write("short", IsoLine(1, "one\n") + IsoLine(3, "three\n") + IsoLine(5, "five\n"));
    const std::vector<ExpectedLine> merged = ReadMerge({longLog, shortLog});
    ASSERT_EQ(merged.size(), 5u);
    EXPECT_EQ(merged[1].Text.size(), body.size() + 22);
    EXPECT_EQ(merged[1].Text.compare(21, 4, "xxxx"), 0);
    std::vector<std::size_t> inputs;
    for (const ExpectedLine& line : merged)
        inputs.push_back(line.Input);
    EXPECT_EQ(inputs, std::vector<std::size_t>({1, 0, 1, 0, 1}));
}

// A pipe cannot be read twice: the lines its layout was told from are handed out from memory,
// then the rest from the pipe.
TEST(MergedLogReaderTest, ReadsAPipeOnce)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += IsoLine(i, "from the pipe " + std::to_string(i) + "\n");
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::thread writer([&]() {
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t got = ::write(ends[1], text.data() + written, text.size() - written);
            if (got <= 0)
                break;
            written += static_cast<std::size_t>(got);
        }
        ::close(ends[1]);
    });
    const std::string other = dir.Write("other", IsoLine(1500, "from the file\n"));
    const std::vector<ExpectedLine> merged = ReadMerge({"/proc/self/fd/" + std::to_string(ends[0]), other});
    writer.join();
    ::close(ends[0]);
    ASSERT_EQ(merged.size(), 3001u);
    std::string fromPipe;
    for (const ExpectedLine& line : merged)
        if (line.Input == 0)
            fromPipe += line.Text;
    EXPECT_EQ(fromPipe, text);
    EXPECT_EQ(merged[1501].Text, IsoLine(1500, "from the file\n"));
}
