// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/CompressedInput.h"

#include <algorithm>
#include <bzlib.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <lzma.h>
#include <new>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

namespace {

constexpr std::size_t InputBlock = 256 * 1024;

unsigned ClampToUnsigned(std::size_t size)
{
    return static_cast<unsigned>(std::min<std::size_t>(size, UINT_MAX));
}

class GzipDecompressor final : public Decompressor
{
public:
    GzipDecompressor() : Decompressor(Compression::Gzip)
    {
        // 16: gzip members only, with their header and check sum.
        if (inflateInit2(&m_Stream, 15 + 16) != Z_OK)
            throw std::bad_alloc();
    }
    ~GzipDecompressor() override { inflateEnd(&m_Stream); }

protected:
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool /*inputEnded*/) override
    {
        m_Stream.next_in = const_cast<unsigned char*>(in);
        m_Stream.avail_in = ClampToUnsigned(inSize);
        m_Stream.next_out = reinterpret_cast<unsigned char*>(out);
        m_Stream.avail_out = ClampToUnsigned(outSize);
        const unsigned givenIn = m_Stream.avail_in;
        const unsigned givenOut = m_Stream.avail_out;
        const int result = inflate(&m_Stream, Z_NO_FLUSH);
        in += givenIn - m_Stream.avail_in;
        inSize -= givenIn - m_Stream.avail_in;
        produced = givenOut - m_Stream.avail_out;
        switch (result) {
        case Z_OK:
        case Z_BUF_ERROR:
            return Step::More;
        case Z_STREAM_END:
            return Step::StreamEnd;
        case Z_MEM_ERROR:
            throw std::bad_alloc();
        default:
            detail = m_Stream.msg ? m_Stream.msg : "the data is damaged";
            return Step::Fault;
        }
    }
    bool Restart() override { return inflateReset(&m_Stream) == Z_OK; }

private:
    z_stream m_Stream{};
};

class ZstdDecompressor final : public Decompressor
{
public:
    ZstdDecompressor() : Decompressor(Compression::Zstd), m_pStream(ZSTD_createDStream())
    {
        if (!m_pStream)
            throw std::bad_alloc();
    }
    ~ZstdDecompressor() override { ZSTD_freeDStream(m_pStream); }

protected:
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool /*inputEnded*/) override
    {
        ZSTD_inBuffer input{in, inSize, 0};
        ZSTD_outBuffer output{out, outSize, 0};
        const std::size_t result = ZSTD_decompressStream(m_pStream, &output, &input);
        in += input.pos;
        inSize -= input.pos;
        produced = output.pos;
        if (ZSTD_isError(result)) {
            if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation)
                throw std::bad_alloc();
            detail = ZSTD_getErrorName(result);
            return Step::Fault;
        }
        // 0: a frame was decoded and all of its text handed over.
        return result == 0 ? Step::StreamEnd : Step::More;
    }
    bool Restart() override { return !ZSTD_isError(ZSTD_DCtx_reset(m_pStream, ZSTD_reset_session_only)); }

private:
    ZSTD_DStream* m_pStream;
};

class XzDecompressor final : public Decompressor
{
public:
    XzDecompressor() : Decompressor(Compression::Xz)
    {
        if (!Start())
            throw std::bad_alloc();
    }
    ~XzDecompressor() override { lzma_end(&m_Stream); }

protected:
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool inputEnded) override
    {
        m_Stream.next_in = in;
        m_Stream.avail_in = inSize;
        m_Stream.next_out = reinterpret_cast<std::uint8_t*>(out);
        m_Stream.avail_out = outSize;
        // Concatenated streams and their padding end only when the decoder knows no more comes.
        const lzma_ret result = lzma_code(&m_Stream, inputEnded ? LZMA_FINISH : LZMA_RUN);
        in += inSize - m_Stream.avail_in;
        inSize = m_Stream.avail_in;
        produced = outSize - m_Stream.avail_out;
        switch (result) {
        case LZMA_OK:
        case LZMA_BUF_ERROR:
            return Step::More;
        case LZMA_STREAM_END:
            return Step::StreamEnd;
        case LZMA_MEM_ERROR:
            throw std::bad_alloc();
        case LZMA_FORMAT_ERROR:
            detail = "not xz data";
            return Step::Fault;
        case LZMA_OPTIONS_ERROR:
            detail = "options this decoder does not know";
            return Step::Fault;
        default:
            detail = "the data is damaged";
            return Step::Fault;
        }
    }
    bool Restart() override
    {
        lzma_end(&m_Stream);
        m_Stream = LZMA_STREAM_INIT;
        return Start();
    }

private:
    bool Start() { return lzma_stream_decoder(&m_Stream, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK; }

    lzma_stream m_Stream = LZMA_STREAM_INIT;
};

class Bzip2Decompressor final : public Decompressor
{
public:
    Bzip2Decompressor() : Decompressor(Compression::Bzip2)
    {
        if (BZ2_bzDecompressInit(&m_Stream, 0, 0) != BZ_OK)
            throw std::bad_alloc();
    }
    ~Bzip2Decompressor() override { BZ2_bzDecompressEnd(&m_Stream); }

protected:
    Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize, std::size_t& produced,
                std::string& detail, bool /*inputEnded*/) override
    {
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
            return Step::StreamEnd;
        case BZ_MEM_ERROR:
            throw std::bad_alloc();
        default:
            detail = "the data is damaged";
            return Step::Fault;
        }
    }
    bool Restart() override
    {
        BZ2_bzDecompressEnd(&m_Stream);
        m_Stream = bz_stream{};
        return BZ2_bzDecompressInit(&m_Stream, 0, 0) == BZ_OK;
    }

