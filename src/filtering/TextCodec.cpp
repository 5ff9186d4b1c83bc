// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/TextCodec.h"

#include <cstdint>
#include <cstring>
#include <langinfo.h>
#include <strings.h>

namespace {

constexpr char32_t ReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t code)
{
    if (code < 0x10000) {
        out.push_back(static_cast<char16_t>(code));
    } else {
        code -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at bytes[i]. Returns its length, or 0 when it is malformed.
std::size_t DecodeUtf8Sequence(std::string_view bytes, std::size_t i, char32_t& code)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string EncodeText(std::u16string_view text, TextEncoding encoding)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (encoding == TextEncoding::Latin1) {
            out.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
            continue;
        }
        char32_t code = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            code = ReplacementCharacter;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::u16string DecodeText(std::string_view bytes, TextEncoding encoding)
{
    std::u16string out;
    out.reserve(bytes.size());
    if (encoding == TextEncoding::Latin1) {
        for (const char byte : bytes)
            out.push_back(static_cast<unsigned char>(byte));
        return out;
    }
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8Sequence(bytes, i, code);
        if (length == 0) {
            out.push_back(static_cast<char16_t>(ReplacementCharacter));
            ++i;
        } else {
            AppendUtf16(out, code);
            i += length;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8Sequence(bytes, i, code);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool IsAscii(std::string_view bytes)
{
    return FindFirstNonAscii(bytes) == std::string_view::npos;
}

std::size_t FindFirstNonAscii(std::string_view bytes)
{
    constexpr std::uint64_t HighBits = 0x8080808080808080ULL;
    std::size_t at = 0;
    for (; at + sizeof(std::uint64_t) <= bytes.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, sizeof(word));
        if (word & HighBits)
            break;
    }
    for (; at < bytes.size(); ++at) {
        if (static_cast<unsigned char>(bytes[at]) >= 0x80)
            return at;
    }
    return std::string_view::npos;
}

TextEncoding LocaleTextEncoding()
{
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0))
        return TextEncoding::Utf8;
    return TextEncoding::Latin1;
}
