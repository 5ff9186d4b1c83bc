// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ShellSupport.h"
#include "cli/CommandLineOptions.h"
#include "cli/FilterCommand.h"
#include "support/TempDir.h"

namespace {

const std::string Filter = OSTREL_FILTER_BINARY;

} // namespace

TEST(CommandLineTest, ParsesOptionsInOrder)
{
    CommandLineOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(
        {"-e", "one", "-i", "-B2", "--after=3", "-r", "t.o", "-s", "--literal", "three", "-vn", "file.log"}, options,
        error))
        << error;
    ASSERT_EQ(options.Filters.size(), 3u);
    EXPECT_TRUE(options.Filters[0].CaseSensitive);
    EXPECT_EQ(options.Filters[0].OutputBeforeMatch, 0);
    EXPECT_EQ(options.Filters[1].SourceKind, CommandLineFilter::Kind::Regex);
    EXPECT_FALSE(options.Filters[1].CaseSensitive);
    EXPECT_EQ(options.Filters[1].OutputBeforeMatch, 2);
    EXPECT_EQ(options.Filters[1].OutputAfterMatch, 3);
    EXPECT_TRUE(options.Filters[2].CaseSensitive);
    EXPECT_EQ(options.Filters[2].OutputAfterMatch, 3);
    EXPECT_TRUE(options.ExcludeMatches);
    EXPECT_TRUE(options.LineNumbers);
    EXPECT_EQ(options.Paths, std::vector<std::string>({"file.log"}));

    const std::vector<std::vector<std::string>> bad = {{"file.log"},
                                                       {"-e", "x"},
                                                       {"-F", "-e", "x", "a", "b"},
                                                       {"-F", "-R", "-e", "x", "a"},
                                                       {"-B", "-1", "-e", "x", "f"},
                                                       {"-B", "x", "-e", "x", "f"},
                                                       {"-q", "-e", "x", "f"},
                                                       {"-e"},
                                                       {"--exclude=1", "-e", "x", "f"},
                                                       {"--nope", "f"}};
    for (const auto& arguments : bad) {
        CommandLineOptions rejected;
        EXPECT_FALSE(ParseCommandLine(arguments, rejected, error)) << arguments.front();
        EXPECT_FALSE(error.empty());
    }
}

// For one literal filter the output must equal grep's, line numbers and separators included.
TEST(CommandLineTest, AgreesWithGrepForOneLiteral)
{
    if (RunShell("command -v grep >/dev/null && echo yes").Output != "yes\n")
        GTEST_SKIP() << "grep is not installed";
    TempDir dir;
    std::mt19937 random(42);
    const std::vector<std::string> words = {"ERROR", "error", "warn", "a", "b", "x y", "\t", "\xE9", "Error"};
    for (int round = 0; round < 40; ++round) {
        std::string content;
        const int lines = static_cast<int>(random() % 300);
        for (int i = 0; i < lines; ++i) {
            for (int k = static_cast<int>(random() % 5); k > 0; --k)
                content += words[random() % words.size()] + " ";
            if (random() % 40 == 0)
                content += std::string(1, '\0') + "nul";
            content += "\n";
        }
        const std::string path = dir.Write("log", content);
        const std::string pattern = words[random() % 5];
        const bool ignoreCase = random() % 2 == 0;
        const int before = static_cast<int>(random() % 4);
        const int after = static_cast<int>(random() % 4);
        const bool exclude = random() % 4 == 0;
        const std::string context =
            exclude ? std::string() : " -B " + std::to_string(before) + " -A " + std::to_string(after);
        const std::string flags = std::string(ignoreCase ? " -i" : "") + (exclude ? " -v" : "") + context;
        const auto ours = RunShell(Quote(Filter) + " -n" + flags + " -e " + Quote(pattern) + " " + Quote(path));
        const auto grep = RunShell("LC_ALL=C grep -a -n --no-group-separator -F" + flags + " -e " + Quote(pattern) +
                                   " " + Quote(path));
        ASSERT_EQ(ours.Output, grep.Output) << "round " << round << ": pattern " << pattern << flags;
        EXPECT_EQ(ours.Status, grep.Status) << "round " << round;
    }
}

TEST(CommandLineTest, ExitsWithTwoAndAMessageOnErrors)
{
    TempDir dir;
    const std::string log = dir.Write("a.log", "alpha\nbeta\n");
    struct Case
    {
        const char* Name;
        std::string Arguments;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {"missing log", "-e a " + Quote((dir.Path() / "none.log").string()), "ERROR Opening "},
        {"a folder", "-e a " + Quote(dir.Path().string()), "ERROR Opening "},
        {"missing filter file", "-f " + Quote((dir.Path() / "none.flt").string()) + " " + Quote(log),
         "cannot open filter settings file"},
        {"malformed filter file", "-f " + Quote(dir.Write("bad.flt", "<Filter>\nbogus\n")) + " " + Quote(log),
         "Illegal Filter Setting in"},
        {"faulty expression", "-r '(a' " + Quote(log), "Regular Expression Parser Error: "},
        {"usage", "-e", "needs a value"},
    };
    for (const Case& test : cases) {
        const auto result = RunShell(Quote(Filter) + " " + test.Arguments + " 2>&1");
        EXPECT_EQ(result.Status, 2) << test.Name;
        EXPECT_NE(result.Output.find(test.Message), std::string::npos) << test.Name << ": " << result.Output;
    }
    EXPECT_EQ(RunShell(Quote(Filter) + " -e zzz " + Quote(log)).Status, 1) << "no line output";
    EXPECT_EQ(RunShell(Quote(Filter) + " -e beta " + Quote(log)).Output, "beta\n");
}

