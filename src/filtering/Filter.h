// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// One rule that selects lines of a log file. Text is held as UTF-16 code units, like the
// strings the user types; the engine encodes it to the view's bytes before matching.
struct Filter
{
    bool CaseSensitive = false;
    std::int32_t RegExp = 0;            // any nonzero value marks a regular expression; kept as given
    std::int32_t OutputBeforeMatch = 0; // lines before a match that are output with it
    std::int32_t OutputAfterMatch = 0;  // lines after a match that are output with it
    std::u16string FilterString;
    bool Enabled = true; // a switched-off filter stays in its list but takes no part in a run

    bool operator==(const Filter&) const = default;
};
