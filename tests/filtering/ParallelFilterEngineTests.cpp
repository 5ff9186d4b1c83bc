// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <fcntl.h>
#include <random>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "filtering/ChunkPlan.h"
#include "filtering/ParallelFilterEngine.h"
#include "support/TempDir.h"

namespace {

struct Outcome
{
    EngineResult Result = EngineResult::Failed;
    CollectingOutput Output;
    std::size_t Chunks = 0;
    std::int64_t TooComplexLines = 0;
};

Outcome RunOnePass(const FilterRun& run, std::size_t blockSize)
{
    Outcome outcome;
    FilterEngine engine(run, blockSize);
    outcome.Result = engine.Run(std::stop_token(), outcome.Output);
    outcome.Chunks = 1;
    outcome.TooComplexLines = engine.GetTooComplexLineCount();
    return outcome;
}

Outcome RunSplit(const FilterRun& run, std::size_t blockSize, std::vector<std::uint64_t> splits,
                 std::size_t bufferLimit = ParallelFilterEngine::DefaultBufferLimit)
{
    Outcome outcome;
    ParallelFilterEngine engine(run, 0, blockSize);
    engine.SetSplitOffsets(std::move(splits));
    engine.SetBufferLimit(bufferLimit);
    outcome.Result = engine.Run(std::stop_token(), outcome.Output);
    outcome.Chunks = engine.GetChunkCount();
    outcome.TooComplexLines = engine.GetTooComplexLineCount();
    return outcome;
}

class OpenForReading
{
public:
    explicit OpenForReading(const std::string& path) : m_nFd(::open(path.c_str(), O_RDONLY)) {}
    ~OpenForReading() { ::close(m_nFd); }
    OpenForReading(const OpenForReading&) = delete;
    OpenForReading& operator=(const OpenForReading&) = delete;
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};

std::string RandomLog(std::mt19937& random)
{
    static const char* const words[] = {"alpha", "beta", "ERROR", "error", "warn", "x", "", "beta alpha", "Err"};
    std::string log;
    const int lines = std::uniform_int_distribution<int>(0, 120)(random);
    for (int i = 0; i < lines; ++i) {
        const int parts = std::uniform_int_distribution<int>(0, 3)(random);
        for (int k = 0; k < parts; ++k)
            log += std::string(k ? " " : "") + words[std::uniform_int_distribution<std::size_t>(0, 8)(random)];
        log += std::uniform_int_distribution<int>(0, 2)(random) == 0 ? "\r\n" : "\n";
    }
    if (std::uniform_int_distribution<int>(0, 3)(random) == 0)
        log += "alpha without end";
    return log;
}

std::vector<RunFilter> RandomFilters(std::mt19937& random)
{
    static const char* const literals[] = {"alpha", "ERROR", "beta", "warn", "x", "Err"};
    static const char* const expressions[] = {"^beta", "a\\n", "r+o", "^$", "al.*ta"};
    std::vector<RunFilter> filters;
    const int count = std::uniform_int_distribution<int>(1, 3)(random);
    for (int i = 0; i < count; ++i) {
        const bool expression = std::uniform_int_distribution<int>(0, 2)(random) == 0;
        const bool caseSensitive = std::uniform_int_distribution<int>(0, 1)(random) == 0;
        const int before = std::uniform_int_distribution<int>(0, 4)(random);
        const int after = std::uniform_int_distribution<int>(0, 4)(random);
        filters.push_back(expression ? Expression(expressions[std::uniform_int_distribution<std::size_t>(0, 4)(random)],
                                                  caseSensitive, before, after)
                                     : Literal(literals[std::uniform_int_distribution<std::size_t>(0, 5)(random)],
                                               caseSensitive, before, after));
    }
    return filters;
}

// Split offsets, ascending, many of them between a CR and its LF.
std::vector<std::uint64_t> RandomSplits(std::mt19937& random, const std::string& log)
{
    std::vector<std::uint64_t> inPairs;
    for (std::size_t i = 1; i < log.size(); ++i)
        if (log[i - 1] == '\r' && log[i] == '\n')
            inPairs.push_back(i);
    std::vector<std::uint64_t> splits;
    const int count = std::uniform_int_distribution<int>(1, 6)(random);
    for (int i = 0; i < count && !log.empty(); ++i) {
        if (!inPairs.empty() && std::uniform_int_distribution<int>(0, 1)(random) == 0)
            splits.push_back(inPairs[std::uniform_int_distribution<std::size_t>(0, inPairs.size() - 1)(random)]);
        else
            splits.push_back(std::uniform_int_distribution<std::uint64_t>(0, log.size())(random));
    }
    std::sort(splits.begin(), splits.end());
    return splits;
}

} // namespace