// Memory that runs out ends the run with a message and status 2, never with an abort; a filter
// file is read only as far as a filter file can reach.
TEST(CommandLineTest, RunningOutOfMemoryIsAnError)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' shadow memory does not fit under an address-space limit";
#endif
    TempDir dir;
    const std::string log = dir.Write("a.log", "one\n");
    auto result = RunShell("ulimit -v 1000000; " + Quote(Filter) + " -e x /dev/zero 2>&1");
    EXPECT_EQ(result.Status, 2) << result.Output;
    EXPECT_NE(result.Output.find("ERROR Out of memory while filtering /dev/zero"), std::string::npos) << result.Output;
    result = RunShell("ulimit -v 1000000; " + Quote(Filter) + " -f /dev/zero " + Quote(log) + " 2>&1");
    EXPECT_EQ(result.Status, 2) << result.Output;
    EXPECT_NE(result.Output.find("Illegal Filter Setting Format in \"/dev/zero\" on Line 1"), std::string::npos);
}

TEST(CommandLineTest, TakesFilterFilesWithTheirExcludeSwitch)
{
    TempDir dir;
    const std::string log = dir.Write("a.log", "one\ntwo ERROR\nthree\nfour warn\n");
    const std::string excluding = dir.Write("x.flt", "<FilterSettings>\r\n   ExcludeMatches=1\r\n</FilterSettings>\r\n"
                                                     "<Filter>\r\n   FilterString=\"error\"\r\n</Filter>\r\n");
    // A filter without CaseSensitive is case-insensitive.
    EXPECT_EQ(RunShell(Quote(Filter) + " -n -f " + Quote(excluding) + " " + Quote(log)).Output,
              "1:one\n3:three\n4:four warn\n");
    const std::string withContext = dir.Write("c.flt", "<Filter>\r\n   FilterString=\"warn\"\r\n   CaseSensitive=1\r\n"
                                                       "   OutputBeforeMatch=1\r\n</Filter>\r\n");
    EXPECT_EQ(RunShell(Quote(Filter) + " -n -e one -f " + Quote(withContext) + " " + Quote(log)).Output,
              "1:one\n3-three\n4:four warn\n");
}

TEST(CommandLineTest, LeavesSwitchedOffFiltersOfAFilterFileOut)
{
    TempDir dir;
    const std::string log = dir.Write("a.log", "one\ntwo ERROR\nthree\nfour warn\n");
    const std::string warnOff =
        "# Ostrel: switched off\r\n#<Filter>\r\n#  FilterString=\"warn\"\r\n#  RegExp=0\r\n"
        "#  CaseSensitive=0\r\n#  OutputBeforeMatch=1\r\n#  OutputAfterMatch=0\r\n#</Filter>\r\n";
    const std::string mixed =
        dir.Write("mixed.flt", warnOff + "<Filter>\r\n   FilterString=\"error\"\r\n</Filter>\r\n" + warnOff);
    EXPECT_EQ(RunShell(Quote(Filter) + " -n -f " + Quote(mixed) + " " + Quote(log)).Output, "2:two ERROR\n");

    // With every filter off the file gives nothing to filter by, like a file without filters.
    const std::string allOff = dir.Write("off.flt", warnOff);
    const ProcessResult result = RunShell(Quote(Filter) + " -f " + Quote(allOff) + " " + Quote(log) + " 2>&1");
    EXPECT_EQ(result.Status, 2) << result.Output;
    EXPECT_NE(result.Output.find("no filter switched on in filter settings file"), std::string::npos) << result.Output;
}

