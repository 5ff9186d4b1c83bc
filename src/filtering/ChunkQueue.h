// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>
#include <string>

#include "filtering/FilterEngine.h"
#include "filtering/FilterOutput.h"

// What one piece of a file handed over, waiting in file order for the pieces before it to be
// written: the run of the piece fills it on its own thread, the writer empties it on another.
// It holds at most about a byte limit: past that the piece's run waits until the writer has taken
// what is there (or a stop comes).
class ChunkQueue : public FilterOutput
{
public:
    struct Item
    {
        enum class Kind
        {
            Lines,      // Batch, numbered from the piece's first line
            Error,      // Message
            TooComplex, // the first line of the piece Filter's expression was too complex for
        };
        Kind What = Kind::Lines;
        OutputBatch Batch;
        std::string Message;
        std::size_t Filter = 0;
        std::int64_t LineNumber = 0;
    };
    // How the piece's run ended.
    struct Ending
    {
        EngineResult Result = EngineResult::Finished;
        std::int64_t LineCount = 0;
        bool ReachedEnd = false;
        std::int64_t TooComplexLines = 0;
    };

    ChunkQueue(std::size_t byteLimit, std::stop_token stop) : m_nByteLimit(byteLimit), m_Stop(std::move(stop)) {}

    // The run's side.
    void WriteLines(OutputBatch&& batch) override;
    void ReportError(const std::string& message) override;
    void ReportTooComplex(std::size_t filter, std::int64_t lineNumber);
    void Finish(const Ending& ending);

    // The writer's side: waits for what comes next and moves it all into items; false once the
    // run has finished and everything was taken, with ending filled in.
    bool Take(std::deque<Item>& items, Ending& ending);

    // The most bytes it held at once.
    std::size_t GetPeakBytes() const;

private:
    void Push(Item&& item, std::size_t bytes);

    const std::size_t m_nByteLimit;
    std::stop_token m_Stop;
    mutable std::mutex m_Mutex;
    std::condition_variable_any m_Changed;
    std::deque<Item> m_Items;
    std::size_t m_nBytes = 0;
    std::size_t m_nPeakBytes = 0;
    bool m_bFinished = false;
    Ending m_Ending;
};
