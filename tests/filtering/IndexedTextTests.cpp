// SPDX-License-Identifier: GPL-3.0-or-later
// A plain file and the compressed files the command-line tools make, read as one kind of text:
// the same lines, the same bytes at any offset, the same occurrences found.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/CompressedIndexedText.h"
#include "filtering/FileTextSearch.h"
#include "filtering/IndexedText.h"
#include "filtering/PlainIndexedText.h"
#include "logtext/IndexedTextLines.h"
#include "support/TempDir.h"
#include "support/TextLines.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Packs the file at `from` with a shell command reading standard input; the result's name says
// nothing of its packing, so only its first bytes can tell.
std::string Pack(const TempDir& dir, const std::string& command, const std::string& from, const std::string& name)
{
    const std::string to = (dir.Path() / name).string();
    const int status = std::system((command + " < '" + from + "' > '" + to + "'").c_str());
    return status == 0 ? to : std::string();
}

// Lines of varying length, some empty, one long, a CR LF now and then, and no line feed at the end.
std::string LogText(std::size_t bytes)
{
    std::mt19937 random(7);
    std::string text;
    for (int line = 1; text.size() < bytes; ++line) {
        if (line % 97 == 0) {
            text += '\n';
            continue;
        }
        text += "2026-12-10 04:" + std::to_string(line % 60) + " line " + std::to_string(line) +
                (random() % 5 == 0 ? " ERROR disk full" : " INFO ok");
        text += std::string(random() % 40, 'x');
        text += line == 500 ? std::string(300000, 'L') : std::string();
        text += line % 13 == 0 ? "\r\n" : "\n";
    }
    return text + "last line without a line feed";
}

void WaitUntilComplete(const IndexedText& text)
{
    while (!text.IsComplete())
        std::this_thread::yield();
}

struct Packing
{
    const char* Name;
    const char* Command; // empty: the plain file itself
    const char* Kind;    // what GetPackingName says
};

// The packing's name in the test's output, not its bytes.
void PrintTo(const Packing& packing, std::ostream* out)
{
    *out << packing.Name;
}

class IndexedTextKinds : public ::testing::TestWithParam<Packing>
{
};

} // namespace

TEST_P(IndexedTextKinds, ReadsTheSameLinesBytesAndOccurrencesAsThePlainFile)
{
    const Packing packing = GetParam();
    const TempDir dir;
    const std::string text = LogText(3 * 1024 * 1024);
    const std::string plain = dir.Write("plain.log", text);
    std::string path = plain;
    if (*packing.Command)
        path = Pack(dir, packing.Command, plain, "packed.log");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(IsCompressedFile(path), *packing.Command != '\0');

    const std::shared_ptr<IndexedText> indexed = MakeIndexedText(path, 0);
    int error = 0;
    ASSERT_TRUE(indexed->Start(error)) << error;
    WaitUntilComplete(*indexed);
    EXPECT_EQ(indexed->GetPackingName(), packing.Kind);
    EXPECT_EQ(indexed->IsFollowable(), *packing.Command == '\0');
    EXPECT_TRUE(indexed->IsSizeKnown());
    EXPECT_EQ(indexed->GetSize(), text.size());
    EXPECT_EQ(indexed->GetIndexPercent(), 100);
    EXPECT_TRUE(indexed->GetDamage().empty());
    EXPECT_GT(indexed->GetIndexMemory(), 0U);

    // Every line, read in ranges that start anywhere between the index's checkpoints.
    const std::vector<std::string> lines = SplitKeepingLineEnds(text);
    const IndexedTextLines textLines(*indexed);
    ASSERT_EQ(textLines.GetLineCount(), static_cast<std::int64_t>(lines.size()));
    for (std::int64_t first : {std::int64_t{0}, std::int64_t{1}, std::int64_t{63}, std::int64_t{64}, std::int64_t{499},
                               textLines.GetLineCount() - 3, textLines.GetLineCount() - 1}) {
        std::string bytes;
        std::string problem;
        ASSERT_TRUE(textLines.ReadLines(first, 3, bytes, problem)) << problem;
        std::string expected;
        for (std::int64_t line = first; line < std::min<std::int64_t>(first + 3, lines.size()); ++line)
            expected += lines[static_cast<std::size_t>(line)];
        EXPECT_EQ(bytes, expected) << "lines from " << first;
    }

    // Ranges anywhere, backwards too, so that reads go back to earlier seek points.
    std::mt19937 random(3);
    for (int round = 0; round < 40; ++round) {
        const std::uint64_t offset = random() % (text.size() + 10);
        std::string buffer(1 + random() % 70000, '\0');
        const std::int64_t got = indexed->ReadRange(offset, buffer.data(), buffer.size(), error);
        const std::string expected = offset < text.size() ? text.substr(offset, buffer.size()) : std::string();
        ASSERT_EQ(got, static_cast<std::int64_t>(expected.size())) << "at " << offset;
        EXPECT_EQ(buffer.substr(0, expected.size()), expected) << "at " << offset;
    }

    // Find over the text: forward from the middle, back from the end.
    const FileTextSearch search("disk full", true, false);
    const std::stop_source stop;
    const std::uint64_t middle = text.size() / 2;
    EXPECT_EQ(search.FindForward(*indexed, middle, stop.get_token()).Offset, text.find("disk full", middle));
    EXPECT_EQ(search.FindBackward(*indexed, text.size(), stop.get_token()).Offset, text.rfind("disk full"));
    EXPECT_EQ(search.FindForward(*indexed, 0, stop.get_token()).Offset, text.find("disk full"));
    // Small blocks: every read overlaps the one before by a few bytes.
    FileTextSearch smallBlocks("disk full", true, false);
    smallBlocks.SetBlockSize(4093);
    EXPECT_EQ(smallBlocks.FindForward(*indexed, middle, stop.get_token()).Offset, text.find("disk full", middle));
    EXPECT_EQ(smallBlocks.FindBackward(*indexed, middle, stop.get_token()).Offset, text.rfind("disk full", middle - 1));
    const FileTextSearch absent("not in the log", false, false);
    EXPECT_EQ(absent.FindForward(*indexed, 0, stop.get_token()).Offset, FileTextSearch::NotFound);
}

