// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The lines of the screen that were marked last: a refresh marks only the lines that came on
// screen since, and lines still on screen keep their marks.
class MarkedScreenLines
{
public:
    bool AreMarked(std::int64_t first, std::int64_t last) const { return first == m_nFirst && last == m_nLast; }
    // The text changed under the marks: every line is marked afresh.
    void Forget() { m_nFirst = m_nLast = -1; }
    // Calls mark(line) for each line of [first, last] not marked before; the range is then marked.
    template <typename Mark> void MarkNew(std::int64_t first, std::int64_t last, Mark mark)
    {
        for (std::int64_t line = first; line <= last; ++line)
            if (m_nFirst < 0 || line < m_nFirst || line > m_nLast)
                mark(line);
        m_nFirst = first;
        m_nLast = last;
    }

private:
    std::int64_t m_nFirst = -1;
    std::int64_t m_nLast = -1;
};
