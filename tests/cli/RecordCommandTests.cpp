// SPDX-License-Identifier: GPL-3.0-or-later
#include <random>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ShellSupport.h"
#include "cli/CommandLineOptions.h"
#include "filtering/RecordReference.h"
#include "support/TempDir.h"
#include "time/LocalTimeContext.h"

namespace {

const std::string Filter = OSTREL_FILTER_BINARY;

// Lines as "-n" prints them: "12:" before a line of a kept record, "12-" before one of context.
std::string Numbered(const std::vector<KeptLine>& lines)
{
    std::string text;
    for (const KeptLine& line : lines)
        text += std::to_string(line.Number) + (line.IsContext ? "-" : ":") + line.Text;
    return text;
}

struct Workload
{
    std::string Arguments;
    FilterRun Run;
};

// A filter list on the command line and the same as a run.
Workload RandomWorkload(std::mt19937& random)
{
    static const char* const literals[] = {"alpha", "ERROR", "beta", "frame 7", "Caused"};
    Workload workload;
    workload.Run.Records = true;
    const bool exclude = random() % 4 == 0;
    workload.Run.ExcludeMatches = exclude;
    if (exclude)
        workload.Arguments += " -v";
    for (int i = 1 + static_cast<int>(random() % 3); i > 0; --i) {
        const int before = static_cast<int>(random() % 4);
        const int after = static_cast<int>(random() % 4);
        const bool ignoreCase = random() % 3 == 0;
        const std::string literal = literals[random() % 5];
        workload.Arguments += std::string(ignoreCase ? " -i" : " -s") + " -B " + std::to_string(before) + " -A " +
                              std::to_string(after) + " -e " + Quote(literal);
        workload.Run.Filters.push_back(RunFilter{literal, false, !ignoreCase, before, after});
    }
    return workload;
}

std::string RandomTracedLog(std::mt19937& random)
{
    std::string log;
    if (random() % 3 == 0)
        log += "\tat orphan.Frame(Orphan.java:1)\n";
    for (int r = 0; r < 80; ++r) {
        log += "2026-12-01 10:" + std::to_string(10 + r % 50) + ":00.000 [worker-1] " +
               (random() % 6 == 0 ? "ERROR" : "INFO ") + (random() % 2 ? " alpha" : " beta") +
               (random() % 3 == 0 ? "\r\n" : "\n");
        if (random() % 4 == 0) {
            log += "java.lang.IllegalStateException: Caused by ERROR\n";
            for (int k = static_cast<int>(random() % 12); k > 0; --k)
                log += "\tat com.example.frame " + std::to_string(k) + "(Frame.java)\n";
        }
    }
    return log;
}

} // namespace

// The option is parsed, and the program prints the records the reference keeps, from a file and
// from standard input, on any number of threads, with its exit status.
TEST(RecordCommandTest, PrintsTheRecordsTheReferenceKeeps)
{
    CommandLineOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--records", "-e", "x", "a.log"}, options, error)) << error;
    EXPECT_TRUE(options.Records);
    ASSERT_TRUE(ParseCommandLine({"-e", "x", "a.log"}, options = CommandLineOptions(), error)) << error;
    EXPECT_FALSE(options.Records);
    EXPECT_FALSE(ParseCommandLine({"--records=1", "-e", "x", "a.log"}, options = CommandLineOptions(), error));

    TempDir dir;
    std::mt19937 random(3141);
    for (int round = 0; round < 25; ++round) {
        const std::string log = RandomTracedLog(random);
        const std::string path = dir.Write("traced.log", log);
        const Workload workload = RandomWorkload(random);
        struct stat status
        {
        };
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        const std::string expected =
            Numbered(ReferenceRecordFilter(log, workload.Run, LocalTimeContext(status.st_mtime)).Lines);
        const std::string command = Quote(Filter) + " --records -n" + workload.Arguments;
        for (const std::string& input : {Quote(path), "-j 3 " + Quote(path), "- < " + Quote(path)}) {
            const ProcessResult result = RunShell(command + " " + input + " 2>&1");
            EXPECT_EQ(result.Output, expected) << "round " << round << ": " << workload.Arguments << " " << input;
            EXPECT_EQ(result.Status, expected.empty() ? 1 : 0) << "round " << round;
        }
    }
}

// A file without a recognised time is filtered line by line, as without --records, and says so
// once on standard error; with several files, for each file that has no times.
TEST(RecordCommandTest, SaysWhenAFileHasNoTimes)
{
    TempDir dir;
    const std::string untimed = dir.Write("plain.log", "alpha\n  beta alpha\ngamma\n");
    const std::string timed = dir.Write("timed.log", "2026-12-01 10:00:00 one\n  alpha\n");
    const std::string note = "ostrel-filter: no times recognised in " + untimed + "; each line is a record\n";

    const ProcessResult lines = RunShell(Quote(Filter) + " -n -e alpha " + Quote(untimed) + " 2>/dev/null");
    const ProcessResult records = RunShell(Quote(Filter) + " --records -n -e alpha " + Quote(untimed) + " 2>/dev/null");
    EXPECT_EQ(records.Output, lines.Output);
    EXPECT_EQ(records.Output, "1:alpha\n2:  beta alpha\n");
    const ProcessResult notes = RunShell(Quote(Filter) + " --records -e alpha " + Quote(untimed) + " 2>&1 >/dev/null");
    EXPECT_EQ(notes.Output, note);

    const ProcessResult both =
        RunShell(Quote(Filter) + " --records -e alpha " + Quote(untimed) + " " + Quote(timed) + " 2>&1 >/dev/null");
    EXPECT_EQ(both.Output, note);
    const ProcessResult timedOut = RunShell(Quote(Filter) + " --records -e alpha " + Quote(timed) + " 2>&1");
    EXPECT_EQ(timedOut.Output, "2026-12-01 10:00:00 one\n  alpha\n");
    EXPECT_EQ(timedOut.Status, 0);
}
