// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/FollowedFileText.h"

ShownLineOrigin FollowedFileText::OriginOf(std::int64_t line) const
{
    if (line < 0 || line >= GetLineCount())
        return {};
    return {m_Restarts.FileLineOf(line), false, -1};
}

std::int64_t FollowedFileText::PlaceNumberOf(std::int64_t line) const
{
    return m_Restarts.FileLineOf(line);
}
