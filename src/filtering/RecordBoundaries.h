// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

#include "time/LineTime.h"

// Tells which lines of a log begin a record. A record is a line with a time and the lines after
// it without one; the lines above the first time form a record of their own. The layout of the
// times is the one the file's first lines are written in; a file without a recognised time has
// every line as a record of its own.
class RecordBoundaries
{
public:
    explicit RecordBoundaries(const TimeContext& context) : m_Context(context) {}

    // Samples the start of a file, whole lines only (line feeds end them; a last line without
    // one counts when final). True once the layout is known: the sample is full, or final says
    // that no more of the file is coming before its lines are decided.
    bool DetectLayout(std::string_view text, bool final);
    bool IsLayoutKnown() const { return m_bLayoutKnown; }
    TimeLayout GetLayout() const { return m_Layout; }
    // Whether the sample held a line that was not blank (a file with lines but no time in them).
    bool SawLines() const { return m_bSawLines; }

    // Whether a line (its bytes, line end included) begins a record; firstLine: the file's first.
    bool StartsRecord(std::string_view line, bool firstLine) const
    {
        if (firstLine || m_Layout == TimeLayout::None)
            return true;
        return HasTime(line);
    }

    // The file starts anew: its layout is detected again.
    void Forget();

private:
    bool HasTime(std::string_view line) const;

    TimeContext m_Context;
    TimeLayout m_Layout = TimeLayout::None;
    bool m_bLayoutKnown = false;
    bool m_bSawLines = false;
};
