// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CEditorLines.h"

#include <algorithm>

#include "view/CEditor.h"

std::int64_t CEditorLines::GetLineCount() const
{
    return m_Editor.GetLineCount();
}

bool CEditorLines::ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string&) const
{
    const std::int64_t lines = GetLineCount();
    const std::int64_t end = std::clamp<std::int64_t>(first + std::max<std::int64_t>(0, count), 0, lines);
    first = std::clamp<std::int64_t>(first, 0, end);
    if (first == end)
        return true;
    const std::int64_t from = m_Editor.PositionFromLine(first);
    const std::int64_t to = end == lines ? m_Editor.GetLength() : m_Editor.PositionFromLine(end);
    if (to > from)
        bytes.append(m_Editor.GetRange(from, to - from), static_cast<std::size_t>(to - from));
    return true;
}
