// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/TimeLayoutDetector.h"

bool TimeLayoutDetector::AddLine(std::string_view line)
{
    if (m_nSampled >= SampleLines)
        return false;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos)
        return true;
    ++m_nSampled;
    LineTime time;
    for (std::size_t i = 0; i < std::size(RecognisedTimeLayouts); ++i) {
        if (ParseLineTime(RecognisedTimeLayouts[i], line, m_Context, time))
            ++m_Counts[i];
    }
    return m_nSampled < SampleLines;
}

void TimeLayoutDetector::AddText(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!AddLine(line) || end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

TimeLayout TimeLayoutDetector::GetLayout() const
{
    int best = 0;
    TimeLayout layout = TimeLayout::None;
    for (std::size_t i = 0; i < std::size(RecognisedTimeLayouts); ++i) {
        if (m_Counts[i] > best) {
            best = m_Counts[i];
            layout = RecognisedTimeLayouts[i];
        }
    }
    return layout;
}
