// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/CompressedInput.h"
#include "filtering/CompressedTextIndex.h"
#include "support/TempDir.h"

namespace {

// Small, so that a few MiB of text hold dozens of seek points.
constexpr std::uint64_t Spacing = 64 * 1024;

struct Tool
{
    Compression Kind;
    const char* Pack;   // compresses standard input to standard output
    const char* Unpack; // the reference: the text of standard input on standard output
};

const Tool Gzip{Compression::Gzip, "gzip -c", "zcat"};
const Tool Zstd{Compression::Zstd, "zstd -q -c", "zstdcat -q"};
const Tool Xz{Compression::Xz, "xz -c", "xzcat"};
const Tool Bzip2{Compression::Bzip2, "bzip2 -c", "bzcat"};

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The output of a shell command given the bytes on its standard input (whatever its exit status).
std::string Filter(const TempDir& dir, const std::string& command, const std::string& input)
{
    const std::string in = dir.Write("command-input", input);
    const std::string out = (dir.Path() / "command-output").string();
    const int status = std::system((command + " < '" + in + "' > '" + out + "' 2> /dev/null").c_str());
    static_cast<void>(status);
    return ReadAll(out);
}

// A log with lines of every length: empty ones, short ones, and now and then one longer than the
// spacing of the seek points, so that lines and reads cross them.
std::string LogText(std::size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    static const char* const words[] = {"disk", "full", "retry", "connection", "reset", "user", "login", "ok"};
    std::string text;
    for (std::size_t line = 0; text.size() < bytes; ++line) {
        const unsigned shape = random() % 200;
        if (shape == 0) {
            text += '\n';
            continue;
        }
        text += "2026-12-10 03:" + std::to_string(random() % 60) + ":" + std::to_string(random() % 60) + " line " +
                std::to_string(line) + (random() % 3 == 0 ? " ERROR" : " INFO");
        const std::size_t count = shape == 1 ? 20000 : random() % 12;
        for (std::size_t i = 0; i < count; ++i)
            text += std::string(" ") + words[random() % 8] + std::to_string(random() % 1000);
        text += '\n';
    }
    return text;
}

void WaitUntilComplete(const CompressedTextIndex& index)
{
    while (!index.IsComplete())
        std::this_thread::yield();
}

// Reads the whole text through the index in pieces.
std::string ReadWhole(CompressedTextIndex& index)
{
    std::string text;
    std::vector<char> piece(100000);
    for (;;) {
        const std::size_t got = index.ReadAt(text.size(), piece.data(), piece.size());
        if (got == 0)
            return text;
        text.append(piece.data(), got);
    }
}

// Line `line` (0-based, without its line feed) read from the index: from the checkpoint before
// it, on past its line feeds.
std::string LineByIndex(CompressedTextIndex& index, std::int64_t line)
{
    const CompressedTextIndex::Checkpoint start = index.Locate(line);
    std::uint64_t offset = start.Offset;
    std::int64_t current = start.Line;
    std::string text;
    std::vector<char> piece(4096);
    for (;;) {
        const std::size_t got = index.ReadAt(offset, piece.data(), piece.size());
        if (got == 0)
            return text;
        for (std::size_t i = 0; i < got; ++i) {
            if (piece[i] == '\n') {
                if (current == line)
                    return text;
                ++current;
            } else if (current == line) {
                text += piece[i];
            }
        }
        offset += got;
    }
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (const char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    return lines;
}

// Random ranges, forward and back, across seek points, members and the end, against the slice.
void ExpectRangesMatch(CompressedTextIndex& index, const std::string& reference, unsigned seed, const std::string& what,
                       int reads = 60)
{
    std::mt19937 random(seed);
    std::vector<char> buffer(300000);
    for (int i = 0; i < reads; ++i) {
        const std::uint64_t offset = random() % (reference.size() + 10);
        const std::size_t size = i % 10 == 0 ? buffer.size() : random() % 70000;
        const std::size_t got = index.ReadAt(offset, buffer.data(), size);
        const std::string expected = offset < reference.size() ? reference.substr(offset, size) : std::string();
        ASSERT_EQ(got, expected.size()) << what << ": " << size << " bytes at " << offset;
        ASSERT_TRUE(std::string(buffer.data(), got) == expected) << what << ": " << size << " bytes at " << offset;
    }
}

struct Layout
{
    std::string Name;
    Tool Format;
    std::string Packed;
    bool Seeks; // the layout has seek points past its start
};

// Every kind alone, and the layouts that give it places to begin other than its start.
std::vector<Layout> MakeLayouts(const TempDir& dir, const std::string& text)
{
    const std::string first = text.substr(0, text.size() / 3);
    const std::string second = text.substr(text.size() / 3);
    std::vector<Layout> layouts;
    layouts.push_back({"gzip", Gzip, Filter(dir, Gzip.Pack, text), true});
    layouts.push_back({"gzip members", Gzip,
                       Filter(dir, Gzip.Pack, first) + Filter(dir, Gzip.Pack, "") + Filter(dir, Gzip.Pack, second),
                       true});
    layouts.push_back({"zstd frame", Zstd, Filter(dir, Zstd.Pack, text), false});
    std::string frames;
    for (std::size_t at = 0; at < text.size(); at += 150000)
        frames += Filter(dir, Zstd.Pack, text.substr(at, 150000));
    layouts.push_back({"zstd frames", Zstd, frames, true});
    layouts.push_back({"xz block", Xz, Filter(dir, Xz.Pack, text), false});
    layouts.push_back({"xz blocks", Xz, Filter(dir, "xz -c --block-size=100KiB", text), true});
    layouts.push_back(
        {"xz streams", Xz, Filter(dir, "xz -c --block-size=200KiB", first) + Filter(dir, Xz.Pack, second), true});
    layouts.push_back({"bzip2 stream", Bzip2, Filter(dir, Bzip2.Pack, text), false});
    layouts.push_back({"bzip2 streams", Bzip2,
                       Filter(dir, "bzip2 -1 -c", first) + Filter(dir, "bzip2 -1 -c", second.substr(0, 200000)) +
                           Filter(dir, "bzip2 -1 -c", second.substr(200000)),
                       true});
    return layouts;
}

bool HasTools()
{
    return std::system("command -v gzip zstd xz bzip2 zcat zstdcat xzcat bzcat > /dev/null") == 0;
}

} // namespace

// Every kind and layout: the text, its size, its lines and any range of it equal the reference
// tool's output; the layouts with members, frames, blocks or streams seek, the others do not.
TEST(CompressedTextIndexTest, ReadsAnyRangeAsTheReferenceToolDecompresses)
{
    ASSERT_TRUE(HasTools()) << "scripts/go.sh installs gzip, zstd, xz-utils and bzip2";
    TempDir dir;
    const std::string text = LogText(2 * 1024 * 1024, 11);
    unsigned seed = 100;
    for (const Layout& layout : MakeLayouts(dir, text)) {
        ASSERT_FALSE(layout.Packed.empty()) << layout.Name;
        const std::string reference = Filter(dir, layout.Format.Unpack, layout.Packed);
        ASSERT_TRUE(reference == text) << layout.Name << ": the tool gave " << reference.size() << " bytes";
        const std::string path = dir.Write(layout.Name, layout.Packed);
        CompressedTextIndex index(path, Spacing);
        int error = 0;
        ASSERT_TRUE(index.Start(error)) << layout.Name << ": " << error;
        EXPECT_EQ(index.GetCompression(), layout.Format.Kind) << layout.Name;
        WaitUntilComplete(index);
        EXPECT_EQ(index.GetDamage(), "") << layout.Name;
        EXPECT_EQ(index.GetIndexedBytes(), reference.size()) << layout.Name;
        EXPECT_EQ(index.GetFileBytesUsed(), layout.Packed.size()) << layout.Name;
        if (layout.Seeks)
            EXPECT_GT(index.GetSeekPointCount(), 2u) << layout.Name;
        else
            EXPECT_EQ(index.GetSeekPointCount(), 1u) << layout.Name;

        // From a point inside the first member (which a gzip read enters as raw deflate data and
        // leaves past its unchecked trailer) on into the second.
        const std::size_t boundary = text.size() / 3;
        std::vector<char> across(200000);
        ASSERT_EQ(index.ReadAt(boundary - 100000, across.data(), across.size()), across.size()) << layout.Name;
        EXPECT_TRUE(std::string(across.data(), across.size()) == reference.substr(boundary - 100000, across.size()))
            << layout.Name;
        // Without seek points every read backwards starts over: fewer of them.
        ExpectRangesMatch(index, reference, ++seed, layout.Name, layout.Seeks ? 60 : 15);
        EXPECT_TRUE(ReadWhole(index) == reference) << layout.Name;

        const std::vector<std::string> lines = SplitLines(reference);
        ASSERT_EQ(index.GetLineCount(), static_cast<std::int64_t>(lines.size())) << layout.Name;
        std::mt19937 random(seed);
        for (int i = 0; i < 40; ++i) {
            const auto line = static_cast<std::int64_t>(i == 0 ? lines.size() - 1 : random() % lines.size());
            ASSERT_EQ(LineByIndex(index, line), lines[static_cast<std::size_t>(line)])
                << layout.Name << " line " << line;
        }
        std::uint64_t offset = 0;
        for (std::size_t line = 0; line < lines.size(); offset += lines[line].size() + 1, ++line) {
            if (line % CompressedTextIndex::Stride != 0)
                continue;
            const CompressedTextIndex::Checkpoint known = index.Locate(static_cast<std::int64_t>(line));
            ASSERT_EQ(known.Line, static_cast<std::int64_t>(line)) << layout.Name;
            ASSERT_EQ(known.Offset, offset) << layout.Name << " line " << line;
            ASSERT_EQ(index.LocateOffset(offset + lines[line].size()).Line, known.Line) << layout.Name;
        }
    }
}

// A gzip point keeps a window; deflated, log text keeps a fraction of its 32 KiB.
TEST(CompressedTextIndexTest, KeepsGzipWindowsPacked)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    const std::string text = LogText(2 * 1024 * 1024, 5);
    CompressedTextIndex index(dir.Write("log.gz", Filter(dir, Gzip.Pack, text)), Spacing);
    int error = 0;
    ASSERT_TRUE(index.Start(error));
    WaitUntilComplete(index);
    const std::size_t points = index.GetSeekPointCount();
    // At block boundaries: a deflate block of log text holds a hundred KiB or more.
    EXPECT_GE(points, 8u);
    EXPECT_LE(points, text.size() / Spacing + 1);
    EXPECT_LT(index.GetSeekPointBytes(), points * 16 * 1024);
}

