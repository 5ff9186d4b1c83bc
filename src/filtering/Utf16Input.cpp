// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/Utf16Input.h"

#include <algorithm>

#include "filtering/IconvDecoder.h"

Utf16Layout DetectUtf16(const unsigned char* bytes, std::size_t size)
{
    if (size >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe)
        return {Utf16Order::LittleEndian, 2};
    if (size >= 2 && bytes[0] == 0xfe && bytes[1] == 0xff)
        return {Utf16Order::BigEndian, 2};
    // Without a mark: most characters of a log are below 256, so one byte of each pair is zero,
    // always the same one, and the other almost never.
    const std::size_t pairs = std::min(size, Utf16SampleSize) / 2;
    if (pairs < 8)
        return {};
    std::size_t zeroFirst = 0;
    std::size_t zeroSecond = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        zeroFirst += bytes[2 * i] == 0 ? 1 : 0;
        zeroSecond += bytes[2 * i + 1] == 0 ? 1 : 0;
    }
    if (zeroSecond * 10 >= pairs * 7 && zeroFirst * 100 <= pairs)
        return {Utf16Order::LittleEndian, 0};
    if (zeroFirst * 10 >= pairs * 7 && zeroSecond * 100 <= pairs)
        return {Utf16Order::BigEndian, 0};
    return {};
}

std::unique_ptr<InputDecoder> Utf16Decoder::Make(Utf16Layout layout)
{
    if (layout.Order == Utf16Order::None)
        return nullptr;
    return IconvDecoder::Make(layout.Order == Utf16Order::LittleEndian ? "UTF-16LE" : "UTF-16BE", 2, layout.BomSize);
}
