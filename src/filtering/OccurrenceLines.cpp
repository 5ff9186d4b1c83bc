// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/OccurrenceLines.h"

#include <algorithm>

namespace {

bool IsWordByte(char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

} // namespace

OccurrenceLines::OccurrenceLines(std::string_view pattern, bool caseSensitive, bool wholeWord)
    : m_Searcher(pattern, caseSensitive), m_bWholeWord(wholeWord)
{}

void OccurrenceLines::Restart()
{
    m_nOffset = 0;
    m_nCounted = 0;
    m_nLine = 0;
    m_nLastFound = -1;
}

bool OccurrenceLines::IsWholeWordAt(std::string_view text, std::size_t at) const
{
    const std::size_t end = at + m_Searcher.Pattern().size();
    return (at == 0 || !IsWordByte(text[at - 1])) && (end >= text.size() || !IsWordByte(text[end]));
}

bool OccurrenceLines::Scan(std::string_view text, std::size_t budget, const LineFound& found)
{
    const std::size_t length = m_Searcher.Pattern().size();
    if (m_nCounted > text.size())
        Restart(); // the text is not the one looked at before
    if (length == 0 || m_nOffset >= text.size())
        return true;
    // An occurrence may start in this slice and end in the next: the slice overlaps by the pattern.
    const std::size_t sliceEnd = std::min(text.size(), m_nOffset + std::max<std::size_t>(budget, 1) + length - 1);
    while (m_nOffset < sliceEnd) {
        const std::size_t at = m_Searcher.Find(text.substr(m_nOffset, sliceEnd - m_nOffset));
        if (at == LiteralSearcher::npos) {
            // The last bytes may begin an occurrence that text appended later completes.
            m_nOffset = std::max(m_nOffset, sliceEnd - std::min(sliceEnd, length - 1));
            break;
        }
        const std::size_t where = m_nOffset + at;
        m_nOffset = where + 1;
        if (m_bWholeWord && !IsWholeWordAt(text, where))
            continue;
        m_nLine += std::count(text.begin() + static_cast<std::ptrdiff_t>(m_nCounted),
                              text.begin() + static_cast<std::ptrdiff_t>(where), '\n');
        m_nCounted = where;
        if (m_nLine != m_nLastFound) {
            m_nLastFound = m_nLine;
            found(m_nLine);
        }
    }
    return m_nOffset + length > text.size();
}
