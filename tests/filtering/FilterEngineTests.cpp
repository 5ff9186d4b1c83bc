// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "support/TempDir.h"

namespace {

struct RunOutcome
{
    EngineResult Result;
    CollectingOutput Output;
    int Progress;
};

std::unique_ptr<RunOutcome> RunOn(const std::string& path, std::vector<RunFilter> filters, bool exclude = false,
                                  std::size_t blockSize = FilterEngine::DefaultBlockSize)
{
    auto outcome = std::make_unique<RunOutcome>();
    FilterEngine engine(FilterRun{path, std::move(filters), exclude}, blockSize);
    outcome->Result = engine.Run(std::stop_token(), outcome->Output);
    outcome->Progress = engine.GetProgressPercent();
    return outcome;
}

std::string Describe(const std::vector<KeptLine>& lines)
{
    std::string text;
    for (const KeptLine& line : lines)
        text += std::to_string(line.Number) + (line.IsContext ? "-" : ":") + line.Text + "|";
    return text;
}

struct ContextCase
{
    const char* Name;
    std::string Content;
    std::vector<RunFilter> Filters;
    bool Exclude;
    std::vector<std::int64_t> ExpectedNumbers;
};

} // namespace

// The context rules, each case small enough to check by eye.
TEST(FilterEngineTest, KeepsMatchesWithTheirContext)
{
    const std::vector<ContextCase> cases = {
        {"before-context of the second filter does not reach an older line",
         "x\na\ny\nb\n",
         {Literal("a"), Literal("b", true, 2, 0)},
         false,
         {2, 3, 4}},
        {"lines before a match near the start", "p\nq\nhit\nr\n", {Literal("hit", true, 2, 0)}, false, {1, 2, 3}},
        {"a smaller before count drops older buffered lines",
         "1\n2\n3\n4\nA\nB\n",
         {Literal("A", true, 1, 0), Literal("x", true, 3, 0)},
         false,
         {4, 5}},
        {"a later match cuts the after-context short",
         "m\nc1\nz\nn\nc2\nc3\n",
         {Literal("m", true, 0, 3), Literal("n", true, 0, 0)},
         false,
         {1, 2, 3, 4}},
        {"adjacent matches never repeat a line", "a\nb\na\nb\na\n", {Literal("a", true, 1, 1)}, false, {1, 2, 3, 4, 5}},
        {"exclude keeps the lines without a match",
         "one\nERROR two\nthree\n",
         {Literal("ERROR", true, 5, 5)},
         true,
         {1, 3}},
        {"nothing matches", "a\nb\n", {Literal("zzz")}, false, {}},
        {"an empty pattern matches every line", "a\n\nb", {Literal("")}, false, {1, 2, 3}},
        {"after-context restarts at each match",
         "m\nx\nm\nx\nx\nx\n",
         {Literal("m", true, 0, 2)},
         false,
         {1, 2, 3, 4, 5}},
        {"the first filter in list order decides the context",
         "1\n2\nab\n",
         {Literal("a", true, 0, 0), Literal("b", true, 2, 0)},
         false,
         {3}},
    };
    TempDir dir;
    for (const ContextCase& test : cases) {
        const std::string path = dir.Write("log", test.Content);
        auto outcome = RunOn(path, test.Filters, test.Exclude);
        std::vector<std::int64_t> numbers;
        for (const KeptLine& line : outcome->Output.Lines)
            numbers.push_back(line.Number);
        EXPECT_EQ(numbers, test.ExpectedNumbers) << test.Name << ": " << Describe(outcome->Output.Lines);
        EXPECT_EQ(outcome->Output.Lines, ReferenceFilter(test.Content, FilterRun{path, test.Filters, test.Exclude}))
            << test.Name;
        EXPECT_EQ(outcome->Result, EngineResult::Finished) << test.Name;
    }
}

