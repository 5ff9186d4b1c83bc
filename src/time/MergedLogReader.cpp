// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/MergedLogReader.h"

#include <algorithm>

MergedLogReader::MergedLogReader(std::vector<std::unique_ptr<TimedLogInput>> inputs) : m_Inputs(std::move(inputs))
{
    m_Heap.reserve(m_Inputs.size());
}

bool MergedLogReader::Before(std::size_t a, std::size_t b) const
{
    const std::int64_t timeA = m_Inputs[a]->GetTime();
    const std::int64_t timeB = m_Inputs[b]->GetTime();
    return timeA < timeB || (timeA == timeB && a < b);
}

void MergedLogReader::PushToHeap(std::size_t input)
{
    m_Heap.push_back(input);
    // std::push_heap keeps the greatest on top: "greater" here is "comes first".
    std::push_heap(m_Heap.begin(), m_Heap.end(), [this](std::size_t a, std::size_t b) { return Before(b, a); });
}

bool MergedLogReader::Next(Line& line)
{
    const auto later = [this](std::size_t a, std::size_t b) { return Before(b, a); };
    if (!m_bStarted) {
        m_bStarted = true;
        for (std::size_t i = 0; i < m_Inputs.size(); ++i)
            if (m_Inputs[i]->Next())
                PushToHeap(i);
    }
    std::size_t next = NoInput;
    if (m_nHandedOut != NoInput && m_Inputs[m_nHandedOut]->Next()) {
        // A log usually goes on with several lines before another's turn: those need no heap.
        if (m_Heap.empty() || Before(m_nHandedOut, m_Heap.front()))
            next = m_nHandedOut;
        else
            PushToHeap(m_nHandedOut);
    }
    m_nHandedOut = NoInput;
    if (next == NoInput) {
        if (m_Heap.empty())
            return false;
        std::pop_heap(m_Heap.begin(), m_Heap.end(), later);
        next = m_Heap.back();
        m_Heap.pop_back();
    }
    m_nHandedOut = next;
    const TimedLogInput& input = *m_Inputs[next];
    line.Input = next;
    line.LineNumber = input.GetLineNumber();
    line.Time = input.GetTime();
    line.Text = input.GetLine();
    return true;
}