// A 24 MB line under a 256 MB address limit: the backtracker alone would need far more stack than
// that. A negation is decided by the linear fallback, the automaton needs no stack at all, and a
// back reference, which only the backtracker can decide, is reported as too complex for the line
// (exit 2) instead of being taken for a line that does not match. (The address sanitizer
// reserves more than such a limit allows.)
TEST(CommandLineTest, ReportsALineTooLongForTheStack)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "needs an address limit the sanitizer cannot run under";
#endif
    TempDir dir;
    const std::string path = dir.Write("long.log", "a" + std::string(24u << 20, 'x') + "Zq\n");
    const std::string limited = "ulimit -v 262144; exec " + Quote(Filter) + " ";
    const ProcessResult negation = RunShell("sh -c " + Quote(limited + "-r 'a.*Z!q' " + Quote(path)) + " 2>&1");
    EXPECT_EQ(negation.Status, 1);
    EXPECT_EQ(negation.Output, "");
    const ProcessResult matching = RunShell("sh -c " + Quote(limited + "-r 'a.*Z!x' " + Quote(path)) + " | wc -c");
    EXPECT_EQ(matching.Output, std::to_string((24u << 20) + 4) + "\n");

    const ProcessResult backReference =
        RunShell("sh -c " + Quote(limited + "-r '{a}.*Z\\0?' " + Quote(path)) + " 2>&1");
    EXPECT_EQ(backReference.Status, 2);
    EXPECT_EQ(backReference.Output, "The expression is too complex for line 1 of " + path + "\n");

    const ProcessResult automaton = RunShell("sh -c " + Quote(limited + "-r 'a.*Z.q' " + Quote(path)) + " 2>&1");
    EXPECT_EQ(automaton.Status, 1);
    EXPECT_EQ(automaton.Output, "");
}

// A line an expression is too complex for is reported once, counts as not matched by it, and
// the run goes on: every other line is written, and the exit status is 2 at the end.
TEST(CommandLineTest, ExitsWithTwoAfterAllOutputWhenAnExpressionIsTooComplex)
{
    TempDir dir;
    const std::string hard = "x" + std::string(40, 'y');
    const std::string log =
        dir.Write("a.log", "one ok\n" + hard + "\nthree\n" + hard + "\nfive ok\n" + hard + " keep\nxabx");
    const std::string outFile = (dir.Path() / "out").string();
    const ProcessResult result =
        RunShell(Quote(Filter) + " -n -r '^{x}(.+)+\\0$' -e keep -e ok " + Quote(log) + " 2>&1 > " + Quote(outFile));
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Output, "The expression is too complex for line 2 of " + log + "\n");
    const ProcessResult output = RunShell("cat " + Quote(outFile));
    EXPECT_EQ(output.Output, "1:one ok\n5:five ok\n6:" + hard + " keep\n7:xabx");
}

namespace {

// ostrel-filter running on its own, its output read as it comes.
class RunningFilter
{
public:
    explicit RunningFilter(const std::vector<std::string>& arguments)
    {
        int out[2];
        int err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0)
            return;
        m_nPid = ::fork();
        if (m_nPid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            std::vector<char*> argv = {const_cast<char*>(Filter.c_str())};
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(Filter.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_nOut = out[0];
        m_nErr = err[0];
    }
    ~RunningFilter()
    {
        Interrupt();
        ::close(m_nOut);
        ::close(m_nErr);
    }

    // Reads standard output (or error) until it holds the text; false after 20 s without it.
    bool WaitFor(bool standardError, const std::string& text)
    {
        std::string& seen = standardError ? m_strErr : m_strOut;
        const int fd = standardError ? m_nErr : m_nOut;
        for (int idle = 0; idle < 200 && seen.find(text) == std::string::npos;) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) {
                ++idle;
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            seen.append(buffer, static_cast<std::size_t>(got));
        }
        return seen.find(text) != std::string::npos;
    }
    const std::string& Output() const { return m_strOut; }
    const std::string& Errors() const { return m_strErr; }

    // Waits until the program's standard output pipe is full: the program waits in its write.
    bool WaitUntilOutputBacksUp()
    {
        for (int i = 0; i < 20000; ++i) {
            int queued = 0;
            if (::ioctl(m_nOut, FIONREAD, &queued) == 0 && queued >= ::fcntl(m_nOut, F_GETPIPE_SZ))
                return true;
            ::usleep(1000);
        }
        return false;
    }

    // Interrupted as a user would stop it; the exit status, or -1.
    int Interrupt()
    {
        if (m_nPid <= 0)
            return -1;
        ::kill(m_nPid, SIGINT);
        int status = 0;
        ::waitpid(m_nPid, &status, 0);
        m_nPid = -1;
        return status;
    }

private:
    pid_t m_nPid = -1;
    int m_nOut = -1;
    int m_nErr = -1;
    std::string m_strOut;
    std::string m_strErr;
};

void Append(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "ab");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

} // namespace

