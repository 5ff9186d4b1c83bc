// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// The lines of a text, each with its line feed, and what follows the last line feed (empty when
// the text ends with one): as many as an editor counts.
inline std::vector<std::string> SplitKeepingLineEnds(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t feed; (feed = text.find('\n', start)) != std::string::npos; start = feed + 1)
        lines.push_back(text.substr(start, feed + 1 - start));
    lines.push_back(text.substr(start));
    return lines;
}
