// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <limits>

#include "filtering/OutputLine.h"
#include "time/LineTime.h"
#include "time/TimeLayoutDetector.h"

// Reads the times of a run's kept lines where the run hands them over, batch by batch in file
// order, so that the window that counts them over time (KeptLineTimes) need not read them again.
// It tells the layout from the same first kept lines as KeptLineTimes does; those lines, up to
// and with the one that decides, are left unread (the receiver decides on them itself). Each
// later line gets its own time in milliseconds, or NoTime; a line without one counts at the time
// above it where the lines are counted, not here. Lines with no file line (markers) are skipped,
// as KeptLineTimes skips them.
class KeptLineTimeReader
{
public:
    // A line not read here (the sample, a marker).
    static constexpr std::int64_t Unread = std::numeric_limits<std::int64_t>::min();
    // A line read that has no time of its own.
    static constexpr std::int64_t NoTime = Unread + 1;

    explicit KeptLineTimeReader(const TimeContext& context) : m_Context(context), m_Detector(context) {}

    // Fills batch.Times, one a line, and batch.TimesLayout; leaves them empty while nothing in the
    // batch was read, and once the layout is decided as None.
    void Read(OutputBatch& batch);

    bool IsDecided() const { return m_bDecided; }
    TimeLayout GetLayout() const { return m_Layout; }

private:
    TimeContext m_Context;
    TimeLayoutDetector m_Detector;
    TimeLayout m_Layout = TimeLayout::None;
    bool m_bDecided = false;
};
