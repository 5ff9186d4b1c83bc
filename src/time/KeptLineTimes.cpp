// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/KeptLineTimes.h"

#include "time/KeptLineTimeReader.h"
#include "time/LineTime.h"

KeptLineTimes::KeptLineTimes(const TimeContext& context, std::size_t buckets)
    : m_Context(context), m_Detector(context), m_Buckets(buckets)
{}

void KeptLineTimes::Clear(const TimeContext& context)
{
    m_Context = context;
    m_Detector = TimeLayoutDetector(context);
    m_Held.clear();
    m_Buckets.Clear();
    m_Layout = TimeLayout::None;
    m_bDecided = false;
    m_bHaveTime = false;
    m_nLastMillis = 0;
}

bool KeptLineTimes::MillisOf(TimeLayout layout, std::string_view line, const TimeContext& context, std::int64_t& millis)
{
    LineTime time;
    if (layout == TimeLayout::None || !ParseLineTime(layout, LineWithoutEnd(line), context, time))
        return false;
    // Down to the millisecond before, for times before the epoch too.
    millis = time.Micros >= 0 ? time.Micros / 1000 : -((-time.Micros + 999) / 1000);
    return true;
}

void KeptLineTimes::Add(std::string_view line, std::int64_t fileLine, int filter)
{
    if (m_bDecided) {
        Count(line, fileLine, filter);
        return;
    }
    m_Held.push_back({std::string(LineWithoutEnd(line)), fileLine, filter});
    if (!m_Detector.AddLine(m_Held.back().Text))
        Decide();
}

void KeptLineTimes::Add(std::string_view line, std::int64_t fileLine, int filter, TimeLayout layout,
                        std::int64_t millis)
{
    if (m_bDecided && layout == m_Layout && layout != TimeLayout::None && millis != KeptLineTimeReader::Unread)
        CountRead(millis != KeptLineTimeReader::NoTime, millis, fileLine, filter);
    else
        Add(line, fileLine, filter);
}

void KeptLineTimes::Finish()
{
    if (!m_bDecided)
        Decide();
}

void KeptLineTimes::Decide()
{
    m_bDecided = true;
    m_Layout = m_Detector.GetLayout();
    std::vector<Held> held;
    held.swap(m_Held);
    for (const Held& line : held)
        Count(line.Text, line.FileLine, line.Filter);
}

void KeptLineTimes::Count(std::string_view line, std::int64_t fileLine, int filter)
{
    if (m_Layout == TimeLayout::None)
        return;
    std::int64_t millis = 0;
    const bool hasTime = MillisOf(m_Layout, line, m_Context, millis);
    CountRead(hasTime, millis, fileLine, filter);
}

void KeptLineTimes::CountRead(bool hasTime, std::int64_t millis, std::int64_t fileLine, int filter)
{
    if (hasTime) {
        m_nLastMillis = millis;
        m_bHaveTime = true;
    }
    if (m_bHaveTime)
        m_Buckets.Add(m_nLastMillis, filter, fileLine);
}