// --follow: what is appended is filtered as it comes, context kept across the boundary; a
// truncated or replaced file starts again at line 1, noted on standard error only.
TEST(CommandLineTest, FollowsAGrowingFileThroughTruncationAndRotation)
{
    TempDir dir;
    const std::string log = dir.Write("a.log", "keep 1\nskip 2\n");
    RunningFilter filter({"-n", "-F", "-B", "1", "-e", "keep", log});
    ASSERT_TRUE(filter.WaitFor(false, "1:keep 1\n"));
    Append(log, "half of a li");
    Append(log, "ne\nkeep 4\n");
    ASSERT_TRUE(filter.WaitFor(false, "3-half of a line\n4:keep 4\n"));

    ASSERT_EQ(::truncate(log.c_str(), 0), 0);
    Append(log, "keep again\n");
    ASSERT_TRUE(filter.WaitFor(true, "ostrel-filter: " + log + ": file truncated\n"));
    ASSERT_TRUE(filter.WaitFor(false, "1:keep again\n"));

    ASSERT_EQ(::rename(log.c_str(), (log + ".1").c_str()), 0);
    dir.Write("a.log", "x\nkeep rotated\n");
    ASSERT_TRUE(filter.WaitFor(true, "ostrel-filter: " + log + ": file replaced\n"));
    ASSERT_TRUE(filter.WaitFor(false, "1-x\n2:keep rotated\n"));
    EXPECT_EQ(filter.Output(), "1:keep 1\n3-half of a line\n4:keep 4\n1:keep again\n1-x\n2:keep rotated\n");
    const int status = filter.Interrupt();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
}

// Several files, standard input, folders and compressed files, each against grep on the same
// text: names before the lines as grep -H writes them, line numbers counted per file.
TEST(CommandLineTest, ReadsSeveralFilesAsGrepDoes)
{
    if (RunShell("command -v grep gzip zstd xz bzip2 >/dev/null && echo yes").Output != "yes\n")
        GTEST_SKIP() << "grep or a compressor is not installed";
    TempDir dir;
    std::mt19937 random(7);
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        std::string content;
        for (int line = static_cast<int>(random() % 200); line > 0; --line)
            content += random() % 3 == 0 ? "WARN disk\n" : "INFO ok " + std::to_string(line) + "\n";
        if (i == 2)
            content += "WARN no line feed at the end";
        files.push_back(dir.Write("log" + std::to_string(i), content));
    }
    std::string named;
    for (const std::string& file : files)
        named += " " + Quote(file);
    for (const std::string flags : {"", " -n", " -n -B 1 -A 2", " -v"}) {
        const auto ours = RunShell(Quote(Filter) + flags + " -e WARN" + named);
        const auto grep = RunShell("LC_ALL=C grep -a -H --no-group-separator -F" + flags + " -e WARN" + named);
        EXPECT_EQ(ours.Output, grep.Output) << flags;
        EXPECT_EQ(ours.Status, grep.Status) << flags;
    }
    // Without names, and with a name for one file.
    EXPECT_EQ(RunShell(Quote(Filter) + " --no-filename -n -e WARN" + named).Output,
              RunShell("LC_ALL=C grep -a -h -n -F -e WARN" + named).Output);
    EXPECT_EQ(RunShell(Quote(Filter) + " -H -e WARN " + Quote(files[0])).Output,
              RunShell("LC_ALL=C grep -a -H -F -e WARN " + Quote(files[0])).Output);

    // Standard input, alone and among files.
    EXPECT_EQ(RunShell(Quote(Filter) + " -n -e WARN - < " + Quote(files[1])).Output,
              RunShell("LC_ALL=C grep -a -n -F -e WARN < " + Quote(files[1])).Output);
    EXPECT_EQ(
        RunShell("cat " + Quote(files[1]) + " | " + Quote(Filter) + " -n -e WARN " + Quote(files[0]) + " -").Output,
        RunShell("cat " + Quote(files[1]) + " | LC_ALL=C grep -a -H -n -F -e WARN " + Quote(files[0]) + " -").Output);

    // A folder with -R: every file beneath it, in name order.
    std::filesystem::create_directories(dir.Path() / "tree" / "sub");
    for (int i = 0; i < 3; ++i)
        std::filesystem::copy_file(files[static_cast<std::size_t>(i)],
                                   dir.Path() / "tree" / (i == 1 ? "sub" : "") / ("f" + std::to_string(i)));
    EXPECT_EQ(RunShell("cd " + Quote(dir.Path().string()) + " && " + Quote(Filter) + " -R -n -e WARN tree").Output,
              RunShell("cd " + Quote(dir.Path().string()) +
                       " && find tree -type f | sort | xargs env LC_ALL=C grep -a -H -n -F -e WARN")
                  .Output);

    // Compressed files are read as their text.
    const std::string plain = files[3];
    for (const std::string tool : {"gzip", "zstd -q", "xz", "bzip2"}) {
        const std::string packed = dir.Write("packed", "");
        ASSERT_EQ(RunShell(tool + " -c < " + Quote(plain) + " > " + Quote(packed) + " && echo ok").Output, "ok\n");
        EXPECT_EQ(RunShell(Quote(Filter) + " -n -B 1 -e WARN " + Quote(packed)).Output,
                  RunShell("LC_ALL=C grep -a -n --no-group-separator -B 1 -F -e WARN " + Quote(plain)).Output)
            << tool;
    }
}