// Pieces cut anywhere, with any context and in exclude mode, give what one pass gives: the same
// lines, bytes, numbers, context marks and deciding filters.
TEST(ParallelFilterEngineTest, AgreesWithOnePassWhereverTheFileIsCut)
{
    TempDir dir;
    std::mt19937 random(20261210);
    int severalPieces = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string log = RandomLog(random);
        const std::string path = dir.Write("log", log);
        const FilterRun run{path, RandomFilters(random), std::uniform_int_distribution<int>(0, 3)(random) == 0};
        const std::size_t blockSize = std::uniform_int_distribution<std::size_t>(1, 64)(random);
        const std::vector<std::uint64_t> splits = RandomSplits(random, log);
        const Outcome whole = RunOnePass(run, blockSize);
        const Outcome split =
            RunSplit(run, blockSize, splits, std::uniform_int_distribution<std::size_t>(1, 256)(random));
        std::string where;
        for (const std::uint64_t offset : splits)
            where += std::to_string(offset) + " ";
        ASSERT_EQ(split.Output.Lines, whole.Output.Lines) << "round " << round << ", cut at " << where;
        ASSERT_EQ(split.Output.Filters, whole.Output.Filters) << "round " << round;
        ASSERT_EQ(split.Output.Errors, whole.Output.Errors) << "round " << round;
        ASSERT_EQ(split.Result, EngineResult::Finished) << "round " << round;
        ASSERT_EQ(split.Output.Lines, ReferenceFilter(log, run)) << "round " << round;
        severalPieces += split.Chunks > 1 ? 1 : 0;
    }
    EXPECT_GT(severalPieces, 200) << "most rounds must really be cut";
}

// A cut moves on to the next line start, past the LF of a CR LF pair; pieces left empty go; each
// piece reads the after-context's lines before it and the before-context's lines after it.
TEST(ParallelFilterEngineTest, PlansPiecesAtLineStarts)
{
    TempDir dir;
    // Lines start at 0, 5, 9, 15 and 21; 24 bytes.
    const std::string log = "aaa\r\nbb\r\ncccc\r\ndddd\r\neee";
    const std::string path = dir.Write("log", log);
    OpenForReading file(path);
    const std::uint64_t size = log.size();

    std::vector<FileChunk> chunks = PlanFileChunks(file.Get(), size, {4, 5, 25}, 0, 0);
    ASSERT_EQ(chunks.size(), 2u) << "4 and 5 both start the second line, 25 no line";
    EXPECT_EQ(chunks[0].KeepBegin, 0u);
    EXPECT_EQ(chunks[0].KeepEnd, 5u);
    EXPECT_EQ(chunks[0].ReadEnd, 5u);
    EXPECT_TRUE(chunks[0].ReportsParseErrors);
    EXPECT_EQ(chunks[1].KeepBegin, 5u);
    EXPECT_EQ(chunks[1].ReadBegin, 5u);
    EXPECT_EQ(chunks[1].LinesBeforeKeep, 0);
    EXPECT_FALSE(chunks[1].ReportsParseErrors);
    EXPECT_EQ(chunks[1].KeepEnd, UINT64_MAX) << "the last piece reads to wherever the file then ends";
    EXPECT_EQ(chunks[1].ReadEnd, UINT64_MAX);

    chunks = PlanFileChunks(file.Get(), size, {17}, 2, 1);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].KeepEnd, 21u);
    EXPECT_EQ(chunks[0].ReadEnd, size) << "two lines past its end: the unfinished last line ends the file";
    EXPECT_EQ(chunks[1].ReadBegin, 15u);
    EXPECT_EQ(chunks[1].LinesBeforeKeep, 1);

    chunks = PlanFileChunks(file.Get(), size, {9}, 1, 5);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].ReadEnd, 15u);
    EXPECT_EQ(chunks[1].ReadBegin, 0u) << "fewer lines before it than the context wants";
    EXPECT_EQ(chunks[1].LinesBeforeKeep, 2);

    chunks = PlanFileChunks(file.Get(), size, {1, 6, 8}, 0, 0);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[1].KeepBegin, 5u);
    EXPECT_EQ(chunks[1].KeepEnd, 9u);
    EXPECT_EQ(chunks[2].KeepBegin, 9u);

    EXPECT_EQ(PlanFileChunks(file.Get(), size, {}, 3, 3).size(), 1u);
    EXPECT_EQ(EvenSplits(10, 3), (std::vector<std::uint64_t>{3, 6}));
}

