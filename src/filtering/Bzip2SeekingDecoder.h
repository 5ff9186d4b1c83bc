// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <bzlib.h>

#include "filtering/SeekingDecoder.h"

// bzip2 streams, one after the other, entered at a stream's start (the library cannot enter one
// at a block): a file of several streams (as parallel compressors make) seeks by stream, a
// single stream is read from its start.
class Bzip2SeekingDecoder final : public SeekingDecoder
{
public:
    Bzip2SeekingDecoder() = default;
    ~Bzip2SeekingDecoder() override;
    Bzip2SeekingDecoder(const Bzip2SeekingDecoder&) = delete;
    Bzip2SeekingDecoder& operator=(const Bzip2SeekingDecoder&) = delete;

    bool Begin(const SeekPoint& point, std::string& detail) override;
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool inputEnded) override;
    bool IsAtSeekPoint() const override { return !m_bInStream; }
    void FillSeekPoint(SeekPoint& point) override { point.AtStreamStart = true; }

private:
    bz_stream m_Stream{};
    bool m_bInitialised = false;
    bool m_bInStream = false;
};
