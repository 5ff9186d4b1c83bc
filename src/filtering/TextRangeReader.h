// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Reads any range of a text by its offset: a plain file, or the decompressed text of a compressed
// one. Implementations are safe to call from any thread.
class TextRangeReader
{
public:
    virtual ~TextRangeReader() = default;
    // Reads up to size bytes from offset on: fewer only at the text's end (or where its data is
    // damaged). -1, with errno in error, when reading failed.
    virtual std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const = 0;
};

// A file's bytes through a descriptor of its own (a duplicate of the one given, closed with the
// reader), read with pread.
class DescriptorRangeReader : public TextRangeReader
{
public:
    explicit DescriptorRangeReader(int fd);
    ~DescriptorRangeReader() override;
    DescriptorRangeReader(const DescriptorRangeReader&) = delete;
    DescriptorRangeReader& operator=(const DescriptorRangeReader&) = delete;

    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override;
    // Reads through fd, which stays the caller's.
    static std::int64_t ReadFromDescriptor(int fd, std::uint64_t offset, char* buffer, std::size_t size, int& error);

private:
    int m_nFd;
};
