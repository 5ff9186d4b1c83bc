// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/LineTime.h"

#include <cstring>

#include "time/CivilTime.h"

using CivilTime::CivilDateTime;

namespace {

// How far into a line a time may start after a prefix such as "INFO " or "<13>".
constexpr std::size_t PrefixBytes = 48;
// The common log's bracket comes after the host, identity and user fields.
constexpr std::size_t CommonLogPrefixBytes = 160;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A cursor over the bytes of one line: every read checks the end first.
struct Cursor
{
    const char* p;
    const char* end;

    bool AtEnd() const { return p >= end; }
    bool Peek(char c) const { return p < end && *p == c; }
    bool NextIsDigit() const { return p < end && IsDigit(*p); }
    bool Take(char c)
    {
        if (!Peek(c))
            return false;
        ++p;
        return true;
    }
    // Exactly `count` digits.
    bool Number(int count, int& value)
    {
        if (end - p < count)
            return false;
        int result = 0;
        for (int i = 0; i < count; ++i) {
            if (!IsDigit(p[i]))
                return false;
            result = result * 10 + (p[i] - '0');
        }
        p += count;
        value = result;
        return true;
    }
    // A fraction of a second after its separator: the first six digits, the rest skipped.
    int Fraction()
    {
        int micro = 0;
        int scale = 100000;
        while (NextIsDigit()) {
            micro += (*p - '0') * scale;
            scale /= 10;
            ++p;
        }
        return micro;
    }
    // The time of day "HH:MM:SS" with an optional fraction after '.' or ','.
    bool TimeOfDay(CivilDateTime& time)
    {
        if (!Number(2, time.Hour) || !Take(':') || !Number(2, time.Minute) || !Take(':') || !Number(2, time.Second))
            return false;
        if ((Peek('.') || Peek(',')) && p + 1 < end && IsDigit(p[1])) {
            ++p;
            time.Micro = Fraction();
        }
        return true;
    }
    // "+01:00", "+0100", "+01", "-05:30" east of UTC in seconds.
    bool Offset(std::int32_t& seconds)
    {
        if (!Peek('+') && !Peek('-'))
            return false;
        const bool west = *p == '-';
        const char* start = p++;
        int hours = 0;
        int minutes = 0;
        if (!Number(2, hours)) {
            p = start;
            return false;
        }
        const char* afterHours = p;
        const bool colon = Take(':');
        if (!Number(2, minutes)) {
            p = colon ? afterHours : p;
            minutes = 0;
        }
        if (hours > 23 || minutes > 59 || NextIsDigit()) {
            p = start;
            return false;
        }
        seconds = (hours * 3600 + minutes * 60) * (west ? -1 : 1);
        return true;
    }
};

// The time as UTC, given the offset of the zone it is written in; false when a field is out of range.
bool Finish(const CivilDateTime& civil, std::int32_t offsetSeconds, LineTime& time)
{
    if (!CivilTime::IsValid(civil))
        return false;
    time.Micros = CivilTime::MicrosFromCivil(civil) - static_cast<std::int64_t>(offsetSeconds) * 1000000;
    time.OffsetSeconds = offsetSeconds;
    return true;
}

bool ParseIso(Cursor c, const TimeContext& context, LineTime& time)
{
    CivilDateTime civil;
    if (!c.Number(4, civil.Year) || !c.Take('-') || !c.Number(2, civil.Month) || !c.Take('-') ||
        !c.Number(2, civil.Day))
        return false;
    if (!c.Take('T') && !c.Take('t') && !c.Take(' '))
        return false;
    if (!c.TimeOfDay(civil) || c.NextIsDigit())
        return false;
    std::int32_t offset = context.LocalOffsetSeconds;
    if (c.Take('Z') || c.Take('z')) {
        offset = 0;
    } else if (!c.Offset(offset) && c.Peek(' ')) {
        // "21:01:12 +0100": a zone after a space, but only one that is a whole zone.
        Cursor zone{c.p + 1, c.end};
        if (!zone.Offset(offset) || zone.p - c.p < 6)
            offset = context.LocalOffsetSeconds;
    }
    return Finish(civil, offset, time);
}

bool ParseSyslog(Cursor c, const TimeContext& context, LineTime& time)
{
    CivilDateTime civil;
    if (c.end - c.p < 4 || c.p[3] != ' ')
        return false;
    civil.Month = CivilTime::MonthFromName(c.p);
    if (civil.Month == 0)
        return false;
    c.p += 4;
    // The day: " 9", "09" or "9".
    if (c.Take(' ') || !c.Number(2, civil.Day)) {
        if (!c.Number(1, civil.Day))
            return false;
    }
    if (!c.Take(' ') || !c.TimeOfDay(civil) || c.NextIsDigit())
        return false;
    civil.Year = civil.Month > context.LatestMonth ? context.Year - 1 : context.Year;
    return Finish(civil, context.LocalOffsetSeconds, time);
}

bool ParseKlog(Cursor c, const TimeContext& context, LineTime& time)
{
    if (c.AtEnd() || (*c.p != 'I' && *c.p != 'W' && *c.p != 'E' && *c.p != 'F'))
        return false;
    ++c.p;
    CivilDateTime civil;
    if (!c.Number(2, civil.Month) || !c.Number(2, civil.Day) || !c.Take(' ') || !c.TimeOfDay(civil) || c.NextIsDigit())
        return false;
    civil.Year = civil.Month > context.LatestMonth ? context.Year - 1 : context.Year;
    return Finish(civil, context.LocalOffsetSeconds, time);
}

// "09/Dec/2026:21:01:12 +0000" just after its bracket.
bool ParseCommonLogTime(Cursor c, const TimeContext& context, LineTime& time)
{
    CivilDateTime civil;
    if (!c.Number(2, civil.Day) || !c.Take('/') || c.end - c.p < 4 || c.p[3] != '/')
        return false;
    civil.Month = CivilTime::MonthFromName(c.p);
    if (civil.Month == 0)
        return false;
    c.p += 4;
    if (!c.Number(4, civil.Year) || !c.Take(':') || !c.TimeOfDay(civil) || c.NextIsDigit())
        return false;
    std::int32_t offset = context.LocalOffsetSeconds;
    if (c.Take(' ') && !c.Offset(offset))
        offset = context.LocalOffsetSeconds;
    return Finish(civil, offset, time);
}

bool ParseCommonLog(std::string_view line, const TimeContext& context, LineTime& time)
{
    const std::size_t window = line.size() < CommonLogPrefixBytes ? line.size() : CommonLogPrefixBytes;
    const char* end = line.data() + line.size();
    const char* p = line.data();
    const char* const limit = line.data() + window;
    while (p < limit) {
        const auto* bracket = static_cast<const char*>(std::memchr(p, '[', static_cast<std::size_t>(limit - p)));
        if (bracket == nullptr)
            return false;
        if (ParseCommonLogTime(Cursor{bracket + 1, end}, context, time))
            return true;
        p = bracket + 1;
    }
    return false;
}

// Ten digits (seconds, with an optional fraction) or thirteen (milliseconds) at the start of
// the line, or just inside a bracket there; never a number further in, which is more likely an id.
bool ParseEpoch(std::string_view line, int digits, LineTime& time)
{
    Cursor c{line.data(), line.data() + line.size()};
    c.Take('[');
    const char* start = c.p;
    std::int64_t value = 0;
    while (c.NextIsDigit() && c.p - start <= digits) {
        value = value * 10 + (*c.p - '0');
        ++c.p;
    }
    if (c.p - start != digits || c.NextIsDigit())
        return false;
    if (digits == 10) {
        int micro = 0;
        if (c.Peek('.') && c.p + 1 < c.end && IsDigit(c.p[1])) {
            ++c.p;
            micro = c.Fraction();
        }
        time.Micros = value * 1000000 + micro;
    } else {
        time.Micros = value * 1000;
    }
    return true;
}

// Where a time may begin after a prefix: the start, and after a separator within the first bytes.
bool IsSeparator(char c)
{
    switch (c) {
    case ' ':
    case '\t':
    case '[':
    case '(':
    case '<':
    case '>':
    case '{':
    case '"':
    case '\'':
    case '=':
    case '|':
    case ',':
        return true;
    default:
        return false;
    }
}

template <typename Parser> bool ParseAtCandidates(std::string_view line, Parser parse)
{
    const char* end = line.data() + line.size();
    if (parse(Cursor{line.data(), end}))
        return true;
    const std::size_t window = line.size() < PrefixBytes ? line.size() : PrefixBytes;
    for (std::size_t i = 0; i + 1 < window; ++i) {
        if (IsSeparator(line[i]) && !IsSeparator(line[i + 1]) && parse(Cursor{line.data() + i + 1, end}))
            return true;
    }
    return false;
}

} // namespace

