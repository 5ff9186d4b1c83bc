// SPDX-License-Identifier: GPL-3.0-or-later
// A UTF-16 or 8-bit file read as its UTF-8 text through the index: the same bytes at any offset
// and the same lines as iconv's own conversion of the whole file.
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "filtering/IconvDecoder.h"
#include "filtering/IndexedText.h"
#include "filtering/PlainIndexedText.h"
#include "filtering/TranscodedIndexedText.h"
#include "logtext/IndexedTextLines.h"
#include "support/TempDir.h"
#include "support/TextLines.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the iconv program makes of the bytes; empty with ok false when it fails.
std::string RunIconv(const TempDir& dir, const std::string& from, const std::string& to, const std::string& bytes,
                     bool& ok)
{
    const std::string in = dir.Write("iconv-in", bytes);
    const std::string out = (dir.Path() / "iconv-out").string();
    const std::string command = std::string{"iconv -f "}
                                    .append(from)
                                    .append(" -t ")
                                    .append(to)
                                    .append(" < '")
                                    .append(in)
                                    .append("' > '")
                                    .append(out)
                                    .append("'");
    ok = std::system(command.c_str()) == 0;
    return ok ? ReadAll(out) : std::string();
}

void WaitUntilComplete(const IndexedText& text)
{
    while (!text.IsComplete())
        std::this_thread::yield();
}

// The text the whole-file load makes of the file: IconvDecoder over all of it.
std::string LoadWhole(const std::string& path, const FileTextEncoding& encoding)
{
    const std::unique_ptr<IconvDecoder> decoder =
        IconvDecoder::Make(encoding.Name, encoding.UnitSize(), encoding.BomSize);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    char buffer[4096];
    for (std::size_t got; decoder && fd >= 0 && (got = decoder->Read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, got);
    if (fd >= 0)
        ::close(fd);
    return text;
}

struct Encoded
{
    const char* Name;     // in the test's output
    const char* Encoding; // iconv's name
    std::size_t BomSize;
    const char* Words; // UTF-8 words the encoding holds, separated by spaces
};

void PrintTo(const Encoded& encoded, std::ostream* out)
{
    *out << encoded.Name;
}

// Log lines of the encoding's words: some empty, some long, CR LF now and then, one line longer
// than a read of the pass, and no line feed at the end.
std::string LogText(const Encoded& encoded, std::size_t bytes)
{
    std::vector<std::string> words;
    const std::string all = encoded.Words;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find(' ', start), all.size());
        words.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    std::mt19937 random(11);
    std::string text;
    for (int line = 1; text.size() < bytes; ++line) {
        if (line % 89 == 0) {
            text += '\n';
            continue;
        }
        text.append("2026-12-11 15:").append(std::to_string(line % 60)).append(" line ").append(std::to_string(line));
        for (unsigned count = random() % 12; count > 0; --count)
            text.append(" ").append(words[random() % words.size()]);
        if (line == 700)
            for (int i = 0; i < 20000; ++i)
                text.append(words[static_cast<std::size_t>(i) % words.size()]);
        text += line % 17 == 0 ? "\r\n" : "\n";
    }
    return text.append("last ").append(words.front());
}

class TranscodedTexts : public ::testing::TestWithParam<Encoded>
{
};

} // namespace

