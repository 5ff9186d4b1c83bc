// SPDX-License-Identifier: GPL-3.0-or-later
// A rotated set read as one text: the members' texts end to end, oldest first, with the line
// feed a member lacks, each line mapped back to its member and its line there.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/PlainIndexedText.h"
#include "filtering/RotatedSet.h"
#include "filtering/RotatedSetText.h"
#include "logtext/IndexedTextLines.h"
#include "support/TempDir.h"
#include "support/TextLines.h"

namespace {

void WaitUntilComplete(const IndexedText& text)
{
    while (!text.IsComplete())
        std::this_thread::yield();
}

// Lines numbered after the member they are in, so that a misplaced range shows where it came from.
std::string MemberText(const std::string& name, int lines, bool finalLineFeed)
{
    std::string text;
    for (int line = 1; line <= lines; ++line) {
        text += name + " line " + std::to_string(line) + std::string(static_cast<std::size_t>(line % 23), '.');
        if (line < lines || finalLineFeed)
            text += line % 7 == 0 ? "\r\n" : "\n";
    }
    return text;
}

// Writes the text packed by the command (empty: as it is) under the name.
std::string WritePacked(const TempDir& dir, const std::string& name, const std::string& text,
                        const std::string& command)
{
    const std::string plain = dir.Write(name + ".plain", text);
    if (command.empty())
        return dir.Write(name, text);
    const std::string path = (dir.Path() / name).string();
    const int status = std::system((command + " < '" + plain + "' > '" + path + "'").c_str());
    EXPECT_EQ(status, 0) << command;
    return path;
}

std::string ReadEverything(const IndexedText& text, std::size_t chunk)
{
    std::string all;
    std::string buffer(chunk, '\0');
    int error = 0;
    for (;;) {
        const std::int64_t got = text.ReadRange(all.size(), buffer.data(), buffer.size(), error);
        EXPECT_GE(got, 0) << error;
        if (got <= 0)
            return all;
        all.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

struct MemberPlan
{
    const char* Name;
    int Lines;
    bool FinalLineFeed;
    const char* Command;
};

// Dated and numbered members, plain and packed, some without a final line feed, one empty.
const MemberPlan MixedSet[] = {
    {"app.log-20261201.gz", 3000, true, "gzip -c"},
    {"app.log.4.zst", 2500, false, "zstd -q -c"},
    {"app.log.3", 0, false, ""},
    {"app.log.2.gz", 1, false, "gzip -c"},
    {"app.log.1", 4100, true, ""},
    {"app.log", 700, false, ""},
};

class RotatedSetTextTest : public ::testing::Test
{
protected:
    // Writes the members; the expected text of the set, and each member's first line in it.
    std::vector<std::string> WriteSet(const TempDir& dir, std::string& expected, std::vector<std::int64_t>& firsts)
    {
        std::vector<std::string> paths;
        for (const MemberPlan& member : MixedSet) {
            const std::string text = MemberText(member.Name, member.Lines, member.FinalLineFeed);
            paths.push_back(WritePacked(dir, member.Name, text, member.Command));
            firsts.push_back(static_cast<std::int64_t>(std::count(expected.begin(), expected.end(), '\n')));
            expected += text;
            if (!text.empty() && text.back() != '\n' && &member != &MixedSet[std::size(MixedSet) - 1])
                expected += '\n';
        }
        return paths;
    }
};

} // namespace

TEST_F(RotatedSetTextTest, ReadsTheMembersEndToEndWithTheLineFeedsTheyLack)
{
    const TempDir dir;
    std::string expected;
    std::vector<std::int64_t> firsts;
    WriteSet(dir, expected, firsts);

    // The set as the folder lists it: the order comes from the names.
    std::vector<RotatedSetMember> members;
    std::string problem;
    ASSERT_TRUE(FindRotatedSet((dir.Path() / "app.log.1").string(), members, problem)) << problem;
    std::vector<std::string> paths;
    for (const RotatedSetMember& member : members)
        paths.push_back(member.Path);
    ASSERT_EQ(paths.size(), std::size(MixedSet));

    RotatedSetText set(paths);
    int error = 0;
    ASSERT_TRUE(set.Start(error)) << error;
    WaitUntilComplete(set);
    EXPECT_TRUE(set.GetSkippedMembers().empty());
    EXPECT_TRUE(set.IsSizeKnown());
    EXPECT_FALSE(set.IsFollowable());
    EXPECT_EQ(set.GetIndexPercent(), 100);
    EXPECT_EQ(set.GetSize(), expected.size());
    EXPECT_TRUE(set.GetDamage().empty());

    // Whole, in reads that end anywhere, across members and the line feeds added between them.
    for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{4093}, std::size_t{7}})
        EXPECT_EQ(ReadEverything(set, chunk), expected) << "in reads of " << chunk;

