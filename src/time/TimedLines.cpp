// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/TimedLines.h"

TimedLines::TimedLines(ILineReader& reader, TimeLayout layout, const TimeContext& context)
    : m_Reader(reader), m_Layout(layout), m_Context(context), m_nLineCount(reader.GetLineCount())
{}

bool TimedLines::TimeOfLine(std::int64_t line, LineTime& time)
{
    return ParseLineTime(m_Layout, m_Reader.GetLineStart(line), m_Context, time);
}

TimedLines::Found TimedLines::FindForward(std::int64_t from, std::int64_t limit)
{
    Found found;
    for (std::int64_t line = from < 0 ? 0 : from; line < limit && line < m_nLineCount; ++line) {
        if (TimeOfLine(line, found.Time)) {
            found.Line = line;
            return found;
        }
    }
    return found;
}

TimedLines::Found TimedLines::FindBackward(std::int64_t from, std::int64_t limit)
{
    Found found;
    for (std::int64_t line = from < m_nLineCount ? from : m_nLineCount - 1; line >= limit && line >= 0; --line) {
        if (TimeOfLine(line, found.Time)) {
            found.Line = line;
            return found;
        }
    }
    return found;
}

std::int64_t TimedLines::FindLineAtOrAfter(std::int64_t micros)
{
    const Found first = First();
    if (!first.IsFound())
        return -1;
    if (micros <= first.Time.Micros)
        return 0;
    // The first timed line at or after the time lies in [low, high) or is `best`. Every step
    // shrinks the range, whatever the times probed are.
    std::int64_t low = first.Line + 1;
    std::int64_t high = m_nLineCount;
    std::int64_t best = -1;
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        const Found probe = FindForward(middle, high);
        if (!probe.IsFound()) {
            high = middle;
        } else if (probe.Time.Micros < micros) {
            low = probe.Line + 1;
        } else {
            best = probe.Line;
            high = probe.Line;
        }
    }
    return best >= 0 ? best : m_nLineCount - 1;
}
