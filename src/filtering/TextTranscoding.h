// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filtering/TextEncodingDetector.h"

// What writing UTF-8 text in a file's encoding made.
struct EncodedText
{
    bool Succeeded = false;
    std::string Bytes; // the byte order mark the file had first, then the text
    // When it failed: the 0-based line and the character that the encoding cannot hold.
    std::int64_t FailedLine = 0;
    std::string FailedCharacter;
};

// The UTF-8 text in the encoding, behind the file's byte order mark. Fails at the first
// character the encoding has no code for (or a byte that is no UTF-8), writing nothing.
EncodedText EncodeUtf8Text(std::string_view utf8, const FileTextEncoding& encoding);

// Bytes of the encoding as UTF-8; what is no character of it becomes U+FFFD, one for each code
// unit, as IconvDecoder reads it. `bytes` holds whole code units (no mark).
std::string DecodeToUtf8(std::string_view bytes, const std::string& encoding);
