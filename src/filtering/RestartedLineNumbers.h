// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

// The numbers of a followed file's lines as they are shown: wherever the file started anew
// (truncated or replaced) a marker line stands, and the lines after it count from 1 again.
class RestartedLineNumbers
{
public:
    void Clear() { m_Markers.clear(); }
    bool Empty() const { return m_Markers.empty(); }
    // A marker at a shown line (0-based), after every marker so far.
    void AddMarker(std::int64_t shownLine) { m_Markers.push_back(shownLine); }
    // The shown line of the last marker; Empty() must be false.
    std::int64_t LastMarker() const { return m_Markers.back(); }
    // The file line (1-based) a shown line (0-based) stands for; 0 for a marker line.
    std::int64_t FileLineOf(std::int64_t shownLine) const;

private:
    std::vector<std::int64_t> m_Markers;
};