// The empty text of each kind, and files that are none of them.
TEST(CompressedTextIndexTest, TakesEmptyTextsAndRefusesOtherFiles)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    for (const Tool& tool : {Gzip, Zstd, Xz, Bzip2}) {
        CompressedTextIndex index(dir.Write("empty", Filter(dir, tool.Pack, "")), Spacing);
        int error = 0;
        ASSERT_TRUE(index.Start(error)) << tool.Pack;
        WaitUntilComplete(index);
        EXPECT_EQ(index.GetDamage(), "") << tool.Pack;
        EXPECT_EQ(index.GetIndexedBytes(), 0u) << tool.Pack;
        EXPECT_EQ(index.GetLineCount(), 1) << tool.Pack;
        char byte = 0;
        EXPECT_EQ(index.ReadAt(0, &byte, 1), 0u) << tool.Pack;
    }
    int error = 0;
    CompressedTextIndex plain(dir.Write("plain.log", "2026-12-10 INFO plain\n"));
    EXPECT_FALSE(plain.Start(error));
    EXPECT_EQ(error, EILSEQ);
    CompressedTextIndex missing((dir.Path() / "missing.gz").string());
    EXPECT_FALSE(missing.Start(error));
    EXPECT_EQ(error, ENOENT);
    CompressedTextIndex folder(dir.Path().string());
    EXPECT_FALSE(folder.Start(error));
    EXPECT_EQ(error, EISDIR);
}

