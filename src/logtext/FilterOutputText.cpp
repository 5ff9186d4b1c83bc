// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/FilterOutputText.h"

#include "filtering/OutputLine.h"
#include "filtering/RotatedSetText.h"
#include "logtext/MergedShownText.h"
#include "logtext/RotatedSetShownText.h"

void FilterOutputText::ReadFrom(const TextLines& lines, bool inFile)
{
    m_pLines = &lines;
    m_bInFile = inFile;
}

void FilterOutputText::Append(const std::vector<OutputLine>& lines)
{
    for (const OutputLine& line : lines)
        m_Numbers.Append(line.LineNumber, line.IsContext, line.Filter);
}

ShownLineOrigin FilterOutputText::OriginOf(std::int64_t line) const
{
    if (line < 0 || line >= static_cast<std::int64_t>(m_Numbers.Size()))
        return {};
    const auto index = static_cast<std::size_t>(line);
    return {m_Numbers.LineNumber(index), m_Numbers.IsContext(index), m_Numbers.Filter(index)};
}

std::int64_t FilterOutputText::GetLastNumber() const
{
    const std::int64_t last = m_Numbers.LastFileLine();
    return last > 0 ? last : GetLineCount();
}

NumberedLineFound FilterOutputText::FindNumber(std::int64_t number) const
{
    if (m_Numbers.Empty())
        return ShownText::FindNumber(number);
    NumberedLineFound found;
    found.ByFileLine = true;
    const std::size_t at = m_Numbers.FirstAtOrAfter(number);
    if (at >= m_Numbers.Size()) {
        found.Line = std::max<std::int64_t>(0, static_cast<std::int64_t>(m_Numbers.EndOfNumbered()) - 1);
        found.Number = GetLastNumber();
        found.How = NumberedLineFound::Reach::PastEnd;
        return found;
    }
    found.Line = static_cast<std::int64_t>(at);
    found.Number = m_Numbers.LineNumber(at);
    found.How = found.Number == number ? NumberedLineFound::Reach::Exact : NumberedLineFound::Reach::Next;
    return found;
}

std::string FilterOutputText::FileNameOf(std::int64_t line) const
{
    const std::int64_t setLine = OriginOf(line).FileLine;
    if (m_pMerged && setLine > 0)
        return m_pMerged->FileNameOf(setLine - 1);
    if (!m_pSet || setLine <= 0)
        return std::string();
    return RotatedSetShownText(*m_pSet).FileNameOf(setLine - 1);
}

std::int64_t FilterOutputText::LineInFileOf(std::int64_t line) const
{
    const std::int64_t setLine = OriginOf(line).FileLine;
    if (m_pMerged && setLine > 0)
        return m_pMerged->OriginOf(setLine - 1).FileLine;
    if (!m_pSet || setLine <= 0)
        return setLine;
    const RotatedSetText::MemberLine from = m_pSet->MemberOfLine(setLine - 1);
    return from.Member < 0 ? 0 : from.Line + 1;
}
