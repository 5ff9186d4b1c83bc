// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filtering/HighlightRules.h"
#include "regex/RegexBoundedMatcher.h"
#include "regex/RegexMatchContext.h"
#include "view/MarkedScreenLines.h"

class COstrelView;
class LiteralSearcher;

// Colours in the lines on screen every occurrence of the workspace's highlight rules, in each
// rule's text and background colour, over the marks of the filters' matches. Where rules
// overlap, the one higher in the list wins. Like the filters' marks it looks at the screen only
// and matches expressions under a tight budget on the GUI thread: a line an expression is too
// complex for is left unmarked by it.
class CRuleHighlighter
{
public:
    // The editor's indicators: one for the text colour, one for the background; each range's
    // value is its colour.
    static constexpr int ForeIndicator = 20;
    static constexpr int BackIndicator = 21;

    explicit CRuleHighlighter(COstrelView& view);
    ~CRuleHighlighter();

    // The rules to mark; nothing changes when they are the ones already marked.
    void SetRules(const std::vector<HighlightRule>& rules);
    // Marks the lines on screen; call after scrolling or new text.
    void Refresh();
    // The text changed under the marks: all of them go at the next Refresh.
    void Invalidate();

    // Editor lines looked at, and lines an expression was too complex for, for tests.
    std::int64_t GetLinesExamined() const { return m_nLinesExamined; }
    std::int64_t GetLinesTooComplex() const { return m_nLinesTooComplex; }

    // The value an indicator range of these colours holds (0x00RRGGBB as the editor has it).
    static int IndicatorValue(std::uint32_t rgb);

private:
    struct Matcher
    {
        bool RegExp = false;
        bool Anchored = false;
        std::unique_ptr<LiteralSearcher> Literal;
        std::optional<RegexBoundedMatcher> Expression;
        std::size_t PatternSize = 0;
        int Fore = 0;
        int Back = 0;
    };

    void MarkLine(std::int64_t line);
    void MarkMatches(Matcher& matcher, std::string_view text, std::size_t visible, std::int64_t start);
    void Fill(const Matcher& matcher, std::int64_t start, std::int64_t length);

    COstrelView& m_View;
    std::vector<HighlightRule> m_Rules;
    std::vector<Matcher> m_Matchers; // the rules that compiled, last rule first
    RegexMatchContext m_Context;
    std::string m_strLine;
    MarkedScreenLines m_Marked;
    std::int64_t m_nLinesExamined = 0;
    std::int64_t m_nLinesTooComplex = 0;
};
