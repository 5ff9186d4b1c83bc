// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "time/TimedLogInput.h"

// The lines of several logs merged by time: each time the line of the earliest time among the
// logs' next lines comes next, of equal times the one of the log given first. A stable merge:
// the lines of one log keep their order, also where its times go backwards (such a line simply
// waits as the next line of its log until its time comes). Holds one line of each log at a time.
// For one thread at a time.
class MergedLogReader
{
public:
    struct Line
    {
        std::size_t Input = 0;       // the log's place among the inputs, 0-based
        std::int64_t LineNumber = 0; // in its own log, 1-based
        std::int64_t Time = 0;       // microseconds since the epoch, UTC
        std::string_view Text;       // with its line end (the last line of a log may have none)
    };

    // The logs, opened, in the order that decides between equal times.
    explicit MergedLogReader(std::vector<std::unique_ptr<TimedLogInput>> inputs);

    // The next line of the merge; false when every log has ended. Its text is valid until the
    // next call.
    bool Next(Line& line);

    std::size_t GetInputCount() const { return m_Inputs.size(); }
    TimedLogInput& GetInput(std::size_t index) { return *m_Inputs[index]; }

private:
    // Whether input a's current line comes before input b's.
    bool Before(std::size_t a, std::size_t b) const;
    void PushToHeap(std::size_t input);

    std::vector<std::unique_ptr<TimedLogInput>> m_Inputs;
    // The inputs that have a current line, but for the last one handed out: a heap whose top is
    // the earliest.
    std::vector<std::size_t> m_Heap;
    static constexpr std::size_t NoInput = static_cast<std::size_t>(-1);
    std::size_t m_nHandedOut = NoInput; // read on at the next call
    bool m_bStarted = false;
};