// Single frames, blocks and streams read from their start, and the status bar is told so; a
// gzip file and blocked xz seek.
TEST(CompressedTextIndexTest, SaysWhichFilesAreReadFromTheStart)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    const std::string text = LogText(16 * Spacing + 200000, 3);
    const struct
    {
        const char* Command;
        const char* Description;
    } cases[] = {
        {"gzip -c", ""},
        {"xz -c --block-size=100KiB", ""},
        {"xz -c", "This xz file has one block: reading it from the start."},
        {"zstd -q -c", "This zstd file is one frame: reading it from the start."},
        {"bzip2 -c", "This bzip2 file is one stream: reading it from the start."},
    };
    for (const auto& row : cases) {
        CompressedTextIndex index(dir.Write("log", Filter(dir, row.Command, text)), Spacing);
        int error = 0;
        ASSERT_TRUE(index.Start(error)) << row.Command;
        WaitUntilComplete(index);
        EXPECT_EQ(index.DescribeTextAccess(), row.Description) << row.Command;
        EXPECT_EQ(index.GetTextAccess(), *row.Description ? CompressedTextIndex::TextAccess::ReadsForward
                                                          : CompressedTextIndex::TextAccess::Seeks)
            << row.Command;
        // Read forward or not, the end is where the text ends.
        std::vector<char> tail(1000);
        ASSERT_EQ(index.ReadAt(text.size() - 500, tail.data(), tail.size()), 500u) << row.Command;
        EXPECT_EQ(std::string(tail.data(), 500), text.substr(text.size() - 500)) << row.Command;
    }
}

