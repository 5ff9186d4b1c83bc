// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "filtering/FilterRun.h"
#include "filtering/LineMatcher.h"

struct KeptLine
{
    std::int64_t Number;
    std::string Text;
    bool IsContext;

    bool operator==(const KeptLine&) const = default;
};

// The filtering rules applied the slow, obvious way: one line at a time, every filter tried
// with LineMatchesFilter, the lines before a match held in a first-in-first-out buffer.
// The engine must keep exactly the lines this keeps.
inline std::vector<KeptLine> ReferenceFilter(const std::string& content, const FilterRun& run)
{
    std::vector<KeptLine> kept;
    std::int64_t maxBefore = 0;
    for (const RunFilter& filter : run.Filters)
        maxBefore = std::max<std::int64_t>(maxBefore, filter.OutputBeforeMatch);
    std::deque<std::string> before;
    std::int64_t number = 0;
    std::int64_t afterCount = 0;
    std::size_t matchedIndex = 0;
    for (std::size_t start = 0; start < content.size();) {
        const std::size_t lineFeed = content.find('\n', start);
        const std::size_t end = lineFeed == std::string::npos ? content.size() : lineFeed + 1;
        const std::string line = content.substr(start, end - start);
        start = end;
        ++number;
        std::string subject = line;
        if (subject.size() >= 2 && subject.compare(subject.size() - 2, 2, "\r\n") == 0)
            subject.erase(subject.size() - 2, 1);
        int matched = -1;
        for (std::size_t i = 0; i < run.Filters.size() && matched < 0; ++i) {
            const RunFilter& filter = run.Filters[i];
            if (LineMatchesFilter(subject, filter.Pattern, filter.RegExp ? 1 : 0, filter.CaseSensitive))
                matched = static_cast<int>(i);
        }
        bool afterContext = false;
        if (matched >= 0) {
            matchedIndex = static_cast<std::size_t>(matched);
            afterCount = run.Filters[matchedIndex].OutputAfterMatch;
        } else if (afterCount > 0) {
            --afterCount;
            afterContext = true;
        }
        if (run.ExcludeMatches) {
            if (matched < 0)
                kept.push_back({number, line, false});
            continue;
        }
        if (matched >= 0 || afterContext) {
            const std::int64_t wanted = run.Filters[matchedIndex].OutputBeforeMatch;
            const auto count = static_cast<std::int64_t>(before.size());
            for (std::int64_t p = 0; p < count; ++p)
                if (count - p <= wanted)
                    kept.push_back({number - (count - p), before[static_cast<std::size_t>(p)], true});
            before.clear();
            kept.push_back({number, line, matched < 0});
        } else if (maxBefore > 0) {
            if (static_cast<std::int64_t>(before.size()) == maxBefore)
                before.pop_front();
            before.push_back(line);
        }
    }
    return kept;
}
