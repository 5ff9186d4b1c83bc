// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/LineMatcher.h"

#include "regex/RegexMatchContext.h"
#include "regex/RegexNfa.h"

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
        if (m_nParseError != RegexErrorNone)
            return;
        m_Required = FindRequiredLiterals(m_Regex);
        // Back references and negations stay with the backtracker: their meaning depends on the
        // path the match took, which an automaton does not keep.
        if (RegexNfa::IsExact(m_Regex))
            m_Dfa.emplace(m_Regex);
        else
            m_Bounded.emplace(m_Regex);
        return;
    }
    m_Searcher.emplace(m_strPattern, m_bCaseSensitive);
    // A pattern holding a line end can only be decided on the line as the engine hands it over.
    m_Required.CaseSensitive = m_bCaseSensitive;
    if (!m_strPattern.empty() && !HoldsLineEnd(m_strPattern)) {
        m_Required.Literals.push_back(m_strPattern);
        m_Required.IsMatch = true;
    }
}

LineMatch LineMatcher::Matches(std::string_view line, RegexMatchContext& context, std::stop_token stop)
{
    if (!m_bRegExp)
        return m_Searcher->Find(line) != LiteralSearcher::npos ? LineMatch::Match : LineMatch::NoMatch;
    if (m_nParseError != RegexErrorNone)
        return LineMatch::NoMatch;
    if (m_Dfa)
        return m_Dfa->Matches(line) ? LineMatch::Match : LineMatch::NoMatch;
    switch (m_Bounded->Matches(line, context, stop)) {
    case RegexOutcome::Match:
        return LineMatch::Match;
    case RegexOutcome::OutOfMemory:
        return LineMatch::OutOfMemory;
    case RegexOutcome::TooComplex:
        return LineMatch::TooComplex;
    case RegexOutcome::NoMatch:
    case RegexOutcome::Stopped: // the run stops after this line anyway
        break;
    }
    return LineMatch::NoMatch;
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
