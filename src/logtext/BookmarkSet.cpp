// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/BookmarkSet.h"

#include <algorithm>

bool BookmarkSet::Toggle(std::int64_t line)
{
    if (line < 1)
        return false;
    if (m_Lines.erase(line) > 0)
        return false;
    m_Lines.insert(line);
    return true;
}

void BookmarkSet::Assign(const std::vector<std::int64_t>& lines)
{
    m_Lines.clear();
    for (std::int64_t line : lines)
        if (line >= 1)
            m_Lines.insert(line);
}

std::optional<BookmarkSet::Step> BookmarkSet::Next(std::int64_t from, const Reachable& reachable) const
{
    const auto fits = [&reachable](std::int64_t line) { return !reachable || reachable(line); };
    const auto after = m_Lines.upper_bound(from);
    if (const auto found = std::find_if(after, m_Lines.end(), fits); found != m_Lines.end())
        return Step{*found, false};
    if (const auto found = std::find_if(m_Lines.begin(), after, fits); found != after)
        return Step{*found, true};
    return std::nullopt;
}

std::optional<BookmarkSet::Step> BookmarkSet::Previous(std::int64_t from, const Reachable& reachable) const
{
    const auto fits = [&reachable](std::int64_t line) { return !reachable || reachable(line); };
    // Reverse iterators: `before` runs from the last line below `from` down to the first.
    const auto before = std::make_reverse_iterator(m_Lines.lower_bound(from));
    if (const auto found = std::find_if(before, m_Lines.rend(), fits); found != m_Lines.rend())
        return Step{*found, false};
    if (const auto found = std::find_if(m_Lines.rbegin(), before, fits); found != before)
        return Step{*found, true};
    return std::nullopt;
}
