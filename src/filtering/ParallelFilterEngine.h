// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "filtering/FilterEngine.h"
#include "filtering/FilterOutput.h"
#include "filtering/FilterRun.h"
#include "filtering/RotatedSetInput.h"

// Filters a regular file on several threads: the file is cut into pieces at line starts, at least
// one per thread, each decided by an engine of its own, and what the pieces keep is handed over in file
// order, numbered as in one pass over the whole file (each piece counts its own lines; a piece's
// numbers start after the lines of the pieces before it). The threads take the pieces in file
// order; while one piece is written the later ones run on, each holding up to a byte limit of
// kept lines before it waits.
//
// Whatever cannot be cut (a pipe, standard input, a followed file, a compressed or UTF-16 file, a
// small file, one thread, a run of records) is filtered in one pass, as by FilterEngine.
// So is a rotated set (FilterRun::SetMembers): its files are read one after another as one text.
// Synchronous, like it.
class ParallelFilterEngine
{
public:
    static constexpr std::size_t DefaultBufferLimit = 8 * 1024 * 1024; // per piece
    static constexpr std::uint64_t MinChunkSize = 1024 * 1024;         // smaller pieces are not worth a thread

    // threads 0: as many as the machine has cores.
    ParallelFilterEngine(FilterRun run, unsigned threads, std::size_t blockSize = FilterEngine::DefaultBlockSize);
    ParallelFilterEngine(const ParallelFilterEngine&) = delete;
    ParallelFilterEngine& operator=(const ParallelFilterEngine&) = delete;
    ~ParallelFilterEngine();

    // As FilterEngine::Run; errors are reported as one pass reports them.
    EngineResult Run(std::stop_token stop, FilterOutput& output);

    void SetShownName(std::string name) { m_strShownName = std::move(name); }
    void SetExpressionStackLimit(std::size_t entries) { m_nStackLimit = entries; }
    // Cut where given instead of into even pieces, whatever the file's size; the threads take
    // the pieces in turn.
    void SetSplitOffsets(std::vector<std::uint64_t> offsets)
    {
        m_SplitOffsets = std::move(offsets);
        m_bSplitsGiven = true;
    }
    // threads 0: as many as the machine has cores; 1: one pass. Before Run.
    void SetThreadCount(unsigned threads);
    // How many bytes of kept lines a piece waiting for its turn may hold.
    void SetBufferLimit(std::size_t bytes) { m_nBufferLimit = bytes; }

    // The share of the file read so far, over all pieces, 0 to 100 (100 once it was read to its
    // end); safe to call from any thread while Run runs.
    int GetProgressPercent() const;

    // After Run: the pieces the file was cut into (1 for one pass), the most bytes a piece held
    // while it waited, and as FilterEngine::GetTooComplexLineCount.
    std::size_t GetChunkCount() const { return m_nChunkCount; }
    std::size_t GetPeakBufferedBytes() const { return m_nPeakBufferedBytes; }
    std::int64_t GetTooComplexLineCount() const { return m_nTooComplexLines; }
    // After Run: how many lines of the file (or the set) were read, numbered as the kept lines are;
    // of a followed file, since it last started anew.
    std::int64_t GetReadLineCount() const { return m_nReadLines; }

    // How many pieces a file of this size is cut into for this many threads: at least one a
    // thread, more for a big file, none under MinChunkSize.
    static unsigned PieceCount(std::uint64_t size, unsigned threads);

private:
    EngineResult RunOnePass(std::stop_token stop, FilterOutput& output);
    EngineResult RunSet(std::stop_token stop, FilterOutput& output);
    // The run's own text (MakeInput) in one pass.
    EngineResult RunMadeInput(std::stop_token stop, FilterOutput& output);
    EngineResult RunChunks(int fd, std::uint64_t size, std::stop_token stop, FilterOutput& output);
    std::unique_ptr<FilterEngine> MakeEngine() const;

    FilterRun m_Run;
    unsigned m_nThreads = 1;
    std::size_t m_nBlockSize;
    std::size_t m_nBufferLimit = DefaultBufferLimit;
    std::size_t m_nStackLimit = 0; // 0: the engine's own
    std::string m_strShownName;
    std::vector<std::uint64_t> m_SplitOffsets;
    bool m_bSplitsGiven = false;
    std::size_t m_nChunkCount = 0;
    std::size_t m_nPeakBufferedBytes = 0;
    std::int64_t m_nTooComplexLines = 0;
    std::int64_t m_nReadLines = 0;

    // Progress, read from other threads while Run runs.
    mutable std::mutex m_ProgressMutex;
    const FilterEngine* m_pOnePass = nullptr;     // guarded by m_ProgressMutex: the one-pass run's engine
    const RotatedSetInput* m_pSetInput = nullptr; // guarded by m_ProgressMutex: a set's run reads it
    int m_nOnePassPercent = 0;                    // guarded by m_ProgressMutex: where it ended
    std::atomic<std::uint64_t> m_nPieceBytesRead{0};
    std::atomic<std::uint64_t> m_nPieceBytesTotal{0}; // 0: not cut into pieces
};
