// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/GzipSeekingDecoder.h"

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

namespace {

// inflate's window and the most a point keeps of it.
constexpr unsigned WindowBytes = 32 * 1024;
// The trailer of a member: CRC-32 and size.
constexpr std::size_t TrailerBytes = 8;
// windowBits of a gzip member with its header, and of raw deflate data.
constexpr int GzipWindowBits = 15 + 16;
constexpr int RawWindowBits = -15;

unsigned ClampToUnsigned(std::size_t size)
{
    return static_cast<unsigned>(std::min<std::size_t>(size, UINT_MAX));
}

} // namespace

GzipSeekingDecoder::GzipSeekingDecoder()
{
    if (inflateInit2(&m_Stream, GzipWindowBits) != Z_OK)
        throw std::bad_alloc();
}

GzipSeekingDecoder::~GzipSeekingDecoder()
{
    inflateEnd(&m_Stream);
}

bool GzipSeekingDecoder::Begin(const SeekPoint& point, std::string& detail)
{
    m_LastByte = point.BitsByte;
    if (point.AtStreamStart) {
        m_State = State::BetweenMembers;
        m_bRaw = false;
        return true;
    }
    if (inflateReset2(&m_Stream, RawWindowBits) != Z_OK || point.Bits > 7) {
        detail = "the seek point cannot be used";
        return false;
    }
    if (point.Bits > 0 && inflatePrime(&m_Stream, point.Bits, point.BitsByte >> (8 - point.Bits)) != Z_OK) {
        detail = "the seek point cannot be used";
        return false;
    }
    if (point.WindowSize > 0) {
        std::vector<unsigned char> window(point.WindowSize);
        uLongf size = point.WindowSize;
        if (uncompress(window.data(), &size, point.PackedWindow.data(), point.PackedWindow.size()) != Z_OK ||
            size != point.WindowSize || inflateSetDictionary(&m_Stream, window.data(), point.WindowSize) != Z_OK) {
            detail = "the window kept at the seek point is damaged";
            return false;
        }
    }
    m_State = State::InMember;
    m_bRaw = true;
    return true;
}

SeekingDecoder::Step GzipSeekingDecoder::Decode(const unsigned char*& in, std::size_t& inSize, char* out,
                                                std::size_t outSize, std::size_t& produced, std::string& detail,
                                                bool inputEnded)
{
    produced = 0;
    if (m_State == State::Trailer) {
        const std::size_t skipped = std::min(inSize, m_nTrailerLeft);
        in += skipped;
        inSize -= skipped;
        m_nTrailerLeft -= skipped;
        if (m_nTrailerLeft == 0)
            m_State = State::BetweenMembers;
        return Step::More;
    }
    if (m_State == State::BetweenMembers) {
        if (!SkipZeroPadding(in, inSize))
            return inputEnded ? Step::End : Step::More;
        if (inflateReset2(&m_Stream, GzipWindowBits) != Z_OK) {
            detail = "the decoder cannot start on the next member";
            return Step::Fault;
        }
        m_bRaw = false;
        m_State = State::InMember;
    }
    m_Stream.next_in = const_cast<unsigned char*>(in);
    m_Stream.avail_in = ClampToUnsigned(inSize);
    m_Stream.next_out = reinterpret_cast<unsigned char*>(out);
    m_Stream.avail_out = ClampToUnsigned(outSize);
    const unsigned givenIn = m_Stream.avail_in;
    const unsigned givenOut = m_Stream.avail_out;
    // Z_BLOCK: back at every block boundary, where a seek point may be taken.
    const int result = inflate(&m_Stream, Z_BLOCK);
    const unsigned used = givenIn - m_Stream.avail_in;
    if (used > 0)
        m_LastByte = in[used - 1];
    in += used;
    inSize -= used;
    produced = givenOut - m_Stream.avail_out;
    switch (result) {
    case Z_OK:
    case Z_BUF_ERROR:
        return Step::More;
    case Z_STREAM_END:
        if (m_bRaw) {
            m_State = State::Trailer;
            m_nTrailerLeft = TrailerBytes;
        } else {
            m_State = State::BetweenMembers;
        }
        return Step::More;
    case Z_MEM_ERROR:
        throw std::bad_alloc();
    default:
        detail = m_Stream.msg ? m_Stream.msg : "the data is damaged";
        return Step::Fault;
    }
}

bool GzipSeekingDecoder::IsAtSeekPoint() const
{
    if (m_State == State::BetweenMembers)
        return true;
    // 128: at a block boundary (or just past the member's header); 64: the last block was begun.
    return m_State == State::InMember && (m_Stream.data_type & 128) != 0 && (m_Stream.data_type & 64) == 0;
}

void GzipSeekingDecoder::FillSeekPoint(SeekPoint& point)
{
    point.AtStreamStart = m_State == State::BetweenMembers;
    if (point.AtStreamStart)
        return;
    point.Bits = static_cast<std::uint8_t>(m_Stream.data_type & 7);
    point.BitsByte = m_LastByte;
    std::vector<unsigned char> window(WindowBytes);
    uInt size = 0;
    if (inflateGetDictionary(&m_Stream, window.data(), &size) != Z_OK)
        size = 0;
    point.WindowSize = size;
    point.PackedWindow.clear();
    if (size == 0)
        return;
    // The fastest level: windows of log text shrink to a fraction all the same.
    uLongf packedSize = compressBound(size);
    point.PackedWindow.resize(packedSize);
    if (compress2(point.PackedWindow.data(), &packedSize, window.data(), size, 1) != Z_OK)
        throw std::bad_alloc();
    point.PackedWindow.resize(packedSize);
    point.PackedWindow.shrink_to_fit();
}
