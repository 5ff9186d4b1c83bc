// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "time/TimedLines.h"

class FileLineIndex;
class IndexedText;
class PlainIndexedText;

// The lines of a text through its sparse line index: a line is found from the index's nearest
// line start before it by reading on from there, and only the start of each line is kept. The
// lines are those the index knows so far. For one thread at a time.
class IndexedFileLines : public ILineReader
{
public:
    // The text (or the index) must outlive this object.
    explicit IndexedFileLines(const IndexedText& text);
    // A plain file through its index.
    explicit IndexedFileLines(const FileLineIndex& index);
    ~IndexedFileLines() override;

    std::int64_t GetLineCount() override;
    std::string_view GetLineStart(std::int64_t line) override;

    // How many bytes were read from the file, for tests that check that a search reads little.
    std::uint64_t GetBytesRead() const { return m_nBytesRead; }

private:
    // Bytes of the file at offset into the block; false at the end or on a read error.
    bool ReadBlock(std::uint64_t offset);
    // The offset of the start of `line`, walking from the nearest known start; false past the end.
    bool FindLineOffset(std::int64_t line, std::uint64_t& offset);

    std::unique_ptr<PlainIndexedText> m_pOwnText; // the plain file of an index, when made from one
    const IndexedText& m_Text;
    std::int64_t m_nLineCount;
    std::vector<char> m_Block;
    std::uint64_t m_nBlockOffset = 0;
    std::size_t m_nBlockSize = 0;
    // The last line found, so that reading on from it (a probe skipping forward) is cheap.
    std::int64_t m_nLastLine = -1;
    std::uint64_t m_nLastOffset = 0;
    std::uint64_t m_nBytesRead = 0;
};