// A file cut short anywhere: the pass ends with a message naming the byte where the data ran
// out, and the text before the cut reads as the tool's did, from any point.
TEST(CompressedTextIndexTest, KeepsTheTextBeforeTheEndOfATruncatedFile)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    const std::string text = LogText(1024 * 1024, 21);
    unsigned seed = 200;
    for (const Layout& layout : MakeLayouts(dir, text)) {
        for (const double part : {0.25, 0.6, 0.999}) {
            const auto cut = static_cast<std::size_t>(static_cast<double>(layout.Packed.size()) * part);
            const std::string what = layout.Name + " cut at " + std::to_string(cut);
            const std::string path = dir.Write("cut", layout.Packed.substr(0, cut));
            CompressedTextIndex index(path, Spacing);
            int error = 0;
            ASSERT_TRUE(index.Start(error)) << what;
            WaitUntilComplete(index);
            EXPECT_EQ(index.GetDamage(), "ERROR Reading " + path + ": the " + CompressionName(layout.Format.Kind) +
                                             " data is damaged at byte " + std::to_string(cut) +
                                             " (the file ends in the middle of the compressed data); the text "
                                             "before it was read")
                << what;
            const std::string prefix = ReadWhole(index);
            EXPECT_EQ(prefix.size(), index.GetIndexedBytes()) << what;
            ASSERT_TRUE(text.compare(0, prefix.size(), prefix) == 0) << what << ": not the text's start";
            // At least what the reference tool could still give.
            const std::string partial = Filter(dir, layout.Format.Unpack, layout.Packed.substr(0, cut));
            EXPECT_GE(prefix.size(), partial.size()) << what;
            ExpectRangesMatch(index, prefix, ++seed, what);
        }
    }
}

// Corrupt bytes in the second member (frame, stream) of a file: the pass ends with a message at
// or after them, the first member's text is all there, and the index gives the same text as the
// filter's forward reading, from any point.
TEST(CompressedTextIndexTest, EndsTheTextAtCorruptData)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    const std::string first = LogText(600000, 31);
    const std::string second = LogText(600000, 32);
    unsigned seed = 300;
    for (const Tool& tool : {Gzip, Zstd, Xz, Bzip2}) {
        const std::string head = Filter(dir, tool.Pack, first);
        std::string packed = head + Filter(dir, tool.Pack, second);
        const std::size_t damage = head.size() + (packed.size() - head.size()) / 2;
        for (std::size_t i = damage; i < damage + 16; ++i)
            packed[i] = static_cast<char>(packed[i] ^ 0x5a);
        const std::string path = dir.Write("corrupt", packed);
        CompressedTextIndex index(path, Spacing);
        int error = 0;
        ASSERT_TRUE(index.Start(error)) << tool.Pack;
        WaitUntilComplete(index);
        const std::string message = index.GetDamage();
        const std::string start =
            "ERROR Reading " + path + ": the " + CompressionName(tool.Kind) + " data is damaged at byte ";
        ASSERT_EQ(message.substr(0, start.size()), start) << tool.Pack << ": " << message;
        // Where the damage was found: after the first member, at the latest at the file's end.
        const std::uint64_t at = std::stoull(message.substr(start.size()));
        EXPECT_GT(at, head.size()) << tool.Pack << ": " << message;
        EXPECT_LE(at, packed.size()) << tool.Pack << ": " << message;

        const std::string got = ReadWhole(index);
        EXPECT_TRUE(got.compare(0, first.size(), first) == 0) << tool.Pack << ": the first member's text differs";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        auto forward = Decompressor::Make(tool.Kind);
        std::string forwardText;
        std::vector<char> piece(65536);
        while (const std::size_t size = forward->Read(fd, piece.data(), piece.size()))
            forwardText.append(piece.data(), size);
        ::close(fd);
        EXPECT_FALSE(forward->GetError().empty()) << tool.Pack;
        EXPECT_TRUE(got == forwardText) << tool.Pack << ": " << got.size() << " bytes, forward " << forwardText.size();
        ExpectRangesMatch(index, got, ++seed, tool.Pack);
    }
}

