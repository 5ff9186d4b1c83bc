// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/XzSeekingDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The byte that starts a stream's index where a block header would start.
constexpr std::uint8_t IndexIndicator = 0x00;

const char* DescribeError(lzma_ret result)
{
    switch (result) {
    case LZMA_MEM_ERROR:
        throw std::bad_alloc();
    case LZMA_FORMAT_ERROR:
        return "not xz data";
    case LZMA_OPTIONS_ERROR:
        return "options this decoder does not know";
    default:
        return "the data is damaged";
    }
}

} // namespace

XzSeekingDecoder::XzSeekingDecoder()
{
    m_Filters[0].id = LZMA_VLI_UNKNOWN;
}

XzSeekingDecoder::~XzSeekingDecoder()
{
    ReleaseBlock();
    if (m_pIndex)
        lzma_index_end(m_pIndex, nullptr);
    if (m_pIndexHash)
        lzma_index_hash_end(m_pIndexHash, nullptr);
    lzma_end(&m_Stream);
}

void XzSeekingDecoder::ReleaseBlock()
{
    if (m_bFiltersHeld)
        lzma_filters_free(m_Filters.data(), nullptr);
    m_bFiltersHeld = false;
}

bool XzSeekingDecoder::Begin(const SeekPoint& point, std::string& /*detail*/)
{
    ReleaseBlock();
    if (m_pIndex) {
        lzma_index_end(m_pIndex, nullptr);
        m_pIndex = nullptr;
    }
    m_nHave = 0;
    if (point.AtStreamStart) {
        m_State = State::StreamPadding;
        return true;
    }
    // Inside a stream: what its header said, as far as its blocks need it.
    m_Flags = lzma_stream_flags{};
    m_Flags.version = 0;
    m_Flags.check = static_cast<lzma_check>(point.XzCheck);
    m_Flags.backward_size = LZMA_VLI_UNKNOWN;
    m_bIndexChecked = false;
    m_State = State::BlockOrIndex;
    return true;
}

bool XzSeekingDecoder::Collect(const unsigned char*& in, std::size_t& inSize, std::size_t want)
{
    const std::size_t take = std::min(inSize, want - m_nHave);
    std::memcpy(m_Header.data() + m_nHave, in, take);
    m_nHave += take;
    in += take;
    inSize -= take;
    return m_nHave == want;
}

bool XzSeekingDecoder::StartBlock(std::string& detail)
{
    m_Block = lzma_block{};
    m_Block.version = 1;
    m_Block.check = m_Flags.check;
    m_Block.filters = m_Filters.data();
    m_Block.header_size = lzma_block_header_size_decode(m_Header[0]);
    lzma_ret result = lzma_block_header_decode(&m_Block, nullptr, m_Header.data());
    if (result != LZMA_OK) {
        detail = DescribeError(result);
        return false;
    }
    m_bFiltersHeld = true;
    result = lzma_block_decoder(&m_Stream, &m_Block);
    // An unknown check type is not checked; the text still comes.
    if (result != LZMA_OK && result != LZMA_UNSUPPORTED_CHECK) {
        detail = DescribeError(result);
        return false;
    }
    return true;
}

SeekingDecoder::Step XzSeekingDecoder::DecodeIndex(const unsigned char*& in, std::size_t& inSize, std::string& detail)
{
    lzma_ret result;
    if (m_bIndexChecked) {
        std::size_t position = 0;
        result = lzma_index_hash_decode(m_pIndexHash, in, &position, inSize);
        in += position;
        inSize -= position;
    } else {
        // Entered at a block: the index is only read past.
        m_Stream.next_in = in;
        m_Stream.avail_in = inSize;
        result = lzma_code(&m_Stream, LZMA_RUN);
        in += inSize - m_Stream.avail_in;
        inSize = m_Stream.avail_in;
    }
    switch (result) {
    case LZMA_OK:
    case LZMA_BUF_ERROR:
        return Step::More;
    case LZMA_STREAM_END:
        if (m_pIndex) {
            lzma_index_end(m_pIndex, nullptr);
            m_pIndex = nullptr;
        }
        m_State = State::StreamFooter;
        m_nHave = 0;
        return Step::More;
    default:
        detail = DescribeError(result);
        return Step::Fault;
    }
}

