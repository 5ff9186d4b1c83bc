// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CRuleHighlighter.h"

#include <algorithm>

#include "filtering/LiteralSearcher.h"
#include "filtering/TextCodec.h"
#include "regex/RegexInstruction.h"
#include "view/CMatchHighlighter.h"
#include "view/COstrelView.h"

namespace {

// A line with more occurrences than this shows the first ones only: a refresh stays short.
constexpr std::size_t MaxMarksPerLine = 4096;

} // namespace

CRuleHighlighter::CRuleHighlighter(COstrelView& view) : m_View(view)
{
    CEditor& editor = m_View.GetEditor();
    // Both drawn at full strength, after the filters' translucent boxes, so they stay on top.
    editor.DefineIndicator(ForeIndicator, QsciScintillaBase::INDIC_TEXTFORE, 0, 255, false);
    editor.SetIndicatorColourByValue(ForeIndicator, 255);
    editor.DefineIndicator(BackIndicator, QsciScintillaBase::INDIC_STRAIGHTBOX, 0, 255, true);
    editor.SetIndicatorColourByValue(BackIndicator, 255);
}

CRuleHighlighter::~CRuleHighlighter() = default;

int CRuleHighlighter::IndicatorValue(std::uint32_t rgb)
{
    const std::uint32_t bgr = (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
    return static_cast<int>(bgr | QsciScintillaBase::SC_INDICVALUEBIT);
}

void CRuleHighlighter::SetRules(const std::vector<HighlightRule>& rules)
{
    if (rules == m_Rules)
        return;
    m_Rules = rules;
    m_Matchers.clear();
    const TextEncoding encoding = LocaleTextEncoding();
    // The last rule is drawn first, so that the ones above it draw over it.
    for (auto rule = m_Rules.rbegin(); rule != m_Rules.rend(); ++rule) {
        const std::string pattern = encoding == TextEncoding::Utf8
                                        ? rule->Pattern
                                        : EncodeText(DecodeText(rule->Pattern, TextEncoding::Utf8), encoding);
        if (pattern.empty())
            continue;
        Matcher matcher;
        matcher.RegExp = rule->RegExp;
        matcher.Fore = IndicatorValue(rule->Fore);
        matcher.Back = IndicatorValue(rule->Back);
        if (rule->RegExp) {
            Regex expression;
            // A faulty expression marks nothing; the dialog says what is wrong with it.
            if (expression.Parse(pattern, rule->CaseSensitive) != RegexErrorNone)
                continue;
            const auto& program = expression.GetInstructions();
            matcher.Anchored = program.size() > 1 && program[1].Op == RegexOp::NoMatch;
            matcher.Expression.emplace(expression, CMatchHighlighter::ScreenBudget());
        } else {
            matcher.PatternSize = pattern.size();
            matcher.Literal = std::make_unique<LiteralSearcher>(pattern, rule->CaseSensitive);
        }
        m_Matchers.push_back(std::move(matcher));
    }
    Invalidate();
}

void CRuleHighlighter::Invalidate()
{
    m_Marked.Forget();
}

void CRuleHighlighter::Refresh()
{
    const auto [first, last] = m_View.GetLinesOnScreen();
    if (m_Marked.AreMarked(first, last))
        return;
    // With no rule and nothing marked before there is nothing to clear either.
    const bool clearOnly = m_Matchers.empty();
    if (clearOnly && m_Rules.empty() && m_nLinesExamined == 0)
        return;
    m_Marked.MarkNew(first, last, [this](std::int64_t line) { MarkLine(line); });
}

void CRuleHighlighter::MarkLine(std::int64_t line)
{
    CEditor& editor = m_View.GetEditor();
    ++m_nLinesExamined;
    const std::int64_t start = editor.PositionFromLine(line);
    const std::int64_t end = editor.PositionFromLine(line + 1);
    const std::int64_t lineEnd = end < 0 ? editor.GetLength() : end;
    for (int indicator : {ForeIndicator, BackIndicator}) {
        editor.SetCurrentIndicator(indicator);
        editor.ClearIndicator(start, lineEnd - start);
    }
    if (m_Matchers.empty() || lineEnd <= start)
        return;
    const char* bytes = editor.GetRange(start, lineEnd - start);
    if (!bytes)
        return;
    // Matched as a filter matches it: a CR LF ending reads as LF.
    m_strLine.assign(bytes, static_cast<std::size_t>(lineEnd - start));
    if (m_strLine.size() >= 2 && m_strLine[m_strLine.size() - 2] == '\r' && m_strLine.back() == '\n')
        m_strLine.erase(m_strLine.size() - 2, 1);
    const std::string_view text(m_strLine);
    // Only the line's own text is coloured, never its ending.
    std::size_t visible = text.size();
    while (visible > 0 && (text[visible - 1] == '\n' || text[visible - 1] == '\r'))
        --visible;
    for (Matcher& matcher : m_Matchers)
        MarkMatches(matcher, text, visible, start);
}

void CRuleHighlighter::MarkMatches(Matcher& matcher, std::string_view text, std::size_t visible, std::int64_t start)
{
    std::size_t marks = 0;
    if (!matcher.RegExp) {
        for (std::size_t at = 0; at + matcher.PatternSize <= visible && marks < MaxMarksPerLine; ++marks) {
            const std::size_t hit = matcher.Literal->Find(text.substr(at, visible - at));
            if (hit == LiteralSearcher::npos)
                break;
            Fill(matcher, start + static_cast<std::int64_t>(at + hit), static_cast<std::int64_t>(matcher.PatternSize));
            at += hit + matcher.PatternSize;
        }
        return;
    }
    // The language looks neither behind nor at word edges, so a match after the last one is the
    // first match of the rest of the line; only '^' ties an expression to the line's start.
    for (std::size_t at = 0; at <= text.size() && marks < MaxMarksPerLine; ++marks) {
        std::size_t matchEnd = 0;
        const RegexOutcome outcome = matcher.Expression->Find(text.substr(at), m_Context, matchEnd);
        if (outcome == RegexOutcome::TooComplex)
            ++m_nLinesTooComplex;
        if (outcome != RegexOutcome::Match)
            return;
        const std::size_t matchStart = m_Context.GetMatchStart();
        if (matchStart == RegexMatchContext::NoPosition)
            return;
        const std::size_t from = at + matchStart;
        const std::size_t to = std::min(at + matchEnd, visible);
        if (from < to)
            Fill(matcher, start + static_cast<std::int64_t>(from), static_cast<std::int64_t>(to - from));
        if (matcher.Anchored || from >= visible)
            return;
        // An empty match moves on by one byte, so the search always advances.
        at = std::max(at + matchEnd, from + 1);
    }
}

void CRuleHighlighter::Fill(const Matcher& matcher, std::int64_t start, std::int64_t length)
{
    CEditor& editor = m_View.GetEditor();
    editor.SetCurrentIndicator(BackIndicator);
    editor.SetIndicatorValue(matcher.Back);
    editor.FillIndicator(start, length);
    editor.SetCurrentIndicator(ForeIndicator);
    editor.SetIndicatorValue(matcher.Fore);
    editor.FillIndicator(start, length);
}
