// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <iconv.h>
#include <memory>
#include <string>
#include <vector>

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
class Utf16Decoder final : public InputDecoder
{
public:
    // Null when the converter cannot be made.
    static std::unique_ptr<Utf16Decoder> Make(Utf16Layout layout);
    ~Utf16Decoder() override;
    Utf16Decoder(const Utf16Decoder&) = delete;
    Utf16Decoder& operator=(const Utf16Decoder&) = delete;

    std::size_t Read(int fd, char* out, std::size_t size) override;
    std::string TakeFaultMessage(const std::string& shownName) override;
    std::uint64_t GetFileBytesUsed() const override { return m_nUsed; }

private:
    Utf16Decoder(iconv_t converter, std::size_t bomSize);
    static constexpr std::size_t MaxCharacterSize = 4; // bytes of one character in UTF-8

    // Converts into out from total on; false at the end of the text or after a fault.
    bool ReadInto(int fd, char* out, std::size_t size, std::size_t& total);
    // Hands over what the small buffer still holds.
    std::size_t TakePending(char* out, std::size_t size);
    // Moves what is left to the front and reads more behind it; false at the end or on a fault.
    bool Refill(int fd);

    iconv_t m_Converter;
    std::size_t m_nBomLeft;
    std::vector<char> m_Input;
    std::size_t m_nStart = 0;
    std::size_t m_nEnd = 0;
    bool m_bEnded = false;
    std::uint64_t m_nUsed = 0;
    std::string m_strFault;
    char m_Pending[MaxCharacterSize] = {};
    std::size_t m_nPendingStart = 0;
    std::size_t m_nPendingEnd = 0;
};
