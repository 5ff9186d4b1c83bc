// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <lzma.h>

#include "filtering/SeekingDecoder.h"

// xz streams decoded block by block, so that every block start is a place to begin: a file of
// several blocks (as xz -T or --block-size makes) seeks by block, a single block is read from its
// start. A stream decoded from its start has its index checked against the blocks decoded and
// its footer against its header; one entered at a block has its index only skipped.
class XzSeekingDecoder final : public SeekingDecoder
{
public:
    XzSeekingDecoder();
    ~XzSeekingDecoder() override;
    XzSeekingDecoder(const XzSeekingDecoder&) = delete;
    XzSeekingDecoder& operator=(const XzSeekingDecoder&) = delete;

    bool Begin(const SeekPoint& point, std::string& detail) override;
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool inputEnded) override;
    bool IsAtSeekPoint() const override;
    void FillSeekPoint(SeekPoint& point) override;

private:
    enum class State
    {
        StreamPadding, // before a stream: zero bytes, or the end
        StreamHeader,
        BlockOrIndex, // a block header or the index comes next
        BlockHeader,
        Block,
        Index,
        StreamFooter,
    };

    // Gathers bytes into m_Header until it holds `want`; whether it does.
    bool Collect(const unsigned char*& in, std::size_t& inSize, std::size_t want);
    bool StartBlock(std::string& detail);
    void ReleaseBlock();
    Step DecodeIndex(const unsigned char*& in, std::size_t& inSize, std::string& detail);
    bool CheckFooter(std::string& detail);

    lzma_stream m_Stream = LZMA_STREAM_INIT;
    lzma_index_hash* m_pIndexHash = nullptr;
    lzma_index* m_pIndex = nullptr;
    lzma_stream_flags m_Flags{};
    lzma_block m_Block{};
    std::array<lzma_filter, LZMA_FILTERS_MAX + 1> m_Filters{};
    bool m_bFiltersHeld = false;
    bool m_bIndexChecked = false; // the stream was decoded from its header on
    State m_State = State::StreamPadding;
    std::array<std::uint8_t, 1024> m_Header{}; // a block header is at most 1024 bytes
    std::size_t m_nHave = 0;
    std::size_t m_nWant = 0;
};
