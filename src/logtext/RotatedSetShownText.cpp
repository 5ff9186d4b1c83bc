// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/RotatedSetShownText.h"

#include "filtering/RotatedSetText.h"

RotatedSetShownText::RotatedSetShownText(const RotatedSetText& set) : m_Set(set), m_Lines(set) {}

ShownLineOrigin RotatedSetShownText::OriginOf(std::int64_t line) const
{
    // Not bounded by the lines placed so far: a window may show lines the index has yet to count.
    if (line < 0)
        return {};
    const RotatedSetText::MemberLine from = m_Set.MemberOfLine(line);
    if (from.Member < 0)
        return {};
    ShownLineOrigin origin;
    origin.FileLine = from.Line + 1;
    origin.StartsFile = from.Member > 0 && from.Line == 0;
    return origin;
}

std::string RotatedSetShownText::FileNameOf(std::int64_t line) const
{
    const RotatedSetText::MemberLine from = m_Set.MemberOfLine(line);
    if (from.Member < 0)
        return std::string();
    const std::string path = m_Set.GetMemberPath(from.Member);
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool RotatedSetShownText::TakesFollowedBytes() const
{
    return m_Set.IsLiveFileFollowable();
}
