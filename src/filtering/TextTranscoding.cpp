// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/TextTranscoding.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>

namespace {

constexpr char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// One iconv converter, closed when it goes.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_Handle(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (IsOpen())
            ::iconv_close(m_Handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool IsOpen() const { return m_Handle != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can into out; false with errno at a stop other than the end.
    bool Convert(std::string_view& in, std::string& out)
    {
        std::size_t room = std::max<std::size_t>(in.size() * 4, 16);
        for (;;) {
            const std::size_t before = out.size();
            out.resize(before + room);
            char* from = const_cast<char*>(in.data());
            std::size_t fromLeft = in.size();
            char* to = out.data() + before;
            std::size_t toLeft = room;
            const std::size_t result = ::iconv(m_Handle, in.empty() ? nullptr : &from, &fromLeft, &to, &toLeft);
            const int error = errno;
            out.resize(before + room - toLeft);
            in.remove_prefix(in.size() - fromLeft);
            if (result != static_cast<std::size_t>(-1))
                return true;
            if (error != E2BIG) {
                errno = error;
                return false;
            }
        }
    }

private:
    iconv_t m_Handle;
};

std::size_t Utf8SequenceLength(unsigned char lead)
{
    return lead < 0xc0 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
}

// The mark the encoding writes first, as the file had it.
std::string MarkOf(const FileTextEncoding& encoding)
{
    if (encoding.BomSize == 0)
        return std::string();
    if (encoding.Name == "UTF-16LE")
        return std::string("\xff\xfe", 2);
    if (encoding.Name == "UTF-16BE")
        return std::string("\xfe\xff", 2);
    if (encoding.Name == "UTF-8")
        return std::string("\xef\xbb\xbf", 3);
    return std::string();
}

} // namespace

EncodedText EncodeUtf8Text(std::string_view utf8, const FileTextEncoding& encoding)
{
    EncodedText result;
    Converter converter(encoding.Name.c_str(), "UTF-8");
    if (!converter.IsOpen()) {
        result.FailedCharacter = std::string();
        return result;
    }
    result.Bytes = MarkOf(encoding);
    std::string_view rest = utf8;
    if (!converter.Convert(rest, result.Bytes)) {
        const std::size_t at = utf8.size() - rest.size();
        result.Bytes.clear();
        result.FailedLine = std::count(utf8.begin(), utf8.begin() + static_cast<std::ptrdiff_t>(at), '\n');
        result.FailedCharacter =
            std::string(rest.substr(0, std::min(rest.size(), Utf8SequenceLength(static_cast<unsigned char>(rest[0])))));
        return result;
    }
    std::string_view end;
    converter.Convert(end, result.Bytes); // the closing shift state, if the encoding has one
    result.Succeeded = true;
    return result;
}

std::string DecodeToUtf8(std::string_view bytes, const std::string& encoding)
{
    Converter converter("UTF-8", encoding.c_str());
    if (!converter.IsOpen())
        return std::string(bytes);
    const std::size_t unit = encoding.starts_with("UTF-16") ? 2 : 1;
    std::string text;
    text.reserve(bytes.size() * 2);
    while (!bytes.empty()) {
        if (converter.Convert(bytes, text))
            break;
        // No character of the encoding, or part of one at the end: one replacement a unit.
        text += Replacement;
        bytes.remove_prefix(std::min(unit, bytes.size()));
    }
    return text;
}
