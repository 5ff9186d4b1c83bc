// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// For one subject: which branches of a program can still lead to a match, as RegexLinearDecider
// works them out. A branch is a Fork's target at a position of the subject; the table holds one
// bit per tracked target and position (the end of the subject and the position past it
// included). The backtracker skips a branch whose bit is clear, since nothing it would try
// there can succeed; untracked targets are always tried. Filled by RegexLinearDecider, read by
// RegexMatcher; used by one thread at a time.
class RegexLiveTable
{
public:
    // Whether the branch that starts at instruction ip may lead to a match from position (at most
    // the subject's length plus one). True for instructions the table does not track.
    bool MayLead(std::size_t ip, std::size_t position) const
    {
        const std::int32_t column = m_Columns[ip];
        if (column < 0)
            return true;
        const auto bit = static_cast<std::size_t>(column);
        return (m_Bits[position * m_nWordsPerPosition + (bit >> 6)] >> (bit & 63)) & 1;
    }

    // Gives the memory back; the table must be filled again before it is read.
    void Release()
    {
        m_Bits = {};
        m_Columns = {};
        m_nWordsPerPosition = 0;
    }

private:
    friend class RegexLinearDecider;

    std::vector<std::int32_t> m_Columns; // per instruction: its bit within a position's words, or -1
    std::size_t m_nWordsPerPosition = 0;
    std::vector<std::uint64_t> m_Bits; // position after position
};
