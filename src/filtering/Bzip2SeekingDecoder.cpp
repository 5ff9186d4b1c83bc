// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/Bzip2SeekingDecoder.h"

#include <algorithm>
#include <climits>
#include <new>

namespace {

unsigned ClampToUnsigned(std::size_t size)
{
    return static_cast<unsigned>(std::min<std::size_t>(size, UINT_MAX));
}

} // namespace

Bzip2SeekingDecoder::~Bzip2SeekingDecoder()
{
    if (m_bInitialised)
        BZ2_bzDecompressEnd(&m_Stream);
}

bool Bzip2SeekingDecoder::Begin(const SeekPoint& point, std::string& detail)
{
    if (!point.AtStreamStart) {
        detail = "the seek point cannot be used";
        return false;
    }
    m_bInStream = false;
    return true;
}

SeekingDecoder::Step Bzip2SeekingDecoder::Decode(const unsigned char*& in, std::size_t& inSize, char* out,
                                                 std::size_t outSize, std::size_t& produced, std::string& detail,
                                                 bool inputEnded)
{
    produced = 0;
    if (!m_bInStream) {
        if (!SkipZeroPadding(in, inSize))
            return inputEnded ? Step::End : Step::More;
        if (m_bInitialised)
            BZ2_bzDecompressEnd(&m_Stream);
        m_Stream = bz_stream{};
        m_bInitialised = BZ2_bzDecompressInit(&m_Stream, 0, 0) == BZ_OK;
        if (!m_bInitialised)
            throw std::bad_alloc();
        m_bInStream = true;
    }
    m_Stream.next_in = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
    m_Stream.avail_in = ClampToUnsigned(inSize);
    m_Stream.next_out = out;
    m_Stream.avail_out = ClampToUnsigned(outSize);
    const unsigned givenIn = m_Stream.avail_in;
    const unsigned givenOut = m_Stream.avail_out;
    const int result = BZ2_bzDecompress(&m_Stream);
    in += givenIn - m_Stream.avail_in;
    inSize -= givenIn - m_Stream.avail_in;
    produced = givenOut - m_Stream.avail_out;
    switch (result) {
    case BZ_OK:
        return Step::More;
    case BZ_STREAM_END:
        m_bInStream = false;
        return Step::More;
    case BZ_MEM_ERROR:
        throw std::bad_alloc();
    case BZ_DATA_ERROR_MAGIC:
        detail = "not bzip2 data";
        return Step::Fault;
    default:
        detail = "the data is damaged";
        return Step::Fault;
    }
}
