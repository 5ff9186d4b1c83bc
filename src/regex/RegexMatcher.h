// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <stop_token>
#include <string_view>

class Regex;
class RegexMatchContext;

// The backtracking interpreter behind Regex::Match: one position, one instruction index and the
// context's explicit stack. Attempts start at position 0, 1, 2 and so on; the first attempt that
// reaches Succeed wins.
class RegexMatcher
{
public:
    // See Regex::Match. Never throws: a failed allocation or a stop request ends with false.
    static bool Match(const Regex& regex, std::string_view subject, RegexMatchContext& context, std::size_t* matchEnd,
                      const std::stop_token& stop);

private:
    template <bool FoldCase>
    static bool Run(const Regex& regex, std::string_view subject, RegexMatchContext& context,
                    const std::stop_token& stop, std::size_t& finalPosition);

    static std::size_t* GrowStack(RegexMatchContext& context, std::size_t depth);
};
