// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filtering/InputDecoder.h"

// Reads the lines of a file one after the other, from the start, in blocks: through the file's
// decoder when it has one (an archive, UTF-16), else straight from the descriptor. Only a block
// and the line being read are held; a line longer than a block is held whole. The descriptor is
// not owned. For one thread at a time.
class ForwardLineReader
{
public:
    static constexpr std::size_t DefaultBlockSize = 64 * 1024;

    // decoder may be null: the bytes are the text.
    ForwardLineReader(int fd, std::unique_ptr<InputDecoder> decoder, std::size_t blockSize = DefaultBlockSize);

    // The next line with its line end (a last line may have none); false at the end of the text,
    // which a read error or a damaged archive also is. The line is valid until the next call.
    bool NextLine(std::string_view& line);

    // The fault that ended the text early, as a message naming the file; empty when there was
    // none (or it was taken already).
    std::string TakeFaultMessage(const std::string& shownName);
    // How many of the file's own bytes were used so far.
    std::uint64_t GetFileBytesUsed() const;

private:
    // Moves what is not handed out yet to the front and reads more behind it; false when nothing
    // more came.
    bool Fill();
    std::size_t ReadSome(char* out, std::size_t size);

    int m_nFd;
    std::unique_ptr<InputDecoder> m_pDecoder;
    std::vector<char> m_Buffer;
    std::size_t m_nStart = 0;   // the next line's first byte
    std::size_t m_nScanned = 0; // bytes from m_nStart on known to hold no line feed
    std::size_t m_nEnd = 0;
    bool m_bEnded = false;
    std::uint64_t m_nBytesRead = 0;
    int m_nReadError = 0;
};
