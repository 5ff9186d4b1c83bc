// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "filtering/FilterWorker.h"
#include "filtering/OutputLineQueue.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

std::vector<KeptLine> Drain(OutputLineQueue& queue)
{
    std::vector<KeptLine> lines;
    while (auto batch = queue.PopOutputLines())
        for (const OutputLine& line : batch->Lines)
            lines.push_back({line.LineNumber, std::string(batch->LineText(line)), line.IsContext});
    return lines;
}

// A joined thread can stay listed for a moment after it ended, so a count taken just after a
// join may be one high: the checks below ask for no more threads than before, not as many.
int ThreadCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

std::string NumberedLines(int count)
{
    std::string content;
    for (int i = 1; i <= count; ++i)
        content += (i % 7 == 0 ? "hit " : "row ") + std::to_string(i) + "\n";
    return content;
}

// Runs the worker to its end and returns what it kept.
std::vector<KeptLine> RunToTheEnd(FilterWorker& worker)
{
    std::string error;
    EXPECT_TRUE(worker.Start(error)) << error;
    EXPECT_TRUE(worker.WaitForFinish(60s));
    EXPECT_EQ(worker.GetResult(), EngineResult::Finished);
    return Drain(worker.GetQueue());
}

std::string RandomLog(std::mt19937& random, int lines)
{
    static const char* const words[] = {"alpha", "beta", "ERROR", "error", "warn", "x", "", "Err"};
    std::string log;
    for (int i = 0; i < lines; ++i) {
        const int parts = std::uniform_int_distribution<int>(0, 3)(random);
        for (int k = 0; k < parts; ++k)
            log += std::string(k ? " " : "") + words[std::uniform_int_distribution<std::size_t>(0, 7)(random)];
        log += std::uniform_int_distribution<int>(0, 3)(random) == 0 ? "\r\n" : "\n";
    }
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
        log += "alpha without end";
    return log;
}

std::vector<RunFilter> RandomFilters(std::mt19937& random)
{
    static const char* const literals[] = {"alpha", "ERROR", "beta", "warn", "x"};
    static const char* const expressions[] = {"^beta", "r+o", "^$", "al.*ta"};
    std::vector<RunFilter> filters;
    const int count = std::uniform_int_distribution<int>(1, 3)(random);
    for (int i = 0; i < count; ++i) {
        const bool caseSensitive = std::uniform_int_distribution<int>(0, 1)(random) == 0;
        const int before = std::uniform_int_distribution<int>(0, 3)(random);
        const int after = std::uniform_int_distribution<int>(0, 3)(random);
        if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
            filters.push_back(Expression(expressions[std::uniform_int_distribution<std::size_t>(0, 3)(random)],
                                         caseSensitive, before, after));
        else
            filters.push_back(Literal(literals[std::uniform_int_distribution<std::size_t>(0, 4)(random)], caseSensitive,
                                      before, after));
    }
    return filters;
}

} // namespace

