// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "filtering/LiteralSearcher.h"

// The lines of a text that hold a literal, found a slice at a time so that a long text can be
// gone through in short turns: each turn goes on from where the last one stopped. A line is told
// once however often it holds the literal, in text order, 0-based.
class OccurrenceLines
{
public:
    using LineFound = std::function<void(std::int64_t line)>;

    // wholeWord: only occurrences with no letter, digit or underscore right before or after.
    OccurrenceLines(std::string_view pattern, bool caseSensitive, bool wholeWord);

    // Starts again from the text's start.
    void Restart();
    // Looks at about `budget` more bytes of text (the same text every turn, or one that only grew
    // at its end); true once the whole text has been looked at.
    bool Scan(std::string_view text, std::size_t budget, const LineFound& found);
    std::size_t GetOffset() const { return m_nOffset; }

private:
    bool IsWholeWordAt(std::string_view text, std::size_t at) const;

    LiteralSearcher m_Searcher;
    bool m_bWholeWord;
    std::size_t m_nOffset = 0;      // where the next search starts
    std::size_t m_nCounted = 0;     // line feeds before this offset are counted in m_nLine
    std::int64_t m_nLine = 0;       // the line at m_nCounted
    std::int64_t m_nLastFound = -1; // the last line told
};
