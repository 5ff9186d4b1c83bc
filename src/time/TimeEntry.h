// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "time/CivilTime.h"
#include "time/LineTime.h"

// A time typed to go to: a clock time ("14:05", "14:05:30"), a date and a clock time
// ("2026-12-09 14:05:30", also with 'T'), or a span back from the last line's time ("-10m",
// "-2h", "-30s", "-1d").
struct TimeEntry
{
    enum class Kind
    {
        NotATime, // nothing like a time: perhaps a line number
        Invalid,  // shaped like a time, but not one ("25:00", "-m")
        ClockTime,
        DateTime,
        BeforeLast,
    };
    Kind What = Kind::NotATime;
    CivilTime::CivilDateTime Civil; // the date only for DateTime
    std::int64_t BackMicros = 0;    // BeforeLast

    bool IsTime() const { return What == Kind::ClockTime || What == Kind::DateTime || What == Kind::BeforeLast; }
};

// Reads an entry; spaces around it are ignored.
TimeEntry ParseTimeEntry(std::string_view text);

// The time an entry stands for in a text whose first and last times are given. Clock times are
// read in the zone the first time is written in. A clock time alone is on the first time's day,
// or on the day after when that is before the first time and the day after is not past the last
// time (a log that runs over midnight).
std::int64_t ResolveTimeEntry(const TimeEntry& entry, const LineTime& first, const LineTime& last);
