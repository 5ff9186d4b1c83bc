// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/RecordDecider.h"

#include <algorithm>

namespace {

// Appends the lines of bytes (whole lines, the last maybe without a line feed), numbered on from
// number.
void AppendLines(OutputBatch& batch, std::string_view bytes, std::int64_t& number, bool isContext, int filter)
{
    while (!bytes.empty()) {
        const std::size_t lineFeed = bytes.find('\n');
        const std::size_t length = lineFeed == std::string_view::npos ? bytes.size() : lineFeed + 1;
        batch.Append(number++, bytes.substr(0, length), isContext, filter);
        bytes.remove_prefix(length);
    }
}

} // namespace

RecordDecider::RecordDecider(const FilterRun& run, OutputBatch& batch)
    : m_Filters(run.Filters), m_bExclude(run.ExcludeMatches), m_Batch(batch)
{
    for (const RunFilter& filter : m_Filters)
        m_nMaxBefore = std::max<std::int64_t>(m_nMaxBefore, filter.OutputBeforeMatch);
}

void RecordDecider::AddLine(const char* start, const char* end, std::int64_t number, bool startsRecord)
{
    if (startsRecord || !m_Current.Open) {
        if (m_Current.Open)
            Decide(m_Current);
        m_Current = Record();
        m_Current.FirstLine = number;
        m_Current.Open = true;
    }
    if (m_Current.Begin == nullptr)
        m_Current.Begin = start;
    m_Current.End = end;
}

void RecordDecider::Keep(Record& record)
{
    if (record.Begin == nullptr)
        return;
    record.Held.append(record.Begin, static_cast<std::size_t>(record.End - record.Begin));
    record.Begin = nullptr;
    record.End = nullptr;
}

void RecordDecider::EndBlock()
{
    Keep(m_Current);
    for (Record& record : m_Before)
        Keep(record);
}

void RecordDecider::Finish()
{
    if (m_Current.Open)
        Decide(m_Current);
    m_Current = Record();
}

void RecordDecider::Reset()
{
    m_Current = Record();
    m_Before.clear();
    m_nAfterCount = 0;
    m_nMatchedFilter = 0;
}

void RecordDecider::Decide(Record& record)
{
    if (m_bExclude) {
        if (record.Filter < 0)
            Output(record, false, -1);
        return;
    }
    if (record.Filter >= 0) {
        m_nMatchedFilter = record.Filter;
        const RunFilter& filter = m_Filters[static_cast<std::size_t>(record.Filter)];
        const auto wanted = static_cast<std::size_t>(std::max<std::int32_t>(0, filter.OutputBeforeMatch));
        for (std::size_t i = m_Before.size() - std::min(wanted, m_Before.size()); i < m_Before.size(); ++i)
            Output(m_Before[i], true, m_nMatchedFilter);
        m_Before.clear();
        Output(record, false, m_nMatchedFilter);
        m_nAfterCount = std::max<std::int32_t>(0, filter.OutputAfterMatch);
        return;
    }
    if (m_nAfterCount > 0) {
        --m_nAfterCount;
        Output(record, true, m_nMatchedFilter);
        return;
    }
    if (m_nMaxBefore <= 0)
        return;
    // Held for a later match's context: only as many as the widest context reaches back.
    if (static_cast<std::int64_t>(m_Before.size()) == m_nMaxBefore)
        m_Before.pop_front();
    m_Before.push_back(std::move(record));
}

void RecordDecider::Output(const Record& record, bool isContext, int filter)
{
    std::int64_t number = record.FirstLine;
    AppendLines(m_Batch, record.Held, number, isContext, filter);
    if (record.Begin != nullptr)
        AppendLines(m_Batch, std::string_view(record.Begin, static_cast<std::size_t>(record.End - record.Begin)),
                    number, isContext, filter);
}
