// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/StringTextLines.h"

#include <algorithm>

void StringTextLines::Append(std::string_view bytes)
{
    const std::size_t base = m_Bytes.size();
    m_Bytes.append(bytes);
    for (std::size_t at = bytes.find('\n'); at != std::string_view::npos; at = bytes.find('\n', at + 1))
        m_LineStarts.push_back(base + at + 1);
}

bool StringTextLines::ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string&) const
{
    const std::int64_t lines = GetLineCount();
    const std::int64_t end = std::clamp<std::int64_t>(first + std::max<std::int64_t>(0, count), 0, lines);
    first = std::clamp<std::int64_t>(first, 0, end);
    if (first == end)
        return true;
    const std::size_t from = m_LineStarts[static_cast<std::size_t>(first)];
    const std::size_t to = end == lines ? m_Bytes.size() : m_LineStarts[static_cast<std::size_t>(end)];
    bytes.append(m_Bytes, from, to - from);
    return true;
}
