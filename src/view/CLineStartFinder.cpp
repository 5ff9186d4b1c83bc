// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CLineStartFinder.h"

#include <cstring>

#include "filtering/LineFeedCounter.h"

CLineStartFinder::CLineStartFinder(std::int64_t line)
{
    if (line == 1)
        m_nLineStart = 0;
    else if (line > 1)
        m_nFeedsBefore = static_cast<std::uint64_t>(line - 1);
}

void CLineStartFinder::NoteCarriageReturns(const char* bytes, std::size_t size)
{
    if (m_bSawLoneCarriageReturn || size == 0)
        return;
    if (m_bEndsWithCarriageReturn && bytes[0] != '\n')
        m_bSawLoneCarriageReturn = true;
    const char* const end = bytes + size;
    for (const char* at = bytes; !m_bSawLoneCarriageReturn;) {
        at = static_cast<const char*>(std::memchr(at, '\r', static_cast<std::size_t>(end - at)));
        if (!at || at + 1 == end)
            break;
        m_bSawLoneCarriageReturn = at[1] != '\n';
        ++at;
    }
    m_bEndsWithCarriageReturn = end[-1] == '\r';
}

void CLineStartFinder::Feed(const char* bytes, std::size_t size)
{
    const std::int64_t pieceStart = m_nOffset;
    m_nOffset += static_cast<std::int64_t>(size);
    NoteCarriageReturns(bytes, size);
    if (m_nLineStart >= 0 || m_nFeedsBefore == 0)
        return;
    const std::uint64_t inPiece = CountLineFeeds(bytes, size);
    if (m_nFeedsSeen + inPiece < m_nFeedsBefore) {
        m_nFeedsSeen += inPiece;
        return;
    }
    // The wanted line feed is in this piece: walk to it.
    std::uint64_t remaining = m_nFeedsBefore - m_nFeedsSeen;
    const char* at = bytes;
    const char* const end = bytes + size;
    for (;;) {
        at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (--remaining == 0)
            break;
        ++at;
    }
    m_nFeedsSeen = m_nFeedsBefore;
    m_nLineStart = pieceStart + (at - bytes) + 1;
}