std::string_view TimeLayoutName(TimeLayout layout)
{
    switch (layout) {
    case TimeLayout::Iso8601:
        return "ISO 8601";
    case TimeLayout::Syslog:
        return "syslog";
    case TimeLayout::CommonLog:
        return "common log";
    case TimeLayout::Klog:
        return "klog";
    case TimeLayout::EpochSeconds:
        return "epoch seconds";
    case TimeLayout::EpochMilliseconds:
        return "epoch milliseconds";
    case TimeLayout::None:
        break;
    }
    return {};
}

bool ParseLineTime(TimeLayout layout, std::string_view line, const TimeContext& context, LineTime& time)
{
    // A byte order mark before the first line.
    if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.remove_prefix(3);
    if (line.size() > LineTimePrefixBytes)
        line = line.substr(0, LineTimePrefixBytes);
    switch (layout) {
    case TimeLayout::Iso8601:
        return ParseAtCandidates(line, [&](Cursor c) { return ParseIso(c, context, time); });
    case TimeLayout::Syslog:
        return ParseAtCandidates(line, [&](Cursor c) { return ParseSyslog(c, context, time); });
    case TimeLayout::Klog:
        return ParseAtCandidates(line, [&](Cursor c) { return ParseKlog(c, context, time); });
    case TimeLayout::CommonLog:
        return ParseCommonLog(line, context, time);
    case TimeLayout::EpochSeconds:
    case TimeLayout::EpochMilliseconds:
        if (!ParseEpoch(line, layout == TimeLayout::EpochSeconds ? 10 : 13, time))
            return false;
        time.OffsetSeconds = context.LocalOffsetSeconds;
        return true;
    case TimeLayout::None:
        break;
    }
    return false;
}
