// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/MergedShownText.h"

#include "time/MergedText.h"

MergedShownText::MergedShownText(std::shared_ptr<const MergedText> merged)
    : m_pMerged(std::move(merged)), m_Lines(*m_pMerged)
{}

ShownLineOrigin MergedShownText::OriginOf(std::int64_t line) const
{
    const MergedText::SourceLine from = m_pMerged->SourceOfLine(line);
    if (from.Input < 0)
        return {};
    ShownLineOrigin origin;
    origin.FileLine = from.Line + 1;
    origin.Source = from.Input;
    return origin;
}

std::string MergedShownText::FileNameOf(std::int64_t line) const
{
    const MergedText::SourceLine from = m_pMerged->SourceOfLine(line);
    if (from.Input < 0)
        return std::string();
    const std::string& path = m_pMerged->GetPaths()[static_cast<std::size_t>(from.Input)];
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
