// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "filtering/FilterEngine.h"
#include "filtering/ParallelFilterEngine.h"
#include "filtering/TextEncodingDetector.h"
#include "filtering/TextTranscoding.h"
#include "support/TempDir.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What iconv, the reference, makes of text from one encoding in another.
std::string Iconv(const TempDir& dir, const std::string& text, const char* from, const char* to)
{
    const std::string plain = dir.Write("iconv-in", text);
    const std::string converted = (dir.Path() / "iconv-out").string();
    const std::string command =
        std::string("iconv -f ") + from + " -t " + to + " < '" + plain + "' > '" + converted + "'";
    if (std::system(command.c_str()) != 0)
        return "(iconv failed)";
    return ReadAll(converted);
}

// grep -n over the UTF-8 text: "number:line" for each line holding the pattern.
std::string GrepLines(const TempDir& dir, const std::string& utf8, const std::string& pattern, bool expression)
{
    const std::string path = dir.Write("grep-in", utf8);
    const std::string out = (dir.Path() / "grep-out").string();
    const std::string command = std::string("LC_ALL=C.UTF-8 grep -n ") + (expression ? "-E" : "-F") + " -e '" +
                                pattern + "' '" + path + "' > '" + out + "'";
    std::system(command.c_str()); // 1 when nothing matches: an empty reference
    return ReadAll(out);
}

FileTextEncoding Detect(const std::string& bytes)
{
    return DetectTextEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

const char* const GermanText = "2026-12-10 10:00:01 Größe der Übertragung: 12 KB, Grüße aus München\n"
                               "2026-12-10 10:00:02 Fehler beim Öffnen der Datei « straße.log »\n"
                               "2026-12-10 10:00:03 Der Benutzer hat die Sitzung beendet, naïve Prüfung\n";
const char* const RussianText = "2026-12-10 10:00:01 Сервер запущен, ожидание соединений на порту 8080\n"
                                "2026-12-10 10:00:02 Ошибка соединения с базой данных: превышено время ожидания\n"
                                "2026-12-10 10:00:03 Пользователь вошёл в систему, сеанс открыт успешно\n";

std::string Log(const char* text, int copies)
{
    std::string log;
    for (int i = 0; i < copies; ++i)
        log += text;
    return log;
}

// Reads the file through the decoder chosen for the encoding, in pieces of varying size.
std::string ReadDecoded(const std::string& path, const std::string& encoding)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    auto decoder = MakeInputDecoder(fd, encoding);
    std::string text;
    if (fd < 0 || !decoder) {
        ::close(fd);
        return "(no decoder)";
    }
    std::mt19937 random(7);
    std::vector<char> piece(1024);
    while (const std::size_t got = decoder->Read(fd, piece.data(), 1 + random() % (random() % 3 ? 3 : 1024)))
        text.append(piece.data(), got);
    EXPECT_EQ(decoder->TakeFaultMessage("log"), "");
    ::close(fd);
    return text;
}

std::string RunLines(const FilterRun& run, bool parallel)
{
    CollectingOutput output;
    EngineResult result;
    if (parallel) {
        ParallelFilterEngine engine(run, 3);
        result = engine.Run(std::stop_token(), output);
    } else {
        FilterEngine engine(run);
        result = engine.Run(std::stop_token(), output);
    }
    EXPECT_EQ(result, EngineResult::Finished);
    EXPECT_TRUE(output.Errors.empty());
    std::string lines;
    // The engine keeps each line with its line feed, as grep -n prints it.
    for (const KeptLine& line : output.Lines)
        lines += std::to_string(line.Number) + ":" + line.Text;
    return lines;
}

} // namespace

TEST(TextEncodingTest, TellsUnicodeByMarksAndZeroBytes)
{
    TempDir dir;
    const std::string german = Log(GermanText, 20);
    EXPECT_EQ(Detect(german), (FileTextEncoding{"UTF-8", 0}));
    EXPECT_EQ(Detect("\xef\xbb\xbf" + german), (FileTextEncoding{"UTF-8", 3}));
    const std::string little = Iconv(dir, german, "UTF-8", "UTF-16LE");
    const std::string big = Iconv(dir, german, "UTF-8", "UTF-16BE");
    EXPECT_EQ(Detect(little), (FileTextEncoding{"UTF-16LE", 0}));
    EXPECT_EQ(Detect(big), (FileTextEncoding{"UTF-16BE", 0}));
    EXPECT_EQ(Detect("\xff\xfe" + little), (FileTextEncoding{"UTF-16LE", 2}));
    EXPECT_EQ(Detect("\xfe\xff" + big), (FileTextEncoding{"UTF-16BE", 2}));
    // Russian UTF-16 has no zero bytes in its letters, but its mark still tells.
    EXPECT_EQ(Detect("\xff\xfe" + Iconv(dir, RussianText, "UTF-8", "UTF-16LE")), (FileTextEncoding{"UTF-16LE", 2}));
}