// A piece that waits for its turn holds no more than its limit and one batch, and still gives
// every line in order.
TEST(ParallelFilterEngineTest, BoundsWhatAWaitingPieceHolds)
{
    TempDir dir;
    std::string log;
    for (int i = 0; i < 20000; ++i)
        log += "match line " + std::to_string(i) + "\n";
    const std::string path = dir.Write("log", log);
    const FilterRun run{path, {Literal("match", true, 1, 1)}, false};
    constexpr std::size_t Block = 1024;
    constexpr std::size_t Limit = 8 * 1024;
    const Outcome whole = RunOnePass(run, Block);
    const Outcome split = RunSplit(run, Block, EvenSplits(log.size(), 4), Limit);
    ASSERT_EQ(split.Chunks, 4u);
    EXPECT_EQ(split.Output.Lines, whole.Output.Lines);
    ParallelFilterEngine engine(run, 0, Block);
    engine.SetSplitOffsets(EvenSplits(log.size(), 4));
    engine.SetBufferLimit(Limit);
    CollectingOutput output;
    ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
    // A batch holds one block's lines: its text and their entries.
    EXPECT_LE(engine.GetPeakBufferedBytes(), Limit + 2 * Block + Block / 10 * sizeof(OutputLine));
    EXPECT_GT(engine.GetPeakBufferedBytes(), 0u);
}

// An expression too complex for a line is told once per filter, at the first such line of the
// whole file, with its number in the file; the count covers every piece.
TEST(ParallelFilterEngineTest, TellsOfTooComplexLinesAsOnePassDoes)
{
    TempDir dir;
    const std::string x = "x" + std::string(30, 'y');
    std::string log;
    for (int i = 0; i < 40; ++i)
        log += (i % 7 == 3 ? x : "keep " + std::to_string(i)) + "\n";
    const std::string path = dir.Write("log", log);
    const FilterRun run{path, {Expression("^{x}(.+)+\\0\\n"), Literal("keep", true, 1, 0)}, false};
    const Outcome whole = RunOnePass(run, 16);
    ASSERT_EQ(whole.Output.Errors.size(), 1u);
    for (const std::vector<std::uint64_t>& splits :
         std::vector<std::vector<std::uint64_t>>{{1}, {log.size() / 3, log.size() / 2}, {log.size() - 40}}) {
        const Outcome split = RunSplit(run, 16, splits);
        EXPECT_GT(split.Chunks, 1u);
        EXPECT_EQ(split.Output.Errors, whole.Output.Errors);
        EXPECT_EQ(split.TooComplexLines, whole.TooComplexLines);
        EXPECT_EQ(split.Output.Lines, whole.Output.Lines);
    }
}