// A rotated set, oldest first, against grep on the same texts uncompressed under the same names.
TEST(CommandLineTest, ReadsARotatedSetOldestFirstAsGrepReadsItsFiles)
{
    if (RunShell("command -v grep gzip zstd >/dev/null && echo yes").Output != "yes\n")
        GTEST_SKIP() << "grep or a compressor is not installed";
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "packed");
    std::filesystem::create_directories(dir.Path() / "plain");
    const std::vector<std::pair<std::string, std::string>> set = {
        {"app.log.3.gz", "gzip"}, {"app.log.2.zst", "zstd -q"}, {"app.log.1", ""}, {"app.log", ""}};
    for (std::size_t i = 0; i < set.size(); ++i) {
        std::string content;
        for (int line = 1; line <= 30 + static_cast<int>(i); ++line)
            content += (line % 4 == 0 ? "WARN in " : "INFO in ") + set[i].first + " " + std::to_string(line) + "\n";
        const std::string plain = dir.Write("plain/" + set[i].first, content);
        const std::string packed = (dir.Path() / "packed" / set[i].first).string();
        const std::string pack = set[i].second.empty() ? "cat" : set[i].second + " -c";
        ASSERT_EQ(RunShell(pack + " < " + Quote(plain) + " > " + Quote(packed) + " && echo ok").Output, "ok\n");
    }
    std::string names;
    for (const auto& member : set)
        names += " " + member.first;
    const auto grep = RunShell("cd " + Quote((dir.Path() / "plain").string()) +
                               " && LC_ALL=C grep -a -H -n --no-group-separator -B 1 -F -e WARN" + names);
    for (const std::string named : {"app.log", "app.log.2.zst"}) {
        const auto ours = RunShell("cd " + Quote((dir.Path() / "packed").string()) + " && " + Quote(Filter) +
                                   " --set -n -B 1 -e WARN " + named);
        EXPECT_EQ(ours.Output, grep.Output) << named;
        EXPECT_EQ(ours.Status, 0) << named;
    }
    // Not a set that can be followed; a set of nothing says which file is missing.
    EXPECT_EQ(RunShell(Quote(Filter) + " --set -F -e WARN x.log 2>&1").Status, 2);
    const auto missing =
        RunShell(Quote(Filter) + " --set -e WARN " + Quote((dir.Path() / "none.log").string()) + " 2>&1");
    EXPECT_EQ(missing.Status, 2);
    EXPECT_NE(missing.Output.find("none.log"), std::string::npos) << missing.Output;
}

// A damaged archive: the lines before the damage, a message naming the file and the place, exit
// 2; the next file is still read.
TEST(CommandLineTest, ReadsADamagedArchiveUpToTheDamage)
{
    if (RunShell("command -v gzip >/dev/null && echo yes").Output != "yes\n")
        GTEST_SKIP() << "gzip is not installed";
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 50000; ++i)
        text += "line " + std::to_string(i) + " WARN\n";
    const std::string plain = dir.Write("plain.log", text);
    const std::string packed = (dir.Path() / "cut.gz").string();
    ASSERT_EQ(RunShell("gzip -c < " + Quote(plain) + " | head -c 30000 > " + Quote(packed) + " && echo ok").Output,
              "ok\n");
    const std::string other = dir.Write("other.log", "WARN after\n");
    const auto result =
        RunShell(Quote(Filter) + " --no-filename -e WARN " + Quote(packed) + " " + Quote(other) + " 2>&1 >/dev/null");
    EXPECT_EQ(result.Status, 2);
    EXPECT_NE(result.Output.find("ERROR Reading " + packed + ": the gzip data is damaged at byte 30000"),
              std::string::npos)
        << result.Output;
    const auto lines =
        RunShell(Quote(Filter) + " --no-filename -e WARN " + Quote(packed) + " " + Quote(other) + " 2>/dev/null");
    ASSERT_GT(lines.Output.size(), 1000u);
    // What came out of the archive is the text's start (its last line may be cut), then the other file.
    const std::size_t otherStart = lines.Output.rfind("WARN after\n");
    ASSERT_NE(otherStart, std::string::npos);
    const std::string fromArchive = lines.Output.substr(0, otherStart);
    const std::size_t whole = fromArchive.rfind("WARN\n") + 5;
    EXPECT_EQ(text.compare(0, whole, fromArchive, 0, whole), 0);

    // Claims to be gzip, is not: a message, no text, exit 2.
    const std::string fake = dir.Write("fake.gz", std::string("\x1f\x8b") + "not really gzip\nWARN\n");
    const auto faked = RunShell(Quote(Filter) + " -e WARN " + Quote(fake) + " 2>&1");
    EXPECT_EQ(faked.Status, 2);
    EXPECT_EQ(faked.Output.rfind("ERROR Reading " + fake + ": the gzip data is damaged", 0), 0u) << faked.Output;
}

