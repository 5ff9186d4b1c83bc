// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How the bytes of a log file are read as text: UTF-8 when the locale is UTF-8, else one byte
// per character (ISO 8859-1). Filter strings are encoded with the same codec before matching,
// so that a filter finds what the view shows.
enum class TextEncoding
{
    Utf8,
    Latin1,
};

// UTF-16 to bytes. Latin-1 writes "?" for a character above 255; UTF-8 writes U+FFFD for a
// lone surrogate. Never fails.
std::string EncodeText(std::u16string_view text, TextEncoding encoding);

// Bytes to UTF-16. Invalid UTF-8 sequences become U+FFFD, one per bad byte. Never fails.
std::u16string DecodeText(std::string_view bytes, TextEncoding encoding);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// True when every byte is below 128.
bool IsAscii(std::string_view bytes);

// Offset of the first byte of 128 or more, or std::string_view::npos; eight bytes at a time.
std::size_t FindFirstNonAscii(std::string_view bytes);

// The encoding of the process's current LC_CTYPE locale (call setlocale first).
TextEncoding LocaleTextEncoding();
