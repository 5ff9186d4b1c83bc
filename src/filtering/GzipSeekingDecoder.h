// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <zlib.h>

#include "filtering/SeekingDecoder.h"

// gzip members, one after the other, that can be entered at any deflate block boundary: a point
// there keeps the bits of the byte it starts inside and the 32 KiB window of text before it,
// from which a raw inflate goes on. A member entered inside ends without its check sum (the text
// before the point is not at hand to check it); the members after it are checked.
class GzipSeekingDecoder final : public SeekingDecoder
{
public:
    GzipSeekingDecoder();
    ~GzipSeekingDecoder() override;
    GzipSeekingDecoder(const GzipSeekingDecoder&) = delete;
    GzipSeekingDecoder& operator=(const GzipSeekingDecoder&) = delete;

    bool Begin(const SeekPoint& point, std::string& detail) override;
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool inputEnded) override;
    bool IsAtSeekPoint() const override;
    void FillSeekPoint(SeekPoint& point) override;

private:
    enum class State
    {
        BetweenMembers,
        InMember,
        Trailer, // the 8 bytes after a member entered inside: skipped unchecked
    };

    z_stream m_Stream{};
    State m_State = State::BetweenMembers;
    bool m_bRaw = false; // the member was entered inside, as raw deflate data
    std::size_t m_nTrailerLeft = 0;
    std::uint8_t m_LastByte = 0; // the last byte inflate took, whose bits it may not all have used
};
