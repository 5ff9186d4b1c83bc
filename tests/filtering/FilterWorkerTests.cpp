// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "filtering/FilterWorker.h"
#include "filtering/OutputLineQueue.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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
    OutputLineQueue queue;
    std::atomic<bool> finishedCalled{false};
    FilterWorker worker(run, queue, {}, [&] { finishedCalled = true; });
    std::string error;
    ASSERT_TRUE(worker.Start(error)) << error;
    ASSERT_TRUE(worker.WaitForFinish(30s));
    EXPECT_TRUE(worker.IsWorkerFinished());
    EXPECT_EQ(worker.GetResult(), EngineResult::Finished);
    EXPECT_EQ(worker.GetProgressPercent(), 100);
    EXPECT_EQ(Drain(queue), ReferenceFilter(content, run));
    // The notification runs on the worker after it has marked itself finished.
    for (int i = 0; i < 1000 && !finishedCalled; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(finishedCalled);
}

TEST(FilterWorkerTest, StopsWhenAskedAndOnDestruction)
{
    TempDir dir;
    const std::string path = dir.Write("log", NumberedLines(300000));
    OutputLineQueue queue;
    {
        // Stop at the first batch, as Cancel does while lines are arriving.
        std::unique_ptr<FilterWorker> worker;
        queue.SetNotification([&] {
            if (worker)
                worker->RequestStop();
        });
        worker = std::make_unique<FilterWorker>(FilterRun{path, {Literal("row")}, false}, queue,
                                                FilterWorker::ErrorReporter{});
        std::string error;
        ASSERT_TRUE(worker->Start(error));
        ASSERT_TRUE(worker->WaitForFinish(30s));
        EXPECT_EQ(worker->GetResult(), EngineResult::Stopped);
        queue.SetNotification({});
    }
    const auto kept = Drain(queue);
    EXPECT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), 300000u * 6 / 7);

    // Destroying a running worker stops and joins it; nothing is left running.
    for (int i = 0; i < 10; ++i) {
        FilterWorker worker(FilterRun{path, {Literal("row")}, false}, queue, {});
        std::string error;
        ASSERT_TRUE(worker.Start(error));
    }
    queue.Clear();
}

TEST(FilterWorkerTest, ReportsErrorsThroughTheReporter)
{
    TempDir dir;
    OutputLineQueue queue;
    std::vector<std::string> messages;
    const std::string missing = (dir.Path() / "gone.log").string();
    FilterWorker worker(FilterRun{missing, {Literal("a")}, false}, queue,
                        [&](const std::string& message) { messages.push_back(message); });
    std::string error;
    ASSERT_TRUE(worker.Start(error));
    ASSERT_TRUE(worker.WaitForFinish(30s));
    EXPECT_EQ(worker.GetResult(), EngineResult::Failed);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("ERROR Opening " + missing, 0), 0u) << messages[0];
    EXPECT_TRUE(queue.IsOutputLineQueueEmpty());
}
