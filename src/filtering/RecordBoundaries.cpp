// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/RecordBoundaries.h"

#include "time/TimeLayoutDetector.h"

namespace {

// A start of a file this long decides the layout even when it holds fewer lines than a full
// sample (mostly blank ones, say): the lines after it are not held back any longer.
constexpr std::size_t MaxSampleBytes = 1024 * 1024;

} // namespace

bool RecordBoundaries::DetectLayout(std::string_view text, bool final)
{
    if (m_bLayoutKnown)
        return true;
    if (!final) {
        // A line cut off by the end of what was read so far is not sampled yet.
        const std::size_t lastLineFeed = text.rfind('\n');
        text = lastLineFeed == std::string_view::npos ? std::string_view() : text.substr(0, lastLineFeed + 1);
    }
    // Sampled from the start each time, so that lines seen in an earlier attempt count once.
    TimeLayoutDetector detector(m_Context);
    detector.AddText(text);
    if (!final && detector.GetSampledLines() < TimeLayoutDetector::SampleLines && text.size() < MaxSampleBytes)
        return false;
    m_Layout = detector.GetLayout();
    m_bSawLines = detector.GetSampledLines() > 0;
    m_bLayoutKnown = true;
    return true;
}

bool RecordBoundaries::HasTime(std::string_view line) const
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    LineTime time;
    return ParseLineTime(m_Layout, line, m_Context, time);
}

void RecordBoundaries::Forget()
{
    m_Layout = TimeLayout::None;
    m_bLayoutKnown = false;
    m_bSawLines = false;
}
