// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/FilterEngine.h"
#include "filtering/ReferenceFilter.h"
#include "support/TempDir.h"
#include "time/MergedLogInput.h"
#include "time/MergedLogReader.h"

namespace {

const TimeContext Utc{2026, 12, 0};

std::unique_ptr<MergedLogReader> OpenMerge(const std::vector<std::string>& paths)
{
    std::vector<std::unique_ptr<TimedLogInput>> inputs;
    for (const std::string& path : paths) {
        inputs.push_back(std::make_unique<TimedLogInput>(path, path));
        inputs.back()->SetContext(Utc);
        EXPECT_EQ(inputs.back()->Open(), TimedLogInput::OpenResult::Opened) << path;
    }
    return std::make_unique<MergedLogReader>(std::move(inputs));
}

std::string Stamp(int seconds)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "2026-12-01 10:%02d:%02d", seconds / 60 % 60, seconds % 60);
    return stamp;
}

// A log of the given number of lines whose times rise slowly; some lines hold a word to filter by.
std::string RandomLog(std::mt19937& random, int lines, int input)
{
    static const char* const Words[] = {"ERROR", "WARN", "INFO", "INFO", "INFO", "retry"};
    std::string text;
    int seconds = static_cast<int>(random() % 10);
    for (int n = 1; n <= lines; ++n) {
        seconds += static_cast<int>(random() % 2);
        const std::string word = Words[random() % std::size(Words)];
        if (n > 1 && random() % 8 == 0)
            text += "  continued " + word + "\n";
        else
            text += Stamp(seconds) + " " + word + " from " + std::to_string(input) + (random() % 4 ? "\n" : "\r\n");
    }
    if (random() % 3 == 0)
        text.pop_back(); // the last line without its line feed ("\r" stays as its byte)
    return text;
}

struct Origin
{
    std::size_t Input;
    std::int64_t LineNumber;
    bool operator==(const Origin&) const = default;
};

// Checks, as each batch comes, that every line's origin is still known, and keeps both.
class OriginCheckingOutput : public FilterOutput
{
public:
    explicit OriginCheckingOutput(const MergedLogInput& merged) : m_Merged(merged) {}

    void WriteLines(OutputBatch&& batch) override
    {
        for (const OutputLine& line : batch.Lines) {
            Lines.push_back({line.LineNumber, std::string(batch.LineText(line)), line.IsContext});
            MergedLogInput::Origin origin;
            if (!m_Merged.FindOrigin(line.LineNumber, origin))
                ++UnknownOrigins;
            Origins.push_back({origin.Input, origin.LineNumber});
        }
    }
    void ReportError(const std::string& message) override { Errors.push_back(message); }

    std::vector<KeptLine> Lines;
    std::vector<Origin> Origins;
    std::vector<std::string> Errors;
    int UnknownOrigins = 0;

private:
    const MergedLogInput& m_Merged;
};

} // namespace

// The merge read in pieces of any size is its lines one after the other, each ending in a line
// feed. A run filters it as the text of one log, context counted in the merged order, with small
// blocks so that the origins are asked for long after the lines were read: each line the run
// outputs is still known, as the line of its own log that the merge gave.
TEST(MergedLogInputTest, IsFilteredAsOneText)
{
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
        TempDir dir;
        std::vector<std::string> paths;
        const int count = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < count; ++i)
            paths.push_back(dir.Write("log" + std::to_string(i), RandomLog(random, 1 + random() % 300, i)));

        // What the merge gives, line by line.
        std::string text;
        std::vector<Origin> origins;
        {
            const auto reader = OpenMerge(paths);
            MergedLogReader::Line line;
            while (reader->Next(line)) {
                text += line.Text;
                if (line.Text.back() != '\n')
                    text += '\n';
                origins.push_back({line.Input, line.LineNumber});
            }
        }
        {
            const auto reader = OpenMerge(paths);
            MergedLogInput merged(*reader, 0);
            std::string read;
            char buffer[128];
            for (std::size_t got = 1; got > 0;) {
                got = merged.Read(-1, buffer, 1 + random() % sizeof buffer);
                read.append(buffer, got);
            }
            ASSERT_EQ(read, text) << "round " << round;
        }

        FilterRun run;
        const int filters = static_cast<int>(random() % 3);
        for (int f = 0; f < filters; ++f) {
            static const char* const Patterns[] = {"ERROR", "WARN", "retry", "from 1"};
            run.Filters.push_back(RunFilter{Patterns[random() % std::size(Patterns)], false, true,
                                            static_cast<std::int32_t>(random() % 4),
                                            static_cast<std::int32_t>(random() % 4)});
        }
        run.ExcludeMatches = filters == 0 || random() % 5 == 0;
        std::int64_t maxBefore = 0;
        for (const RunFilter& filter : run.Filters)
            maxBefore = std::max<std::int64_t>(maxBefore, filter.OutputBeforeMatch);

        const auto reader = OpenMerge(paths);
        MergedLogInput merged(*reader, maxBefore);
        OriginCheckingOutput output(merged);
        FilterEngine engine(run, 64 + random() % 256);
        engine.SetInput(merged);
        ASSERT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished);
        EXPECT_TRUE(output.Errors.empty());
        ASSERT_EQ(output.Lines, ReferenceFilter(text, run)) << "round " << round;
        EXPECT_EQ(output.UnknownOrigins, 0) << "round " << round;
        for (std::size_t k = 0; k < output.Lines.size(); ++k)
            ASSERT_EQ(output.Origins[k], origins[static_cast<std::size_t>(output.Lines[k].Number - 1)])
                << "round " << round << ", kept line " << k;
    }
}

