// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>
#include <zstd.h>

#include "filtering/SeekingDecoder.h"

// zstd frames, one after the other, entered at a frame's start: a file of several frames seeks
// by frame, a single frame is read from its start.
//
// The library drops the text of a call that fails, so each call is given no more input than it
// asks for (at most one block) and room for a whole block's text, which is handed out from a
// buffer of its own: the text before damaged data is then the same however the input and the
// text are cut into pieces, and a read from a seek point agrees with the pass.
class ZstdSeekingDecoder final : public SeekingDecoder
{
public:
    ZstdSeekingDecoder();
    ~ZstdSeekingDecoder() override;
    ZstdSeekingDecoder(const ZstdSeekingDecoder&) = delete;
    ZstdSeekingDecoder& operator=(const ZstdSeekingDecoder&) = delete;

    bool Begin(const SeekPoint& point, std::string& detail) override;
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool inputEnded) override;
    bool IsAtSeekPoint() const override { return m_bBetweenFrames && m_nTextStart == m_nTextEnd; }
    void FillSeekPoint(SeekPoint& point) override { point.AtStreamStart = true; }

private:
    ZSTD_DStream* m_pStream;
    bool m_bBetweenFrames = true;
    std::size_t m_nWanted; // the input the library asked for next
    std::vector<char> m_Text;
    std::size_t m_nTextStart = 0; // m_Text[m_nTextStart, m_nTextEnd) is still to be handed out
    std::size_t m_nTextEnd = 0;
};
