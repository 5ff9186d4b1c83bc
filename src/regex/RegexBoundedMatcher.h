// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string_view>

#include "regex/Regex.h"
#include "regex/RegexLinearDecider.h"
#include "regex/RegexLiveTable.h"

class RegexMatchContext;
struct RegexMatchLimits;

// How a bounded match ended. Match and NoMatch are the backtracker's own answers; TooComplex says
// the line needed more than the budget allows, so its answer is not known.
enum class RegexOutcome
{
    NoMatch,
    Match,
    TooComplex,
    OutOfMemory,
    Stopped,
};

// What one match may take before it is given up: StepsPerUnit backtracking steps per instruction
// of the program and position of the subject (its length plus two), plus MinimumSteps; a stack of
// MaxStackBytes; MaxTableBytes for the table that lets the backtracker skip dead branches.
//
// Where there is something to fall back on, the backtracker first gets only the Quick share:
// about what the linear work would cost, so that a line it cannot finish in that costs at most
// about twice what the linear work alone would.
struct RegexBudget
{
    std::uint64_t StepsPerUnit = 32;
    std::uint64_t MinimumSteps = 1'000'000;
    std::size_t MaxStackBytes = std::size_t(64) << 20;
    std::size_t MaxTableBytes = std::size_t(32) << 20;
    std::uint64_t QuickStepsPerUnit = 1;
    std::uint64_t QuickMinimumSteps = 16384;
    std::size_t QuickStackBytes = std::size_t(4) << 20;
};

// Matches a compiled expression against subjects in bounded time, with the answers of the
// unbounded backtracker (Regex::Match) wherever it gives one.
//
// The backtracker runs first, as it is fastest on ordinary lines, with a small budget when there
// is something to fall back on. For an expression without back references the fallback is
// RegexLinearDecider, linear in the line whatever the expression, so such a line is always
// decided. Otherwise the decider works out which branches cannot lead to a match, as far as no
// back reference can follow them, and the backtracker runs again skipping those, under the full
// budget: it gives the unbounded search's answer and match (groups aside, see Find). Only a line
// that still needs more is TooComplex. Used by one thread at a time.
class RegexBoundedMatcher
{
public:
    // What the last call did, for tests and benchmarks: backtracking steps, and positions the
    // linear decider went through.
    struct Work
    {
        std::uint64_t Steps = 0;
        std::uint64_t Positions = 0;
    };

    // Takes its own copy of the expression, which must have compiled. May throw std::bad_alloc.
    explicit RegexBoundedMatcher(const Regex& regex, const RegexBudget& budget = {});

    // Whether the expression matches anywhere in the subject. context is the backtracker's scratch
    // space (its match positions are meaningless afterwards). Never throws.
    RegexOutcome Matches(std::string_view subject, RegexMatchContext& context, const std::stop_token& stop = {});

    // The first match as Regex::Match finds it: on Match the context holds its start and matchEnd
    // its end, both exactly as Regex::Match gives them. The groups are Regex::Match's too, but for
    // one quirk of its loops: a loop's or optional's progress mark, set at the end of an iteration,
    // stays when a later failure backtracks into the iteration, so another way through it may pass
    // the progress check without having consumed anything. Where skipping a dead branch skipped
    // setting such a mark, the match goes the other way round to the same end and can leave a group
    // elsewhere. Never throws.
    RegexOutcome Find(std::string_view subject, RegexMatchContext& context, std::size_t& matchEnd,
                      const std::stop_token& stop = {});

    const Regex& GetRegex() const { return m_Regex; }
    const Work& GetLastWork() const { return m_LastWork; }
    // Whether a line can always be decided, never TooComplex.
    bool AlwaysDecides() const { return m_Decider && m_Decider->CanDecide(); }

private:
    RegexMatchLimits Limits(std::size_t length, bool quick) const;
    bool CanPrune(std::size_t length) const;
    RegexOutcome Backtrack(std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd,
                           const std::stop_token& stop, const RegexMatchLimits& limits);
    RegexOutcome BacktrackPruned(std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd,
                                 const std::stop_token& stop);

    Regex m_Regex;
    RegexBudget m_Budget;
    std::optional<RegexLinearDecider> m_Decider;
    RegexLiveTable m_Table;
    Work m_LastWork;
};