private:
    bz_stream m_Stream{};
};

} // namespace

Compression DetectCompression(const unsigned char* bytes, std::size_t size)
{
    const auto starts = [bytes, size](std::initializer_list<unsigned char> magic) {
        return size >= magic.size() && std::equal(magic.begin(), magic.end(), bytes);
    };
    if (starts({0x1f, 0x8b}))
        return Compression::Gzip;
    if (starts({0x28, 0xb5, 0x2f, 0xfd}))
        return Compression::Zstd;
    // A skippable frame (of a seekable zstd file, say) may come first.
    if (size >= 4 && (bytes[0] & 0xf0) == 0x50 && bytes[1] == 0x2a && bytes[2] == 0x4d && bytes[3] == 0x18)
        return Compression::Zstd;
    if (starts({0xfd, '7', 'z', 'X', 'Z', 0x00}))
        return Compression::Xz;
    if (starts({'B', 'Z', 'h'}) && size >= 4 && bytes[3] >= '1' && bytes[3] <= '9')
        return Compression::Bzip2;
    return Compression::None;
}

const char* CompressionName(Compression compression)
{
    switch (compression) {
    case Compression::Gzip:
        return "gzip";
    case Compression::Zstd:
        return "zstd";
    case Compression::Xz:
        return "xz";
    case Compression::Bzip2:
        return "bzip2";
    case Compression::None:
        break;
    }
    return "plain";
}

std::string DamagedArchiveMessage(const std::string& path, Compression compression, std::uint64_t offset,
                                  const std::string& detail)
{
    return "ERROR Reading " + path + ": the " + CompressionName(compression) + " data is damaged at byte " +
           std::to_string(offset) + " (" + detail + "); the text before it was read";
}

std::unique_ptr<Decompressor> Decompressor::Make(Compression compression)
{
    switch (compression) {
    case Compression::Gzip:
        return std::make_unique<GzipDecompressor>();
    case Compression::Zstd:
        return std::make_unique<ZstdDecompressor>();
    case Compression::Xz:
        return std::make_unique<XzDecompressor>();
    case Compression::Bzip2:
        return std::make_unique<Bzip2Decompressor>();
    case Compression::None:
        break;
    }
    return nullptr;
}

Decompressor::Decompressor(Compression compression) : m_Compression(compression), m_Input(InputBlock) {}

Decompressor::~Decompressor() = default;

std::string Decompressor::TakeFaultMessage(const std::string& shownName)
{
    if (m_strError.empty())
        return std::string();
    std::string message = DamagedArchiveMessage(shownName, m_Compression, m_nErrorOffset, m_strError);
    m_strError.clear();
    return message;
}

bool Decompressor::FillInput(int fd)
{
    m_nInputStart = 0;
    m_nInputEnd = 0;
    for (;;) {
        const ssize_t got = ::read(fd, m_Input.data(), m_Input.size());
        if (got > 0) {
            m_nInputEnd = static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            m_bInputEnded = true;
            return true;
        }
        if (errno != EINTR && errno != EAGAIN) {
            m_strError = std::string("cannot read the file: ") + std::strerror(errno);
            m_nErrorOffset = m_nConsumed;
            return false;
        }
    }
}

std::size_t Decompressor::Read(int fd, char* out, std::size_t size)
{
    std::size_t total = 0;
    while (!m_bDone && total < size) {
        if (m_nInputStart == m_nInputEnd && !m_bInputEnded && !FillInput(fd)) {
            m_bDone = true;
            break;
        }
        if (!m_bInsideStream) {
            // Between members: zero bytes pad a stream (as tape blocks do); nothing at all ends it.
            while (m_nInputStart < m_nInputEnd && m_Input[m_nInputStart] == 0) {
                ++m_nInputStart;
                ++m_nConsumed;
            }
            if (m_nInputStart == m_nInputEnd) {
                if (m_bInputEnded)
                    m_bDone = true;
                continue;
            }
            m_bInsideStream = true;
        }
        const unsigned char* in = m_Input.data() + m_nInputStart;
        std::size_t inSize = m_nInputEnd - m_nInputStart;
        std::size_t produced = 0;
        std::string detail;
        const Step step = Decode(in, inSize, out + total, size - total, produced, detail, m_bInputEnded);
        const std::size_t used = (m_nInputEnd - m_nInputStart) - inSize;
        m_nInputStart += used;
        m_nConsumed += used;
        total += produced;
        if (step == Step::Fault) {
            m_strError = detail;
            m_nErrorOffset = m_nConsumed;
            m_bDone = true;
        } else if (step == Step::StreamEnd) {
            m_bInsideStream = false;
            if (!Restart()) {
                m_strError = "the decoder cannot start on the next member";
                m_nErrorOffset = m_nConsumed;
                m_bDone = true;
            }
        } else if (used == 0 && produced == 0) {
            if (m_nInputStart < m_nInputEnd) {
                m_strError = "the data cannot be decoded";
                m_nErrorOffset = m_nConsumed;
                m_bDone = true;
            } else if (m_bInputEnded) {
                m_strError = "the file ends in the middle of the compressed data";
                m_nErrorOffset = m_nConsumed;
                m_bDone = true;
            }
        }
    }
    return total;
}
