// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filtering/SpanBuckets.h"
#include "time/LineTime.h"
#include "time/TimeLayoutDetector.h"

// The kept lines of a run counted over time: the layout of the times is told by the first kept
// lines, then each line counts at its time, in milliseconds since the epoch (UTC), by the filter
// that kept it. A line without a time counts at the time of the kept line above it; lines before
// the first time count nowhere. The buckets widen as the times spread (SpanBuckets), so the cost
// does not grow with the lines.
class KeptLineTimes
{
public:
    explicit KeptLineTimes(const TimeContext& context = TimeContext(),
                           std::size_t buckets = SpanBuckets::DefaultBucketCount);

    // Starts again, the times read against context.
    void Clear(const TimeContext& context);
    // A kept line: its bytes (a line end is dropped), its file line and its filter (-1: none).
    void Add(std::string_view line, std::int64_t fileLine, int filter);
    // A kept line whose time was read already in layout (KeptLineTimeReader): millis, or
    // KeptLineTimeReader::NoTime. Counted as read once this has decided on the same layout;
    // otherwise (a line of the sample, KeptLineTimeReader::Unread, another layout) as Add.
    void Add(std::string_view line, std::int64_t fileLine, int filter, TimeLayout layout, std::int64_t millis);
    // No more lines come: a sample still short decides with what it has.
    void Finish();

    // None until decided, and for lines without times.
    TimeLayout GetLayout() const { return m_Layout; }
    bool IsDecided() const { return m_bDecided; }
    const SpanBuckets& Buckets() const { return m_Buckets; }
    const TimeContext& GetContext() const { return m_Context; }

    // The time of a line's bytes in milliseconds, as Add counts it; false for none.
    static bool MillisOf(TimeLayout layout, std::string_view line, const TimeContext& context, std::int64_t& millis);

private:
    struct Held
    {
        std::string Text;
        std::int64_t FileLine = 0;
        int Filter = -1;
    };
    void Decide();
    void Count(std::string_view line, std::int64_t fileLine, int filter);
    void CountRead(bool hasTime, std::int64_t millis, std::int64_t fileLine, int filter);

    TimeContext m_Context;
    TimeLayoutDetector m_Detector;
    std::vector<Held> m_Held; // the sample's lines, until the layout is decided
    SpanBuckets m_Buckets;
    TimeLayout m_Layout = TimeLayout::None;
    bool m_bDecided = false;
    bool m_bHaveTime = false;
    std::int64_t m_nLastMillis = 0;
};
