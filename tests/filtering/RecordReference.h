// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ReferenceFilter.h"
#include "filtering/FilterRun.h"
#include "filtering/LineMatcher.h"
#include "time/LineTime.h"
#include "time/TimeLayoutDetector.h"

// What a run of records keeps: the lines, and the filter that kept each (-1 for none).
struct KeptRecordLines
{
    std::vector<KeptLine> Lines;
    std::vector<int> Filters;
};

// The rules of records applied the slow, obvious way: the whole text split into lines, the lines
// grouped into records, each record's filter found by trying every filter on every line in list
// order, the records before a match held in a first-in-first-out buffer.
inline KeptRecordLines ReferenceRecordFilter(const std::string& content, const FilterRun& run,
                                             const TimeContext& context = TimeContext())
{
    struct Line
    {
        std::int64_t Number;
        std::string Text;
    };
    TimeLayoutDetector detector(context);
    detector.AddText(content);
    const TimeLayout layout = detector.GetLayout();

    std::vector<std::vector<Line>> records;
    std::int64_t number = 0;
    for (std::size_t start = 0; start < content.size();) {
        const std::size_t lineFeed = content.find('\n', start);
        const std::size_t end = lineFeed == std::string::npos ? content.size() : lineFeed + 1;
        const std::string text = content.substr(start, end - start);
        start = end;
        std::string bare = text;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
            bare.pop_back();
        LineTime time;
        const bool timed = layout != TimeLayout::None && ParseLineTime(layout, bare, context, time);
        if (records.empty() || layout == TimeLayout::None || timed)
            records.emplace_back();
        records.back().push_back({++number, text});
    }

    std::int64_t maxBefore = 0;
    for (const RunFilter& filter : run.Filters)
        maxBefore = std::max<std::int64_t>(maxBefore, filter.OutputBeforeMatch);
    KeptRecordLines kept;
    const auto output = [&](const std::vector<Line>& record, bool isContext, int filter) {
        for (const Line& line : record) {
            kept.Lines.push_back({line.Number, line.Text, isContext});
            kept.Filters.push_back(filter);
        }
    };
    std::deque<const std::vector<Line>*> before;
    std::int64_t afterCount = 0;
    int matchedFilter = 0;
    for (const std::vector<Line>& record : records) {
        int matched = -1;
        for (std::size_t i = 0; i < run.Filters.size() && matched < 0; ++i) {
            const RunFilter& filter = run.Filters[i];
            for (const Line& line : record) {
                std::string subject = line.Text;
                if (subject.size() >= 2 && subject.compare(subject.size() - 2, 2, "\r\n") == 0)
                    subject.erase(subject.size() - 2, 1);
                if (LineMatchesFilter(subject, filter.Pattern, filter.RegExp ? 1 : 0, filter.CaseSensitive))
                    matched = static_cast<int>(i);
            }
        }
        if (run.ExcludeMatches) {
            if (matched < 0)
                output(record, false, -1);
        } else if (matched >= 0) {
            matchedFilter = matched;
            const RunFilter& filter = run.Filters[static_cast<std::size_t>(matched)];
            const auto count = static_cast<std::int64_t>(before.size());
            for (std::int64_t p = 0; p < count; ++p)
                if (count - p <= filter.OutputBeforeMatch)
                    output(*before[static_cast<std::size_t>(p)], true, matchedFilter);
            before.clear();
            output(record, false, matchedFilter);
            afterCount = filter.OutputAfterMatch;
        } else if (afterCount > 0) {
            --afterCount;
            output(record, true, matchedFilter);
        } else if (maxBefore > 0) {
            if (static_cast<std::int64_t>(before.size()) == maxBefore)
                before.pop_front();
            before.push_back(&record);
        }
    }
    return kept;
}