// A file cut short while the pieces run ends the run where the first piece ran out, with the
// lines before that, as one pass ends at the file's new end.
TEST(ParallelFilterEngineTest, EndsWhereAFileTruncatedUnderItEnds)
{
    TempDir dir;
    std::string log;
    for (int i = 1; i <= 4000; ++i)
        log += "row " + std::to_string(i) + "\n";
    const std::string path = dir.Write("log", log);
    const Outcome whole = RunOnePass(FilterRun{path, {Literal("row")}, false}, 256);
    ParallelFilterEngine engine(FilterRun{path, {Literal("row")}, false}, 0, 256);
    engine.SetSplitOffsets(EvenSplits(log.size(), 3));
    engine.SetBufferLimit(1); // the first piece runs at most a batch or two ahead of the writer
    CollectingOutput output;
    output.OnBatch = [&] { ASSERT_EQ(::truncate(path.c_str(), 0), 0); };
    EXPECT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
    ASSERT_FALSE(output.Lines.empty());
    EXPECT_LT(output.Lines.size(), 1000u) << "nothing of the later pieces, read before the cut, follows";
    // The line the cut went through ends the file, as far as it was read.
    for (std::size_t i = 0; i + 1 < output.Lines.size(); ++i)
        EXPECT_EQ(output.Lines[i], whole.Output.Lines[i]);
    const KeptLine& last = output.Lines.back();
    const KeptLine& wholeLast = whole.Output.Lines[output.Lines.size() - 1];
    EXPECT_EQ(last.Number, wholeLast.Number);
    EXPECT_EQ(wholeLast.Text.rfind(last.Text, 0), 0u);
}

// What cannot be cut is read in one pass: standard input, a followed file, one thread, a small
// file; a missing file is told of as one pass tells it.
TEST(ParallelFilterEngineTest, LeavesWhatCannotBeCutToOnePass)
{
    TempDir dir;
    const std::string path = dir.Write("log", "alpha\nbeta\nalpha\n");
    ParallelFilterEngine small(FilterRun{path, {Literal("alpha")}, false}, 4);
    CollectingOutput output;
    EXPECT_EQ(small.Run(std::stop_token(), output), EngineResult::Finished);
    EXPECT_EQ(small.GetChunkCount(), 1u);
    EXPECT_EQ(output.Lines.size(), 2u);

    ParallelFilterEngine missing(FilterRun{path + ".none", {Literal("alpha")}, false}, 4);
    CollectingOutput told;
    EXPECT_EQ(missing.Run(std::stop_token(), told), EngineResult::Failed);
    ASSERT_EQ(told.Errors.size(), 1u);
    EXPECT_EQ(told.Errors[0].rfind("ERROR Opening ", 0), 0u);

    std::string big;
    while (big.size() < 3 * ParallelFilterEngine::MinChunkSize)
        big += "alpha beta gamma delta\n";
    const std::string large = dir.Write("large", big);
    ParallelFilterEngine cut(FilterRun{large, {Literal("zzz")}, false}, 3);
    CollectingOutput none;
    EXPECT_EQ(cut.Run(std::stop_token(), none), EngineResult::Finished);
    EXPECT_EQ(cut.GetChunkCount(), 3u);
    ParallelFilterEngine one(FilterRun{large, {Literal("zzz")}, false}, 1);
    EXPECT_EQ(one.Run(std::stop_token(), none), EngineResult::Finished);
    EXPECT_EQ(one.GetChunkCount(), 1u);
}

// The run tells how many lines it read, as the kept lines are numbered: cut or in one pass, with
// or without a line end after the last line.
TEST(ParallelFilterEngineTest, CountsTheLinesItRead)
{
    TempDir dir;
    std::mt19937 random(20261211);
    for (int round = 0; round < 200; ++round) {
        const std::string log = RandomLog(random);
        const std::string path = dir.Write("log", log);
        const FilterRun run{path, RandomFilters(random), false};
        auto lines = static_cast<std::int64_t>(std::count(log.begin(), log.end(), '\n'));
        if (!log.empty() && log.back() != '\n')
            ++lines;
        ParallelFilterEngine split(run, 0, std::uniform_int_distribution<std::size_t>(1, 64)(random));
        split.SetSplitOffsets(RandomSplits(random, log));
        CollectingOutput splitOutput;
        ASSERT_EQ(split.Run(std::stop_token(), splitOutput), EngineResult::Finished);
        EXPECT_EQ(split.GetReadLineCount(), lines) << "round " << round << " in " << split.GetChunkCount() << " pieces";
        ParallelFilterEngine onePass(run, 1, std::uniform_int_distribution<std::size_t>(1, 64)(random));
        CollectingOutput onePassOutput;
        ASSERT_EQ(onePass.Run(std::stop_token(), onePassOutput), EngineResult::Finished);
        EXPECT_EQ(onePass.GetReadLineCount(), lines) << "round " << round;
    }
}
