// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filtering/FilterRun.h"
#include "filtering/LiteralSearcher.h"
#include "regex/Regex.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string_view>

class RegexMatchContext;

// One filter prepared for a run: a literal searcher, or an expression compiled once.
// A line is matched as the engine hands it over: its bytes with a CR LF ending read as LF.
class LineMatcher
{
public:
    explicit LineMatcher(const RunFilter& filter);

    // RegexErrorNone, or why the expression does not compile (it then matches no line).
    std::int32_t GetParseError() const { return m_nParseError; }

    // A searcher that finds, in a block of whole lines, every place where a match can begin;
    // null when every line has to be tried. For a literal filter a hit is a match.
    const LiteralSearcher* GetSearcher() const { return m_Searcher ? &*m_Searcher : nullptr; }
    bool IsSearchHitAMatch() const { return !m_bRegExp; }

    // Decides one line. context is scratch space for expressions; stop interrupts a long match.
    bool Matches(std::string_view line, RegexMatchContext& context, std::stop_token stop = {}) const;

private:
    bool m_bRegExp;
    bool m_bCaseSensitive;
    std::string m_strPattern;
    std::int32_t m_nParseError = RegexErrorNone;
    Regex m_Regex;
    std::optional<LiteralSearcher> m_Searcher;
    std::optional<LiteralSearcher> m_LineSearcher; // literal filters that only a whole-line test can decide
};

// The text shown for a faulty expression.
std::string RegexParseErrorMessage(std::int32_t code);

// The one-off forms: decide a line against a pattern without preparing anything. An expression
// that does not compile matches nothing.
bool MatchRegularExpression(std::string_view line, std::string_view pattern, bool caseSensitive);
bool LineMatchesFilter(std::string_view line, std::string_view pattern, std::int32_t regExp, bool caseSensitive);
