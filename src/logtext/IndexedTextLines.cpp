// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/IndexedTextLines.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "filtering/IndexedText.h"

namespace {
constexpr std::size_t ReadBlockBytes = 64 * 1024;
}

std::int64_t IndexedTextLines::GetLineCount() const
{
    return m_Text.GetLineCount();
}

bool IndexedTextLines::ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const
{
    const std::int64_t lines = GetLineCount();
    const std::int64_t end = std::clamp<std::int64_t>(first + std::max<std::int64_t>(0, count), 0, lines);
    first = std::clamp<std::int64_t>(first, 0, end);
    if (first == end)
        return true;
    const IndexedText::Checkpoint start = m_Text.Locate(first);
    std::int64_t line = start.Line;
    std::uint64_t offset = start.Offset;
    std::vector<char> block(ReadBlockBytes);
    // Line feeds are counted from the known start: lines before `first` are skipped, lines up to
    // `end` are kept, and the read stops at the line feed that ends the last of them.
    while (line < end) {
        int readError = 0;
        const std::int64_t got = m_Text.ReadRange(offset, block.data(), block.size(), readError);
        if (got < 0) {
            error = std::strerror(readError);
            return false;
        }
        if (got == 0)
            return true; // the last line has no line feed (or the file got shorter)
        const char* data = block.data();
        const auto size = static_cast<std::size_t>(got);
        std::size_t keepFrom = line >= first ? 0 : size;
        std::size_t at = 0;
        while (at < size && line < end) {
            const void* feed = std::memchr(data + at, '\n', size - at);
            const std::size_t next = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - data) + 1 : size;
            if (!feed) {
                at = size;
                break;
            }
            at = next;
            ++line;
            if (line == first)
                keepFrom = at;
        }
        if (keepFrom < at)
            bytes.append(data + keepFrom, at - keepFrom);
        offset += at;
    }
    return true;
}