TEST(FilterEngineTest, MatchesLiteralsAsBytes)
{
    TempDir dir;
    struct Case
    {
        const char* Name;
        std::string Content;
        RunFilter Filter;
        std::vector<std::string> Expected;
    };
    const std::vector<Case> cases = {
        {"case-insensitive folds A to Z", "an Error here\nfine\n", Literal("error", false), {"an Error here\n"}},
        {"case-sensitive does not fold", "an Error here\n", Literal("error", true), {}},
        {"accented letters are not folded", "\xC9tat\n\xE9tat\n", Literal("\xE9tat", false), {"\xE9tat\n"}},
        {"CR LF lines keep their own bytes", "a\r\nb\r\nab\r\n", Literal("b"), {"b\r\n", "ab\r\n"}},
        {"a lone CR is data", "x\ry\nz\n", Literal("x\ry"), {"x\ry\n"}},
        {"NUL bytes are data", std::string("a\0b\nc\n", 6), Literal(std::string("\0b", 2)), {std::string("a\0b\n", 4)}},
        {"byte 0x1A does not end the file", "a\x1A\nafter\n", Literal("after"), {"after\n"}},
        {"the last line needs no line feed", "x\nlast", Literal("last"), {"last"}},
        {"a pattern ending in a line feed matches a line's end", "ab\nabc\n", Literal("b\n"), {"ab\n"}},
        {"CR LF reads as LF for matching", "ab\r\n", Literal("b\n"), {"ab\r\n"}},
    };
    for (const Case& test : cases) {
        auto outcome = RunOn(dir.Write("log", test.Content), {test.Filter});
        std::vector<std::string> texts;
        for (const KeptLine& line : outcome->Output.Lines)
            texts.push_back(line.Text);
        EXPECT_EQ(texts, test.Expected) << test.Name;
    }
}

// Each kept line names the filter whose match kept it: the first in list order that matches,
// its context too; excluding, no filter keeps a line. Across blocks as within one.
TEST(FilterEngineTest, KeptLinesNameTheirFilter)
{
    TempDir dir;
    const std::string path = dir.Write("log", "a\nx\nb\ny\nz\nb a\nw\n");
    for (const std::size_t block : {std::size_t(3), FilterEngine::DefaultBlockSize}) {
        auto outcome = RunOn(path, {Literal("a", true, 0, 1), Literal("b", true, 1, 0)}, false, block);
        std::vector<std::int64_t> numbers;
        for (const KeptLine& line : outcome->Output.Lines)
            numbers.push_back(line.Number);
        EXPECT_EQ(numbers, (std::vector<std::int64_t>{1, 2, 3, 6, 7})) << block;
        EXPECT_EQ(outcome->Output.Filters, (std::vector<int>{0, 0, 1, 0, 0})) << block;
    }
    auto excluded = RunOn(path, {Literal("a")}, true);
    EXPECT_EQ(excluded->Output.Filters, std::vector<int>(5, -1));
}

// Random logs, random filters, tiny blocks: the engine must agree with the line-by-line rules
// everywhere, including across block ends and in lines longer than a block.
TEST(FilterEngineTest, AgreesWithTheLineByLineRules)
{
    TempDir dir;
    std::mt19937 random(20261209);
    const std::vector<std::string> words = {"a", "b", "ab", "ERROR", "error", "x", "", "\r", "\xE9", "warn"};
    for (int round = 0; round < 400; ++round) {
        std::string content;
        const int lines = static_cast<int>(random() % 60);
        for (int i = 0; i < lines; ++i) {
            const int parts = static_cast<int>(random() % 6);
            for (int k = 0; k < parts; ++k)
                content += words[random() % words.size()] + (random() % 3 ? " " : "");
            if (random() % 25 == 0)
                content += std::string(200 + random() % 300, 'z');
            content += (random() % 5 == 0) ? "\r\n" : "\n";
        }
        if (random() % 3 == 0 && !content.empty())
            content.pop_back(); // no final line feed
        std::vector<RunFilter> filters;
        const int filterCount = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < filterCount; ++k)
            filters.push_back(Literal(words[random() % 6], random() % 2 == 0, static_cast<int>(random() % 4),
                                      static_cast<int>(random() % 4)));
        const bool exclude = random() % 5 == 0;
        const std::size_t blockSize = 1 + random() % 64;
        const std::string path = dir.Write("log", content);
        auto outcome = RunOn(path, filters, exclude, blockSize);
        const auto expected = ReferenceFilter(content, FilterRun{path, filters, exclude});
        ASSERT_EQ(Describe(outcome->Output.Lines), Describe(expected))
            << "round " << round << " block " << blockSize << " content [" << content << "]";
    }
}

