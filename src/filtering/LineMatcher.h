// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string_view>

#include "filtering/FilterRun.h"
#include "filtering/LiteralSearcher.h"
#include "regex/Regex.h"
#include "regex/RegexBoundedMatcher.h"
#include "regex/RegexDfa.h"
#include "regex/RequiredLiterals.h"

class RegexMatchContext;

// How a line fared against a filter. OutOfMemory: the backtracker could not grow its stack, so
// the answer is not known. TooComplex: the expression needs more work on this line than its
// budget allows (only an expression with back references), so the answer is not known either.
enum class LineMatch
{
    NoMatch,
    Match,
    OutOfMemory,
    TooComplex,
};

// One filter prepared for a run: a literal searcher, or an expression compiled once.
// A line is matched as the engine hands it over: its bytes with a CR LF ending read as LF.
//
// An expression without back references and negations is decided by a lazily built automaton
// in one pass over the line (RegexDfa); the others go to the backtracker under a budget, with a
// linear fallback where there is one (RegexBoundedMatcher). Either way the filter names the
// literals a line must hold to match, so that the engine can skip the lines without.
// Used by one thread at a time: the automaton fills its cache as lines need it.
class LineMatcher
{
public:
    explicit LineMatcher(const RunFilter& filter);

    // RegexErrorNone, or why the expression does not compile (it then matches no line).
    std::int32_t GetParseError() const { return m_nParseError; }

    // Literals at least one of which every matching line holds; empty when every line has to be
    // tried. For a literal filter it is the pattern itself, and a line holding it matches.
    const RequiredLiterals& GetRequiredLiterals() const { return m_Required; }

    // Decides one line. context is scratch space for the backtracker; stop interrupts a long match.
    LineMatch Matches(std::string_view line, RegexMatchContext& context, std::stop_token stop = {});

private:
    bool m_bRegExp;
    bool m_bCaseSensitive;
    std::string m_strPattern;
    std::int32_t m_nParseError = RegexErrorNone;
    Regex m_Regex;
    std::optional<RegexDfa> m_Dfa;
    std::optional<RegexBoundedMatcher> m_Bounded;
    RequiredLiterals m_Required;
    std::optional<LiteralSearcher> m_Searcher;
};

// The text shown for a faulty expression.
std::string RegexParseErrorMessage(std::int32_t code);

// The one-off forms: decide a line against a pattern without preparing anything, with the
// backtracker and no budget (slow, but the plain definition). An expression that does not
// compile matches nothing.
bool MatchRegularExpression(std::string_view line, std::string_view pattern, bool caseSensitive);
bool LineMatchesFilter(std::string_view line, std::string_view pattern, std::int32_t regExp, bool caseSensitive);
