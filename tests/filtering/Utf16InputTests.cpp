// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

#include <gtest/gtest.h>

#include "filtering/Utf16Input.h"
#include "support/TempDir.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What iconv, the reference, makes of UTF-8 text in the given encoding.
std::string ToEncoding(const TempDir& dir, const std::string& text, const char* encoding)
{
    const std::string plain = dir.Write("utf8", text);
    const std::string converted = (dir.Path() / "converted").string();
    if (std::system(
            ("iconv -f UTF-8 -t " + std::string(encoding) + " < '" + plain + "' > '" + converted + "'").c_str()) != 0)
        return std::string();
    return ReadAll(converted);
}

Utf16Layout Detect(const std::string& bytes)
{
    return DetectUtf16(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Reads the bytes through the decoder in pieces of varying size.
std::string Decode(const TempDir& dir, const std::string& bytes, Utf16Layout layout, unsigned seed)
{
    const std::string path = dir.Write("input", bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto decoder = Utf16Decoder::Make(layout);
    std::string text;
    if (fd < 0 || !decoder)
        return "(cannot decode)";
    std::mt19937 random(seed);
    std::vector<char> piece(4096);
    for (;;) {
        // Small pieces too, so that a character never fits at first.
        const std::size_t size = 1 + random() % (random() % 4 == 0 ? 5 : piece.size());
        const std::size_t got = decoder->Read(fd, piece.data(), size);
        if (got == 0)
            break;
        text.append(piece.data(), got);
    }
    EXPECT_EQ(decoder->TakeFaultMessage("log"), "");
    EXPECT_EQ(decoder->GetFileBytesUsed(), bytes.size());
    ::close(fd);
    return text;
}

std::string MixedLog(std::size_t lines)
{
    const char* words[] = {"INFO", "Fehler", "Größe", "naïve", "日本語", "🙂", "x", "\t", "é"};
    std::mt19937 random(5);
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) {
        text += "2026-12-10 line " + std::to_string(i);
        for (int k = static_cast<int>(random() % 6); k > 0; --k)
            text += std::string(" ") + words[random() % std::size(words)];
        text += random() % 5 == 0 ? "\r\n" : "\n";
    }
    return text;
}

} // namespace

TEST(Utf16InputTest, TellsUtf16ByItsMarkOrItsZeroBytes)
{
    TempDir dir;
    const std::string text = MixedLog(200);
    const std::string little = ToEncoding(dir, text, "UTF-16LE");
    const std::string big = ToEncoding(dir, text, "UTF-16BE");
    ASSERT_FALSE(little.empty() || big.empty()) << "iconv is missing";
    EXPECT_EQ(Detect(little).Order, Utf16Order::LittleEndian);
    EXPECT_EQ(Detect(little).BomSize, 0u);
    EXPECT_EQ(Detect(big).Order, Utf16Order::BigEndian);
    EXPECT_EQ(Detect("\xff\xfe" + little).BomSize, 2u);
    EXPECT_EQ(Detect("\xfe\xff" + big).Order, Utf16Order::BigEndian);
    // UTF-8 text, binary data with zeros here and there, and too little to tell: not UTF-16.
    EXPECT_EQ(Detect(text).Order, Utf16Order::None);
    std::string binary(4096, '\0');
    std::mt19937 random(1);
    for (char& byte : binary)
        byte = random() % 3 == 0 ? '\0' : static_cast<char>(random());
    EXPECT_EQ(Detect(binary).Order, Utf16Order::None);
    EXPECT_EQ(Detect(std::string(4096, '\0')).Order, Utf16Order::None);
    EXPECT_EQ(Detect(little.substr(0, 6)).Order, Utf16Order::None);
}

// Every piece size gives what iconv gives: letters beyond Latin-1, pairs of surrogates, CR LF.
TEST(Utf16InputTest, ReadsAsIconvConverts)
{
    TempDir dir;
    const std::string text = MixedLog(20000);
    const std::string little = ToEncoding(dir, text, "UTF-16LE");
    const std::string big = ToEncoding(dir, text, "UTF-16BE");
    ASSERT_FALSE(little.empty() || big.empty()) << "iconv is missing";
    EXPECT_TRUE(Decode(dir, little, {Utf16Order::LittleEndian, 0}, 1) == text);
    EXPECT_TRUE(Decode(dir, big, {Utf16Order::BigEndian, 0}, 2) == text);
    EXPECT_TRUE(Decode(dir, "\xff\xfe" + little, {Utf16Order::LittleEndian, 2}, 3) == text);
    EXPECT_TRUE(Decode(dir, "\xfe\xff" + big, {Utf16Order::BigEndian, 2}, 4) == text);
}

TEST(Utf16InputTest, ReplacesWhatIsNoCharacter)
{
    TempDir dir;
    // "a", a lone high surrogate, "b", a lone low surrogate, "c", and half a pair at the end.
    const std::string bytes("a\0\x00\xd8"
                            "b\0\x00\xdc"
                            "c\0\x3d",
                            11);
    EXPECT_EQ(Decode(dir, bytes, {Utf16Order::LittleEndian, 0}, 5), "a\xEF\xBF\xBD"
                                                                    "b\xEF\xBF\xBD"
                                                                    "c\xEF\xBF\xBD");
}