TEST(TextEncodingTest, KeepsAsciiShortBinaryAndCutUtf8AsUtf8)
{
    EXPECT_TRUE(Detect("").IsUtf8());
    EXPECT_TRUE(Detect("plain ascii log line\n").IsUtf8());
    EXPECT_TRUE(Detect(Log("INFO all is well\n", 5000)).IsUtf8());
    // A sample that ends inside a sequence is UTF-8 still; the same bytes as a whole file are not.
    std::string cut = Log(GermanText, 400);
    cut.resize(EncodingSampleSize);
    while ((static_cast<unsigned char>(cut.back()) & 0xc0) != 0xc0)
        cut.pop_back();
    cut.resize(EncodingSampleSize, 'x');
    cut[cut.size() - 1] = '\xc3';
    EXPECT_TRUE(Detect(cut).IsUtf8());
    EXPECT_FALSE(Detect("Gr\xc3\n").IsUtf8());
    // Binary data with zeros (not the pattern of UTF-16) is shown byte for byte.
    std::string binary(8192, '\0');
    std::mt19937 random(3);
    for (char& byte : binary)
        byte = random() % 4 == 0 ? '\0' : static_cast<char>(random());
    EXPECT_TRUE(Detect(binary).IsUtf8());
}

// The guess for 8-bit text decodes it to what was written: the test is the text, not the name
// (Latin-1 and Windows-1252 hold these letters alike).
TEST(TextEncodingTest, GuessesLegacyEncodingsThatDecodeTheText)
{
    TempDir dir;
    const struct
    {
        const char* Text;
        const char* Encoding;
        int Copies;
    } cases[] = {
        {GermanText, "ISO-8859-1", 10},    {GermanText, "ISO-8859-1", 1}, {GermanText, "WINDOWS-1252", 4},
        {RussianText, "WINDOWS-1251", 10}, {RussianText, "KOI8-R", 10},   {RussianText, "KOI8-R", 1},
    };
    for (const auto& test : cases) {
        const std::string text = Log(test.Text, test.Copies);
        const std::string bytes = Iconv(dir, text, "UTF-8", test.Encoding);
        const FileTextEncoding found = Detect(bytes);
        EXPECT_FALSE(found.IsUtf8()) << test.Encoding;
        EXPECT_EQ(found.BomSize, 0u);
        EXPECT_EQ(DecodeToUtf8(bytes, found.Name), text) << test.Encoding << " taken for " << found.Name;
        if (std::string(test.Encoding) != "WINDOWS-1252" && test.Copies > 1) {
            EXPECT_EQ(found.Name, test.Encoding);
        }
    }
    // A short Latin-1 line, too short for certainty: still not shown as invalid UTF-8.
    const FileTextEncoding shortGuess = Detect("caf\xe9 cr\xe8me\n");
    EXPECT_FALSE(shortGuess.IsUtf8());
    EXPECT_EQ(DecodeToUtf8("caf\xe9", shortGuess.Name), "café");
}

