// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filtering/InputDecoder.h"

// How a file's bytes are packed, told by its first bytes, never by its name.
enum class Compression
{
    None,
    Gzip,
    Zstd,
    Xz,
    Bzip2,
};

// The bytes needed to tell every kind apart.
constexpr std::size_t CompressionMagicSize = 6;

Compression DetectCompression(const unsigned char* bytes, std::size_t size);
// "gzip", "zstd", "xz", "bzip2".
const char* CompressionName(Compression compression);

// The message of compressed data that ends in damage: the text before it was read.
std::string DamagedArchiveMessage(const std::string& path, Compression compression, std::uint64_t offset,
                                  const std::string& detail);

// Turns the compressed bytes read from a descriptor into the text they hold, a piece at a time.
// Streams of several members or frames (as `cat a.gz b.gz` makes) are read one after the other.
// A fault ends the text where the fault is; GetError says what and where.
class Decompressor : public InputDecoder
{
public:
    static std::unique_ptr<Decompressor> Make(Compression compression);
    ~Decompressor() override;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Up to size bytes of text into out, reading fd as needed; 0 at the end or after a fault.
    std::size_t Read(int fd, char* out, std::size_t size) override;
    // Empty while all is well; the fault in words otherwise.
    const std::string& GetError() const { return m_strError; }
    // Where in the compressed file the fault was found.
    std::uint64_t GetErrorOffset() const { return m_nErrorOffset; }
    Compression GetCompression() const { return m_Compression; }
    // How much of the compressed file was used so far: the measure of progress.
    std::uint64_t GetCompressedBytesUsed() const { return m_nConsumed; }
    std::uint64_t GetFileBytesUsed() const override { return m_nConsumed; }
    std::string TakeFaultMessage(const std::string& shownName) override;

protected:
    enum class Step
    {
        More,      // room in out was used or more input is needed
        StreamEnd, // a member or stream ended; another may follow
        Fault,     // damaged data; detail says how
    };
    explicit Decompressor(Compression compression);
    // Decodes from in (advanced past what was used) into out; produced says how much text.
    // inputEnded: what is in `in` is all the file still has.
    virtual Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize,
                        std::size_t& produced, std::string& detail, bool inputEnded) = 0;
    // A new member follows the one that ended.
    virtual bool Restart() = 0;

private:
    bool FillInput(int fd);

    Compression m_Compression;
    std::vector<unsigned char> m_Input;
    std::size_t m_nInputStart = 0;
    std::size_t m_nInputEnd = 0;
    std::uint64_t m_nConsumed = 0;
    bool m_bInputEnded = false;
    bool m_bDone = false;
    bool m_bInsideStream = false; // a member was begun and has not ended
    std::string m_strError;
    std::uint64_t m_nErrorOffset = 0;
};
