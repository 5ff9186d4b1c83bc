// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

#include "time/LineTime.h"

// Tells which layout the times of a file are written in from its first lines.
class TimeLayoutDetector
{
public:
    // How many non-empty lines decide.
    static constexpr int SampleLines = 100;

    explicit TimeLayoutDetector(const TimeContext& context) : m_Context(context) {}

    // Counts the layouts one line parses with (its bytes without the line end); empty lines and
    // lines past the sample are not counted. False once the sample is full.
    bool AddLine(std::string_view line);
    // Feeds the lines of the start of a text (line feeds end them, a carriage return before one
    // is dropped) until the sample is full; a last line cut off by the end of `text` counts too.
    void AddText(std::string_view text);

    // The layout most sampled lines parse with; the earlier of RecognisedTimeLayouts on a tie;
    // None when no line has a time.
    TimeLayout GetLayout() const;
    int GetSampledLines() const { return m_nSampled; }

private:
    TimeContext m_Context;
    int m_nSampled = 0;
    int m_Counts[std::size(RecognisedTimeLayouts)] = {};
};
