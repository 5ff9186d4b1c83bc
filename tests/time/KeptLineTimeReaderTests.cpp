// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/EngineTestSupport.h"
#include "filtering/FilterWorker.h"
#include "support/TempDir.h"
#include "time/KeptLineTimeReader.h"
#include "time/KeptLineTimes.h"

using namespace std::chrono_literals;

namespace {

// A log of 2026-12-11 in ISO 8601, some lines without a time of their own (continuations), some
// blank, "hit" on about a third of them.
std::string RandomLog(std::mt19937& random, int lines)
{
    std::string log;
    int offset = std::uniform_int_distribution<int>(0, 3600000)(random);
    for (int i = 0; i < lines; ++i) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(random);
        const char* word = std::uniform_int_distribution<int>(0, 2)(random) == 0 ? "hit" : "row";
        if (kind == 0) {
            log += std::string("    at ") + word + " continuation " + std::to_string(i) + "\n";
        } else if (kind == 1) {
            log += "\n";
        } else {
            offset = std::min(86399999, offset + std::uniform_int_distribution<int>(0, 5000)(random));
            char stamp[64];
            std::snprintf(stamp, sizeof stamp, "2026-12-11 %02d:%02d:%02d.%03d ", offset / 3600000, offset / 60000 % 60,
                          offset / 1000 % 60, offset % 1000);
            log += std::string(stamp) + word + " message " + std::to_string(i) + (i % 5 ? "\n" : "\r\n");
        }
    }
    return log;
}

void ExpectSameBuckets(const SpanBuckets& actual, const SpanBuckets& expected, const std::string& where)
{
    ASSERT_EQ(actual.GetLineCount(), expected.GetLineCount()) << where;
    ASSERT_EQ(actual.GetOrigin(), expected.GetOrigin()) << where;
    ASSERT_EQ(actual.GetWidth(), expected.GetWidth()) << where;
    ASSERT_EQ(actual.GetMinKey(), expected.GetMinKey()) << where;
    ASSERT_EQ(actual.GetMaxKey(), expected.GetMaxKey()) << where;
    for (std::size_t i = 0; i < expected.GetBucketCount(); ++i) {
        ASSERT_EQ(actual.At(i).Lines, expected.At(i).Lines) << where << ", bucket " << i;
        ASSERT_EQ(actual.At(i).FirstLine, expected.At(i).FirstLine) << where << ", bucket " << i;
    }
}

// Counts the batches twice: reading every line in the window, and with the times the run read.
struct BothCounts
{
    KeptLineTimes Reading{TimeContext{}, 64};
    KeptLineTimes Read{TimeContext{}, 64};
    std::size_t ReadLines = 0; // lines that came with a time read by the run

    void Add(const OutputBatch& batch)
    {
        const bool read = batch.Times.size() == batch.Lines.size();
        ASSERT_TRUE(read || batch.Times.empty());
        for (std::size_t i = 0; i < batch.Lines.size(); ++i) {
            const OutputLine& line = batch.Lines[i];
            if (line.LineNumber <= 0)
                continue;
            Reading.Add(batch.LineText(line), line.LineNumber, line.Filter);
            if (!read) {
                Read.Add(batch.LineText(line), line.LineNumber, line.Filter);
                continue;
            }
            if (batch.Times[i] != KeptLineTimeReader::Unread)
                ++ReadLines;
            // What the run read is what the window would read.
            std::int64_t millis = 0;
            if (batch.Times[i] != KeptLineTimeReader::Unread) {
                const bool timed =
                    KeptLineTimes::MillisOf(batch.TimesLayout, batch.LineText(line), TimeContext{}, millis);
                ASSERT_EQ(batch.Times[i], timed ? millis : KeptLineTimeReader::NoTime) << "line " << line.LineNumber;
            }
            Read.Add(batch.LineText(line), line.LineNumber, line.Filter, batch.TimesLayout, batch.Times[i]);
        }
    }
};

} // namespace

// A run that reads its kept lines' times hands the window what it would have counted itself, on
// one thread and on three, with the pieces' edges anywhere.
TEST(KeptLineTimeReaderTest, TimesReadByTheRunCountAsTheWindowCountsThem)
{
    TempDir dir;
    std::mt19937 random(1211);
    for (int round = 0; round < 40; ++round) {
        const std::string log = RandomLog(random, std::uniform_int_distribution<int>(50, 3000)(random));
        const std::string path = dir.Write("log", log);
        for (const unsigned threads : {1u, 3u}) {
            const std::string where = "round " + std::to_string(round) + ", " + std::to_string(threads) + " threads";
            FilterWorker worker(FilterRun{path, {Literal("hit"), Literal("message")}, false});
            worker.ReadKeptLineTimes(TimeContext{});
            worker.GetEngine().SetThreadCount(threads);
            if (threads > 1)
                worker.GetEngine().SetSplitOffsets(
                    {log.size() / 3, std::uniform_int_distribution<std::uint64_t>(log.size() / 3, log.size())(random)});
            worker.GetEngine().SetBufferLimit(std::uniform_int_distribution<std::size_t>(1, 4096)(random));
            std::string error;
            ASSERT_TRUE(worker.Start(error)) << error;
            ASSERT_TRUE(worker.WaitForFinish(60s));
            BothCounts counts;
            while (auto batch = worker.GetQueue().PopOutputLines())
                counts.Add(*batch);
            counts.Reading.Finish();
            counts.Read.Finish();
            ASSERT_EQ(counts.Read.GetLayout(), TimeLayout::Iso8601) << where;
            ExpectSameBuckets(counts.Read.Buckets(), counts.Reading.Buckets(), where);
            // Past the sample, the run read the lines' times itself.
            if (counts.Reading.Buckets().GetLineCount() > 2 * TimeLayoutDetector::SampleLines) {
                ASSERT_GT(counts.ReadLines, counts.Reading.Buckets().GetLineCount() / 2) << where;
            }
        }
    }
}

