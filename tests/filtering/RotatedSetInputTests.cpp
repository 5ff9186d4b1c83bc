// SPDX-License-Identifier: GPL-3.0-or-later
// A rotated set filtered as one text: its files read one after another, oldest first, decoded
// where packed, with the line feed a file lacks; a run over it keeps what a run over the files
// concatenated into one keeps, numbered by the set's lines.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "filtering/ParallelFilterEngine.h"
#include "filtering/RotatedSetInput.h"
#include "support/TempDir.h"

namespace {

std::string RandomMemberText(std::mt19937& random)
{
    static const char* const words[] = {"alpha", "beta", "ERROR", "error", "warn", "x", "", "beta alpha", "Err"};
    std::string text;
    // An empty member now and then.
    const int lines =
        std::uniform_int_distribution<int>(0, 5)(random) == 0 ? 0 : std::uniform_int_distribution<int>(1, 60)(random);
    for (int i = 0; i < lines; ++i) {
        const int parts = std::uniform_int_distribution<int>(0, 3)(random);
        for (int k = 0; k < parts; ++k)
            text += std::string(k ? " " : "") + words[std::uniform_int_distribution<std::size_t>(0, 8)(random)];
        text += std::uniform_int_distribution<int>(0, 3)(random) == 0 ? "\r\n" : "\n";
    }
    // No final line feed, or a lone carriage return at the very end.
    switch (std::uniform_int_distribution<int>(0, 5)(random)) {
    case 0:
        text += "alpha without end";
        break;
    case 1:
        text += "ERROR cut\r";
        break;
    default:
        break;
    }
    return text;
}

std::vector<RunFilter> RandomFilters(std::mt19937& random)
{
    static const char* const literals[] = {"alpha", "ERROR", "beta", "warn", "x", "end"};
    static const char* const expressions[] = {"^beta", "a$", "r+o", "^$", "al.*ta"};
    std::vector<RunFilter> filters;
    const int count = std::uniform_int_distribution<int>(1, 3)(random);
    for (int i = 0; i < count; ++i) {
        const bool expression = std::uniform_int_distribution<int>(0, 2)(random) == 0;
        const bool caseSensitive = std::uniform_int_distribution<int>(0, 1)(random) == 0;
        const int before = std::uniform_int_distribution<int>(0, 4)(random);
        const int after = std::uniform_int_distribution<int>(0, 4)(random);
        filters.push_back(expression ? Expression(expressions[std::uniform_int_distribution<std::size_t>(0, 4)(random)],
                                                  caseSensitive, before, after)
                                     : Literal(literals[std::uniform_int_distribution<std::size_t>(0, 5)(random)],
                                               caseSensitive, before, after));
    }
    return filters;
}

// The set's text as the window lays it out: each member's text with the line feed it lacks.
std::string Concatenated(const std::vector<std::string>& texts)
{
    std::string all;
    for (const std::string& text : texts) {
        all += text;
        if (!text.empty() && text.back() != '\n')
            all += '\n';
    }
    return all;
}

std::string Gzipped(const TempDir& dir, const std::string& name, const std::string& text)
{
    const std::string plain = dir.Write(name + ".plain", text);
    const std::string packed = (dir.Path() / name).string();
    const int status = std::system(("gzip -c < '" + plain + "' > '" + packed + "'").c_str());
    EXPECT_EQ(status, 0);
    std::filesystem::remove(plain);
    return packed;
}

struct SetOutcome
{
    EngineResult Result = EngineResult::Failed;
    CollectingOutput Output;
    int Percent = 0;
};

void RunOver(const FilterRun& run, std::size_t blockSize, SetOutcome& outcome)
{
    // Several threads asked for: a set is read in one pass all the same.
    ParallelFilterEngine engine(run, 4, blockSize);
    outcome.Result = engine.Run(std::stop_token(), outcome.Output);
    outcome.Percent = engine.GetProgressPercent();
}

std::string ReadAll(RotatedSetInput& input, std::size_t piece)
{
    std::string text;
    std::string buffer(piece, '\0');
    while (const std::size_t got = input.Read(-1, buffer.data(), buffer.size()))
        text.append(buffer.data(), got);
    return text;
}

} // namespace

