// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The state of one match: the backtracking stack, the slots and the match groups. A context may
// serve any number of Regex::Match calls (each starts it afresh) and keeps the memory it grew, so
// a caller that reuses one context across lines allocates nothing once it has warmed up.
// Used by one thread at a time.
class RegexMatchContext
{
public:
    // Marks a position that is not set (a group that never captured, or no match).
    static constexpr std::size_t NoPosition = static_cast<std::size_t>(-1);

    // Creates an empty context whose stack has room for the given number of entries. Never throws:
    // when the stack cannot be allocated it starts empty and grows at the first push.
    explicit RegexMatchContext(std::size_t initialStackEntries = 256);

    // After a successful match: where the successful attempt began and where the match ended.
    std::size_t GetMatchStart() const { return m_nMatchStart; }
    std::size_t GetMatchEnd() const { return m_nMatchEnd; }

    // After a successful match: the capture of each match group (NoPosition while unset, and for
    // a group number that is out of range).
    std::uint32_t GetGroupCount() const { return m_nGroupCount; }
    std::size_t GetGroupStart(std::uint32_t group) const;
    std::size_t GetGroupEnd(std::uint32_t group) const;

    // The number of entries the backtracking stack has room for (entry 0 is never used).
    std::size_t GetStackCapacity() const { return m_Stack.size(); }

    // Whether the last match ended because memory ran out (it then answered false).
    bool RanOutOfMemory() const { return m_bOutOfMemory; }

    // Growing the stack past this many entries counts as running out of memory: a caller can
    // bound what one match takes.
    void SetStackLimit(std::size_t entries) { m_nStackLimit = entries; }

    // Whether the last match ended because it used up the steps or the stack its limits allowed
    // (RegexMatchLimits); it then answered false without knowing the answer.
    bool ExhaustedBudget() const { return m_bBudgetExhausted; }
    // Instructions the last match executed (counted in runs of a few thousand when it ended by
    // running out of memory).
    std::uint64_t GetStepCount() const { return m_nSteps; }

private:
    friend class RegexMatcher;

    struct GroupSpan
    {
        std::size_t Start = NoPosition;
        std::size_t End = NoPosition;
    };

    std::uint32_t m_nGroupCount = 0;
    std::size_t m_nMatchStart = NoPosition;
    std::size_t m_nMatchEnd = NoPosition;
    std::vector<std::size_t> m_Slots;
    std::vector<GroupSpan> m_Groups;
    std::vector<std::size_t> m_Stack;
    std::size_t m_nDepth = 0;
    std::size_t m_nStackLimit = static_cast<std::size_t>(-1);
    std::uint64_t m_nSteps = 0;
    bool m_bOutOfMemory = false;
    bool m_bBudgetExhausted = false;
};
