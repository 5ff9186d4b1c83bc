// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filtering/FilterRun.h"
#include "regex/RegexBoundedMatcher.h"
#include "regex/RegexMatchContext.h"
#include "view/MarkedScreenLines.h"

class COstrelView;
class LiteralSearcher;

// Marks in the lines on screen the text that the document's filters match: every occurrence of
// a literal filter, the first match of an expression filter, each in its filter's colour. Only
// the screen is looked at, so a view of any size costs only its screen. Expressions match under
// a tight budget, since this runs on the GUI thread: a line an expression is too complex for is
// left unmarked by it.
class CMatchHighlighter
{
public:
    explicit CMatchHighlighter(COstrelView& view);
    ~CMatchHighlighter();

    // The filters to mark; nothing changes when they are the ones already marked.
    void SetFilters(const FilterRun& filters);
    // Marks the lines on screen; call after scrolling or new text.
    void Refresh();
    // The text changed under the marks: all of them go at the next Refresh.
    void Invalidate();
    // Editor lines looked at so far, for tests of what a refresh costs.
    std::int64_t GetLinesExamined() const { return m_nLinesExamined; }
    // Lines an expression was too complex for and left unmarked, for tests.
    std::int64_t GetLinesTooComplex() const { return m_nLinesTooComplex; }

    // What an expression may take on one line here.
    static RegexBudget ScreenBudget();

private:
    struct Matcher
    {
        bool RegExp = false;
        std::unique_ptr<LiteralSearcher> Literal;
        std::optional<RegexBoundedMatcher> Expression;
        bool Valid = false;
        std::size_t PatternSize = 0;
    };

    void DefineIndicators();
    void MarkLine(std::int64_t line);

    COstrelView& m_View;
    std::vector<RunFilter> m_Filters;
    std::vector<Matcher> m_Matchers;
    RegexMatchContext m_Context;
    std::string m_strLine;
    MarkedScreenLines m_Marked;
    std::int64_t m_nLinesExamined = 0;
    std::int64_t m_nLinesTooComplex = 0;
};
