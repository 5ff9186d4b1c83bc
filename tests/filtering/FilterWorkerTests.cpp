// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
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
    {
        // Stop at the first batch, as Cancel does while lines are arriving.
        auto worker = std::make_unique<FilterWorker>(FilterRun{path, {Literal("row")}, false});
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

    // Destroying a running worker stops it; nothing is left running.
    for (int i = 0; i < 10; ++i) {
        FilterWorker worker(FilterRun{path, {Literal("row")}, false});
        std::string error;
        ASSERT_TRUE(worker.Start(error));
    }
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
    EXPECT_EQ(ThreadCount(), threadsBefore) << "the left thread ends on its own";
    EXPECT_EQ(calls->load(), 0) << "no callback after the owner is gone";
}
