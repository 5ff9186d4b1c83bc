// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

// The layouts of a time at the start of a log line that are recognised.
enum class TimeLayout
{
    None,
    Iso8601,           // 2026-12-09T21:01:12.345Z, 2026-12-09 21:01:12,345 +01:00
    Syslog,            // Dec  9 21:01:12 (no year)
    CommonLog,         // host - user [09/Dec/2026:21:01:12 +0000] (web servers' access logs)
    Klog,              // I1209 21:01:12.345678 (no year)
    EpochSeconds,      // 1765314072 or 1765314072.345, ten digits
    EpochMilliseconds, // 1765314072345, thirteen digits
};

// Every layout that can be recognised, in the order a tie in detection prefers.
inline constexpr TimeLayout RecognisedTimeLayouts[] = {TimeLayout::Iso8601,      TimeLayout::Syslog,
                                                       TimeLayout::CommonLog,    TimeLayout::Klog,
                                                       TimeLayout::EpochSeconds, TimeLayout::EpochMilliseconds};

// What a line's time is read against: the year of layouts that write none, and the zone of times
// written without one.
struct TimeContext
{
    // Lines without a year get this one, or the year before when their month comes after
    // LatestMonth (a log that began in December of a file last written in January).
    int Year = 1970;
    int LatestMonth = 12;
    // East of UTC, in seconds: the local zone that times without a zone are written in.
    std::int32_t LocalOffsetSeconds = 0;
};

// A line's time: microseconds since the epoch, UTC, and the offset of the zone it was written in
// (the local one when the line names none), so that the clock time the line shows can be found.
struct LineTime
{
    std::int64_t Micros = 0;
    std::int32_t OffsetSeconds = 0;
};

// The name a user sees: "ISO 8601", "syslog", "common log", "klog", "epoch seconds", "epoch
// milliseconds"; empty for None.
std::string_view TimeLayoutName(TimeLayout layout);

// The longest start of a line that ParseLineTime looks at: the time must begin within it.
constexpr std::size_t LineTimePrefixBytes = 256;

// Reads the time of one line (its bytes without the line end) in the given layout: at the start,
// after a short prefix (a level word, a bracket, a syslog priority), or for the common log after
// the host and user fields. Looks only at the bytes of the line, allocates nothing and is safe
// from any thread. False when the line holds no valid time in that layout.
bool ParseLineTime(TimeLayout layout, std::string_view line, const TimeContext& context, LineTime& time);

// The line without its line end (LF or CR LF), as ParseLineTime takes it.
inline std::string_view LineWithoutEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}