// A UTF-16 log is filtered as the text it shows: a literal or an expression typed in UTF-8 finds
// its lines, numbered as in the file, as grep finds them in iconv's conversion.
TEST(CommandLineTest, FiltersUtf16LogsAsTheirText)
{
    if (RunShell("command -v iconv grep >/dev/null && echo yes").Output != "yes\n")
        GTEST_SKIP() << "iconv or grep is not installed";
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 3000; ++i)
        text += "2026-12-10 " + std::string(i % 7 == 0 ? "Fehler: Größe überschritten" : "INFO alles gut") + " 日本 " +
                std::to_string(i) + "\n";
    const std::string plain = dir.Write("plain.log", text);
    for (const std::string encoding : {"UTF-16LE", "UTF-16BE", "UTF-16"}) {
        const std::string log = (dir.Path() / "wide.log").string();
        ASSERT_EQ(RunShell("iconv -f UTF-8 -t " + encoding + " < " + Quote(plain) + " > " + Quote(log) + " && echo ok")
                      .Output,
                  "ok\n");
        EXPECT_EQ(RunShell(Quote(Filter) + " -n -e 'Größe' " + Quote(log)).Output,
                  RunShell("LC_ALL=C grep -n -F 'Größe' " + Quote(plain)).Output)
            << encoding;
        EXPECT_EQ(
            RunShell(Quote(Filter) + " -n -B 1 -r 'Fehler.*日本 [0-9]+5' " + Quote(log)).Output,
            RunShell("LC_ALL=C grep -n --no-group-separator -B 1 -E 'Fehler.*日本 [0-9]+5' " + Quote(plain)).Output)
            << encoding;
    }
}

namespace {

std::string NumberedLines(const std::string& word, int from, int to)
{
    std::string text;
    for (int line = from; line <= to; ++line)
        text += word + " " + std::to_string(line) + "\n";
    return text;
}

} // namespace

// A file written again to its old size, an unfinished last line, and a folder at the name:
// nothing is lost, the unfinished line is printed when its file goes, and the folder is waited
// out like a missing file until a file has the name again.
TEST(CommandLineTest, FollowLosesNothingWhenTheFileStartsAnew)
{
    TempDir dir;
    const std::string log = dir.Write("a.log", "a 1\nunfinished");
    RunningFilter filter({"-F", "-v", "-e", "no line has this", log});
    ASSERT_TRUE(filter.WaitFor(false, "a 1\n"));

    dir.Write("a.log", "b 1\nb 2\nb 3\nb 4\n"); // the same inode, emptied and written again, longer
    ASSERT_TRUE(filter.WaitFor(false, "b 4\n"));
    EXPECT_EQ(filter.Output(), "a 1\nunfinished\nb 1\nb 2\nb 3\nb 4\n");
    ASSERT_TRUE(filter.WaitFor(true, "ostrel-filter: " + log + ": file truncated\n"));

    dir.Write("a.log", "c 1\nc 2\nc 3\nc 4\n"); // the same size as before
    ASSERT_TRUE(filter.WaitFor(false, "c 4\n"));
    EXPECT_EQ(filter.Output(), "a 1\nunfinished\nb 1\nb 2\nb 3\nb 4\nc 1\nc 2\nc 3\nc 4\n");

    Append(log, "half");
    ASSERT_EQ(::rename(log.c_str(), (log + ".1").c_str()), 0);
    ASSERT_EQ(::mkdir(log.c_str(), 0700), 0);
    ASSERT_TRUE(filter.WaitFor(true, "ostrel-filter: " + log + ": file gone, waiting for it\n"));
    dir.Write("a.log/inside", "not the log\n"); // the folder's own changes are not the file's
    ASSERT_EQ(std::filesystem::remove_all(log), 2u);
    const std::string next = dir.Write("a.log.new", "d 1\n");
    ASSERT_EQ(::rename(next.c_str(), log.c_str()), 0);
    ASSERT_TRUE(filter.WaitFor(false, "d 1\n"));
    EXPECT_EQ(filter.Output(), "a 1\nunfinished\nb 1\nb 2\nb 3\nb 4\nc 1\nc 2\nc 3\nc 4\nhalf\nd 1\n");
    ASSERT_TRUE(filter.WaitFor(true, "ostrel-filter: " + log + ": file replaced\n"));
    EXPECT_EQ(filter.Errors().find("not the log"), std::string::npos);
}