TEST(FilterEngineTest, ReportsFilesThatCannotBeRead)
{
    TempDir dir;
    const std::string missing = (dir.Path() / "missing.log").string();
    auto outcome = RunOn(missing, {Literal("a")});
    EXPECT_EQ(outcome->Result, EngineResult::Failed);
    ASSERT_EQ(outcome->Output.Errors.size(), 1u);
    EXPECT_EQ(outcome->Output.Errors[0], "ERROR Opening " + missing + ": No such file or directory");

    outcome = RunOn(dir.Path().string(), {Literal("a")});
    EXPECT_EQ(outcome->Result, EngineResult::Failed);
    ASSERT_EQ(outcome->Output.Errors.size(), 1u);
    EXPECT_EQ(outcome->Output.Errors[0], "ERROR Opening " + dir.Path().string() + ": Is a directory");
    EXPECT_TRUE(outcome->Output.Lines.empty());

    // Root reads every file whatever its mode: then a child that has become "nobody" runs it.
    const std::string locked = dir.Write("locked.log", "a\n");
    ::chmod(locked.c_str(), 0);
    auto runLocked = [&] {
        auto lockedOutcome = RunOn(locked, {Literal("a")});
        const std::string expected = "ERROR Opening " + locked + ": Permission denied";
        return lockedOutcome->Result == EngineResult::Failed && lockedOutcome->Output.Errors.size() == 1 &&
               lockedOutcome->Output.Errors[0] == expected && lockedOutcome->Output.Lines.empty();
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(runLocked());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && runLocked() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "an unreadable file is reported as such";
}

TEST(FilterEngineTest, ReportsProgress)
{
    TempDir dir;
    auto outcome = RunOn(dir.Write("empty.log", ""), {Literal("a")});
    EXPECT_EQ(outcome->Result, EngineResult::Finished);
    EXPECT_EQ(outcome->Progress, 100) << "an empty file is done when the run ends";
    EXPECT_TRUE(outcome->Output.Lines.empty());

    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += "line " + std::to_string(i) + "\n";
    const std::string path = dir.Write("log", content);
    std::vector<int> seen;
    FilterEngine engine(FilterRun{path, {Literal("line")}, false}, 4096);
    CollectingOutput output;
    output.OnBatch = [&] { seen.push_back(engine.GetProgressPercent()); };
    EXPECT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
    ASSERT_GT(seen.size(), 5u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LT(seen.front(), 100);
    EXPECT_EQ(engine.GetProgressPercent(), 100);
}

TEST(FilterEngineTest, StopsAfterTheLineItIsDecidingOn)
{
    TempDir dir;
    std::string content;
    for (int i = 1; i <= 1000; ++i)
        content += "line " + std::to_string(i) + "\n";
    const std::string path = dir.Write("log", content);

    std::stop_source stop;
    FilterEngine engine(FilterRun{path, {Literal("line")}, false}, 64);
    CollectingOutput output;
    output.OnBatch = [&] { stop.request_stop(); };
    EXPECT_EQ(engine.Run(stop.get_token(), output), EngineResult::Stopped);
    ASSERT_FALSE(output.Lines.empty());
    EXPECT_LT(output.Lines.size(), 1000u);
    for (std::size_t i = 0; i < output.Lines.size(); ++i)
        EXPECT_EQ(output.Lines[i].Number, static_cast<std::int64_t>(i + 1)) << "kept lines stay in order";
}

TEST(FilterEngineTest, SurvivesAFileChangingUnderIt)
{
    TempDir dir;
    std::string content;
    for (int i = 1; i <= 2000; ++i)
        content += "row " + std::to_string(i) + "\n";

    const std::string truncated = dir.Write("truncated.log", content);
    FilterEngine shrinking(FilterRun{truncated, {Literal("row")}, false}, 256);
    CollectingOutput output;
    output.OnBatch = [&] { ::truncate(truncated.c_str(), 0); };
    EXPECT_EQ(shrinking.Run(std::stop_token(), output), EngineResult::Finished);
    EXPECT_LT(output.Lines.size(), 2000u) << "the run ends where the file now ends";

    const std::string deleted = dir.Write("deleted.log", content);
    FilterEngine vanishing(FilterRun{deleted, {Literal("row")}, false}, 256);
    CollectingOutput kept;
    kept.OnBatch = [&] { std::filesystem::remove(deleted); };
    EXPECT_EQ(vanishing.Run(std::stop_token(), kept), EngineResult::Finished);
    EXPECT_EQ(kept.Lines.size(), 2000u) << "an open file stays readable after it is deleted";
}

TEST(FilterEngineTest, ReadsAHugeSingleLineWhole)
{
    TempDir dir;
    std::string content(100u << 20, 'q');
    content += "NEEDLE\nnext\n";
    const std::string path = dir.Write("huge.log", content);
    content.clear();
    content.shrink_to_fit();
    auto outcome = RunOn(path, {Literal("NEEDLE", true, 0, 1)});
    ASSERT_EQ(outcome->Output.Lines.size(), 2u);
    EXPECT_EQ(outcome->Output.Lines[0].Number, 1);
    EXPECT_EQ(outcome->Output.Lines[0].Text.size(), (100u << 20) + 7);
    EXPECT_EQ(outcome->Output.Lines[1].Text, "next\n");
    EXPECT_EQ(outcome->Output.Lines[1].Number, 2);
}

// The peak resident memory of this process, in bytes, since the last ResetPeakMemory.
std::int64_t PeakMemory()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return -1;
}

bool ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

// A run lets go of the pages it has decided, whether it keeps nothing or keeps a line far from
// the last one it kept (whose number needs the lines between counted).
TEST(FilterEngineTest, LetsGoOfTheFileAsItGoes)
{
    TempDir dir;
    constexpr std::size_t Lines = 4'000'000; // 256 MB
    std::string content;
    content.reserve(Lines * 64);
    const std::string line = std::string(63, 'x') + "\n";
    for (std::size_t i = 0; i < Lines; ++i)
        content += line;
    content += "NEEDLE\n";
    const std::string path = dir.Write("big.log", content);
    const auto size = static_cast<std::int64_t>(content.size());
    content.clear();
    content.shrink_to_fit();
    for (const char* pattern : {"absent", "NEEDLE"}) {
        if (!ResetPeakMemory() || PeakMemory() < 0)
            GTEST_SKIP() << "no peak memory in /proc";
        const std::int64_t before = PeakMemory();
        auto outcome = RunOn(path, {Literal(pattern)});
        const std::int64_t grown = PeakMemory() - before;
        // Holding the file would take all of it; what a run holds at most is a release step
        // and its buffers, which the sanitizers' allocators make larger.
        EXPECT_LT(grown, size / 2) << pattern << ": the run held " << grown << " bytes of a " << size << " byte file";
        if (std::string(pattern) == "NEEDLE") {
            ASSERT_EQ(outcome->Output.Lines.size(), 1u);
            EXPECT_EQ(outcome->Output.Lines[0].Number, static_cast<std::int64_t>(Lines) + 1);
        }
    }
}

// A pipe may have nothing to give for a long time: the run must still stop when asked, and
// what arrives in pieces is decided line by line as it comes.
TEST(FilterEngineTest, ReadsPipesAndStopsWhileWaitingForThem)
{
    TempDir dir;
    const std::string path = (dir.Path() / "pipe").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int writer = ::open(path.c_str(), O_RDWR); // does not wait for a reader
    ASSERT_GE(writer, 0);

    std::stop_source stop;
    FilterEngine engine(FilterRun{path, {Literal("keep")}, false});
    CollectingOutput output;
    output.OnBatch = [&] {
        if (output.Lines.size() == 1)
            ASSERT_EQ(::write(writer, "keep two\npartial", 16), 16);
        else
            stop.request_stop();
    };
    ASSERT_EQ(::write(writer, "keep one\nskip\n", 14), 14);
    EXPECT_EQ(engine.Run(stop.get_token(), output), EngineResult::Stopped);
    ::close(writer);
    ASSERT_EQ(output.Lines.size(), 2u);
    EXPECT_EQ(output.Lines[0].Text, "keep one\n");
    EXPECT_EQ(output.Lines[1].Text, "keep two\n");
    EXPECT_EQ(output.Lines[1].Number, 3);
}

// A pipe that nobody writes to is waited for in slices that look at the stop request; a stop
// during a very long line ends the run after that line.
TEST(FilterEngineTest, StopsWhileAPipeHasNoWriterOrALineGrows)
{
    TempDir dir;
    const std::string pipe = (dir.Path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::stop_source stopPipe;
    stopPipe.request_stop(); // an open that waited for a writer would never get to see it
    FilterEngine waiting(FilterRun{pipe, {Literal("x")}, false});
    CollectingOutput none;
    EXPECT_EQ(waiting.Run(stopPipe.get_token(), none), EngineResult::Stopped);
    EXPECT_TRUE(none.Errors.empty());

    std::string content(32u << 20, 'x');
    content += "\nx\n";
    const std::string path = dir.Write("long.log", content);
    std::stop_source stop;
    stop.request_stop();
    FilterEngine engine(FilterRun{path, {Literal("x")}, false}, 4096);
    CollectingOutput output;
    EXPECT_EQ(engine.Run(stop.get_token(), output), EngineResult::Stopped);
    // Read whole (a regular file is mapped), the long line is the one being decided when the
    // stop came; nothing after it is.
    EXPECT_LE(output.Lines.size(), 1u);
}

namespace {

// Collects a followed run's output on its own thread, and the file events.
class FollowOutput : public FilterOutput
{
public:
    void WriteLines(OutputBatch&& batch) override
    {
        std::lock_guard lock(Mutex);
        for (const OutputLine& line : batch.Lines)
            Lines.push_back({line.LineNumber, std::string(batch.LineText(line)), line.IsContext});
    }
    void ReportError(const std::string& message) override
    {
        std::lock_guard lock(Mutex);
        Errors.push_back(message);
    }
    void NoteFileEvent(FileEvent event) override
    {
        std::lock_guard lock(Mutex);
        Events.push_back(event);
        EventLineCounts.push_back(Lines.size());
    }

    std::mutex Mutex;
    std::vector<KeptLine> Lines;              // guarded by Mutex
    std::vector<std::string> Errors;          // guarded by Mutex
    std::vector<FileEvent> Events;            // guarded by Mutex
    std::vector<std::size_t> EventLineCounts; // guarded by Mutex: the lines output before each event
};

// Waits until a followed run has read the file to its current end.
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

// A followed file written in random slices, cut inside lines and inside CR LF, gives what one run
// over the whole file gives, for random filter lists with context and exclude.
TEST(FilterEngineFollowTest, AppendedSlicesDecideAsTheWholeFile)
{
    std::mt19937 random(4242);
    for (int round = 0; round < 12; ++round) {
        TempDir dir;
        std::string content;
        for (int line = 1; line <= 400; ++line)
            content +=
                (random() % 5 == 0 ? "hit " : "row ") + std::to_string(line) + (random() % 4 == 0 ? "\r\n" : "\n");
        FilterRun run{(dir.Path() / "log").string(), {}, random() % 4 == 0, true};
        for (int filter = 0; filter < 1 + static_cast<int>(random() % 3); ++filter)
            run.Filters.push_back(Literal(filter == 0 ? "hit" : std::to_string(random() % 50) + "\n", true,
                                          static_cast<int>(random() % 3), static_cast<int>(random() % 3)));
        std::size_t written = 1 + random() % 200;
        const std::string path = dir.Write("log", content.substr(0, written));
        FilterEngine engine(run, 64 + random() % 512);
        FollowOutput output;
        std::stop_source stop;
        std::thread follower([&] { engine.Run(stop.get_token(), output); });
        while (written < content.size()) {
            ASSERT_TRUE(WaitUntilRead(engine, written)) << "round " << round;
            const std::size_t slice = std::min<std::size_t>(content.size() - written, 1 + random() % 300);
            std::ofstream(path, std::ios::binary | std::ios::app) << content.substr(written, slice);
            written += slice;
        }
        ASSERT_TRUE(WaitUntilRead(engine, written));
        stop.request_stop();
        follower.join();
        std::lock_guard lock(output.Mutex);
        EXPECT_EQ(output.Lines, ReferenceFilter(content, run)) << "round " << round;
        ASSERT_FALSE(output.Events.empty());
        EXPECT_EQ(output.Events.front(), FilterOutput::FileEvent::CaughtUp);
    }
}

// Truncated, then replaced by a new file of the same name: each time line 1 comes again, the
// event is told before the new file's lines, and nothing of the old file carries over.
TEST(FilterEngineFollowTest, StartsAgainAfterTruncationAndRotation)
{
    TempDir dir;
    const std::string first = "keep 1\nskip\nkeep 3\n";
    const std::string path = dir.Write("log", first);
    FilterRun run{path, {Literal("keep", true, 1, 0)}, false, true};
    FilterEngine engine(run, 16);
    FollowOutput output;
    std::stop_source stop;
    std::thread follower([&] { engine.Run(stop.get_token(), output); });
    ASSERT_TRUE(WaitUntilRead(engine, first.size()));

    const std::string second = "a\nkeep again\n";
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    std::ofstream(path, std::ios::binary | std::ios::app) << second;
    ASSERT_TRUE(WaitUntilRead(engine, second.size()));

    const std::string third = "keep the rotated one\n"; // of another length than the second
    // The new file takes the name in one step, so no moment without a file comes between.
    const std::string next = dir.Write("log.new", third);
    std::filesystem::rename(next, path);
    ASSERT_TRUE(WaitUntilRead(engine, third.size()));
    stop.request_stop();
    follower.join();

    std::lock_guard lock(output.Mutex);
    const std::vector<KeptLine> expected = {
        {1, "keep 1\n", false}, {2, "skip\n", true},        {3, "keep 3\n", false},
        {1, "a\n", true},       {2, "keep again\n", false}, {1, "keep the rotated one\n", false},
    };
    EXPECT_EQ(output.Lines, expected);
    using Event = FilterOutput::FileEvent;
    EXPECT_EQ(output.Events, (std::vector<Event>{Event::CaughtUp, Event::Truncated, Event::Replaced}));
    EXPECT_EQ(output.EventLineCounts, (std::vector<std::size_t>{3, 3, 5}));
}

namespace {

// Waits until the followed run has output at least count lines.
bool WaitForLines(FollowOutput& output, std::size_t count)
{
    for (int i = 0; i < 20000; ++i) {
        {
            std::lock_guard lock(output.Mutex);
            if (output.Lines.size() >= count)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::string Numbered(const std::string& word, int from, int to)
{
    std::string text;
    for (int line = from; line <= to; ++line)
        text += word + " " + std::to_string(line) + "\n";
    return text;
}

// An output that can be made to hold the run in its next write, as a full pipe does.
class HoldingOutput : public FollowOutput
{
public:
    void WriteLines(OutputBatch&& batch) override
    {
        {
            std::unique_lock lock(m_HoldMutex);
            if (m_bHold) {
                m_bHeld = true;
                m_Changed.notify_all();
                m_Changed.wait(lock, [this] { return !m_bHold; });
            }
        }
        FollowOutput::WriteLines(std::move(batch));
    }
    void Hold()
    {
        std::lock_guard lock(m_HoldMutex);
        m_bHold = true;
    }
    void WaitUntilHeld()
    {
        std::unique_lock lock(m_HoldMutex);
        m_Changed.wait(lock, [this] { return m_bHeld; });
    }
    void Release()
    {
        std::lock_guard lock(m_HoldMutex);
        m_bHold = false;
        m_Changed.notify_all();
    }

private:
    std::mutex m_HoldMutex;
    std::condition_variable m_Changed;
    bool m_bHold = false; // guarded by m_HoldMutex
    bool m_bHeld = false; // guarded by m_HoldMutex
};

} // namespace

// Emptied and written again between two looks, to the size that was read or beyond: the bytes
// read last are no longer where they were, so the file starts anew, marked, with nothing lost.
TEST(FilterEngineFollowTest, NoticesARefillOfEqualOrLargerSize)
{
    TempDir dir;
    const std::string first = Numbered("first", 1, 3);
    const std::string path = dir.Write("log", first);
    FilterEngine engine(FilterRun{path, {Literal(" ")}, false, true}, 64);
    FollowOutput output;
    std::stop_source stop;
    std::thread follower([&] { engine.Run(stop.get_token(), output); });
    ASSERT_TRUE(WaitUntilRead(engine, first.size()));

    // One write of the whole new content: no moment of a shorter file is there to be seen.
    const std::string same = Numbered("other", 1, 3);
    ASSERT_EQ(same.size(), first.size());
    {
        std::ofstream rewrite(path, std::ios::binary | std::ios::trunc);
        rewrite << same;
    }
    ASSERT_TRUE(WaitForLines(output, 6));
    const std::string larger = Numbered("third", 1, 9);
    {
        std::ofstream rewrite(path, std::ios::binary | std::ios::trunc);
        rewrite << larger;
    }
    ASSERT_TRUE(WaitForLines(output, 15));
    stop.request_stop();
    follower.join();

    std::lock_guard lock(output.Mutex);
    std::vector<KeptLine> expected;
    for (int line = 1; line <= 3; ++line)
        expected.push_back({line, "first " + std::to_string(line) + "\n", false});
    for (int line = 1; line <= 3; ++line)
        expected.push_back({line, "other " + std::to_string(line) + "\n", false});
    for (int line = 1; line <= 9; ++line)
        expected.push_back({line, "third " + std::to_string(line) + "\n", false});
    EXPECT_EQ(output.Lines, expected);
    using Event = FilterOutput::FileEvent;
    EXPECT_EQ(output.Events, (std::vector<Event>{Event::CaughtUp, Event::Truncated, Event::Truncated}));
    EXPECT_EQ(output.EventLineCounts, (std::vector<std::size_t>{3, 3, 6}));
}

// A last line without its line feed is the old file's last line when the file starts anew: it
// is kept (with a line feed of its own) before the marker, at truncation and at rotation alike.
TEST(FilterEngineFollowTest, KeepsTheUnfinishedLastLineWhenTheFileStartsAnew)
{
    TempDir dir;
    const std::string first = "keep 1\nskip 2\nkeep unfinished";
    const std::string path = dir.Write("log", first);
    FilterEngine engine(FilterRun{path, {Literal("keep")}, false, true}, 16);
    FollowOutput output;
    std::stop_source stop;
    std::thread follower([&] { engine.Run(stop.get_token(), output); });
    ASSERT_TRUE(WaitUntilRead(engine, first.size()));

    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    const std::string second = "keep new 1\nkeep half";
    std::ofstream(path, std::ios::binary | std::ios::app) << second;
    ASSERT_TRUE(WaitUntilRead(engine, second.size()));
    const std::string next = dir.Write("log.new", "keep rotated 1\n");
    std::filesystem::rename(next, path);
    ASSERT_TRUE(WaitForLines(output, 5));
    stop.request_stop();
    follower.join();

    std::lock_guard lock(output.Mutex);
    const std::vector<KeptLine> expected = {
        {1, "keep 1\n", false},    {3, "keep unfinished\n", false}, {1, "keep new 1\n", false},
        {2, "keep half\n", false}, {1, "keep rotated 1\n", false},
    };
    EXPECT_EQ(output.Lines, expected);
    using Event = FilterOutput::FileEvent;
    EXPECT_EQ(output.Events, (std::vector<Event>{Event::CaughtUp, Event::Truncated, Event::Replaced}));
    EXPECT_EQ(output.EventLineCounts, (std::vector<std::size_t>{1, 2, 4}));
}

// Copied and emptied (copytruncate) while the run waits for its output, then written again far
// beyond where the run was: the run must not go on in the middle of the new file, but read it
// from its first line.
TEST(FilterEngineFollowTest, RefillWhileTheOutputIsHeldKeepsEveryNewLine)
{
    TempDir dir;
    const std::string path = dir.Write("log", "start\n");
    // Excluding what no line holds: every line is kept.
    FilterEngine engine(FilterRun{path, {Literal("no line has this")}, true, true}, 256);
    HoldingOutput output;
    std::stop_source stop;
    std::thread follower([&] { engine.Run(stop.get_token(), output); });
    ASSERT_TRUE(WaitUntilRead(engine, 6));

    output.Hold();
    std::ofstream(path, std::ios::binary | std::ios::app) << Numbered("old", 1, 2000);
    output.WaitUntilHeld(); // the run has read some of the old lines and waits to hand them over
    const std::string fresh = Numbered("new", 1, 5000);
    {
        std::ofstream rewrite(path, std::ios::binary | std::ios::trunc);
        rewrite << fresh;
    }
    output.Release();
    ASSERT_TRUE(WaitUntilRead(engine, fresh.size()));
    stop.request_stop();
    follower.join();

    std::lock_guard lock(output.Mutex);
    using Event = FilterOutput::FileEvent;
    ASSERT_EQ(output.Events.size(), 2u);
    EXPECT_EQ(output.Events[1], Event::Truncated);
    const std::size_t restart = output.EventLineCounts[1];
    ASSERT_EQ(output.Lines.size() - restart, 5000u);
    for (std::size_t i = 0; i < 5000; ++i) {
        const KeptLine& line = output.Lines[restart + i];
        ASSERT_EQ(line.Text, "new " + std::to_string(i + 1) + "\n") << "line " << i + 1 << " of the new file";
        ASSERT_EQ(line.Number, static_cast<std::int64_t>(i + 1));
    }
    // Before the marker none of the new file's lines.
    for (std::size_t i = 0; i < restart; ++i)
        ASSERT_NE(output.Lines[i].Text.rfind("new ", 0), 0u) << output.Lines[i].Text;
}
