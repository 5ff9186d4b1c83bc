// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "support/TempDir.h"

namespace {

std::string Describe(const std::vector<KeptLine>& lines)
{
    std::string text;
    for (const KeptLine& line : lines)
        text += std::to_string(line.Number) + (line.IsContext ? "-" : ":") + line.Text + "|";
    return text;
}

// Expressions of every kind the engine treats differently: decided by the automaton or by the
// backtracker (back references, negations), with literals to skip lines by or without, anchored,
// at the subject's end, with the newline abbreviation, with line ends and NUL in literals.
const char* const kExpressions[] = {
    ".*ERROR",
    "(ERROR)|(warn)|(x\\z)",
    "[a-z]+\\.ex",
    "ab|cd",
    "^ab",
    "b$",
    "b\\n$",
    "\\n",
    "\\w \\z",
    "{a}b\\0",
    "a!b",
    "x!(ab)y",
    "E.*?R",
    "(a|b)+c",
    "[^a-z]\\d+",
    "\r",
    "\\z\r?\\n",
    "^\\n",
    "",
    "a*",
    "$",
    "[\xE9\xC9]t",
    "\\q",
    "ERROR.*\\z ms",
    "(ab)+?x",
    "\\h\\h",
    "{e|E}r.*\\0",
    "^.*ab.*$",
    "[\\]-]",
    "e.rr",
};

const char* const kLiterals[] = {"ab", "ERROR", "error", "x", "", "b\n", "\r\n", "\xE9", "warn", "a b"};

std::string RandomLog(std::mt19937& random)
{
    static const char* const kWords[] = {"a",    "b",  "ab",   "cd",      "ERROR", "error", "x",     "",
                                         "\r",   "\0", "\xE9", "\xC9t",   "warn",  "WARN",  "12",    "x7",
                                         "e.ex", "\"", "q\"r", "timeout", "ms",    "abc",   "Error", "E"};
    std::string content;
    const int lines = static_cast<int>(random() % 50);
    for (int i = 0; i < lines; ++i) {
        const int parts = static_cast<int>(random() % 6);
        for (int k = 0; k < parts; ++k) {
            const char* word = kWords[random() % std::size(kWords)];
            content.append(word, word[0] == '\0' ? 1 : std::strlen(word));
            content += random() % 3 ? " " : "";
        }
        if (random() % 30 == 0)
            content += std::string(100 + random() % 200, "az\xE9"[random() % 3]);
        content += (random() % 5 == 0) ? "\r\n" : "\n";
    }
    if (random() % 3 == 0 && !content.empty())
        content.pop_back(); // no final line feed, or a lone CR at the end
    return content;
}

std::vector<RunFilter> RandomFilters(std::mt19937& random)
{
    std::vector<RunFilter> filters;
    const int count = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < count; ++k) {
        const bool caseSensitive = random() % 2 == 0;
        const int before = static_cast<int>(random() % 3);
        const int after = static_cast<int>(random() % 3);
        if (random() % 3 == 0)
            filters.push_back(Literal(kLiterals[random() % std::size(kLiterals)], caseSensitive, before, after));
        else
            filters.push_back(
                Expression(kExpressions[random() % std::size(kExpressions)], caseSensitive, before, after));
    }
    return filters;
}

EngineResult RunEngine(const FilterRun& run, std::size_t blockSize, CollectingOutput& output)
{
    FilterEngine engine(run, blockSize);
    return engine.Run(std::stop_token(), output);
}

} // namespace

// The whole output of the engine, with automaton, literal prefilters and the one-pass scan, must
// be what the line-by-line rules give with the backtracker, for regular files (read through a
// mapping) and for pipes (read in blocks), whatever the block size.
TEST(ExpressionEngineTest, AgreesWithTheLineByLineRules)
{
    TempDir dir;
    std::mt19937 random(20261213);
    for (int round = 0; round < 1500; ++round) {
        const std::string content = RandomLog(random);
        const FilterRun run{dir.Write("log", content), RandomFilters(random), random() % 6 == 0};
        const std::size_t blockSize = 1 + random() % 80;
        const std::string expected = Describe(ReferenceFilter(content, run));

        CollectingOutput fromFile;
        ASSERT_EQ(RunEngine(run, blockSize, fromFile), EngineResult::Finished);
        ASSERT_EQ(Describe(fromFile.Lines), expected) << "round " << round << " block " << blockSize;

        if (round % 10 != 0)
            continue;
        const std::string pipe = (dir.Path() / ("pipe" + std::to_string(round))).string();
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        // The writer's open waits for the engine to open the reading end.
        std::jthread writer([&content, &pipe] {
            const int fd = ::open(pipe.c_str(), O_WRONLY);
            for (std::size_t done = 0; fd >= 0 && done < content.size();) {
                const ssize_t written =
                    ::write(fd, content.data() + done, std::min<std::size_t>(7, content.size() - done));
                if (written <= 0)
                    break;
                done += static_cast<std::size_t>(written);
            }
            ::close(fd);
        });
        CollectingOutput fromPipe;
        FilterRun piped = run;
        piped.Path = pipe;
        ASSERT_EQ(RunEngine(piped, blockSize, fromPipe), EngineResult::Finished);
        ASSERT_EQ(Describe(fromPipe.Lines), expected) << "round " << round << " through a pipe";
    }
}

// A line the backtracker cannot decide for want of memory ends the run with one report, after
// the lines decided before it; it is never taken for a line that does not match.
TEST(ExpressionEngineTest, EndsTheRunWhenAMatchRunsOutOfMemory)
{
    TempDir dir;
    // The long line holds every literal the expressions need, so it is not skipped before a match.
    const std::string path = dir.Write("log", "a first Z\n" + ("a" + std::string(5000, 'x')) + "Zq\nlast Z\n");
    {
        // A back reference: only the backtracker knows the answer.
        FilterEngine engine(FilterRun{path, {Expression("{a}.*Z\\0?")}, false});
        engine.SetExpressionStackLimit(1000);
        CollectingOutput output;
        EXPECT_EQ(engine.Run(std::stop_token(), output), EngineResult::OutOfMemory);
        EXPECT_EQ(output.Errors, std::vector<std::string>{OutOfMemoryMessage(path)});
        ASSERT_EQ(output.Lines.size(), 1u);
        EXPECT_EQ(output.Lines[0].Text, "a first Z\n");
    }

    // The automaton needs no stack, nor does the linear decider behind a negation: the same line
    // costs them nothing, and every line is decided.
    const struct
    {
        const char* Pattern;
        std::vector<std::int64_t> Kept;
    } stackless[] = {{"a.*Zq", {2}}, {"a.*Z!q", {1, 3}}};
    for (const auto& c : stackless) {
        FilterEngine engine(FilterRun{path, {Expression(c.Pattern)}, false});
        engine.SetExpressionStackLimit(1000);
        CollectingOutput output;
        EXPECT_EQ(engine.Run(std::stop_token(), output), EngineResult::Finished) << c.Pattern;
        EXPECT_TRUE(output.Errors.empty()) << c.Pattern;
        std::vector<std::int64_t> kept;
        for (const KeptLine& line : output.Lines)
            kept.push_back(line.Number);
        EXPECT_EQ(kept, c.Kept) << c.Pattern;
    }
}
