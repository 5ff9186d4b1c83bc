// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Finds where a file line starts in a text that arrives in pieces. Lines are counted by line feeds,
// as the file's line numbers are, so a lone carriage return does not start a new line.
class CLineStartFinder
{
public:
    // Line 1 is the first line; 0 or less asks for nothing.
    explicit CLineStartFinder(std::int64_t line = 0);

    void Feed(const char* bytes, std::size_t size);
    // The byte offset where the line starts, or -1 while it has not been seen (or nothing was asked).
    std::int64_t GetLineStart() const { return m_nLineStart; }
    // A carriage return not followed by a line feed came by (a last byte CR included): the
    // editor, which breaks lines there too, counts more lines than the file has.
    bool SawLoneCarriageReturn() const { return m_bSawLoneCarriageReturn || m_bEndsWithCarriageReturn; }

private:
    void NoteCarriageReturns(const char* bytes, std::size_t size);

    std::uint64_t m_nFeedsBefore = 0;
    std::uint64_t m_nFeedsSeen = 0;
    std::int64_t m_nOffset = 0;
    std::int64_t m_nLineStart = -1;
    bool m_bSawLoneCarriageReturn = false;
    bool m_bEndsWithCarriageReturn = false;
};
