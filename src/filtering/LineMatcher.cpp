// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/LineMatcher.h"

#include "regex/RegexMatchContext.h"

namespace {

bool HoldsLineEnd(std::string_view bytes)
{
    return bytes.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

LineMatcher::LineMatcher(const RunFilter& filter)
    : m_bRegExp(filter.RegExp), m_bCaseSensitive(filter.CaseSensitive), m_strPattern(filter.Pattern)
{
    if (m_bRegExp) {
        m_nParseError = m_Regex.Parse(m_strPattern, m_bCaseSensitive);
        // Every match begins with the leading literal, so lines without it need no match attempt.
        const std::string& leading = m_Regex.LeadingLiteral();
        if (m_nParseError == RegexErrorNone && !leading.empty() && !HoldsLineEnd(leading))
            m_Searcher.emplace(leading, m_Regex.IsCaseSensitive());
        return;
    }
    // A pattern holding a line end can only be decided on the line as the engine hands it over.
    if (!m_strPattern.empty() && !HoldsLineEnd(m_strPattern))
        m_Searcher.emplace(m_strPattern, m_bCaseSensitive);
    else
        m_LineSearcher.emplace(m_strPattern, m_bCaseSensitive);
}

bool LineMatcher::Matches(std::string_view line, RegexMatchContext& context, std::stop_token stop) const
{
    if (m_bRegExp)
        return m_nParseError == RegexErrorNone && m_Regex.Match(line, context, nullptr, stop);
    const LiteralSearcher& searcher = m_Searcher ? *m_Searcher : *m_LineSearcher;
    return searcher.Find(line) != LiteralSearcher::npos;
}

std::string RegexParseErrorMessage(std::int32_t code)
{
    return std::string("Regular Expression Parser Error: ") + RegexErrorText(code);
}

bool MatchRegularExpression(std::string_view line, std::string_view pattern, bool caseSensitive)
{
    Regex regex;
    if (regex.Parse(pattern, caseSensitive) != RegexErrorNone)
        return false;
    RegexMatchContext context(256);
    return regex.Match(line, context);
}

bool LineMatchesFilter(std::string_view line, std::string_view pattern, std::int32_t regExp, bool caseSensitive)
{
    if (regExp != 0)
        return MatchRegularExpression(line, pattern, caseSensitive);
    return LiteralSearcher(pattern, caseSensitive).Find(line) != LiteralSearcher::npos;
}
