// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "filtering/InputDecoder.h"

enum class Utf16Order
{
    None, // not UTF-16
    LittleEndian,
    BigEndian,
};

struct Utf16Layout
{
    Utf16Order Order = Utf16Order::None;
    std::size_t BomSize = 0; // 2 when the text starts with a byte order mark
};

// How many of a file's first bytes DetectUtf16 looks at.
constexpr std::size_t Utf16SampleSize = 4096;

// UTF-16 by its byte order mark, or without one by the pattern of zero bytes that text of mostly
// Latin letters leaves in every other place. Anything else is not UTF-16.
Utf16Layout DetectUtf16(const unsigned char* bytes, std::size_t size);

// Reads UTF-16 text as UTF-8, so that filters typed as the user sees the text find it and lines
// end where the view's lines end. A lone surrogate or a last odd byte becomes U+FFFD.
class Utf16Decoder final
{
public:
    // Null when the text is not UTF-16 or the converter cannot be made.
    static std::unique_ptr<InputDecoder> Make(Utf16Layout layout);
};
