// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "time/LineTime.h"

// One kept line of a run: its number in the file and where its bytes lie in the batch's text.
struct OutputLine
{
    std::int64_t LineNumber = 0; // 1-based
    std::size_t Offset = 0;
    std::size_t Length = 0; // the line's own bytes, line end included when it has one
    bool IsContext = false; // output as context of a match rather than matching itself
    int Filter = -1;        // the filter whose match kept it, 0-based; -1 for none (exclude)
};

// Kept lines handed over together: their bytes back to back, in file order.
struct OutputBatch
{
    std::string Text;
    std::vector<OutputLine> Lines;
    // The lines' times, one a line, when the run reads them as it hands the lines over
    // (KeptLineTimeReader), read in TimesLayout; empty when it does not.
    std::vector<std::int64_t> Times;
    TimeLayout TimesLayout = TimeLayout::None;

    void Append(std::int64_t lineNumber, std::string_view bytes, bool isContext, int filter = -1)
    {
        Text.append(bytes);
        Lines.push_back(OutputLine{lineNumber, Text.size() - bytes.size(), bytes.size(), isContext, filter});
    }
    std::string_view LineText(const OutputLine& line) const
    {
        return std::string_view(Text).substr(line.Offset, line.Length);
    }
    bool Empty() const { return Lines.empty(); }
    void Clear()
    {
        Text.clear();
        Lines.clear();
        Times.clear();
        TimesLayout = TimeLayout::None;
    }
};
