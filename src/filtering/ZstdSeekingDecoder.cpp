// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/ZstdSeekingDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <zstd_errors.h>

namespace {

// The shortest start of a frame header, from which the library tells how much more it needs.
constexpr std::size_t FrameHeaderStart = 5;

} // namespace

ZstdSeekingDecoder::ZstdSeekingDecoder()
    : m_pStream(ZSTD_createDStream()), m_nWanted(FrameHeaderStart), m_Text(ZSTD_DStreamOutSize())
{
    if (!m_pStream)
        throw std::bad_alloc();
}

ZstdSeekingDecoder::~ZstdSeekingDecoder()
{
    ZSTD_freeDStream(m_pStream);
}

bool ZstdSeekingDecoder::Begin(const SeekPoint& point, std::string& detail)
{
    if (!point.AtStreamStart || ZSTD_isError(ZSTD_DCtx_reset(m_pStream, ZSTD_reset_session_only))) {
        detail = "the seek point cannot be used";
        return false;
    }
    m_bBetweenFrames = true;
    m_nWanted = FrameHeaderStart;
    m_nTextStart = 0;
    m_nTextEnd = 0;
    return true;
}

SeekingDecoder::Step ZstdSeekingDecoder::Decode(const unsigned char*& in, std::size_t& inSize, char* out,
                                                std::size_t outSize, std::size_t& produced, std::string& detail,
                                                bool inputEnded)
{
    produced = 0;
    if (m_nTextStart == m_nTextEnd) {
        if (m_bBetweenFrames) {
            if (!SkipZeroPadding(in, inSize))
                return inputEnded ? Step::End : Step::More;
            m_bBetweenFrames = false;
        }
        ZSTD_inBuffer input{in, std::min(inSize, std::max<std::size_t>(m_nWanted, 1)), 0};
        ZSTD_outBuffer output{m_Text.data(), m_Text.size(), 0};
        const std::size_t result = ZSTD_decompressStream(m_pStream, &output, &input);
        if (ZSTD_isError(result)) {
            if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation)
                throw std::bad_alloc();
            detail = ZSTD_getErrorName(result);
            return Step::Fault;
        }
        in += input.pos;
        inSize -= input.pos;
        m_nTextStart = 0;
        m_nTextEnd = output.pos;
        // 0: a frame was decoded and all its text handed over; the call stops at the frame's end.
        m_nWanted = result == 0 ? FrameHeaderStart : result;
        m_bBetweenFrames = result == 0;
    }
    produced = std::min(outSize, m_nTextEnd - m_nTextStart);
    std::memcpy(out, m_Text.data() + m_nTextStart, produced);
    m_nTextStart += produced;
    return Step::More;
}
