// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "filtering/FilterWorker.h"
#include "filtering/KeptLines.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

// The text's lines, each with its line end, as the engine cuts them.
std::vector<std::string> SplitLines(const std::string& content)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < content.size();) {
        const std::size_t lineFeed = content.find('\n', start);
        const std::size_t end = lineFeed == std::string::npos ? content.size() : lineFeed + 1;
        lines.push_back(content.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The filters' lines with the chosen ones put among them in their places, each line once.
std::vector<KeptLine> ReferenceWithKept(const std::string& content, const FilterRun& run)
{
    const std::vector<KeptLine> filtered = ReferenceFilter(content, run);
    const std::vector<std::string> lines = SplitLines(content);
    std::set<std::int64_t> chosen;
    for (std::int64_t line : run.KeptLines)
        if (line >= 1 && line <= static_cast<std::int64_t>(lines.size()))
            chosen.insert(line);
    std::vector<KeptLine> merged;
    auto next = chosen.begin();
    for (const KeptLine& line : filtered) {
        for (; next != chosen.end() && *next <= line.Number; ++next)
            if (*next < line.Number)
                merged.push_back({*next, lines[static_cast<std::size_t>(*next - 1)], false});
        merged.push_back(line);
    }
    for (; next != chosen.end(); ++next)
        merged.push_back({*next, lines[static_cast<std::size_t>(*next - 1)], false});
    return merged;
}

std::string RandomLog(std::mt19937& random, int lines)
{
    static const char* const words[] = {"alpha", "beta", "ERROR", "warn", "x", ""};
    std::string log;
    for (int i = 0; i < lines; ++i) {
        const int parts = std::uniform_int_distribution<int>(0, 3)(random);
        for (int k = 0; k < parts; ++k)
            log += std::string(k ? " " : "") + words[std::uniform_int_distribution<std::size_t>(0, 5)(random)];
        log += std::uniform_int_distribution<int>(0, 4)(random) == 0 ? "\r\n" : "\n";
    }
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
        log += "alpha without end";
    return log;
}

std::vector<KeptLine> RunWorker(const FilterRun& run, unsigned threads, std::vector<int>* filters = nullptr)
{
    FilterWorker worker(run);
    worker.GetEngine().SetThreadCount(threads);
    std::string error;
    EXPECT_TRUE(worker.Start(error)) << error;
    EXPECT_TRUE(worker.WaitForFinish(60s));
    EXPECT_EQ(worker.GetResult(), EngineResult::Finished);
    std::vector<KeptLine> lines;
    while (auto batch = worker.GetQueue().PopOutputLines())
        for (const OutputLine& line : batch->Lines) {
            lines.push_back({line.LineNumber, std::string(batch->LineText(line)), line.IsContext});
            if (filters)
                filters->push_back(line.Filter);
        }
    return lines;
}

} // namespace

TEST(KeptLinesTest, ChosenLinesJoinTheOutputInTheirPlacesWhateverTheFiltersSay)
{
    std::mt19937 random(20261211);
    TempDir dir;
    static const char* const literals[] = {"alpha", "ERROR", "beta", "warn"};
    for (int round = 0; round < 40; ++round) {
        const int lineCount = std::uniform_int_distribution<int>(0, 3000)(random);
        const std::string content = RandomLog(random, lineCount);
        const std::string path = dir.Write("log" + std::to_string(round), content);
        FilterRun run{path, {}, std::uniform_int_distribution<int>(0, 3)(random) == 0};
        const int filterCount = std::uniform_int_distribution<int>(1, 2)(random);
        for (int i = 0; i < filterCount; ++i)
            run.Filters.push_back(Literal(literals[std::uniform_int_distribution<std::size_t>(0, 3)(random)],
                                          std::uniform_int_distribution<int>(0, 1)(random) == 0,
                                          std::uniform_int_distribution<int>(0, 2)(random),
                                          std::uniform_int_distribution<int>(0, 2)(random)));
        // Unsorted, repeated, and some past either end of the file.
        const int chosen = std::uniform_int_distribution<int>(1, 30)(random);
        for (int i = 0; i < chosen; ++i)
            run.KeptLines.push_back(std::uniform_int_distribution<std::int64_t>(-1, lineCount + 3)(random));
        const std::vector<KeptLine> expected = ReferenceWithKept(content, run);
        for (unsigned threads : {1U, 3U}) {
            std::vector<int> filters;
            const std::vector<KeptLine> got = RunWorker(run, threads, &filters);
            ASSERT_EQ(got, expected) << "round " << round << ", " << threads << " threads";
            // A line kept only because it was chosen carries no filter's colour.
            const std::vector<KeptLine> plain = ReferenceFilter(content, run);
            std::set<std::int64_t> byFilters;
            for (const KeptLine& line : plain)
                byFilters.insert(line.Number);
            for (std::size_t i = 0; i < got.size(); ++i) {
                if (!byFilters.contains(got[i].Number)) {
                    ASSERT_EQ(filters[i], -1) << "line " << got[i].Number;
                }
            }
        }
    }
}

TEST(KeptLinesTest, LinesAreReadAsTheRunDecodesTheFile)
{
    TempDir dir;
    std::string content;
    for (int i = 1; i <= 5000; ++i)
        content += (i % 100 == 0 ? "match " : "plain ") + std::to_string(i) + "\n";
    const std::string plainPath = dir.Write("app.log", content);
    ASSERT_EQ(std::system(("gzip -k -c '" + plainPath + "' > '" + plainPath + ".gz'").c_str()), 0);
    FilterRun run{plainPath + ".gz", {Literal("match")}, false};
    run.KeptLines = {1, 250, 4999, 5000};
    const std::vector<KeptLine> got = RunWorker(run, 2);
    EXPECT_EQ(got, ReferenceWithKept(content, run));
    ASSERT_GE(got.size(), 2U);
    EXPECT_EQ(got[0].Text, "plain 1\n");

    // A set: the chosen lines are the set's, across its files.
    const std::string older = dir.Write("app.log.1", "old 1\nold 2 match\nold 3");
    FilterRun setRun{plainPath, {Literal("match")}, false};
    setRun.SetMembers = {older, plainPath};
    setRun.KeptLines = {3, 4, 5003};
    const std::string whole = "old 1\nold 2 match\nold 3\n" + content;
    EXPECT_EQ(RunWorker(setRun, 2), ReferenceWithKept(whole, setRun));
}

TEST(KeptLinesTest, AFollowedFileKeepsItsUnfinishedLineForLaterAndLetsGoWhenItStartsAnew)
{
    CollectingOutput collected;
    std::vector<KeptLineText> chosen{{2, "two\n"}, {5, "five\n"}, {7, "seven, still being written"}};
    KeptLinesOutput output(collected, chosen);
    OutputBatch first;
    first.Append(1, "one\n", false, 0);
    first.Append(5, "five\n", false, 0);
    output.WriteLines(std::move(first));
    output.NoteFileEvent(FilterOutput::FileEvent::CaughtUp);
    const std::vector<KeptLine> atTheEnd{{1, "one\n", false}, {2, "two\n", false}, {5, "five\n", false}};
    EXPECT_EQ(collected.Lines, atTheEnd) << "five is the run's own, seven is not whole yet";

    OutputBatch later;
    later.Append(8, "eight\n", false, 0);
    output.WriteLines(std::move(later));
    ASSERT_EQ(collected.Lines.size(), 5U);
    EXPECT_EQ(collected.Lines[3].Number, 7);
    EXPECT_EQ(collected.Lines[4].Number, 8);

    CollectingOutput restarted;
    KeptLinesOutput anew(restarted, chosen);
    anew.NoteFileEvent(FilterOutput::FileEvent::Truncated);
    OutputBatch after;
    after.Append(3, "three of the new file\n", false, 0);
    anew.WriteLines(std::move(after));
    anew.Finish();
    const std::vector<KeptLine> onlyNew{{3, "three of the new file\n", false}};
    EXPECT_EQ(restarted.Lines, onlyNew);
}
