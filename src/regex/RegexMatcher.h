// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <stop_token>
#include <string_view>

class Regex;
class RegexLiveTable;
class RegexMatchContext;

// What one backtracking match may take, and what it may skip. Running past MaxSteps executed
// instructions or a stack of MaxStackEntries ends the match with false and the context's
// ExhaustedBudget set. With a live table, a Fork's first branch is skipped where the table says
// it cannot lead to a match: the match then gives the same answer, start and end, sooner (the
// groups may differ where a loop reads a progress mark the skipped branch would have left; see
// RegexBoundedMatcher::Find).
struct RegexMatchLimits
{
    std::uint64_t MaxSteps = std::numeric_limits<std::uint64_t>::max();
    std::size_t MaxStackEntries = std::numeric_limits<std::size_t>::max();
    const RegexLiveTable* Live = nullptr; // filled for this very subject, or null
};

// The backtracking interpreter behind Regex::Match: one position, one instruction index and the
// context's explicit stack. Attempts start at position 0, 1, 2 and so on; the first attempt that
// reaches Succeed wins.
class RegexMatcher
{
public:
    // See Regex::Match; the limits as above. Never throws: a failed allocation, a stop request or
    // an exhausted budget ends with false.
    static bool Match(const Regex& regex, std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd,
                      const std::stop_token& stop, const RegexMatchLimits& limits = {});

private:
    template <bool FoldCase, bool Prunes>
    static bool Run(const Regex& regex, std::string_view subject, RegexMatchContext& context,
                    const std::stop_token& stop, const RegexMatchLimits& limits, std::size_t& finalPosition);

    static std::size_t* GrowStack(RegexMatchContext& context, std::size_t depth, std::size_t maxEntries);
};
