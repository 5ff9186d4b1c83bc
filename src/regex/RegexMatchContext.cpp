// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexMatchContext.h"

#include <exception>

RegexMatchContext::RegexMatchContext(std::size_t initialStackEntries)
{
    try {
        m_Stack.resize(initialStackEntries);
    } catch (const std::exception&) {
        // Out of memory or an absurd size: an empty stack is still consistent, the first push
        // grows it or ends the match.
    }
}

std::size_t RegexMatchContext::GetGroupStart(std::uint32_t group) const
{
    return group < m_Groups.size() ? m_Groups[group].Start : NoPosition;
}

std::size_t RegexMatchContext::GetGroupEnd(std::uint32_t group) const
{
    return group < m_Groups.size() ? m_Groups[group].End : NoPosition;
}
