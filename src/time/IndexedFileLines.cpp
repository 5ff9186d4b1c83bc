// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/IndexedFileLines.h"

#include <cstring>

#include "filtering/PlainIndexedText.h"

namespace {

// Small enough to read for each probe, big enough to hold many lines of a log.
constexpr std::size_t BlockBytes = 16 * 1024;

} // namespace

IndexedFileLines::IndexedFileLines(const IndexedText& text)
    : m_Text(text), m_nLineCount(text.GetLineCount()), m_Block(BlockBytes)
{}

IndexedFileLines::IndexedFileLines(const FileLineIndex& index)
    : m_pOwnText(std::make_unique<PlainIndexedText>(index)), m_Text(*m_pOwnText), m_nLineCount(index.GetLineCount()),
      m_Block(BlockBytes)
{}

IndexedFileLines::~IndexedFileLines() = default;

std::int64_t IndexedFileLines::GetLineCount()
{
    return m_nLineCount;
}

bool IndexedFileLines::ReadBlock(std::uint64_t offset)
{
    // The block serves while the line start and its prefix are in it, or the file ended in it.
    const bool inside = offset >= m_nBlockOffset && offset < m_nBlockOffset + m_nBlockSize;
    if (inside && (offset - m_nBlockOffset + LineTimePrefixBytes <= m_nBlockSize || m_nBlockSize < m_Block.size()))
        return true;
    int error = 0;
    const std::int64_t read = m_Text.ReadRange(offset, m_Block.data(), m_Block.size(), error);
    const std::size_t got = read > 0 ? static_cast<std::size_t>(read) : 0;
    m_nBytesRead += got;
    m_nBlockOffset = offset;
    m_nBlockSize = got;
    return got > 0;
}

bool IndexedFileLines::FindLineOffset(std::int64_t line, std::uint64_t& offset)
{
    IndexedText::Checkpoint from = m_Text.Locate(line);
    if (m_nLastLine >= from.Line && m_nLastLine <= line)
        from = {m_nLastLine, m_nLastOffset};
    std::int64_t current = from.Line;
    std::uint64_t at = from.Offset;
    while (current < line) {
        if (!ReadBlock(at))
            return false;
        const char* start = m_Block.data() + (at - m_nBlockOffset);
        const std::size_t left = m_nBlockSize - static_cast<std::size_t>(at - m_nBlockOffset);
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', left));
        if (feed == nullptr) {
            // A line longer than what is left of the block: read on after it.
            at += left;
            m_nBlockSize = 0;
            continue;
        }
        at += static_cast<std::uint64_t>(feed - start) + 1;
        ++current;
    }
    m_nLastLine = line;
    m_nLastOffset = at;
    offset = at;
    return true;
}

std::string_view IndexedFileLines::GetLineStart(std::int64_t line)
{
    std::uint64_t offset = 0;
    if (line < 0 || line >= m_nLineCount || !FindLineOffset(line, offset) || !ReadBlock(offset))
        return {};
    const char* start = m_Block.data() + (offset - m_nBlockOffset);
    std::size_t length = m_nBlockSize - static_cast<std::size_t>(offset - m_nBlockOffset);
    if (length > LineTimePrefixBytes)
        length = LineTimePrefixBytes;
    if (const auto* feed = static_cast<const char*>(std::memchr(start, '\n', length)))
        length = static_cast<std::size_t>(feed - start);
    if (length > 0 && start[length - 1] == '\r')
        --length;
    return {start, length};
}
