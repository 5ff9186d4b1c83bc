// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ReferenceFilter.h"
#include "filtering/FilterEngine.h"
#include "filtering/FilterOutput.h"

// Collects what a run outputs and reports.
class CollectingOutput : public FilterOutput
{
public:
    void WriteLines(OutputBatch&& batch) override
    {
        for (const OutputLine& line : batch.Lines) {
            Lines.push_back({line.LineNumber, std::string(batch.LineText(line)), line.IsContext});
            Filters.push_back(line.Filter);
        }
        ++Batches;
        if (OnBatch)
            OnBatch();
    }
    void ReportError(const std::string& message) override { Errors.push_back(message); }

    std::vector<KeptLine> Lines;
    std::vector<int> Filters; // the filter that kept each line, -1 for none
    std::vector<std::string> Errors;
    int Batches = 0;
    std::function<void()> OnBatch;
};

inline RunFilter Literal(std::string pattern, bool caseSensitive = true, int before = 0, int after = 0)
{
    return RunFilter{std::move(pattern), false, caseSensitive, before, after};
}

inline RunFilter Expression(std::string pattern, bool caseSensitive = true, int before = 0, int after = 0)
{
    return RunFilter{std::move(pattern), true, caseSensitive, before, after};
}