TEST_P(TranscodedTexts, ReadAsIconvConvertsTheWholeFile)
{
    const Encoded encoded = GetParam();
    const TempDir dir;
    bool ok = false;
    std::string bytes = RunIconv(dir, "UTF-8", encoded.Encoding, LogText(encoded, 1536 * 1024), ok);
    ASSERT_TRUE(ok);
    if (encoded.BomSize > 0)
        bytes.insert(0, encoded.Encoding == std::string("UTF-16LE") ? "\xff\xfe" : "\xfe\xff", 2);
    const std::string path = dir.Write("encoded.log", bytes);
    // With its mark the file is read as the iconv program reads UTF-16 by its mark.
    const std::string expected = RunIconv(dir, encoded.BomSize > 0 ? "UTF-16" : encoded.Encoding, "UTF-8", bytes, ok);
    ASSERT_TRUE(ok);

    const FileTextEncoding encoding{encoded.Encoding, encoded.BomSize};
    TranscodedIndexedText text(path, encoding, 16 * 1024);
    int error = 0;
    ASSERT_TRUE(text.Start(error)) << error;
    // A read while the index is still being built gives the same bytes.
    {
        std::string start(1000, '\0');
        const std::int64_t got = text.ReadRange(0, start.data(), start.size(), error);
        ASSERT_EQ(got, 1000);
        EXPECT_EQ(start, expected.substr(0, 1000));
    }
    WaitUntilComplete(text);
    EXPECT_TRUE(text.GetDamage().empty());
    EXPECT_EQ(text.GetIndexPercent(), 100);
    ASSERT_EQ(text.GetSize(), expected.size());
    EXPECT_FALSE(text.IsFollowable());

    // Every point is a line start whose file offset yields exactly the text before it.
    const std::vector<TranscodedIndexedText::Point> points = text.GetPoints();
    const std::size_t unit = encoding.UnitSize();
    ASSERT_GT(points.size(), 20U);
    for (std::size_t i = 1; i < points.size(); ++i) {
        const TranscodedIndexedText::Point& point = points[i];
        ASSERT_GT(point.TextOffset, points[i - 1].TextOffset);
        ASSERT_EQ((point.FileOffset - encoded.BomSize) % unit, 0U) << i;
        ASSERT_EQ(expected[point.TextOffset - 1], '\n') << i;
        if (i % 10 == 1) {
            const std::string before = RunIconv(dir, encoded.Encoding, "UTF-8",
                                                bytes.substr(encoded.BomSize, point.FileOffset - encoded.BomSize), ok);
            ASSERT_TRUE(ok) << i;
            ASSERT_EQ(before.size(), point.TextOffset) << i;
        }
    }

    // Ranges anywhere, in no order, of sizes up to more than a piece.
    std::mt19937_64 random(5);
    for (int i = 0; i < 300; ++i) {
        const std::uint64_t offset = random() % expected.size();
        const std::size_t size = i % 7 == 0 ? 200000 : static_cast<std::size_t>(random() % 5000 + 1);
        std::string got(size, '\0');
        const std::int64_t read = text.ReadRange(offset, got.data(), size, error);
        ASSERT_GE(read, 0);
        got.resize(static_cast<std::size_t>(read));
        ASSERT_EQ(got, expected.substr(offset, size)) << "at " << offset;
    }

    // Lines, counted and read as the converted text has them.
    const std::vector<std::string> lines = SplitKeepingLineEnds(expected);
    const IndexedTextLines textLines(text);
    ASSERT_EQ(textLines.GetLineCount(), static_cast<std::int64_t>(lines.size()));
    for (std::int64_t first :
         {std::int64_t{0}, std::int64_t{63}, std::int64_t{64}, std::int64_t{699}, textLines.GetLineCount() - 2}) {
        std::string got;
        std::string problem;
        ASSERT_TRUE(textLines.ReadLines(first, 2, got, problem)) << problem;
        std::string want;
        for (std::int64_t line = first; line < std::min<std::int64_t>(first + 2, lines.size()); ++line)
            want += lines[static_cast<std::size_t>(line)];
        EXPECT_EQ(got, want) << "line " << first;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, TranscodedTexts,
                         ::testing::Values(Encoded{"Utf16LeWithMark", "UTF-16LE", 2, "привет мир 日本語 😀🎉 ошибка é"},
                                           Encoded{"Utf16LeWithoutMark", "UTF-16LE", 0, "привет 😀 ошибка ü 中文"},
                                           Encoded{"Utf16BeWithMark", "UTF-16BE", 2, "ошибка 🎉 δοκιμή ß"},
                                           Encoded{"Utf16BeWithoutMark", "UTF-16BE", 0, "журнал 😀😀 ℃ ñ"},
                                           Encoded{"Latin1", "ISO-8859-1", 0, "café übel straße ñandú Ærø ½"},
                                           Encoded{"Windows1251", "WINDOWS-1251", 0, "привет журнал ошибка Ёжик №"},
                                           Encoded{"Koi8R", "KOI8-R", 0, "привет журнал ошибка Ёлка"}),
                         [](const ::testing::TestParamInfo<Encoded>& param) { return std::string(param.param.Name); });

TEST(TranscodedIndexedText, ReplacesWhatIsNoCharacterAsTheWholeFileLoadDoes)
{
    using namespace std::string_literals;
    const TempDir dir;
    struct Case
    {
        const char* Encoding;
        std::size_t BomSize;
        std::string Bytes;
    };
    // A lone high and a lone low surrogate, a pair, an odd last byte; a byte Windows-1251
    // leaves out; a mark alone.
    const std::vector<Case> cases = {
        {"UTF-16LE", 2,
         "\xff\xfe"
         "a\0\x00\xd8"
         "b\0\n\0\x00\xdc\n\0\x3d\xd8\x00\xde"
         "c"s},
        {"UTF-16BE", 0, "\0a\xd8\x00\0\n\xd8\x3d\xde\x00\0b\0"s},
        {"WINDOWS-1251", 0, "\xef\x98\xf0\n\x98"s},
        {"UTF-16LE", 2, "\xff\xfe"s},
        {"UTF-16LE", 0, std::string()},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Write("odd.log", c.Bytes);
        const FileTextEncoding encoding{c.Encoding, c.BomSize};
        const std::string expected = LoadWhole(path, encoding);
        TranscodedIndexedText text(path, encoding, 1);
        int error = 0;
        ASSERT_TRUE(text.Start(error));
        WaitUntilComplete(text);
        ASSERT_EQ(text.GetSize(), expected.size()) << c.Encoding;
        EXPECT_EQ(text.GetLineCount(), std::count(expected.begin(), expected.end(), '\n') + 1);
        std::string got(expected.size() + 8, '\0');
        const std::int64_t read = text.ReadRange(0, got.data(), got.size(), error);
        ASSERT_EQ(read, static_cast<std::int64_t>(expected.size()));
        got.resize(expected.size());
        EXPECT_EQ(got, expected) << c.Encoding;
        // And from each point on, the same bytes.
        for (const TranscodedIndexedText::Point& point : text.GetPoints()) {
            std::string rest(expected.size(), '\0');
            const std::int64_t restRead = text.ReadRange(point.TextOffset, rest.data(), rest.size(), error);
            ASSERT_GE(restRead, 0);
            rest.resize(static_cast<std::size_t>(restRead));
            EXPECT_EQ(rest, expected.substr(point.TextOffset)) << c.Encoding;
        }
    }
    // The lone surrogates and the odd byte each came out as U+FFFD.
    const std::string first = LoadWhole(dir.Write("first.log", cases[0].Bytes), {"UTF-16LE", 2});
    EXPECT_EQ(first, "a\xEF\xBF\xBD"
                     "b\n\xEF\xBF\xBD\n\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(TranscodedIndexedText, IsMadeOnlyForAFileOfAnotherEncoding)
{
    const TempDir dir;
    const std::string path = dir.Write("plain.log", "one\ntwo\n");
    const auto utf8 = MakeIndexedText(path, 0, FileTextEncoding{});
    EXPECT_NE(dynamic_cast<PlainIndexedText*>(utf8.get()), nullptr);
    const auto latin1 = MakeIndexedText(path, 0, FileTextEncoding{"ISO-8859-1", 0});
    EXPECT_NE(dynamic_cast<TranscodedIndexedText*>(latin1.get()), nullptr);

    // An encoding iconv does not know, and a file that is not there, do not start.
    int error = 0;
    TranscodedIndexedText unknown(path, FileTextEncoding{"NO-SUCH-ENCODING", 0});
    EXPECT_FALSE(unknown.Start(error));
    EXPECT_EQ(error, EINVAL);
    TranscodedIndexedText missing((dir.Path() / "none.log").string(), FileTextEncoding{"UTF-16LE", 0});
    EXPECT_FALSE(missing.Start(error));
    EXPECT_EQ(error, ENOENT);
}