INSTANTIATE_TEST_SUITE_P(Packings, IndexedTextKinds,
                         ::testing::Values(Packing{"plain", "", ""}, Packing{"gzip", "gzip -c", "gzip"},
                                           Packing{"zstd", "zstd -q -c", "zstd"}, Packing{"xz", "xz -c", "xz"},
                                           Packing{"bzip2", "bzip2 -c", "bzip2"}),
                         [](const ::testing::TestParamInfo<Packing>& packing) {
                             return std::string(packing.param.Name);
                         });

TEST(IndexedText, GzipOfSeveralMembersIsOneText)
{
    const TempDir dir;
    const std::string first = LogText(200000);
    const std::string second = "second member\nmore\n";
    const std::string a = Pack(dir, "gzip -c", dir.Write("a.log", first + "\n"), "a.gz");
    const std::string b = Pack(dir, "gzip -c", dir.Write("b.log", second), "b.gz");
    const std::string joined = dir.Write("joined", ReadAll(a) + ReadAll(b));
    const std::shared_ptr<IndexedText> indexed = MakeIndexedText(joined, 0);
    int error = 0;
    ASSERT_TRUE(indexed->Start(error));
    WaitUntilComplete(*indexed);
    const std::string whole = first + "\n" + second;
    ASSERT_EQ(indexed->GetSize(), whole.size());
    EXPECT_EQ(indexed->GetLineCount(), static_cast<std::int64_t>(SplitKeepingLineEnds(whole).size()));
    std::string tail(second.size() + 5, '\0');
    const std::int64_t got = indexed->ReadRange(first.size() - 4, tail.data(), tail.size(), error);
    EXPECT_EQ(tail.substr(0, static_cast<std::size_t>(got)), whole.substr(first.size() - 4));
}

TEST(IndexedText, ACutShortGzipEndsItsTextAtTheDamageAndNamesTheFile)
{
    const TempDir dir;
    const std::string text = LogText(1024 * 1024);
    const std::string packed = ReadAll(Pack(dir, "gzip -c", dir.Write("log", text), "full.gz"));
    const std::string cut = dir.Write("cut.log.gz", packed.substr(0, packed.size() / 2));
    const std::shared_ptr<IndexedText> indexed = MakeIndexedText(cut, 0);
    int error = 0;
    ASSERT_TRUE(indexed->Start(error));
    WaitUntilComplete(*indexed);
    const std::string damage = indexed->GetDamage();
    EXPECT_NE(damage.find(cut), std::string::npos) << damage;
    // What came before the damage is the start of the text, and reads stop where it stops.
    const std::uint64_t size = indexed->GetSize();
    ASSERT_GT(size, 0U);
    ASSERT_LT(size, text.size());
    std::string bytes(size + 100, '\0');
    const std::int64_t got = indexed->ReadRange(0, bytes.data(), bytes.size(), error);
    ASSERT_EQ(got, static_cast<std::int64_t>(size));
    EXPECT_EQ(bytes.substr(0, size), text.substr(0, size));
}

TEST(IndexedText, AFileThatCannotBeOpenedSaysWhy)
{
    const TempDir dir;
    const std::shared_ptr<IndexedText> missing = MakeIndexedText((dir.Path() / "none.gz").string(), 0);
    int error = 0;
    EXPECT_FALSE(missing->Start(error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(IsCompressedFile(dir.Path().string()));
}

TEST(IndexedText, GzipSeekPointsStayWithinTheirBudgetAsFilesGrow)
{
    constexpr std::uint64_t gibibyte = 1024ULL * 1024 * 1024;
    // Small and middling files: the default spacing.
    EXPECT_EQ(CompressedIndexedText::SeekSpacingFor(Compression::Gzip, 100 << 20),
              CompressedTextIndex::DefaultSeekSpacing);
    for (const std::uint64_t size : {4 * gibibyte, 30 * gibibyte, 300 * gibibyte}) {
        const std::uint64_t spacing = CompressedIndexedText::SeekSpacingFor(Compression::Gzip, size);
        const std::uint64_t points = size * CompressedIndexedText::PackingRatio / spacing + 1;
        EXPECT_LE(points * CompressedIndexedText::PointBytes, CompressedIndexedText::SeekPointBudget)
            << size << " bytes";
    }
    // Points without a window cost little: they stay close.
    EXPECT_EQ(CompressedIndexedText::SeekSpacingFor(Compression::Zstd, 300 * gibibyte),
              CompressedTextIndex::DefaultSeekSpacing);
}