// Bytes flipped, dropped or doubled anywhere in a small file of each kind: the pass always ends,
// and every range read gives the text the pass found, whichever point it starts from.
TEST(CompressedTextIndexTest, NeverHangsOnDamageAndReadsWhatThePassFound)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    const std::string text = LogText(300000, 41);
    std::mt19937 random(42);
    for (const char* command : {"gzip -c", "zstd -q -c", "xz -c --block-size=20KiB", "bzip2 -1 -c"}) {
        const std::string packed =
            Filter(dir, command, text.substr(0, 150000)) + Filter(dir, command, text.substr(150000));
        for (int round = 0; round < 25; ++round) {
            std::string damaged = packed;
            const std::size_t at = random() % damaged.size();
            switch (round % 3) {
            case 0:
                for (std::size_t i = at; i < std::min(damaged.size(), at + 1 + random() % 8); ++i)
                    damaged[i] = static_cast<char>(random());
                break;
            case 1:
                damaged.erase(at, 1 + random() % 100);
                break;
            default:
                damaged.insert(at, damaged.substr(at, 1 + random() % 100));
                break;
            }
            const std::string what = std::string(command) + " round " + std::to_string(round);
            CompressedTextIndex index(dir.Write("damaged", damaged), 16 * 1024);
            int error = 0;
            ASSERT_TRUE(index.Start(error) || error == EILSEQ) << what;
            if (error == EILSEQ)
                continue; // the damage hit the first bytes: no longer told as compressed
            WaitUntilComplete(index);
            const std::string whole = ReadWhole(index);
            EXPECT_EQ(whole.size(), index.GetIndexedBytes()) << what;
            ExpectRangesMatch(index, whole, random(), what);
        }
    }
}

// Reads from two threads while the pass is still going give the text's slices all the same.
TEST(CompressedTextIndexTest, ReadsFromSeveralThreadsWhileIndexing)
{
    ASSERT_TRUE(HasTools());
    TempDir dir;
    const std::string text = LogText(4 * 1024 * 1024, 51);
    CompressedTextIndex index(dir.Write("log.gz", Filter(dir, Gzip.Pack, text)), Spacing);
    int error = 0;
    ASSERT_TRUE(index.Start(error));
    std::vector<std::string> failures(2);
    std::vector<std::thread> readers;
    for (unsigned t = 0; t < 2; ++t) {
        readers.emplace_back([&index, &text, &failures, t] {
            std::mt19937 random(60 + t);
            std::vector<char> buffer(50000);
            for (int i = 0; i < 40 && failures[t].empty(); ++i) {
                const std::uint64_t offset = random() % text.size();
                const std::size_t got = index.ReadAt(offset, buffer.data(), buffer.size());
                if (std::string(buffer.data(), got) != text.substr(offset, buffer.size()))
                    failures[t] = "a read at " + std::to_string(offset) + " gave " + std::to_string(got) + " bytes";
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
    WaitUntilComplete(index);
    EXPECT_EQ(index.GetIndexedBytes(), text.size());
}
