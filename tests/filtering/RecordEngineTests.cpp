// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <fstream>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <thread>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "RecordReference.h"
#include "filtering/ParallelFilterEngine.h"
#include "support/TempDir.h"
#include "time/LocalTimeContext.h"

namespace {

// Collects a run's lines and how often it said that no times were recognised.
class RecordOutput : public CollectingOutput
{
public:
    void NoteNoTimesRecognised() override { ++NoTimesNotes; }
    int NoTimesNotes = 0;
};

FilterRun RecordRun(const std::string& path, std::vector<RunFilter> filters, bool exclude = false)
{
    FilterRun run{path, std::move(filters), exclude};
    run.Records = true;
    return run;
}

std::string Describe(const std::vector<KeptLine>& lines)
{
    std::string text;
    for (const KeptLine& line : lines)
        text += std::to_string(line.Number) + (line.IsContext ? "-" : ":") + line.Text;
    return text;
}

// A log of timed lines, some followed by lines without a time (stack frames, blank lines, wrapped
// text), maybe with such lines before the first time, maybe with no time at all.
std::string RandomRecordLog(std::mt19937& random, bool timed)
{
    static const char* const words[] = {"alpha", "beta", "ERROR", "error", "warn", "x", "", "beta alpha", "Err"};
    static const char* const continuations[] = {"\tat com.example.Pool.take(Pool.java:42)",
                                                "Caused by: ERROR in beta",
                                                "",
                                                "  alpha continues",
                                                "    ... 12 more",
                                                "x"};
    const auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    const auto ending = [&] { return pick(3) == 0 ? std::string("\r\n") : std::string("\n"); };
    std::string log;
    if (pick(3) == 0)
        for (int i = pick(3) + 1; i > 0; --i)
            log += continuations[pick(6)] + ending();
    const int records = pick(60);
    for (int r = 0; r < records; ++r) {
        if (timed) {
            char stamp[40];
            std::snprintf(stamp, sizeof stamp, "%s2026-12-%02d %02d:%02d:%02d.%03d ", pick(4) == 0 ? "INFO " : "",
                          1 + r / 24, r % 24, pick(60), pick(60), pick(1000));
            log += stamp;
        }
        for (int k = pick(4); k > 0; --k)
            log += std::string(words[pick(9)]) + " ";
        log += ending();
        const int extra = pick(3) == 0 ? pick(5) : 0;
        for (int k = 0; k < extra; ++k)
            log += continuations[pick(6)] + ending();
    }
    if (pick(4) == 0)
        log += timed && pick(2) == 0 ? "2026-12-31 23:59:59 alpha without end" : "alpha without end";
    return log;
}

std::vector<RunFilter> RandomRecordFilters(std::mt19937& random)
{
    static const char* const literals[] = {"alpha", "ERROR", "beta", "warn", "x", "Err", "more"};
    static const char* const expressions[] = {"^beta", "a\\n", "r+o", "^$", "al.*ta", "^\\tat "};
    std::vector<RunFilter> filters;
    const int count = std::uniform_int_distribution<int>(1, 3)(random);
    for (int i = 0; i < count; ++i) {
        const bool expression = random() % 3 == 0;
        const bool caseSensitive = random() % 2 == 0;
        const int before = static_cast<int>(random() % 4);
        const int after = static_cast<int>(random() % 4);
        filters.push_back(expression ? Expression(expressions[random() % 6], caseSensitive, before, after)
                                     : Literal(literals[random() % 7], caseSensitive, before, after));
    }
    return filters;
}

TimeContext ContextOf(const std::string& path)
{
    struct stat status
    {
    };
    ::stat(path.c_str(), &status);
    return LocalTimeContext(status.st_mtime);
}

} // namespace

