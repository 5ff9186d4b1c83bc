// SPDX-License-Identifier: GPL-3.0-or-later
#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "filtering/TextCodec.h"

namespace {

struct CodecCase
{
    const char* Name;
    std::u16string Text;
    std::string Latin1;
    std::string Utf8;
};

TEST(TextCodecTests, EncodesBothWays)
{
    const CodecCase cases[] = {
        {"ascii", u"abc 123", "abc 123", "abc 123"},
        {"latin-1 range", u"\u0080\u00e9\u00ff", "\x80\xE9\xFF", "\xC2\x80\xC3\xA9\xC3\xBF"},
        {"above 255", u"\u0100\u20ac", "??", "\xC4\x80\xE2\x82\xAC"},
        {"surrogate pair", u"\U0001F600", "??", "\xF0\x9F\x98\x80"},
        {"nul inside", std::u16string(u"a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const CodecCase& c : cases) {
        EXPECT_EQ(EncodeText(c.Text, TextEncoding::Latin1), c.Latin1) << c.Name;
        EXPECT_EQ(EncodeText(c.Text, TextEncoding::Utf8), c.Utf8) << c.Name;
        EXPECT_EQ(DecodeText(c.Utf8, TextEncoding::Utf8), c.Text) << c.Name;
    }
}

TEST(TextCodecTests, LoneSurrogatesEncodeAsReplacementCharacter)
{
    EXPECT_EQ(EncodeText(u"a\xD800"
                         u"b",
                         TextEncoding::Utf8),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(EncodeText(u"\xDC00\xD800", TextEncoding::Utf8), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextCodecTests, Latin1DecodesEveryByteToItsOwnCode)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    const std::u16string text = DecodeText(bytes, TextEncoding::Latin1);
    ASSERT_EQ(text.size(), 256u);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(text[static_cast<std::size_t>(b)], static_cast<char16_t>(b));
    EXPECT_EQ(EncodeText(text, TextEncoding::Latin1), bytes);
}

TEST(TextCodecTests, EveryCodePointRoundTripsThroughUtf8)
{
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        std::u16string text;
        if (code < 0x10000) {
            text.push_back(static_cast<char16_t>(code));
        } else {
            text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
        const std::string bytes = EncodeText(text, TextEncoding::Utf8);
        ASSERT_TRUE(IsValidUtf8(bytes)) << std::hex << static_cast<unsigned>(code);
        ASSERT_EQ(DecodeText(bytes, TextEncoding::Utf8), text) << std::hex << static_cast<unsigned>(code);
    }
}

TEST(TextCodecTests, MalformedUtf8IsRejectedAndReplacedPerByte)
{
    struct Case
    {
        const char* Name;
        std::string Bytes;
        std::u16string Decoded;
    };
    const Case cases[] = {
        {"lone continuation", "a\x80", u"a\uFFFD"},
        {"truncated at end", "\xE2\x82", u"\uFFFD\uFFFD"},
        {"lead then ascii",
         "\xC3"
         "A",
         u"\uFFFDA"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"byte FF", "\xFF", u"\uFFFD"},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(IsValidUtf8(c.Bytes)) << c.Name;
        EXPECT_EQ(DecodeText(c.Bytes, TextEncoding::Utf8), c.Decoded) << c.Name;
    }
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF")); // U+10FFFF, the last code point
}

TEST(TextCodecTests, IsAsciiLooksAtEveryByte)
{
    EXPECT_TRUE(IsAscii(""));
    EXPECT_TRUE(IsAscii(std::string("a\0\x7F", 3)));
    EXPECT_FALSE(IsAscii("abc\x80"));
    EXPECT_FALSE(IsAscii("\xFF"
                         "abc"));
}

TEST(TextCodecTests, FindFirstNonAsciiAtEveryOffsetOfAWord)
{
    EXPECT_EQ(FindFirstNonAscii(""), std::string_view::npos);
    EXPECT_EQ(FindFirstNonAscii(std::string(21, 'a')), std::string_view::npos);
    for (std::size_t at = 0; at < 21; ++at) {
        std::string bytes(21, 'a');
        bytes[at] = '\xC3';
        bytes.back() = '\xFF'; // a later one does not count
        EXPECT_EQ(FindFirstNonAscii(bytes), at) << at;
    }
}

TEST(TextCodecTests, LocaleEncodingFollowsCodeset)
{
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
    EXPECT_EQ(LocaleTextEncoding(), TextEncoding::Latin1);
    if (std::setlocale(LC_CTYPE, "C.UTF-8")) {
        EXPECT_EQ(LocaleTextEncoding(), TextEncoding::Utf8);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

} // namespace
