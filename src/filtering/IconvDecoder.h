// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <iconv.h>
#include <memory>
#include <string>
#include <vector>

#include "filtering/InputDecoder.h"

// Reads text of any encoding iconv knows (UTF-16, ISO-8859-x, Windows-125x, KOI8-R ...) as
// UTF-8, so that filters typed as the user sees the text find it and lines end where the view's
// lines end. What is no character of the encoding (a lone surrogate, a byte a code page leaves
// out, a last odd byte) becomes U+FFFD, one for each code unit.
class IconvDecoder final : public InputDecoder
{
public:
    // `unitSize` is the size of the encoding's code unit (2 for UTF-16, else 1); the first
    // `bomSize` bytes of the file (its byte order mark) are skipped. Null when iconv has no
    // converter from that encoding.
    static std::unique_ptr<IconvDecoder> Make(const std::string& encoding, std::size_t unitSize, std::size_t bomSize);
    ~IconvDecoder() override;
    IconvDecoder(const IconvDecoder&) = delete;
    IconvDecoder& operator=(const IconvDecoder&) = delete;

    std::size_t Read(int fd, char* out, std::size_t size) override;
    std::string TakeFaultMessage(const std::string& shownName) override;
    std::uint64_t GetFileBytesUsed() const override { return m_nUsed; }

private:
    IconvDecoder(iconv_t converter, std::string encoding, std::size_t unitSize, std::size_t bomSize);
    static constexpr std::size_t MaxCharacterSize = 4; // bytes of one character in UTF-8

    // Converts into out from total on; false at the end of the text or after a fault.
    bool ReadInto(int fd, char* out, std::size_t size, std::size_t& total);
    // Hands over what the small buffer still holds.
    std::size_t TakePending(char* out, std::size_t size);
    // Moves what is left to the front and reads more behind it; false at the end or on a fault.
    bool Refill(int fd);

    iconv_t m_Converter;
    std::string m_strEncoding;
    std::size_t m_nUnitSize;
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