TEST(OutputLineQueueTest, HandsBatchesOverInOrderAcrossThreads)
{
    OutputLineQueue queue;
    std::atomic<int> notifications{0};
    queue.SetNotification([&] { ++notifications; });
    constexpr int Batches = 2000;
    std::thread producer([&] {
        for (int i = 0; i < Batches; ++i) {
            OutputBatch batch;
            batch.Append(i, "line\n", false);
            queue.PushOutputLines(std::move(batch));
        }
    });
    std::int64_t expected = 0;
    while (expected < Batches) {
        if (auto batch = queue.PopOutputLines())
            ASSERT_EQ(batch->Lines.at(0).LineNumber, expected++);
        else
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(queue.IsOutputLineQueueEmpty());
    EXPECT_GE(notifications.load(), 1);
    EXPECT_LE(notifications.load(), Batches) << "one notification per drain at most";

    OutputBatch leftover;
    leftover.Append(1, "x", false);
    queue.PushOutputLines(std::move(leftover));
    queue.Clear();
    EXPECT_FALSE(queue.PopOutputLines().has_value());
}

TEST(FilterWorkerTest, RunsToTheEndOnItsOwnThread)
{
    TempDir dir;
    const std::string content = NumberedLines(20000);
    const std::string path = dir.Write("log", content);
    const FilterRun run{path, {Literal("hit", true, 1, 1)}, false};
    std::atomic<bool> finishedCalled{false};
    FilterWorker worker(run, {}, [&] { finishedCalled = true; });
    std::string error;
    ASSERT_TRUE(worker.Start(error)) << error;
    ASSERT_TRUE(worker.WaitForFinish(30s));
    EXPECT_TRUE(worker.IsWorkerFinished());
    EXPECT_EQ(worker.GetResult(), EngineResult::Finished);
    EXPECT_EQ(worker.GetProgressPercent(), 100);
    EXPECT_EQ(Drain(worker.GetQueue()), ReferenceFilter(content, run));
    // The notification runs on the worker after it has marked itself finished.
    for (int i = 0; i < 1000 && !finishedCalled; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(finishedCalled);
}

TEST(FilterWorkerTest, StopsWhenAskedAndOnDestruction)
{
    TempDir dir;
    const std::string path = dir.Write("log", NumberedLines(300000));
    // A first thread makes the sanitizers start their own, so that the count below is steady.
    std::thread([] {}).join();
    const int threadsBefore = ThreadCount();
    {
        // Stop at the first batch, as Cancel does while lines are arriving.
        auto worker = std::make_unique<FilterWorker>(FilterRun{path, {Literal("row")}, false});
        // One piece: the stop is asked on the reading thread itself, so the run cannot have read
        // to the end first however the threads are scheduled.
        worker->GetEngine().SetThreadCount(1);
        FilterWorker* running = worker.get();
        worker->GetQueue().SetNotification([running] { running->RequestStop(); });
        std::string error;
        ASSERT_TRUE(worker->Start(error));
        ASSERT_TRUE(worker->WaitForFinish(30s));
        EXPECT_EQ(worker->GetResult(), EngineResult::Stopped);
        const auto kept = Drain(worker->GetQueue());
        EXPECT_FALSE(kept.empty());
        EXPECT_LT(kept.size(), 300000u * 6 / 7);
    }

    // Destroying a running worker stops it; nothing is left running once the threads it left
    // behind (and the threads of their pieces) have seen the stop. The stopped run above may
    // still be ending its pieces, so every thread is counted from before it.
    for (int i = 0; i < 10; ++i) {
        FilterWorker worker(FilterRun{path, {Literal("row")}, false});
        std::string error;
        ASSERT_TRUE(worker.Start(error));
    }
    for (int i = 0; i < 30000 && ThreadCount() > threadsBefore; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_LE(ThreadCount(), threadsBefore);
}

TEST(FilterWorkerTest, ReportsErrorsThroughTheReporter)
{
    TempDir dir;
    std::vector<std::string> messages;
    const std::string missing = (dir.Path() / "gone.log").string();
    FilterWorker worker(FilterRun{missing, {Literal("a")}, false},
                        [&](const std::string& message) { messages.push_back(message); });
    std::string error;
    ASSERT_TRUE(worker.Start(error));
    ASSERT_TRUE(worker.WaitForFinish(30s));
    EXPECT_EQ(worker.GetResult(), EngineResult::Failed);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("ERROR Opening " + missing, 0), 0u) << messages[0];
    EXPECT_TRUE(worker.GetQueue().IsOutputLineQueueEmpty());
}

TEST(FilterWorkerTest, AWorkerWaitingForAPipeIsLeftBehindAndReachesNoOneAfterwards)
{
    TempDir dir;
    const std::string path = (dir.Path() / "pipe.log").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // A writer that never writes: the worker waits for the pipe, and a stop ends the wait.
    const int writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    auto calls = std::make_shared<std::atomic<int>>(0);
    // A thread started first, so that a thread the runtime starts with the first one (as
    // ThreadSanitizer does) is counted before.
    std::thread([] {}).join();
    const int threadsBefore = ThreadCount();
    {
        FilterWorker worker(
            FilterRun{path, {Literal("x")}, false}, [calls](const std::string&) { ++*calls; }, [calls] { ++*calls; });
        worker.GetQueue().SetNotification([calls] { ++*calls; });
        std::string error;
        ASSERT_TRUE(worker.Start(error));
        EXPECT_FALSE(worker.WaitForFinish(50ms)) << "nothing to read yet";
        // Destroyed while its thread waits: the destructor returns without waiting for it.
    }
    // Lines written now would only reach a worker nobody listens to.
    ASSERT_EQ(::write(writer, "x\n", 2), 2);
    ::close(writer);
    for (int i = 0; i < 30000 && ThreadCount() > threadsBefore; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_LE(ThreadCount(), threadsBefore) << "the left thread ends on its own";
    EXPECT_EQ(calls->load(), 0) << "no callback after the owner is gone";
}

// Cut into pieces decided side by side, a run hands over what one pass keeps: the same lines,
// numbers and context marks in file order, with context over the pieces' edges and in exclude mode.
TEST(FilterWorkerTest, PiecesOnSeveralThreadsKeepWhatOnePassKeeps)
{
    TempDir dir;
    std::mt19937 random(1210);
    for (int round = 0; round < 150; ++round) {
        const std::string log = RandomLog(random, std::uniform_int_distribution<int>(0, 200)(random));
        const std::string path = dir.Write("log", log);
        const FilterRun run{path, RandomFilters(random), std::uniform_int_distribution<int>(0, 3)(random) == 0};
        std::vector<std::uint64_t> splits;
        for (int i = std::uniform_int_distribution<int>(1, 5)(random); i > 0; --i)
            splits.push_back(std::uniform_int_distribution<std::uint64_t>(0, log.size())(random));
        std::sort(splits.begin(), splits.end());
        FilterWorker worker(run);
        worker.GetEngine().SetSplitOffsets(splits);
        worker.GetEngine().SetBufferLimit(std::uniform_int_distribution<std::size_t>(1, 512)(random));
        ASSERT_EQ(RunToTheEnd(worker), ReferenceFilter(log, run)) << "round " << round;
        ASSERT_EQ(worker.GetEngine().GetProgressPercent(), 100) << "round " << round;
    }

    // A file big enough to be cut evenly, one piece per thread.
    std::string log;
    while (log.size() < 3 * ParallelFilterEngine::MinChunkSize + 1000)
        log += RandomLog(random, 1000);
    const std::string path = dir.Write("big", log);
    for (const bool exclude : {false, true}) {
        const FilterRun run{path, {Literal("ERROR", true, 2, 3), Expression("^beta", false, 0, 1)}, exclude};
        FilterWorker worker(run);
        worker.GetEngine().SetThreadCount(3);
        EXPECT_EQ(RunToTheEnd(worker), ReferenceFilter(log, run)) << exclude;
        EXPECT_EQ(worker.GetEngine().GetChunkCount(), 3u);
        EXPECT_EQ(worker.GetEngine().GetProgressPercent(), 100) << "every piece's bytes counted once";
    }
    // One thread: one pass, as before.
    const FilterRun run{path, {Literal("warn", true, 1, 1)}, false};
    FilterWorker single(run);
    single.GetEngine().SetThreadCount(1);
    EXPECT_EQ(RunToTheEnd(single), ReferenceFilter(log, run));
    EXPECT_EQ(single.GetEngine().GetChunkCount(), 1u);
    EXPECT_EQ(single.GetEngine().GetProgressPercent(), 100);
}

// Cancel while every later piece waits for its turn with its lines held: all of them stop, the run
// ends, and what was read is far from the whole file.
TEST(FilterWorkerTest, AStopEndsEveryPieceOfARun)
{
    TempDir dir;
    const std::string content = NumberedLines(1500000);
    const std::string path = dir.Write("log", content);
    std::thread([] {}).join();
    const int threadsBefore = ThreadCount();
    {
        FilterWorker worker(FilterRun{path, {Literal("row")}, false});
        worker.GetEngine().SetThreadCount(4);
        // A piece holds one batch at most: the later pieces wait until the first is written.
        worker.GetEngine().SetBufferLimit(1);
        FilterWorker* running = &worker;
        worker.GetQueue().SetNotification([running] { running->RequestStop(); });
        std::string error;
        ASSERT_TRUE(worker.Start(error));
        ASSERT_TRUE(worker.WaitForFinish(60s)) << "a piece kept waiting after the stop";
        EXPECT_EQ(worker.GetResult(), EngineResult::Stopped);
        EXPECT_EQ(worker.GetEngine().GetChunkCount(), 4u);
        const int progress = worker.GetEngine().GetProgressPercent();
        EXPECT_GT(progress, 0);
        EXPECT_LT(progress, 75) << "the pieces read on after the stop";
        const auto kept = Drain(worker.GetQueue());
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(kept.front().Number, 1);
        EXPECT_LT(kept.size(), 1500000u * 6 / 7 / 4);
    }
    for (int i = 0; i < 30000 && ThreadCount() > threadsBefore; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_LE(ThreadCount(), threadsBefore) << "no piece's thread is left";
}

// While a run goes on its progress over all pieces only grows, and it ends at 100.
TEST(FilterWorkerTest, ProgressOverAllPiecesGrowsToTheEnd)
{
    TempDir dir;
    const std::string content = NumberedLines(600000);
    const std::string path = dir.Write("log", content);
    FilterWorker worker(FilterRun{path, {Literal("hit")}, false});
    worker.GetEngine().SetThreadCount(4);
    worker.GetEngine().SetBufferLimit(1);
    std::vector<int> seen;
    std::mutex seenMutex;
    FilterWorker* running = &worker;
    // Read on the thread that writes the lines, once per batch taken.
    worker.GetQueue().SetNotification([&, running] {
        std::lock_guard lock(seenMutex);
        seen.push_back(running->GetEngine().GetProgressPercent());
    });
    const auto kept = RunToTheEnd(worker);
    EXPECT_EQ(kept.size(), 600000u / 7);
    EXPECT_EQ(worker.GetEngine().GetProgressPercent(), 100);
    EXPECT_EQ(worker.GetProgressPercent(), 100);
    std::lock_guard lock(seenMutex);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.front(), 0);
    EXPECT_LE(seen.back(), 100);
}