// Only the origins of the lines a run may still output are held: those read in the last piece
// and as many complete lines before it as a before-context reaches.
TEST(MergedLogInputTest, HoldsFewOrigins)
{
    TempDir dir;
    std::string a;
    std::string b;
    for (int i = 0; i < 20000; ++i) {
        a += Stamp(i / 10) + " a " + std::to_string(i) + "\n";
        b += Stamp(i / 10) + " b " + std::to_string(i) + "\n";
    }
    const auto reader = OpenMerge({dir.Write("a", a), dir.Write("b", b)});
    constexpr std::int64_t Retained = 5;
    MergedLogInput merged(*reader, Retained);
    std::vector<char> buffer(4096);
    std::int64_t completed = 0;
    std::size_t most = 0;
    for (;;) {
        const std::int64_t before = completed;
        const std::size_t got = merged.Read(-1, buffer.data(), buffer.size());
        if (got == 0)
            break;
        completed += std::count(buffer.begin(), buffer.begin() + static_cast<long>(got), '\n');
        most = std::max(most, merged.GetHeldOrigins());
        // Kept: from the retained lines before this read on; forgotten: all before those.
        MergedLogInput::Origin origin;
        if (before > Retained) {
            ASSERT_TRUE(merged.FindOrigin(before - Retained + 1, origin)) << before;
            ASSERT_FALSE(merged.FindOrigin(before - Retained, origin)) << before;
        }
        ASSERT_TRUE(merged.FindOrigin(completed, origin));
        ASSERT_FALSE(merged.FindOrigin(completed + 2, origin));
    }
    EXPECT_EQ(completed, 40000);
    // Lines are at least 24 bytes long; one may be cut by the end of the read before.
    EXPECT_LE(most, 4096 / 24 + 1 + Retained + 1);
}

// A damaged archive among the logs ends that log where the damage is: the others are merged to
// their ends, and the fault is told naming the archive.
TEST(MergedLogInputTest, TellsTheFaultOfALog)
{
    if (std::system("command -v gzip > /dev/null") != 0)
        GTEST_SKIP() << "gzip is not installed";
    TempDir dir;
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += Stamp(i / 1000) + " packed line " + std::to_string(i) + "\n";
    const std::string plain = dir.Write("plain", text);
    const std::string cut = (dir.Path() / "cut.gz").string();
    ASSERT_EQ(std::system(("gzip -c '" + plain + "' | head -c 20000 > '" + cut + "'").c_str()), 0);
    const std::string other = dir.Write("other", Stamp(50) + " after everything\n");

    const auto reader = OpenMerge({cut, other});
    MergedLogInput merged(*reader, 0);
    std::string read;
    char buffer[65536];
    for (std::size_t got = 1; got > 0;) {
        got = merged.Read(-1, buffer, sizeof buffer);
        read.append(buffer, got);
    }
    const std::string last = Stamp(50) + " after everything\n";
    ASSERT_GE(read.size(), last.size());
    EXPECT_EQ(read.substr(read.size() - last.size()), last);
    const std::string fromArchive = read.substr(0, read.size() - last.size());
    EXPECT_GT(fromArchive.size(), 20000u);
    EXPECT_LT(fromArchive.size(), text.size());
    // The archive's text up to the damage (its last line may be cut, and ends in a line feed).
    const std::size_t whole = fromArchive.rfind('\n', fromArchive.size() - 2) + 1;
    EXPECT_EQ(text.compare(0, whole, fromArchive, 0, whole), 0);
    const std::string fault = merged.TakeFaultMessage("ignored");
    EXPECT_EQ(fault.rfind("ERROR Reading " + cut + ": the gzip data is damaged", 0), 0u) << fault;
    EXPECT_EQ(merged.TakeFaultMessage("ignored"), "");
}
