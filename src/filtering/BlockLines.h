// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <string.h>
#include <vector>

#include "filtering/LineFeedCounter.h"

// Lines inside a block of text the engine holds: where they start and end, and how many there are.

// One past the line feed that ends the line at position, or end.
inline const char* FindLineEnd(const char* position, const char* end)
{
    const void* lineFeed = std::memchr(position, '\n', static_cast<std::size_t>(end - position));
    return lineFeed ? static_cast<const char*>(lineFeed) + 1 : end;
}

// Start of the line that holds position, looking no further back than floor.
inline const char* FindLineStart(const char* floor, const char* position)
{
    if (position <= floor)
        return floor;
    const void* lineFeed = ::memrchr(floor, '\n', static_cast<std::size_t>(position - floor));
    return lineFeed ? static_cast<const char*>(lineFeed) + 1 : floor;
}

// Lines in [begin, end), where begin starts a line and end ends one (or the file).
inline std::int64_t CountLines(const char* begin, const char* end)
{
    if (begin >= end)
        return 0;
    return static_cast<std::int64_t>(CountLineFeeds(begin, static_cast<std::size_t>(end - begin))) +
           (end[-1] != '\n' ? 1 : 0);
}

// Starts of up to limit lines that end at or before from, newest first, looking no further back
// than floor (from must start a line or be the block's end).
inline void CollectLineStartsBefore(const char* floor, const char* from, std::int64_t limit,
                                    std::vector<const char*>& starts)
{
    starts.clear();
    for (const char* start = from; static_cast<std::int64_t>(starts.size()) < limit && start > floor;) {
        start = FindLineStart(floor, start - 1);
        starts.push_back(start);
    }
}