// The rules on a log small enough to check by eye: the lines above the first time are a record,
// a match on any line keeps the whole record, context counts records, and the first filter in
// list order that any line matches decides the context.
TEST(RecordEngineTest, KeepsWholeRecordsWithRecordContext)
{
    TempDir dir;
    const std::string log = "orphan line\n"                   // 1  record A
                            "2026-12-01 10:00:00 start\n"     // 2  record B
                            "  at first\n"                    // 3
                            "2026-12-01 10:00:01 ERROR one\n" // 4  record C
                            "  at zzz\n"                      // 5
                            "2026-12-01 10:00:02 ok\n"        // 6  record D
                            "  detail\r\n"                    // 7
                            "\n"                              // 8
                            "2026-12-01 10:00:03 ok\n"        // 9  record E
                            "2026-12-01 10:00:04 ok\n"        // 10 record F
                            "  Caused by: ERROR two\n";       // 11
    const std::string path = dir.Write("app.log", log);
    struct Case
    {
        const char* Name;
        std::vector<RunFilter> Filters;
        bool Exclude;
        std::string Expected;
        std::vector<int> ExpectedFilters;
    };
    const std::vector<Case> cases = {
        {"a continuation line keeps its record",
         {Literal("ERROR")},
         false,
         "4:2026-12-01 10:00:01 ERROR one\n5:  at zzz\n10:2026-12-01 10:00:04 ok\n11:  Caused by: ERROR two\n",
         {0, 0, 0, 0}},
        {"context counts records",
         {Literal("ERROR one", true, 1, 1)},
         false,
         "2-2026-12-01 10:00:00 start\n3-  at first\n4:2026-12-01 10:00:01 ERROR one\n5:  at zzz\n"
         "6-2026-12-01 10:00:02 ok\n7-  detail\r\n8-\n",
         {0, 0, 0, 0, 0, 0, 0}},
        {"the lines above the first time are one record",
         {Literal("start", true, 1, 0)},
         false,
         "1-orphan line\n2:2026-12-01 10:00:00 start\n3:  at first\n",
         {0, 0, 0}},
        {"the first filter in list order that any line matches decides",
         {Literal("zzz", true, 0, 2), Literal("ERROR one")},
         false,
         "4:2026-12-01 10:00:01 ERROR one\n5:  at zzz\n6-2026-12-01 10:00:02 ok\n7-  detail\r\n8-\n"
         "9-2026-12-01 10:00:03 ok\n",
         {0, 0, 0, 0, 0, 0}},
        {"exclude drops every record one of whose lines matches",
         {Literal("at "), Literal("detail")},
         true,
         "1:orphan line\n9:2026-12-01 10:00:03 ok\n10:2026-12-01 10:00:04 ok\n11:  Caused by: ERROR two\n",
         {-1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        RecordOutput output;
        FilterEngine engine(RecordRun(path, c.Filters, c.Exclude), 16);
        ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished) << c.Name;
        EXPECT_EQ(Describe(output.Lines), c.Expected) << c.Name;
        EXPECT_EQ(output.Filters, c.ExpectedFilters) << c.Name;
        EXPECT_EQ(output.NoTimesNotes, 0) << c.Name;
    }
}

// Random logs with continuation lines, CR LF, context up to three records, exclude and several
// filters give what the reference gives, for blocks that cut records anywhere and through the
// parallel engine, which decides records in one pass.
TEST(RecordEngineTest, AgreesWithTheReference)
{
    TempDir dir;
    std::mt19937 random(20261211);
    for (int round = 0; round < 300; ++round) {
        const bool timed = round % 8 != 0;
        const std::string log = RandomRecordLog(random, timed);
        const std::string path = dir.Write("random.log", log);
        const FilterRun run = RecordRun(path, RandomRecordFilters(random), random() % 4 == 0);
        const KeptRecordLines expected = ReferenceRecordFilter(log, run, ContextOf(path));
        for (const std::size_t blockSize : {std::size_t{1}, std::size_t{23}, FilterEngine::DefaultBlockSize}) {
            RecordOutput output;
            FilterEngine engine(run, blockSize);
            ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
            EXPECT_EQ(output.Lines, expected.Lines) << "round " << round << " block " << blockSize << "\n" << log;
            EXPECT_EQ(output.Filters, expected.Filters) << "round " << round << " block " << blockSize;
        }
        RecordOutput parallel;
        ParallelFilterEngine engine(run, 4, 16);
        engine.SetSplitOffsets({log.size() / 3, log.size() / 2});
        ASSERT_EQ(engine.Run(std::stop_token(), parallel), EngineResult::Finished);
        EXPECT_EQ(engine.GetChunkCount(), 1u);
        EXPECT_EQ(parallel.Lines, expected.Lines) << "round " << round << " parallel";
        EXPECT_EQ(parallel.Filters, expected.Filters) << "round " << round << " parallel";
    }
}

// Without a recognised time each line is a record of its own, so the run keeps what a run of
// lines keeps; it says so once, and not for a file without lines.
TEST(RecordEngineTest, EveryLineIsARecordWithoutTimes)
{
    TempDir dir;
    std::mt19937 random(77);
    for (int round = 0; round < 40; ++round) {
        const std::string log = "first\n" + RandomRecordLog(random, false);
        const std::string path = dir.Write("untimed.log", log);
        const FilterRun run = RecordRun(path, RandomRecordFilters(random), random() % 4 == 0);
        RecordOutput output;
        FilterEngine engine(run, 32);
        ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
        EXPECT_EQ(output.Lines, ReferenceFilter(log, run)) << "round " << round;
        EXPECT_EQ(output.NoTimesNotes, 1) << "round " << round;
    }
    for (const char* content : {"", "\n\n", "2026-12-01 10:00:00 one\n"}) {
        RecordOutput output;
        FilterEngine engine(RecordRun(dir.Write("few.log", content), {Literal("one")}), 32);
        ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
        EXPECT_EQ(output.NoTimesNotes, 0) << '"' << content << '"';
    }
}

// The layout is told from the file's first lines: a timed line far down a file of untimed ones
// does not make records of them, and a file whose first hundred lines are timed keeps its records
// even where its times change layout further down.
TEST(RecordEngineTest, TellsTheLayoutFromTheFirstLines)
{
    TempDir dir;
    std::string untimedFirst;
    for (int i = 0; i < 150; ++i)
        untimedFirst += "plain " + std::to_string(i) + "\n";
    untimedFirst += "2026-12-01 10:00:00 hit\nplain after\n";
    RecordOutput untimed;
    FilterEngine first(RecordRun(dir.Write("a.log", untimedFirst), {Literal("hit")}), 64);
    ASSERT_EQ(first.Run(std::stop_token(), untimed), EngineResult::Finished);
    EXPECT_EQ(Describe(untimed.Lines), "151:2026-12-01 10:00:00 hit\n");
    EXPECT_EQ(untimed.NoTimesNotes, 1);

    std::string timedFirst;
    for (int i = 0; i < 120; ++i)
        timedFirst += "2026-12-01 10:00:" + std::string(i % 60 < 10 ? "0" : "") + std::to_string(i % 60) + " row\n";
    timedFirst += "Dec  1 10:00:00 hit\n";
    RecordOutput timed;
    FilterEngine second(RecordRun(dir.Write("b.log", timedFirst), {Literal("hit")}), 64);
    ASSERT_EQ(second.Run(std::stop_token(), timed), EngineResult::Finished);
    EXPECT_EQ(Describe(timed.Lines), "120:2026-12-01 10:00:59 row\n121:Dec  1 10:00:00 hit\n");
}

// A record of many blocks, its context records cut by block ends too, is kept whole.
TEST(RecordEngineTest, KeepsARecordLongerThanManyBlocks)
{
    TempDir dir;
    std::string trace;
    for (int i = 0; i < 2000; ++i)
        trace += "\tat frame " + std::to_string(i) + "\n";
    const std::string log = "2026-12-01 10:00:00 before\n" + trace + "2026-12-01 10:00:01 NullPointerException\n" +
                            trace + "2026-12-01 10:00:02 after\n" + trace + "2026-12-01 10:00:03 far\n";
    const std::string path = dir.Write("long.log", log);
    const FilterRun run = RecordRun(path, {Literal("NullPointerException", true, 1, 1)});
    RecordOutput output;
    FilterEngine engine(run, 4096);
    ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
    EXPECT_EQ(output.Lines, ReferenceRecordFilter(log, run).Lines);
    ASSERT_EQ(output.Lines.size(), 3u * 2001u);
    EXPECT_EQ(output.Lines.back().Number, 3 * 2001);
    EXPECT_TRUE(output.Lines.front().IsContext);
    EXPECT_FALSE(output.Lines[2001].IsContext);
}

namespace {

class FollowedRecords : public RecordOutput
{
public:
    void WriteLines(OutputBatch&& batch) override
    {
        std::lock_guard lock(Mutex);
        RecordOutput::WriteLines(std::move(batch));
    }
    std::vector<KeptLine> TakeLines()
    {
        std::lock_guard lock(Mutex);
        return Lines;
    }
    std::mutex Mutex;
};

// Where the last line with a time begins.
std::size_t LastTimedLineStart(const std::string& content)
{
    std::size_t last = 0;
    for (std::size_t start = 0; start < content.size();) {
        const std::size_t lineFeed = content.find('\n', start);
        const std::size_t end = lineFeed == std::string::npos ? content.size() : lineFeed + 1;
        std::string line = content.substr(start, end - start);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        LineTime time;
        if (ParseLineTime(TimeLayout::Iso8601, line, TimeContext(), time))
            last = start;
        start = end;
    }
    return last;
}

bool WaitUntilRead(const FilterEngine& engine, std::uint64_t size)
{
    for (int i = 0; i < 20000; ++i) {
        if (engine.GetReadOffset() == size)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

} // namespace

// A followed file written in slices decides its records as the whole file does; the last record
// waits for the next one to begin (more lines of it may still come), and a file shorter than the
// sample tells its layout once its end is reached.
TEST(RecordEngineTest, FollowedFileDecidesRecordsAsTheyEnd)
{
    std::mt19937 random(5150);
    for (int round = 0; round < 8; ++round) {
        TempDir dir;
        std::string content = "2026-12-01 00:00:00 first\n" + RandomRecordLog(random, true);
        if (!content.empty() && content.back() != '\n')
            content += "\n";
        FilterRun run = RecordRun((dir.Path() / "log").string(), RandomRecordFilters(random), random() % 4 == 0);
        run.Follow = true;
        std::size_t written = 26 + random() % 100;
        written = std::min(written, content.size());
        const std::string path = dir.Write("log", content.substr(0, written));
        FilterEngine engine(run, 64 + random() % 256);
        FollowedRecords output;
        std::stop_source stop;
        std::thread follower([&] { engine.Run(stop.get_token(), output); });
        while (written < content.size()) {
            ASSERT_TRUE(WaitUntilRead(engine, written)) << "round " << round;
            const std::size_t slice = std::min<std::size_t>(content.size() - written, 1 + random() % 200);
            std::ofstream(path, std::ios::binary | std::ios::app) << content.substr(written, slice);
            written += slice;
        }
        ASSERT_TRUE(WaitUntilRead(engine, written));
        stop.request_stop();
        follower.join();
        // The records before the last one are decided; the last one is not yet.
        const std::string decided = content.substr(0, LastTimedLineStart(content));
        EXPECT_EQ(Describe(output.TakeLines()), Describe(ReferenceRecordFilter(decided, run, ContextOf(path)).Lines))
            << "round " << round;
    }
}