// Only the lines after the sample are read, the sample told in batches of any size, markers
// skipped; a line without a time counts at the time above it, across batches.
TEST(KeptLineTimeReaderTest, ReadsWhatComesAfterTheSampleAndCarriesTimesDown)
{
    std::vector<std::string> lines;
    for (int i = 0; i < TimeLayoutDetector::SampleLines; ++i)
        lines.push_back("2026-12-11 10:00:00.000 sample " + std::to_string(i) + "\n");
    lines.push_back("    no time of its own\n");
    lines.push_back("2026-12-11 10:00:05.250 later\n");
    lines.push_back("    nor this one\n");
    lines.push_back("1970-01-01 00:00:00.000 the epoch\n");
    for (const std::size_t batchSize : {std::size_t{1}, std::size_t{7}, std::size_t{100}, std::size_t{500}}) {
        KeptLineTimeReader reader(TimeContext{});
        BothCounts counts;
        std::vector<std::int64_t> read; // every line's reading, in order
        for (std::size_t start = 0; start < lines.size(); start += batchSize) {
            OutputBatch batch;
            batch.Append(0, "--- a marker ---\n", false);
            for (std::size_t i = start; i < std::min(lines.size(), start + batchSize); ++i)
                batch.Append(static_cast<std::int64_t>(i) + 1, lines[i], false, static_cast<int>(i % 3));
            reader.Read(batch);
            counts.Add(batch);
            for (std::size_t i = 1; i < batch.Lines.size(); ++i)
                read.push_back(batch.Times.empty() ? KeptLineTimeReader::Unread : batch.Times[i]);
            if (!batch.Times.empty()) {
                EXPECT_EQ(batch.Times[0], KeptLineTimeReader::Unread) << "a marker is not read";
            }
        }
        ASSERT_TRUE(reader.IsDecided());
        ASSERT_EQ(read.size(), lines.size());
        for (int i = 0; i < TimeLayoutDetector::SampleLines; ++i)
            EXPECT_EQ(read[static_cast<std::size_t>(i)], KeptLineTimeReader::Unread) << batchSize << ": line " << i;
        const std::int64_t ten = (20798LL * 86400 + 10 * 3600) * 1000; // 2026-12-11 10:00 UTC
        EXPECT_EQ(read[100], KeptLineTimeReader::NoTime) << batchSize;
        EXPECT_EQ(read[101], ten + 5250) << batchSize;
        EXPECT_EQ(read[102], KeptLineTimeReader::NoTime) << batchSize;
        EXPECT_EQ(read[103], 0) << batchSize << ": the epoch is a time";
        counts.Read.Finish();
        counts.Reading.Finish();
        ExpectSameBuckets(counts.Read.Buckets(), counts.Reading.Buckets(), "batches of " + std::to_string(batchSize));
        // Every line counts: the one at the epoch apart, the others 56 years later.
        EXPECT_EQ(counts.Read.Buckets().GetLineCount(), 104u);
        EXPECT_EQ(counts.Read.Buckets().Sum(0, 1).Total(), 1u);
        EXPECT_EQ(counts.Read.Buckets().Sum(ten, ten + 1).Total(), 103u);
        EXPECT_EQ(counts.Read.Buckets().GetMinKey(), 0);
        EXPECT_EQ(counts.Read.Buckets().GetMaxKey(), ten + 5250);
    }
}

// Lines without times: nothing is read once the sample says so, and the window counts nothing.
// A window that began counting late (the timeline shown during a run) decides on its own lines
// and reads again what the run read in another layout.
TEST(KeptLineTimeReaderTest, NoTimesOrAnotherDecisionLeaveTheReadingToTheWindow)
{
    KeptLineTimeReader untimed(TimeContext{});
    for (int round = 0; round < 3; ++round) {
        OutputBatch batch;
        for (int i = 1; i <= 80; ++i)
            batch.Append(round * 80 + i, "plain line " + std::to_string(i) + "\n", false);
        untimed.Read(batch);
        EXPECT_TRUE(batch.Times.empty()) << round;
    }
    EXPECT_TRUE(untimed.IsDecided());
    EXPECT_EQ(untimed.GetLayout(), TimeLayout::None);

    // The run decided syslog on its sample; the window sees only later lines in ISO 8601 and
    // epoch seconds, read by the run as syslog (no time).
    KeptLineTimes window(TimeContext{}, 64);
    KeptLineTimes reference(TimeContext{}, 64);
    for (int i = 0; i < 300; ++i) {
        const std::string line =
            i % 2 ? "2026-12-11 10:00:0" + std::to_string(i % 10) + " iso\n" : "1765447200 epoch\n";
        window.Add(line, i + 1, 0, TimeLayout::Syslog, KeptLineTimeReader::NoTime);
        reference.Add(line, i + 1, 0);
    }
    window.Finish();
    reference.Finish();
    EXPECT_EQ(window.GetLayout(), TimeLayout::Iso8601);
    ExpectSameBuckets(window.Buckets(), reference.Buckets(), "another layout");
    EXPECT_EQ(window.Buckets().GetLineCount(), 300u - 1) << "the first line comes before any time";
}
