// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "filtering/FilterRun.h"
#include "filtering/OutputLine.h"

// Decides whole records of lines, as FilterEngine decides lines: a record is kept when any of its
// lines matches a filter, and the first filter in list order that matches one of its lines
// decides how many records before and after it are kept as context; in exclude mode the records
// none of whose lines match are kept instead. Every line of a record shown keeps its own number.
//
// The caller hands over the lines in file order, whole, from blocks it reads: a record is held
// until its last line is known (the next record's first line, or the end of the file), so its
// bytes are pointed at while they lie in the current block and copied when the block ends. Kept
// lines are appended to the batch given, which the caller owns and hands on.
class RecordDecider
{
public:
    RecordDecider(const FilterRun& run, OutputBatch& batch);

    // The next line, [start, end) in the current block, numbered number. startsRecord: it begins
    // a record, and the one before is complete and decided now.
    void AddLine(const char* start, const char* end, std::int64_t number, bool startsRecord);
    // One of the current record's lines matched the filter.
    void NoteMatch(int filter)
    {
        if (m_Current.Filter < 0 || filter < m_Current.Filter)
            m_Current.Filter = filter;
    }
    // The first filter in list order that a line of the current record matches so far, or -1; at
    // 0 nothing its further lines match can change the record's decision.
    int GetRecordFilter() const { return m_Current.Filter; }

    // The current block's bytes are about to be reused: what is still held is copied.
    void EndBlock();
    // The file ended: its last record is complete and decided.
    void Finish();
    // The file starts anew: no record, and no context, carries over.
    void Reset();

private:
    struct Record
    {
        std::string Held;            // its lines from earlier blocks
        const char* Begin = nullptr; // its lines in the current block, or null
        const char* End = nullptr;
        std::int64_t FirstLine = 0;
        int Filter = -1;
        bool Open = false; // a line was added to it
    };

    void Decide(Record& record);
    void Output(const Record& record, bool isContext, int filter);
    static void Keep(Record& record);

    const std::vector<RunFilter>& m_Filters;
    bool m_bExclude;
    OutputBatch& m_Batch;
    std::int64_t m_nMaxBefore = 0;
    Record m_Current;
    std::deque<Record> m_Before; // complete records not shown since the last one shown, oldest first
    std::int64_t m_nAfterCount = 0;
    int m_nMatchedFilter = 0;
};
