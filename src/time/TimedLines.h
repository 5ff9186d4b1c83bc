// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "time/LineTime.h"

// The lines of a text, read one at a time by number: an editor's text, or a file through its
// line index. Only the start of a line is ever asked for.
class ILineReader
{
public:
    virtual ~ILineReader() = default;
    virtual std::int64_t GetLineCount() = 0;
    // The first bytes of the 0-based line (at least LineTimePrefixBytes of it when it is that
    // long), without its line end; empty past the end or when it cannot be read. Valid until the
    // next call.
    virtual std::string_view GetLineStart(std::int64_t line) = 0;
};

// The times of the lines of a text in one layout. A line without a time takes the time of the
// line above; lines above the first time take that first time. Reads only the lines it probes.
class TimedLines
{
public:
    struct Found
    {
        std::int64_t Line = -1; // 0-based; -1 for none
        LineTime Time;
        bool IsFound() const { return Line >= 0; }
    };

    TimedLines(ILineReader& reader, TimeLayout layout, const TimeContext& context);

    std::int64_t GetLineCount() const { return m_nLineCount; }
    // The first line in [from, limit) that has a time.
    Found FindForward(std::int64_t from, std::int64_t limit);
    // The last line in [limit, from] that has a time.
    Found FindBackward(std::int64_t from, std::int64_t limit);
    Found First() { return FindForward(0, m_nLineCount); }
    Found Last() { return FindBackward(m_nLineCount - 1, 0); }

    // The 0-based line to go to for a time: the first line at or after it (of lines of equal
    // time, the first), line 0 for a time at or before the first, the last line for a time after
    // the last; -1 when no line has a time. A binary search over the lines, each probe skipping
    // forward over lines without a time; it ends on any text, also one whose times go backwards.
    std::int64_t FindLineAtOrAfter(std::int64_t micros);

private:
    bool TimeOfLine(std::int64_t line, LineTime& time);

    ILineReader& m_Reader;
    TimeLayout m_Layout;
    TimeContext m_Context;
    std::int64_t m_nLineCount;
};