TEST(TextEncodingTest, ChosenEncodingKeepsTheMarkItHas)
{
    const auto chosen = [](const std::string& name, const std::string& bytes) {
        return ChosenTextEncoding(name, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(chosen("UTF-16LE", "\xff\xfe"
                                 "a"),
              (FileTextEncoding{"UTF-16LE", 2}));
    EXPECT_EQ(chosen("UTF-16BE", "\xff\xfe"
                                 "a"),
              (FileTextEncoding{"UTF-16BE", 0}));
    EXPECT_EQ(chosen("UTF-8", "\xef\xbb\xbfx"), (FileTextEncoding{"UTF-8", 3}));
    EXPECT_EQ(chosen("ISO-8859-1", "\xef\xbb\xbfx"), (FileTextEncoding{"ISO-8859-1", 0}));
    EXPECT_EQ(ShownEncodingName("UTF-16LE"), "UTF-16 LE");
    EXPECT_EQ(ShownEncodingName("WINDOWS-1251"), "Windows-1251");
    EXPECT_EQ(ShownEncodingName("SHIFT_JIS"), "SHIFT_JIS");
}

// Decoding through the chosen encoding gives what iconv gives, the mark left out; bytes a code
// page leaves out become one replacement each.
TEST(TextEncodingTest, DecodesTheChosenEncodingAsIconv)
{
    TempDir dir;
    const std::string russian = Log(RussianText, 300);
    for (const char* encoding : {"WINDOWS-1251", "KOI8-R", "UTF-16LE", "UTF-16BE"}) {
        const std::string path = dir.Write("log", Iconv(dir, russian, "UTF-8", encoding));
        EXPECT_TRUE(ReadDecoded(path, encoding) == russian) << encoding;
    }
    const std::string marked = dir.Write("marked", "\xfe\xff" + Iconv(dir, russian, "UTF-8", "UTF-16BE"));
    EXPECT_TRUE(ReadDecoded(marked, "UTF-16BE") == russian);
    // 0x81 is no character of Windows-1252; Latin-1 takes every byte.
    const std::string holes = dir.Write("holes", "a\x81"
                                                 "b\xe9\n");
    EXPECT_EQ(ReadDecoded(holes, "WINDOWS-1252"), "a\xEF\xBF\xBD"
                                                  "bé\n");
    EXPECT_EQ(ReadDecoded(holes, "ISO-8859-1"), "a\xC2\x81"
                                                "bé\n");
    EXPECT_EQ(DecodeToUtf8("a\x81"
                           "b",
                           "WINDOWS-1252"),
              "a\xEF\xBF\xBD"
              "b");
    // UTF-8 needs no decoder: the engine reads the file as it is.
    const int fd = ::open(holes.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(MakeInputDecoder(fd, "UTF-8"), nullptr);
    ::close(fd);
}

TEST(TextEncodingTest, EncodesBackWithTheMarkOrSaysWhatCannotBeHeld)
{
    TempDir dir;
    const std::string german = Log(GermanText, 50);
    const EncodedText latin = EncodeUtf8Text(german, {"ISO-8859-1", 0});
    ASSERT_TRUE(latin.Succeeded);
    EXPECT_TRUE(latin.Bytes == Iconv(dir, german, "UTF-8", "ISO-8859-1"));
    const EncodedText little = EncodeUtf8Text(german, {"UTF-16LE", 2});
    ASSERT_TRUE(little.Succeeded);
    EXPECT_TRUE(little.Bytes == "\xff\xfe" + Iconv(dir, german, "UTF-8", "UTF-16LE"));
    const EncodedText big = EncodeUtf8Text(german, {"UTF-16BE", 0});
    EXPECT_TRUE(big.Bytes == Iconv(dir, german, "UTF-8", "UTF-16BE"));
    // Cyrillic in Latin-1: the line and the letter that stop it, and nothing written.
    const EncodedText mixed = EncodeUtf8Text(german + "zwei\nЖ drei\n", {"ISO-8859-1", 0});
    EXPECT_FALSE(mixed.Succeeded);
    EXPECT_TRUE(mixed.Bytes.empty());
    EXPECT_EQ(mixed.FailedLine, 151);
    EXPECT_EQ(mixed.FailedCharacter, "Ж");
    EXPECT_EQ(EncodeUtf8Text("\xef\xbf\xbd", {"WINDOWS-1251", 0}).Succeeded, false);
}

// A literal and an expression typed in UTF-8 find the lines grep finds in iconv's UTF-8 of the
// log, numbered alike, with one thread and several.
TEST(TextEncodingTest, FiltersLegacyAndUtf16LogsAsGrepDoesTheirUtf8)
{
    TempDir dir;
    std::string text;
    std::mt19937 random(11);
    const char* lines[] = {"Ошибка соединения", "Сервер запущен", "пользователь вошёл", "INFO ok", "ошибка диска"};
    for (int i = 0; i < 30000; ++i)
        text += std::to_string(i) + " " + lines[random() % std::size(lines)] + (random() % 7 == 0 ? "\r\n" : "\n");
    for (const char* encoding : {"WINDOWS-1251", "KOI8-R", "UTF-16LE", "UTF-16BE"}) {
        const std::string path = dir.Write("log", Iconv(dir, text, "UTF-8", encoding));
        for (const bool expression : {false, true}) {
            const std::string pattern = expression ? "^[0-9]*7 .*шибка" : "Ошибка";
            FilterRun run{path, {RunFilter{pattern, expression, true, 0, 0}}, false};
            run.InputEncoding = encoding;
            const std::string reference = GrepLines(dir, text, pattern, expression);
            ASSERT_FALSE(reference.empty());
            EXPECT_TRUE(RunLines(run, false) == reference) << encoding << " " << pattern;
            EXPECT_TRUE(RunLines(run, true) == reference) << encoding << " " << pattern << " in pieces";
        }
    }
}
