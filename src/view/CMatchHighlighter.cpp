// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CMatchHighlighter.h"

#include <algorithm>

#include "filtering/LiteralSearcher.h"
#include "view/COstrelView.h"
#include "view/FilterColours.h"

namespace {

// The editor's indicators for the filter colours: one each.
constexpr int FirstIndicator = QsciScintillaBase::INDIC_CONTAINER;
constexpr int Alpha = 90;

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
        m_View.GetEditor().DefineIndicator(FirstIndicator + static_cast<int>(i), QsciScintillaBase::INDIC_ROUNDBOX,
                                           static_cast<long>(FilterPalette[i]), Alpha, true);
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
    m_Marked.Forget();
}

void CMatchHighlighter::Refresh()
{
    COstrelView& view = m_View;
    const auto [first, last] = view.GetLinesOnScreen();
    if (m_Marked.AreMarked(first, last))
        return;
    m_Marked.MarkNew(first, last, [this](std::int64_t line) { MarkLine(line); });
}

void CMatchHighlighter::MarkLine(std::int64_t line)
{
    CEditor& editor = m_View.GetEditor();
    ++m_nLinesExamined;
    const std::int64_t start = editor.PositionFromLine(line);
    const std::int64_t end = editor.PositionFromLine(line + 1);
    const std::int64_t lineEnd = end < 0 ? editor.GetLength() : end;
    for (std::size_t i = 0; i < FilterPalette.size(); ++i) {
        editor.SetCurrentIndicator(FirstIndicator + static_cast<int>(i));
        editor.ClearIndicator(start, lineEnd - start);
    }
    if (m_Matchers.empty() || lineEnd <= start)
        return;
    const char* bytes = editor.GetRange(start, lineEnd - start);
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
        editor.SetCurrentIndicator(FirstIndicator + static_cast<int>(i % FilterPalette.size()));
        if (!matcher.RegExp) {
            for (std::size_t at = 0; at + matcher.PatternSize <= text.size();) {
                const std::size_t hit = matcher.Literal->Find(text.substr(at));
                if (hit == LiteralSearcher::npos)
                    break;
                editor.FillIndicator(start + static_cast<std::int64_t>(at + hit),
                                     static_cast<std::int64_t>(matcher.PatternSize));
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
            editor.FillIndicator(start + static_cast<std::int64_t>(matchStart),
                                 static_cast<std::int64_t>(shownEnd - matchStart));
    }
}
