// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The encoding a file's text is written in, as iconv names it ("UTF-8", "UTF-16LE",
// "ISO-8859-1", "WINDOWS-1251"), and the byte order mark the file starts with.
struct FileTextEncoding
{
    std::string Name = "UTF-8";
    std::size_t BomSize = 0;

    bool IsUtf8() const { return Name == "UTF-8"; }
    bool IsUtf16() const { return Name == "UTF-16LE" || Name == "UTF-16BE"; }
    // Bytes of one code unit: 2 for UTF-16, else 1 (a line feed is one unit).
    std::size_t UnitSize() const { return IsUtf16() ? 2 : 1; }
    bool operator==(const FileTextEncoding&) const = default;
};

// An encoding the user can choose: its iconv name and the name menus show.
struct TextEncodingChoice
{
    const char* Name;
    const char* ShownName;
};

// The encodings offered for a file, UTF-8 first.
const std::vector<TextEncodingChoice>& TextEncodingChoices();
// "UTF-16 LE", "Windows-1252": the name shown for an iconv name; an unknown one as it is.
std::string ShownEncodingName(const std::string& name);

// How many of a file's first bytes the guess of a legacy encoding looks at.
constexpr std::size_t EncodingSampleSize = 64 * 1024;

// The encoding of text that starts with these bytes: UTF-8 with or without its mark, UTF-16 by
// its mark or the pattern of zero bytes, else the likeliest 8-bit (or legacy multi-byte)
// encoding of text that is not UTF-8. ASCII, valid UTF-8 (a sequence cut off by the end of the
// sample included), binary data and what cannot be told stay UTF-8: read byte for byte.
FileTextEncoding DetectTextEncoding(const unsigned char* bytes, std::size_t size);
// The same from the first EncodingSampleSize bytes of an open file; its offset stays.
FileTextEncoding DetectFileTextEncoding(int fd);
// The encoding a user chose, with the mark the file's first bytes have for it.
FileTextEncoding ChosenTextEncoding(const std::string& name, const unsigned char* bytes, std::size_t size);
