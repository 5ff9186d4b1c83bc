// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/TimeEntry.h"

namespace {

using CivilTime::MicrosPerDay;
using CivilTime::MicrosPerSecond;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Between minDigits and maxDigits digits from `at`, not followed by another digit.
bool ReadNumber(std::string_view text, std::size_t& at, std::size_t minDigits, std::size_t maxDigits, int& value)
{
    std::size_t count = 0;
    int result = 0;
    while (at + count < text.size() && count < maxDigits && IsDigit(text[at + count])) {
        result = result * 10 + (text[at + count] - '0');
        ++count;
    }
    if (count < minDigits || (at + count < text.size() && IsDigit(text[at + count])))
        return false;
    at += count;
    value = result;
    return true;
}

// "HH:MM" or "HH:MM:SS", optionally with a fraction; the whole rest of the text.
bool ReadClock(std::string_view text, std::size_t at, CivilTime::CivilDateTime& civil)
{
    if (!ReadNumber(text, at, 1, 2, civil.Hour) || at >= text.size() || text[at++] != ':' ||
        !ReadNumber(text, at, 2, 2, civil.Minute))
        return false;
    if (at < text.size() && text[at] == ':') {
        ++at;
        if (!ReadNumber(text, at, 2, 2, civil.Second))
            return false;
        if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
            ++at;
            int scale = 100000;
            const std::size_t start = at;
            while (at < text.size() && IsDigit(text[at])) {
                civil.Micro += (text[at] - '0') * scale;
                scale /= 10;
                ++at;
            }
            if (at == start)
                return false;
        }
    }
    return at == text.size() && civil.Hour <= 23 && civil.Minute <= 59 && civil.Second <= 59;
}

TimeEntry ParseBack(std::string_view text)
{
    TimeEntry entry;
    entry.What = TimeEntry::Kind::Invalid;
    std::int64_t amount = 0;
    std::size_t at = 1;
    while (at < text.size() && IsDigit(text[at]) && at < 10)
        amount = amount * 10 + (text[at++] - '0');
    if (at == 1 || at + 1 != text.size())
        return entry;
    std::int64_t unit = 0;
    switch (text[at] | 0x20) {
    case 's':
        unit = MicrosPerSecond;
        break;
    case 'm':
        unit = 60 * MicrosPerSecond;
        break;
    case 'h':
        unit = 3600 * MicrosPerSecond;
        break;
    case 'd':
        unit = MicrosPerDay;
        break;
    default:
        return entry;
    }
    entry.What = TimeEntry::Kind::BeforeLast;
    entry.BackMicros = amount * unit;
    return entry;
}

} // namespace

TimeEntry ParseTimeEntry(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);

    TimeEntry entry;
    if (text.front() == '-') {
        // "-10m"; "-5" alone is a line number, not a time.
        if (text.size() >= 2 && !IsDigit(text.back()))
            return ParseBack(text);
        return entry;
    }
    if (text.find(':') == std::string_view::npos)
        return entry;
    entry.What = TimeEntry::Kind::Invalid;
    std::size_t at = 0;
    CivilTime::CivilDateTime civil;
    if (text.size() > 10 && text[4] == '-') {
        // A date first: "2026-12-09 14:05" or "2026-12-09T14:05".
        if (!ReadNumber(text, at, 4, 4, civil.Year) || text[at++] != '-' || !ReadNumber(text, at, 2, 2, civil.Month) ||
            text[at++] != '-' || !ReadNumber(text, at, 2, 2, civil.Day) || (text[at] != ' ' && text[at] != 'T'))
            return entry;
        while (at < text.size() && (text[at] == ' ' || text[at] == 'T'))
            ++at;
        if (!ReadClock(text, at, civil) || !CivilTime::IsValid(civil))
            return entry;
        entry.What = TimeEntry::Kind::DateTime;
    } else {
        if (!ReadClock(text, at, civil))
            return entry;
        entry.What = TimeEntry::Kind::ClockTime;
    }
    entry.Civil = civil;
    return entry;
}

std::int64_t ResolveTimeEntry(const TimeEntry& entry, const LineTime& first, const LineTime& last)
{
    const std::int64_t zone = static_cast<std::int64_t>(first.OffsetSeconds) * MicrosPerSecond;
    switch (entry.What) {
    case TimeEntry::Kind::BeforeLast:
        return last.Micros - entry.BackMicros;
    case TimeEntry::Kind::DateTime:
        return CivilTime::MicrosFromCivil(entry.Civil) - zone;
    case TimeEntry::Kind::ClockTime: {
        // Midnight of the first time's day as its clock shows it.
        const std::int64_t local = first.Micros + zone;
        std::int64_t dayStart = local / MicrosPerDay * MicrosPerDay;
        if (dayStart > local)
            dayStart -= MicrosPerDay;
        const std::int64_t clock =
            ((entry.Civil.Hour * 60 + entry.Civil.Minute) * 60 + entry.Civil.Second) * MicrosPerSecond +
            entry.Civil.Micro;
        const std::int64_t sameDay = dayStart + clock - zone;
        if (sameDay < first.Micros && sameDay + MicrosPerDay <= last.Micros)
            return sameDay + MicrosPerDay;
        return sameDay;
    }
    case TimeEntry::Kind::NotATime:
    case TimeEntry::Kind::Invalid:
        break;
    }
    return first.Micros;
}