// Copied and emptied while the program waits for a full pipe, then written again well beyond
// where it was reading: every line of the new file comes out, after the note.
TEST(CommandLineTest, FollowKeepsTheNewFileWhenTruncatedWhileOutputIsBackedUp)
{
    TempDir dir;
    const std::string log = dir.Write("a.log", "start\n");
    RunningFilter filter({"-F", "-v", "-e", "no line has this", log});
    ASSERT_TRUE(filter.WaitFor(false, "start\n"));
    Append(log, NumberedLines("old", 1, 40000));
    ASSERT_TRUE(filter.WaitUntilOutputBacksUp());
    const std::string fresh = NumberedLines("new", 1, 20000);
    ASSERT_EQ(::truncate(log.c_str(), 0), 0);
    Append(log, fresh);
    ASSERT_TRUE(filter.WaitFor(false, "new 20000\n"));
    const std::size_t first = filter.Output().find("new 1\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(filter.Output().substr(first), fresh);
    ASSERT_TRUE(filter.WaitFor(true, "ostrel-filter: " + log + ": file truncated\n"));
}

// Any number of threads prints the bytes one pass prints, numbers and context included; the
// thread count must be a whole number of at least one.
TEST(CommandLineTest, PrintsTheSameOnAnyNumberOfThreads)
{
    CommandLineOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"-j", "3", "-e", "x", "a.log"}, options, error)) << error;
    EXPECT_EQ(options.Threads, 3u);
    ASSERT_TRUE(ParseCommandLine({"--threads=1", "-e", "x", "a.log"}, options, error)) << error;
    EXPECT_EQ(options.Threads, 1u);
    for (const char* bad : {"0", "-2", "two", ""}) {
        CommandLineOptions rejected;
        EXPECT_FALSE(ParseCommandLine({"-j", bad, "-e", "x", "a.log"}, rejected, error)) << bad;
        EXPECT_NE(error.find("thread count"), std::string::npos) << error;
    }

    TempDir dir;
    std::string log;
    for (int i = 0; log.size() < 5u * 1024 * 1024; ++i)
        log += std::to_string(i) +
               (i % 97 == 0  ? " ERROR timeout"
                : i % 5 == 0 ? " WARN slow"
                             : " INFO fine") +
               (i % 3 == 0 ? "\r\n" : "\n");
    const std::string path = dir.Write("big.log", log);
    for (const char* filters :
         {"-e ERROR", "-B 3 -A 2 -e timeout -A 0 -e WARN", "-v -e INFO", "-i -r 'error.*out\\n'"}) {
        const auto one = RunShell(Quote(Filter) + " -j 1 -n " + filters + " " + Quote(path));
        ASSERT_EQ(one.Status, 0) << filters;
        for (const char* threads : {"2", "3", "7"}) {
            const auto several = RunShell(Quote(Filter) + " -j " + threads + " -n " + filters + " " + Quote(path));
            EXPECT_EQ(several.Status, 0) << filters;
            EXPECT_TRUE(several.Output == one.Output) << filters << " on " << threads << " threads";
        }
    }
}

namespace {

// Lines with rising times, many of them equal, every line with a time of its own (as sort -m
// needs), a word to filter by now and then.
std::string TimedLog(std::mt19937& random, int lines, const std::string& name)
{
    std::string text;
    int seconds = static_cast<int>(random() % 30);
    for (int line = 1; line <= lines; ++line) {
        seconds += random() % 3 == 0 ? 1 : 0;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "2026-12-01 10:%02d:%02d", seconds / 60 % 60, seconds % 60);
        text += std::string(stamp) + (random() % 5 == 0 ? " WARN " : " INFO ") + name + " line " +
                std::to_string(line) + "\n";
    }
    return text;
}

} // namespace

// --merge: each file's lines after its name in the order a stable merge by time gives them, as
// sort -m -s writes the files' lines with their names put before them; with -n each line's own
// number in its file; filters decide the merged stream, context counted in it.
TEST(CommandLineTest, MergesFilesByTimeAsSortDoes)
{
    if (RunShell("command -v sort sed grep >/dev/null && echo yes").Output != "yes\n")
        GTEST_SKIP() << "sort, sed or grep is not installed";
    CommandLineOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--merge", "a.log", "b.log"}, options, error)) << error;
    EXPECT_TRUE(options.Merge);
    EXPECT_TRUE(options.Filters.empty());

    std::mt19937 random(11);
    for (int round = 0; round < 8; ++round) {
        TempDir dir;
        const std::string cd = "cd " + Quote(dir.Path().string()) + " && ";
        std::vector<std::string> names;
        std::vector<std::string> texts;
        for (const char* name : {"a.log", "b.log", "c.log"}) {
            names.push_back(name);
            texts.push_back(TimedLog(random, static_cast<int>(random() % 500), name));
            dir.Write(name, texts.back());
        }
        // "a.log:2026-12-01 10:00:05 ...": the key is the date and the time after the name.
        const auto sorted = RunShell(cd + "for f in a.log b.log c.log; do sed \"s|^|$f:|\" $f > $f.named; done && "
                                          "LC_ALL=C sort -m -s -k1.7,2 a.log.named b.log.named c.log.named");
        const auto merged = RunShell(cd + Quote(Filter) + " --merge a.log b.log c.log");
        ASSERT_EQ(merged.Output, sorted.Output) << "round " << round;
        EXPECT_EQ(merged.Status, sorted.Output.empty() ? 1 : 0);

        // With -n: "NAME:N:text", text being line N of that file.
        const auto numbered = RunShell(cd + Quote(Filter) + " --merge -n a.log b.log c.log");
        std::string withoutNumbers;
        for (std::size_t start = 0; start < numbered.Output.size();) {
            const std::size_t end = numbered.Output.find('\n', start) + 1;
            const std::string line = numbered.Output.substr(start, end - start);
            start = end;
            const std::size_t nameEnd = line.find(':');
            const std::size_t numberEnd = line.find(':', nameEnd + 1);
            const std::string text = line.substr(numberEnd + 1);
            const std::string name = line.substr(0, nameEnd);
            const int number = std::stoi(line.substr(nameEnd + 1, numberEnd - nameEnd - 1));
            ASSERT_NE(text.find(name + " line " + std::to_string(number) + "\n"), std::string::npos) << line;
            withoutNumbers += name + ":" + text;
        }
        EXPECT_EQ(withoutNumbers, merged.Output) << "round " << round;

        // Filters and their context decide the merged stream, as grep decides the merged text.
        for (const std::string filters : {" -e WARN", " -B 2 -A 1 -e WARN", " -v -e WARN", " -B 1 -e 'b.log line 1'"}) {
            const auto filtered =
                RunShell(cd + Quote(Filter) + " --merge --no-filename" + filters + " a.log b.log c.log");
            const auto grep =
                RunShell(cd + Quote(Filter) + " --merge --no-filename a.log b.log c.log | LC_ALL=C grep " +
                         "-a --no-group-separator -F" + filters);
            EXPECT_EQ(filtered.Output, grep.Output) << "round " << round << filters;
            EXPECT_EQ(filtered.Status, grep.Status) << "round " << round << filters;
        }
    }
}

