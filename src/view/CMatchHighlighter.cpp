// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CMatchHighlighter.h"

#include <algorithm>

#include "filtering/LiteralSearcher.h"
#include "view/COstrelView.h"
#include "view/FilterColours.h"

namespace {

// The editor's indicators for the filter colours: one each.
constexpr int FirstIndicator = QsciScintillaBase::INDIC_CONTAINER;
constexpr long Alpha = 90;

unsigned long ToWParam(std::int64_t value)
{
    return static_cast<unsigned long>(value);
}

bool SameFilters(const std::vector<RunFilter>& a, const std::vector<RunFilter>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const RunFilter& x, const RunFilter& y) {
        return x.Pattern == y.Pattern && x.RegExp == y.RegExp && x.CaseSensitive == y.CaseSensitive;
    });
}

} // namespace

CMatchHighlighter::CMatchHighlighter(COstrelView& view) : m_View(view)
{
    DefineIndicators();
}

CMatchHighlighter::~CMatchHighlighter() = default;

RegexBudget CMatchHighlighter::ScreenBudget()
{
    // A few milliseconds for an ordinary line; more only for a long one, in proportion.
    RegexBudget budget;
    budget.StepsPerUnit = 8;
    budget.MinimumSteps = 200'000;
    budget.MaxStackBytes = std::size_t(16) << 20;
    budget.MaxTableBytes = std::size_t(8) << 20;
    return budget;
}

void CMatchHighlighter::DefineIndicators()
{
    for (std::size_t i = 0; i < FilterPalette.size(); ++i) {
        const auto indicator = static_cast<unsigned long>(FirstIndicator + static_cast<int>(i));
        m_View.SendScintilla(QsciScintillaBase::SCI_INDICSETSTYLE, indicator,
                             static_cast<long>(QsciScintillaBase::INDIC_ROUNDBOX));
        m_View.SendScintilla(QsciScintillaBase::SCI_INDICSETFORE, indicator, static_cast<long>(FilterPalette[i]));
        m_View.SendScintilla(QsciScintillaBase::SCI_INDICSETALPHA, indicator, Alpha);
        m_View.SendScintilla(QsciScintillaBase::SCI_INDICSETUNDER, indicator, 1L);
    }
}

void CMatchHighlighter::SetFilters(const FilterRun& filters)
{
    if (SameFilters(filters.Filters, m_Filters))
        return;
    m_Filters = filters.Filters;
    m_Matchers.clear();
    m_Matchers.resize(m_Filters.size());
    for (std::size_t i = 0; i < m_Filters.size(); ++i) {
        const RunFilter& filter = m_Filters[i];
        Matcher& matcher = m_Matchers[i];
        matcher.RegExp = filter.RegExp;
        if (filter.RegExp) {
            Regex expression;
            matcher.Valid = expression.Parse(filter.Pattern, filter.CaseSensitive) == RegexErrorNone;
            if (matcher.Valid)
                matcher.Expression.emplace(expression, ScreenBudget());
        } else {
            matcher.Valid = !filter.Pattern.empty();
            matcher.PatternSize = filter.Pattern.size();
            if (matcher.Valid)
                matcher.Literal = std::make_unique<LiteralSearcher>(filter.Pattern, filter.CaseSensitive);
        }
    }
    Invalidate();
}

void CMatchHighlighter::Invalidate()
{
    m_nMarkedFirst = m_nMarkedLast = -1;
}

void CMatchHighlighter::Refresh()
{
    COstrelView& view = m_View;
    const auto [first, last] = view.GetLinesOnScreen();
    if (first == m_nMarkedFirst && last == m_nMarkedLast)
        return;
    // Lines marked before and still on screen keep their marks; the others are marked afresh.
    for (std::int64_t line = first; line <= last; ++line)
        if (m_nMarkedFirst < 0 || line < m_nMarkedFirst || line > m_nMarkedLast)
            MarkLine(line);
    m_nMarkedFirst = first;
    m_nMarkedLast = last;
}

void CMatchHighlighter::MarkLine(std::int64_t line)
{
    COstrelView& view = m_View;
    ++m_nLinesExamined;
    const std::int64_t start = view.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, ToWParam(line));
    const std::int64_t end = view.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, ToWParam(line + 1));
    const std::int64_t lineEnd = end < 0 ? view.SendScintilla(QsciScintillaBase::SCI_GETLENGTH) : end;
    for (std::size_t i = 0; i < FilterPalette.size(); ++i) {
        view.SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT,
                           static_cast<unsigned long>(FirstIndicator + static_cast<int>(i)));
        view.SendScintilla(QsciScintillaBase::SCI_INDICATORCLEARRANGE, ToWParam(start),
                           static_cast<long>(lineEnd - start));
    }
    if (m_Matchers.empty() || lineEnd <= start)
        return;
    const auto* bytes = reinterpret_cast<const char*>(view.SendScintilla(
        QsciScintillaBase::SCI_GETRANGEPOINTER, ToWParam(start), static_cast<long>(lineEnd - start)));
    if (!bytes)
        return;
    // Matched as a run matches it: a CR LF ending reads as LF.
    m_strLine.assign(bytes, static_cast<std::size_t>(lineEnd - start));
    if (m_strLine.size() >= 2 && m_strLine[m_strLine.size() - 2] == '\r' && m_strLine.back() == '\n')
        m_strLine.erase(m_strLine.size() - 2, 1);
    const std::string_view text(m_strLine);
    const std::size_t visible = std::min<std::size_t>(text.size(), static_cast<std::size_t>(lineEnd - start));
    for (std::size_t i = 0; i < m_Matchers.size(); ++i) {
        Matcher& matcher = m_Matchers[i];
        if (!matcher.Valid)
            continue;
        view.SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT,
                           static_cast<unsigned long>(FirstIndicator + static_cast<int>(i % FilterPalette.size())));
        if (!matcher.RegExp) {
            for (std::size_t at = 0; at + matcher.PatternSize <= text.size();) {
                const std::size_t hit = matcher.Literal->Find(text.substr(at));
                if (hit == LiteralSearcher::npos)
                    break;
                view.SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE,
                                   ToWParam(start + static_cast<std::int64_t>(at + hit)),
                                   static_cast<long>(matcher.PatternSize));
                at += hit + matcher.PatternSize;
            }
            continue;
        }
        std::size_t matchEnd = 0;
        const RegexOutcome outcome = matcher.Expression->Find(text, m_Context, matchEnd);
        if (outcome == RegexOutcome::TooComplex)
            ++m_nLinesTooComplex;
        if (outcome != RegexOutcome::Match)
            continue;
        const std::size_t matchStart = m_Context.GetMatchStart();
        // A match of the line end alone, or of nothing, has nothing to show.
        const std::size_t shownEnd = std::min(matchEnd, visible);
        if (matchStart < shownEnd && matchStart != RegexMatchContext::NoPosition)
            view.SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE,
                               ToWParam(start + static_cast<std::int64_t>(matchStart)),
                               static_cast<long>(shownEnd - matchStart));
    }
}
