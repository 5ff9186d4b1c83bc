// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/RestartedLineNumbers.h"

#include <algorithm>

std::int64_t RestartedLineNumbers::FileLineOf(std::int64_t shownLine) const
{
    const auto after = std::upper_bound(m_Markers.begin(), m_Markers.end(), shownLine);
    if (after == m_Markers.begin())
        return shownLine + 1;
    const std::int64_t marker = *(after - 1);
    return shownLine == marker ? 0 : shownLine - marker;
}
