// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/TextEncodingDetector.h"

#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <string_view>
#include <uchardet.h>
#include <unistd.h>

#include "filtering/TextCodec.h"
#include "filtering/Utf16Input.h"

namespace {

constexpr unsigned char Utf8Mark[] = {0xef, 0xbb, 0xbf};

bool StartsWith(const unsigned char* bytes, std::size_t size, const unsigned char* mark, std::size_t markSize)
{
    return size >= markSize && std::memcmp(bytes, mark, markSize) == 0;
}

// Valid UTF-8 but for a sequence the end of the sample may have cut in two.
bool IsUtf8Sample(std::string_view text, bool wholeFile)
{
    if (IsValidUtf8(text))
        return true;
    if (wholeFile)
        return false;
    // Back to the lead byte of the last sequence: at most three bytes before the end.
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xc0) != 0x80)
            return (byte & 0xc0) == 0xc0 && IsValidUtf8(text.substr(0, text.size() - back));
    }
    return false;
}

// The name iconv knows of a guess; empty when it knows none.
std::string IconvNameOf(const char* guess)
{
    if (!guess || !*guess)
        return std::string();
    std::string name(guess);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    if (name == "ASCII" || name == "UTF-8" || name.starts_with("UTF-16") || name.starts_with("UTF-32"))
        return std::string();
    const iconv_t converter = ::iconv_open("UTF-8", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::string();
    ::iconv_close(converter);
    return name;
}

std::string GuessLegacyEncoding(const unsigned char* bytes, std::size_t size)
{
    const std::unique_ptr<uchardet, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    if (!detector)
        return std::string();
    if (uchardet_handle_data(detector.get(), reinterpret_cast<const char*>(bytes), size) != 0)
        return std::string();
    uchardet_data_end(detector.get());
    return IconvNameOf(uchardet_get_charset(detector.get()));
}

} // namespace

const std::vector<TextEncodingChoice>& TextEncodingChoices()
{
    static const std::vector<TextEncodingChoice> choices = {
        {"UTF-8", "UTF-8"},
        {"UTF-16LE", "UTF-16 LE"},
        {"UTF-16BE", "UTF-16 BE"},
        {"ISO-8859-1", "ISO-8859-1 (Western)"},
        {"ISO-8859-15", "ISO-8859-15 (Western, euro)"},
        {"ISO-8859-2", "ISO-8859-2 (Central European)"},
        {"ISO-8859-5", "ISO-8859-5 (Cyrillic)"},
        {"ISO-8859-7", "ISO-8859-7 (Greek)"},
        {"WINDOWS-1250", "Windows-1250 (Central European)"},
        {"WINDOWS-1251", "Windows-1251 (Cyrillic)"},
        {"WINDOWS-1252", "Windows-1252 (Western)"},
        {"WINDOWS-1253", "Windows-1253 (Greek)"},
        {"KOI8-R", "KOI8-R (Russian)"},
        {"KOI8-U", "KOI8-U (Ukrainian)"},
        {"IBM866", "CP866 (Cyrillic DOS)"},
    };
    return choices;
}

std::string ShownEncodingName(const std::string& name)
{
    for (const TextEncodingChoice& choice : TextEncodingChoices()) {
        if (name == choice.Name) {
            const std::string_view shown(choice.ShownName);
            return std::string(shown.substr(0, shown.find(" (")));
        }
    }
    return name;
}

FileTextEncoding DetectTextEncoding(const unsigned char* bytes, std::size_t size)
{
    if (StartsWith(bytes, size, Utf8Mark, sizeof Utf8Mark))
        return {"UTF-8", sizeof Utf8Mark};
    const Utf16Layout utf16 = DetectUtf16(bytes, size);
    if (utf16.Order != Utf16Order::None)
        return {utf16.Order == Utf16Order::LittleEndian ? "UTF-16LE" : "UTF-16BE", utf16.BomSize};
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    // Text has no zero bytes: a file with them is data, shown byte for byte.
    if (FindFirstNonAscii(text) == std::string_view::npos || text.find('\0') != std::string_view::npos ||
        IsUtf8Sample(text, size < EncodingSampleSize))
        return {};
    std::string guess = GuessLegacyEncoding(bytes, size);
    if (guess.empty())
        return {};
    return {std::move(guess), 0};
}

FileTextEncoding DetectFileTextEncoding(int fd)
{
    std::vector<unsigned char> sample(EncodingSampleSize);
    const ssize_t got = ::pread(fd, sample.data(), sample.size(), 0);
    return DetectTextEncoding(sample.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

FileTextEncoding ChosenTextEncoding(const std::string& name, const unsigned char* bytes, std::size_t size)
{
    FileTextEncoding encoding{name, 0};
    if (name == "UTF-8" && StartsWith(bytes, size, Utf8Mark, sizeof Utf8Mark))
        encoding.BomSize = sizeof Utf8Mark;
    const Utf16Layout utf16 = DetectUtf16(bytes, std::min<std::size_t>(size, 2));
    if ((name == "UTF-16LE" && utf16.Order == Utf16Order::LittleEndian) ||
        (name == "UTF-16BE" && utf16.Order == Utf16Order::BigEndian))
        encoding.BomSize = utf16.BomSize;
    return encoding;
}