// A file without times, one that cannot be opened, and --follow are refused before any line is
// written; standard input takes part under its name; a damaged archive gives its lines up to the
// damage, a message naming it, and exit 2.
TEST(CommandLineTest, RefusesAMergeItCannotMake)
{
    TempDir dir;
    const std::string timed = dir.Write("timed.log", "2026-12-01 10:00:01 one\n2026-12-01 10:00:03 three\n");
    const std::string untimed = dir.Write("untimed.log", "no time\nat all\n");
    auto result = RunShell(Quote(Filter) + " --merge " + Quote(timed) + " " + Quote(untimed) + " 2>&1");
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Output, "ostrel-filter: no times were recognised in " + untimed + "\n");
    const std::string missing = (dir.Path() / "missing.log").string();
    result = RunShell(Quote(Filter) + " --merge " + Quote(timed) + " " + Quote(missing) + " 2>&1");
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Output, "ERROR Opening " + missing + ": No such file or directory\n");
    result = RunShell(Quote(Filter) + " --merge -F " + Quote(timed) + " 2>&1");
    EXPECT_EQ(result.Status, 2);
    EXPECT_NE(result.Output.find("--follow cannot follow a merge"), std::string::npos) << result.Output;
    result = RunShell(Quote(Filter) + " --merge --records " + Quote(timed) + " 2>&1");
    EXPECT_EQ(result.Status, 2);
    EXPECT_NE(result.Output.find("--records cannot be used with --merge"), std::string::npos) << result.Output;
    EXPECT_EQ(RunShell(Quote(Filter) + " --merge -e nothing " + Quote(timed)).Status, 1);

    result = RunShell("printf '2026-12-01 10:00:02 two' | " + Quote(Filter) + " --merge -n " + Quote(timed) + " -");
    EXPECT_EQ(result.Status, 0);
    EXPECT_EQ(result.Output, timed + ":1:2026-12-01 10:00:01 one\n(standard input):1:2026-12-01 10:00:02 two\n" +
                                 timed + ":2:2026-12-01 10:00:03 three\n");

    if (RunShell("command -v gzip >/dev/null && echo yes").Output != "yes\n")
        return;
    std::string text;
    for (int i = 0; i < 50000; ++i)
        text += "2026-12-01 09:00:00 packed " + std::to_string(i) + "\n";
    const std::string plain = dir.Write("plain.log", text);
    const std::string cut = (dir.Path() / "cut.gz").string();
    ASSERT_EQ(RunShell("gzip -c < " + Quote(plain) + " | head -c 20000 > " + Quote(cut) + " && echo ok").Output,
              "ok\n");
    result = RunShell(Quote(Filter) + " --merge " + Quote(cut) + " " + Quote(timed) + " 2>&1 >/dev/null");
    EXPECT_EQ(result.Status, 2);
    EXPECT_EQ(result.Output.rfind("ERROR Reading " + cut + ": the gzip data is damaged at byte 20000", 0), 0u)
        << result.Output;
    result = RunShell(Quote(Filter) + " --merge --no-filename " + Quote(cut) + " " + Quote(timed) + " 2>/dev/null");
    EXPECT_EQ(result.Output.rfind("2026-12-01 09:00:00 packed 0\n", 0), 0u);
    EXPECT_NE(result.Output.find("\n2026-12-01 10:00:01 one\n2026-12-01 10:00:03 three\n"), std::string::npos);
}
