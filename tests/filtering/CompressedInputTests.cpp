// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "filtering/CompressedInput.h"
#include "support/TempDir.h"

namespace {

struct Format
{
    Compression Kind;
    const char* Tool;      // compresses standard input to standard output
    const char* Extension; // of the file it makes
};

const Format Formats[] = {
    {Compression::Gzip, "gzip -c", ".gz"},
    {Compression::Zstd, "zstd -q -c", ".zst"},
    {Compression::Xz, "xz -c", ".xz"},
    {Compression::Bzip2, "bzip2 -c", ".bz2"},
};

bool HasTool(const char* tool)
{
    const std::string name = std::string(tool).substr(0, std::string(tool).find(' '));
    return std::system(("command -v " + name + " > /dev/null").c_str()) == 0;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The reference compressor's output for the text.
std::string Compress(const TempDir& dir, const Format& format, const std::string& text)
{
    const std::string plain = dir.Write("plain", text);
    const std::string packed = (dir.Path() / (std::string("packed") + format.Extension)).string();
    if (std::system((std::string(format.Tool) + " < '" + plain + "' > '" + packed + "'").c_str()) != 0)
        return std::string();
    return ReadAll(packed);
}

std::string LogText(std::size_t lines, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) {
        text += "2026-12-10 03:" + std::to_string(random() % 60) + " line " + std::to_string(i);
        text += random() % 3 == 0 ? " ERROR disk full\n" : " INFO all well\n";
    }
    return text;
}

struct Outcome
{
    std::string Text;
    std::string Error;
    std::uint64_t ErrorOffset = 0;
};

// Decompresses the bytes as a log is read: through a descriptor, into pieces of varying size.
Outcome Decompress(const TempDir& dir, Compression kind, const std::string& bytes, unsigned seed)
{
    const std::string path = dir.Write("input", bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Outcome outcome;
    if (fd < 0)
        return outcome;
    auto decompressor = Decompressor::Make(kind);
    std::mt19937 random(seed);
    std::vector<char> piece(1 << 17);
    for (;;) {
        const std::size_t size = 1 + random() % piece.size();
        const std::size_t got = decompressor->Read(fd, piece.data(), size);
        EXPECT_LE(got, size);
        if (got == 0)
            break;
        outcome.Text.append(piece.data(), got);
    }
    // Once ended, it stays ended.
    EXPECT_EQ(decompressor->Read(fd, piece.data(), piece.size()), 0u);
    outcome.Error = decompressor->GetError();
    outcome.ErrorOffset = decompressor->GetErrorOffset();
    ::close(fd);
    return outcome;
}

} // namespace

TEST(CompressedInputTest, TellsEachKindByItsFirstBytes)
{
    TempDir dir;
    for (const Format& format : Formats) {
        if (!HasTool(format.Tool))
            continue;
        const std::string packed = Compress(dir, format, "a line\n");
        ASSERT_FALSE(packed.empty()) << format.Tool;
        EXPECT_EQ(DetectCompression(reinterpret_cast<const unsigned char*>(packed.data()), packed.size()), format.Kind)
            << format.Tool;
        // Too few bytes to tell: plain.
        EXPECT_EQ(DetectCompression(reinterpret_cast<const unsigned char*>(packed.data()), 1), Compression::None);
    }
    for (const std::string plain : {"", "BZh", "BZhx log line", "\x1f log", "2026-12-10 INFO\n",
                                    "\xfd"
                                    "7zX"}) {
        EXPECT_EQ(DetectCompression(reinterpret_cast<const unsigned char*>(plain.data()), plain.size()),
                  Compression::None)
            << plain;
    }
}

// The text of every kind, read in pieces of any size, equals what the reference tool packed:
// one member, several members one after the other, and members padded with zero bytes.
TEST(CompressedInputTest, GivesBackWhatTheReferenceToolPacked)
{
    TempDir dir;
    const std::string first = LogText(30000, 1);
    const std::string second = LogText(500, 2);
    for (const Format& format : Formats) {
        if (!HasTool(format.Tool)) {
            ADD_FAILURE() << format.Tool << " is not installed: scripts/go.sh installs it";
            continue;
        }
        const std::string one = Compress(dir, format, first);
        const std::string other = Compress(dir, format, second);
        const std::string empty = Compress(dir, format, std::string());
        ASSERT_FALSE(one.empty() || other.empty() || empty.empty()) << format.Tool;

        Outcome outcome = Decompress(dir, format.Kind, one, 7);
        EXPECT_EQ(outcome.Error, "") << format.Tool;
        EXPECT_TRUE(outcome.Text == first) << format.Tool << ": " << outcome.Text.size() << " bytes";

        outcome = Decompress(dir, format.Kind, one + empty + other, 8);
        EXPECT_EQ(outcome.Error, "") << format.Tool;
        EXPECT_TRUE(outcome.Text == first + second) << format.Tool << ": " << outcome.Text.size() << " bytes";

        if (format.Kind != Compression::Zstd) {
            // Tape blocks end in zeros; the tools read past them. (zstd has frames for padding.)
            outcome = Decompress(dir, format.Kind, one + std::string(4096, '\0'), 9);
            EXPECT_EQ(outcome.Error, "") << format.Tool;
            EXPECT_TRUE(outcome.Text == first) << format.Tool;
        }
    }
}

// A cut or damaged archive gives the text before the damage, and says where it is.
TEST(CompressedInputTest, EndsAtDamageWithItsPlace)
{
    TempDir dir;
    const std::string text = LogText(20000, 3);
    for (const Format& format : Formats) {
        if (!HasTool(format.Tool))
            continue;
        const std::string packed = Compress(dir, format, text);
        ASSERT_GT(packed.size(), 1000u) << format.Tool;

        const std::string cut = packed.substr(0, packed.size() / 2);
        Outcome outcome = Decompress(dir, format.Kind, cut, 10);
        EXPECT_NE(outcome.Error, "") << format.Tool << ": a cut archive read as whole";
        EXPECT_LE(outcome.ErrorOffset, cut.size()) << format.Tool;
        EXPECT_LT(outcome.Text.size(), text.size()) << format.Tool;
        EXPECT_EQ(text.compare(0, outcome.Text.size(), outcome.Text), 0) << format.Tool << ": not what was packed";

        // Garbage where the next member would start is damage too, after the whole first text.
        outcome = Decompress(dir, format.Kind, packed + "this is no archive", 11);
        EXPECT_NE(outcome.Error, "") << format.Tool;
        EXPECT_TRUE(outcome.Text == text) << format.Tool;
        EXPECT_GE(outcome.ErrorOffset, packed.size()) << format.Tool;

        // Bytes changed in the middle: whatever comes out, the fault is found and nothing hangs.
        std::string damaged = packed;
        for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i)
            damaged[i] = static_cast<char>(damaged[i] ^ 0x5a);
        outcome = Decompress(dir, format.Kind, damaged, 12);
        EXPECT_NE(outcome.Error, "") << format.Tool;
        EXPECT_LE(outcome.ErrorOffset, damaged.size()) << format.Tool;
    }
    const std::string message = DamagedArchiveMessage("app.log.gz", Compression::Gzip, 4096, "invalid block type");
    EXPECT_EQ(message, "ERROR Reading app.log.gz: the gzip data is damaged at byte 4096 (invalid block type); the "
                       "text before it was read");
}