    // Every line, from ranges that start anywhere.
    const std::vector<std::string> lines = SplitKeepingLineEnds(expected);
    const IndexedTextLines setLines(set);
    ASSERT_EQ(setLines.GetLineCount(), static_cast<std::int64_t>(lines.size()));
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const auto first = static_cast<std::int64_t>(random() % lines.size());
        const auto count = static_cast<std::int64_t>(1 + random() % 90);
        std::string bytes;
        ASSERT_TRUE(setLines.ReadLines(first, count, bytes, problem)) << problem;
        std::string want;
        for (std::int64_t line = first; line < std::min<std::int64_t>(first + count, lines.size()); ++line)
            want += lines[static_cast<std::size_t>(line)];
        ASSERT_EQ(bytes, want) << count << " lines from " << first;
    }
    for (int round = 0; round < 200; ++round) {
        const std::uint64_t offset = random() % (expected.size() + 5);
        const IndexedText::Checkpoint known = set.LocateOffset(offset);
        ASSERT_LE(known.Offset, offset);
        ASSERT_TRUE(known.Offset == 0 || expected[known.Offset - 1] == '\n') << "at " << offset;
        ASSERT_EQ(std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(known.Offset), '\n'),
                  known.Line);
    }
}

TEST_F(RotatedSetTextTest, MapsEveryLineToItsMemberAndLineAtTheBoundaries)
{
    const TempDir dir;
    std::string expected;
    std::vector<std::int64_t> firsts;
    const std::vector<std::string> paths = WriteSet(dir, expected, firsts);
    RotatedSetText set(paths);
    int error = 0;
    ASSERT_TRUE(set.Start(error)) << error;
    WaitUntilComplete(set);

    const std::int64_t lastLine = set.GetLineCount() - 1;
    struct Case
    {
        std::int64_t Line;
        RotatedSetText::MemberLine Expected;
    };
    const Case cases[] = {
        {0, {0, 0}},
        {2999, {0, 2999}},               // the oldest member's last line
        {3000, {1, 0}},                  // its final line feed starts the next member
        {3000 + 2499, {1, 2499}},        // a last line without a line feed stays a line
        {3000 + 2500, {3, 0}},           // the empty member has none: the one-line member's
        {3000 + 2501, {4, 0}},           // its added line feed ends that line
        {3000 + 2501 + 4099, {4, 4099}}, // the last line of app.log.1
        {3000 + 2501 + 4100, {5, 0}},    // the live file's first line
        {lastLine, {5, 699}},            // and its last, without a line feed
        {lastLine + 50, {5, 749}},       // past the end: still the live file
        {-3, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(set.MemberOfLine(c.Line), c.Expected) << "line " << c.Line;
    EXPECT_EQ(lastLine, 3000 + 2501 + 4100 + 699);
    for (int member = 0; member < static_cast<int>(firsts.size()); ++member)
        EXPECT_EQ(set.FirstLineOfMember(member), firsts[static_cast<std::size_t>(member)]) << "member " << member;
    EXPECT_EQ(set.FirstLineOfMember(static_cast<int>(firsts.size())), -1);

    // The line each member's first line stands at starts there.
    for (std::size_t member = 0; member < firsts.size(); ++member) {
        if (MixedSet[member].Lines == 0)
            continue;
        std::string bytes;
        std::string problem;
        ASSERT_TRUE(IndexedTextLines(set).ReadLines(firsts[member], 1, bytes, problem)) << problem;
        EXPECT_EQ(bytes.rfind(std::string(MixedSet[member].Name) + " line 1", 0), 0U) << bytes;
    }
}

TEST_F(RotatedSetTextTest, LeavesOutMembersThatCannotBeReadAndSaysWhy)
{
    const TempDir dir;
    const std::string older = dir.Write("app.log.2", MemberText("two", 10, true));
    const std::string gone = (dir.Path() / "app.log.1.gz").string(); // rotated away meanwhile
    const std::string live = dir.Write("app.log", MemberText("live", 5, false));
    std::vector<std::string> paths = {older, gone, live};
    std::string locked;
    if (::geteuid() != 0) {
        locked = dir.Write("app.log.3", MemberText("three", 4, true));
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        paths.insert(paths.begin(), locked);
    }

    RotatedSetText set(paths);
    int error = 0;
    ASSERT_TRUE(set.Start(error)) << error;
    WaitUntilComplete(set);
    EXPECT_EQ(set.GetMemberPaths(), (std::vector<std::string>{older, live}));
    ASSERT_EQ(set.GetSkippedMembers().size(), locked.empty() ? 1U : 2U);
    const RotatedSetText::SkippedMember& missing = set.GetSkippedMembers().back();
    EXPECT_EQ(missing.Path, gone);
    EXPECT_EQ(missing.Reason, "No such file or directory");
    if (!locked.empty()) {
        EXPECT_EQ(set.GetSkippedMembers().front().Path, locked);
        EXPECT_EQ(set.GetSkippedMembers().front().Reason, "Permission denied");
    }
    EXPECT_EQ(ReadEverything(set, 1000), MemberText("two", 10, true) + MemberText("live", 5, false));
    EXPECT_EQ(set.MemberOfLine(10), (RotatedSetText::MemberLine{1, 0}));

    // None readable: the set does not start, with the reason, and answers as an empty text.
    RotatedSetText none({gone});
    EXPECT_FALSE(none.Start(error));
    EXPECT_EQ(error, ENOENT);
    ASSERT_EQ(none.GetSkippedMembers().size(), 1U);
    EXPECT_EQ(none.GetSize(), 0U);
    EXPECT_EQ(none.GetIndexedBytes(), 0U);
    EXPECT_EQ(none.GetLineCount(), 1);
    EXPECT_FALSE(none.IsComplete());
    char byte = 0;
    EXPECT_EQ(none.ReadRange(0, &byte, 1, error), 0);
    EXPECT_EQ(none.MemberOfLine(0).Member, -1);
}

TEST_F(RotatedSetTextTest, ASetOfOneFileIsThatFile)
{
    const TempDir dir;
    for (const bool finalLineFeed : {true, false}) {
        const std::string text = MemberText("only", 9000, finalLineFeed);
        const std::string path = dir.Write(finalLineFeed ? "feed.log" : "nofeed.log", text);
        RotatedSetText set({path});
        PlainIndexedText plain(path);
        int error = 0;
        ASSERT_TRUE(set.Start(error)) << error;
        ASSERT_TRUE(plain.Start(error)) << error;
        WaitUntilComplete(set);
        WaitUntilComplete(plain);
        EXPECT_EQ(ReadEverything(set, 65536), text) << "final line feed: " << finalLineFeed;
        EXPECT_EQ(set.GetLineCount(), plain.GetLineCount());
        EXPECT_EQ(set.GetSize(), plain.GetSize());
        for (const std::int64_t line : {0, 1, 63, 64, 65, 4000, 8999, 9000}) {
            EXPECT_EQ(set.Locate(line).Line, plain.Locate(line).Line) << line;
            EXPECT_EQ(set.Locate(line).Offset, plain.Locate(line).Offset) << line;
        }
    }
    // An empty file alone is one empty line, as the file itself is.
    RotatedSetText empty({dir.Write("empty.log", "")});
    int error = 0;
    ASSERT_TRUE(empty.Start(error));
    WaitUntilComplete(empty);
    EXPECT_EQ(empty.GetLineCount(), 1);
    EXPECT_EQ(empty.GetSize(), 0U);
}

namespace {

void AppendTo(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
}

// Numbered lines first..last, one each, so that a line lost or repeated shows.
std::string Numbered(int first, int last)
{
    std::string text;
    for (int line = first; line <= last; ++line)
        text += "entry " + std::to_string(line) + "\n";
    return text;
}

} // namespace

TEST_F(RotatedSetTextTest, AFollowedSetGrowsAndKeepsEveryLineThroughRotations)
{
    const TempDir dir;
    const std::string packed = WritePacked(dir, "app.log.2.gz", Numbered(1, 100), "gzip -c");
    const std::string rotated = dir.Write("app.log.1", Numbered(101, 250));
    const std::string live = dir.Write("app.log", Numbered(251, 300));
    RotatedSetText set({packed, rotated, live});
    int error = 0;
    ASSERT_TRUE(set.Start(error)) << error;
    WaitUntilComplete(set);
    EXPECT_TRUE(set.IsLiveFileFollowable());

    // Appends to the live file, the last one without its line feed yet.
    AppendTo(live, Numbered(301, 400) + "entry 4");
    set.Extend();
    WaitUntilComplete(set);
    EXPECT_EQ(ReadEverything(set, 777), Numbered(1, 400) + "entry 4");

    // The writer finishes its line, the file is rotated away (each member moves up a name) and
    // a new live file starts; the old one still got a few lines before it was let go.
    AppendTo(live, "01\n" + Numbered(402, 420));
    const std::string third = (dir.Path() / "app.log.3.gz").string();
    const std::string second = (dir.Path() / "app.log.2").string();
    ASSERT_EQ(std::rename(packed.c_str(), third.c_str()), 0);
    ASSERT_EQ(std::rename(rotated.c_str(), second.c_str()), 0);
    ASSERT_EQ(std::rename(live.c_str(), rotated.c_str()), 0);
    dir.Write("app.log", Numbered(421, 450));
    ASSERT_TRUE(set.AddMember(live, error)) << error;
    set.RenameMembers({third, second, rotated, live});
    WaitUntilComplete(set);
    EXPECT_EQ(ReadEverything(set, 4096), Numbered(1, 450));
    EXPECT_EQ(set.GetMemberPaths(), (std::vector<std::string>{third, second, rotated, live}));
    EXPECT_EQ(set.GetLineCount(), 451); // the empty line after the last line feed
    EXPECT_EQ(set.MemberOfLine(420), (RotatedSetText::MemberLine{3, 0}));
    EXPECT_EQ(set.MemberOfLine(419), (RotatedSetText::MemberLine{2, 169}));

    // And the new live file goes on growing; a second rotation without a final line feed gets one.
    AppendTo(live, Numbered(451, 460) + "entry 461");
    set.Extend();
    WaitUntilComplete(set);
    const std::string first = (dir.Path() / "app.log.1.old").string();
    ASSERT_EQ(std::rename(live.c_str(), first.c_str()), 0);
    dir.Write("app.log", Numbered(462, 470));
    ASSERT_TRUE(set.AddMember(live, error)) << error;
    WaitUntilComplete(set);
    EXPECT_EQ(ReadEverything(set, 100), Numbered(1, 461) + Numbered(462, 470));
    EXPECT_EQ(set.GetMemberPaths().size(), 5U);

    // A file that cannot be read leaves the set as it was.
    EXPECT_FALSE(set.AddMember((dir.Path() / "missing").string(), error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(set.GetMemberPaths().size(), 5U);
    EXPECT_EQ(ReadEverything(set, 100), Numbered(1, 470));
}

TEST_F(RotatedSetTextTest, ASetWhoseLiveFileIsPackedIsNotFollowed)
{
    const TempDir dir;
    const std::string packed = WritePacked(dir, "app.log.gz", Numbered(1, 10), "gzip -c");
    RotatedSetText set({packed});
    int error = 0;
    ASSERT_TRUE(set.Start(error)) << error;
    WaitUntilComplete(set);
    EXPECT_FALSE(set.IsLiveFileFollowable());
    set.Extend();
    EXPECT_TRUE(set.IsComplete());
    EXPECT_EQ(ReadEverything(set, 100), Numbered(1, 10));
}
