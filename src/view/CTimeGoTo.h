// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "time/LineTime.h"

class COstrelView;
struct TimeEntry;

// Go To a time in a log view: the times of the view's lines in the layout its first lines are
// written in, and the line a typed time goes to, found by a binary search that reads only the
// lines it probes (the editor's text, or the file of a paged view through its line index).
// For the GUI thread; it reads the view's text as it is when asked.
class CTimeGoTo
{
public:
    explicit CTimeGoTo(COstrelView& view);

    // The context of the view's file: its year and month from the file's modification time, the
    // local zone's offset at that time. Without a file, the current time's.
    static TimeContext ContextForFile(const QString& path);
    // Replaces the context taken from the view's file (tests, to read without the local zone).
    void SetContext(const TimeContext& context) { m_Context = context; }

    // The layout most of the view's first lines are written in; None when they show no time.
    TimeLayout DetectLayout();
    // The 1-based line of the view a time goes to; false with the message to show when the
    // view's text has no times.
    bool FindLine(const TimeEntry& entry, std::int64_t& line, QString& message);

    static QString NoTimesMessage() { return QStringLiteral("No times were recognised in this file."); }

private:
    COstrelView& m_View;
    TimeContext m_Context;
};