bool XzSeekingDecoder::CheckFooter(std::string& detail)
{
    lzma_stream_flags footer{};
    const lzma_ret result = lzma_stream_footer_decode(&footer, m_Header.data());
    if (result != LZMA_OK) {
        detail = DescribeError(result);
        return false;
    }
    if (lzma_stream_flags_compare(&m_Flags, &footer) != LZMA_OK ||
        (m_bIndexChecked && footer.backward_size != lzma_index_hash_size(m_pIndexHash))) {
        detail = "the stream's footer does not match it";
        return false;
    }
    return true;
}

SeekingDecoder::Step XzSeekingDecoder::Decode(const unsigned char*& in, std::size_t& inSize, char* out,
                                              std::size_t outSize, std::size_t& produced, std::string& detail,
                                              bool inputEnded)
{
    produced = 0;
    for (;;) {
        switch (m_State) {
        case State::StreamPadding:
            if (!SkipZeroPadding(in, inSize))
                return inputEnded ? Step::End : Step::More;
            m_State = State::StreamHeader;
            m_nHave = 0;
            break;
        case State::StreamHeader: {
            if (!Collect(in, inSize, LZMA_STREAM_HEADER_SIZE))
                return Step::More;
            const lzma_ret result = lzma_stream_header_decode(&m_Flags, m_Header.data());
            if (result != LZMA_OK) {
                detail = DescribeError(result);
                return Step::Fault;
            }
            m_pIndexHash = lzma_index_hash_init(m_pIndexHash, nullptr);
            if (!m_pIndexHash)
                throw std::bad_alloc();
            m_bIndexChecked = true;
            m_State = State::BlockOrIndex;
            m_nHave = 0;
            return Step::More; // a block may begin here
        }
        case State::BlockOrIndex:
            if (inSize == 0)
                return Step::More;
            if (*in == IndexIndicator) {
                if (!m_bIndexChecked) {
                    const lzma_ret result = lzma_index_decoder(&m_Stream, &m_pIndex, UINT64_MAX);
                    if (result != LZMA_OK) {
                        detail = DescribeError(result);
                        return Step::Fault;
                    }
                }
                m_State = State::Index;
            } else {
                m_nWant = lzma_block_header_size_decode(*in);
                m_nHave = 0;
                m_State = State::BlockHeader;
            }
            break;
        case State::BlockHeader:
            if (!Collect(in, inSize, m_nWant))
                return Step::More;
            if (!StartBlock(detail))
                return Step::Fault;
            m_State = State::Block;
            break;
        case State::Block: {
            m_Stream.next_in = in;
            m_Stream.avail_in = inSize;
            m_Stream.next_out = reinterpret_cast<std::uint8_t*>(out);
            m_Stream.avail_out = outSize;
            const lzma_ret result = lzma_code(&m_Stream, LZMA_RUN);
            in += inSize - m_Stream.avail_in;
            inSize = m_Stream.avail_in;
            produced = outSize - m_Stream.avail_out;
            if (result == LZMA_STREAM_END) {
                if (m_bIndexChecked && lzma_index_hash_append(m_pIndexHash, lzma_block_unpadded_size(&m_Block),
                                                              m_Block.uncompressed_size) != LZMA_OK) {
                    detail = "the data is damaged";
                    return Step::Fault;
                }
                ReleaseBlock();
                m_State = State::BlockOrIndex;
                m_nHave = 0;
                return Step::More; // the next block may begin here
            }
            if (result == LZMA_OK || result == LZMA_BUF_ERROR)
                return Step::More;
            detail = DescribeError(result);
            return Step::Fault;
        }
        case State::Index: {
            const Step step = DecodeIndex(in, inSize, detail);
            if (step != Step::More || m_State == State::Index)
                return step;
            break;
        }
        case State::StreamFooter:
            if (!Collect(in, inSize, LZMA_STREAM_HEADER_SIZE))
                return Step::More;
            if (!CheckFooter(detail))
                return Step::Fault;
            m_State = State::StreamPadding;
            return Step::More; // another stream may begin here
        }
    }
}

bool XzSeekingDecoder::IsAtSeekPoint() const
{
    return m_State == State::StreamPadding || (m_State == State::BlockOrIndex && m_nHave == 0);
}

void XzSeekingDecoder::FillSeekPoint(SeekPoint& point)
{
    point.AtStreamStart = m_State == State::StreamPadding;
    point.XzCheck = static_cast<std::uint8_t>(m_Flags.check);
}