// Random sets (an empty member, members without a final line feed, CR LF, one member packed) with
// random filters, context and exclude: the set's run keeps the lines a run over the concatenated
// file keeps, with the same numbers, context marks and deciding filters.
TEST(RotatedSetInputTest, SetRunAgreesWithARunOverTheConcatenatedFile)
{
    std::mt19937 random(20261211);
    for (int round = 0; round < 60; ++round) {
        TempDir dir;
        const int count = std::uniform_int_distribution<int>(2, 4)(random);
        const int packedMember = std::uniform_int_distribution<int>(0, count - 1)(random);
        std::vector<std::string> texts;
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            texts.push_back(RandomMemberText(random));
            const std::string name = "app.log." + std::to_string(count - 1 - i);
            paths.push_back(i == packedMember ? Gzipped(dir, name + ".gz", texts.back())
                                              : dir.Write(name, texts.back()));
        }
        const std::string reference = dir.Write("concatenated.log", Concatenated(texts));

        FilterRun run{reference, RandomFilters(random), std::uniform_int_distribution<int>(0, 3)(random) == 0};
        const std::size_t blockSize = std::uniform_int_distribution<int>(0, 1)(random) == 0 ? 7 : 4096;
        FilterEngine oneFile(run, blockSize);
        CollectingOutput expected;
        ASSERT_EQ(oneFile.Run(std::stop_token(), expected), EngineResult::Finished);

        run.Path = paths.back();
        run.SetMembers = paths;
        SetOutcome set;
        RunOver(run, blockSize, set);
        SCOPED_TRACE("round " + std::to_string(round) + ", packed member " + std::to_string(packedMember));
        EXPECT_EQ(set.Result, EngineResult::Finished);
        EXPECT_EQ(set.Output.Lines, expected.Lines);
        EXPECT_EQ(set.Output.Filters, expected.Filters);
        EXPECT_TRUE(set.Output.Errors.empty()) << set.Output.Errors.front();
        EXPECT_EQ(set.Percent, 100);
    }
}

// Read in pieces of any size, the input is the concatenated text, and its progress counts every
// member's own bytes, packed or not.
TEST(RotatedSetInputTest, ReadsTheMembersEndToEndInPiecesOfAnySize)
{
    TempDir dir;
    const std::vector<std::string> texts = {"oldest 1\noldest 2", "", "packed 1\r\npacked 2\n", "live 1\nlive 2"};
    const std::vector<std::string> paths = {dir.Write("app.log.3", texts[0]), dir.Write("app.log.2", texts[1]),
                                            Gzipped(dir, "app.log.1.gz", texts[2]), dir.Write("app.log", texts[3])};
    std::uint64_t fileBytes = 0;
    for (const std::string& path : paths)
        fileBytes += std::filesystem::file_size(path);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{9}, std::size_t{65536}}) {
        RotatedSetInput input(paths);
        EXPECT_EQ(input.GetFileBytesTotal(), fileBytes);
        EXPECT_EQ(input.GetProgressPercent(), 0);
        EXPECT_EQ(ReadAll(input, piece), "oldest 1\noldest 2\npacked 1\r\npacked 2\nlive 1\nlive 2\n") << piece;
        EXPECT_EQ(input.GetFileBytesUsed(), fileBytes) << piece;
        EXPECT_EQ(input.GetProgressPercent(), 100) << piece;
        EXPECT_EQ(input.TakeFaultMessage("the set"), "");
        EXPECT_EQ(input.Read(-1, nullptr, 0), 0u);
    }
}

// A damaged packed member adds the text before the damage, a member gone since the set was listed
// adds nothing, and the run goes on with the next member; each fault is told once, naming its
// member, and the later members' lines are numbered on from what was read.
TEST(RotatedSetInputTest, AFaultyMemberIsNamedAndTheRestIsStillFiltered)
{
    TempDir dir;
    std::string oldest;
    for (int line = 1; line <= 4000; ++line)
        oldest += "old line " + std::to_string(line * 7919 % 10007) + (line == 3 ? " hit" : "") + "\n";
    const std::string damaged = Gzipped(dir, "app.log.2.gz", oldest);
    // Cut in the middle of the compressed data: the member ends early.
    std::filesystem::resize_file(damaged, std::filesystem::file_size(damaged) / 2);
    const std::string gone = (dir.Path() / "app.log.1").string();
    const std::string live = dir.Write("app.log", "live 1\nlive hit\n");

    RotatedSetInput reading({damaged, gone, live});
    const std::string text = ReadAll(reading, 4096);
    ASSERT_GT(text.size(), std::string("old line 1\n").size());
    ASSERT_LT(text.size(), oldest.size());
    const std::string faults = reading.TakeFaultMessage("the set");
    EXPECT_NE(faults.find("ERROR Reading " + damaged), std::string::npos) << faults;
    EXPECT_NE(faults.find("ERROR Opening " + gone + ": No such file or directory"), std::string::npos) << faults;
    EXPECT_EQ(reading.TakeFaultMessage("the set"), "") << "told once";

    const std::int64_t linesRead = std::count(text.begin(), text.end(), '\n');
    FilterRun run{live, {Literal("hit")}, false};
    run.SetMembers = {damaged, gone, live};
    SetOutcome set;
    RunOver(run, 512, set);
    EXPECT_EQ(set.Result, EngineResult::Finished);
    ASSERT_EQ(set.Output.Errors.size(), 1u);
    EXPECT_EQ(set.Output.Errors.front(), faults);
    ASSERT_EQ(set.Output.Lines.size(), 2u);
    EXPECT_EQ(set.Output.Lines[0], (KeptLine{3, "old line " + std::to_string(3 * 7919 % 10007) + " hit\n", false}));
    // The whole text read holds the live file's two lines last.
    EXPECT_EQ(set.Output.Lines[1], (KeptLine{linesRead, "live hit\n", false}));
}
