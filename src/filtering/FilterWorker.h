// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "filtering/FileChangeTexts.h"
#include "filtering/FilterEngine.h"
#include "filtering/FilterRun.h"
#include "filtering/OutputLineQueue.h"
#include "filtering/ParallelFilterEngine.h"
#include "time/KeptLineTimeReader.h"

// One filtering run on a thread of its own. A plain file that is not followed is cut into pieces
// decided side by side on more threads (ParallelFilterEngine, one per core unless set otherwise),
// whose lines are handed over in file order, numbered as in one pass. Kept lines go into the
// run's own queue in batches; errors go to the reporter, which is called on the worker thread and
// may block until the user has seen the message (it must stop waiting when the run's stop token
// is signalled).
//
// The thread owns everything it uses, so a thread stuck in a system call that ignores the stop
// request (a read on a hung mount) can be left behind: the destructor stops the run, cuts the
// callbacks, and joins the thread only when it has already ended. A thread left behind ends on
// its own and reaches nothing of its former owner.
class FilterWorker
{
public:
    using ErrorReporter = std::function<void(const std::string& message)>;
    // The lines that mark, in the output of a followed file, where it started anew.
    static constexpr const char* TruncatedMarker = FileChangeTexts::TruncatedMarker;
    static constexpr const char* ReplacedMarker = FileChangeTexts::ReplacedMarker;
    using FinishedNotification = std::function<void()>;

    explicit FilterWorker(FilterRun run, ErrorReporter reportError = {}, FinishedNotification finished = {});
    ~FilterWorker();
    FilterWorker(const FilterWorker&) = delete;
    FilterWorker& operator=(const FilterWorker&) = delete;

    // The run's hand-over of kept lines; set its notification before Start.
    OutputLineQueue& GetQueue() { return m_pState->Queue; }

    // The run's engine, to set its threads or where it cuts the file; only before Start.
    ParallelFilterEngine& GetEngine() { return m_pState->Engine; }

    // The kept lines' times are read on the run's thread as they are handed over, against context
    // (OutputBatch::Times, KeptLineTimeReader); only before Start.
    void ReadKeptLineTimes(const TimeContext& context) { m_pState->TimeReader.emplace(context); }

    // Replaces the error reporter; only before Start.
    void SetErrorReporter(ErrorReporter reportError) { m_pState->ReportError = std::move(reportError); }

    // The run's stop token, for a reporter that must stop waiting when the run is stopped.
    std::stop_token GetStopToken() const { return m_pState->StopSource.get_token(); }

    // Starts the thread; false, with the reason in error, when it cannot be created.
    bool Start(std::string& error);

    // Asks the run to stop after the line it is deciding on.
    void RequestStop();

    // Waits until the run has ended, at most timeout; true when it has.
    bool WaitForFinish(std::chrono::milliseconds timeout);

    // The share of the file read, over all its pieces, 0 to 100 (100 once finished).
    int GetProgressPercent() const;
    // The run has ended: the file was read, a stop was honoured, the file could not be read or
    // memory ran out.
    bool IsWorkerFinished() const { return m_pState->WorkerFinished.load(); }
    // A followed file's end was reached: what comes now is what is written to it meanwhile.
    bool IsCaughtUp() const { return m_pState->CaughtUp.load(); }
    // A followed file is gone; the run waits for its name to come back.
    bool IsFileMissing() const { return m_pState->FileMissing.load(); }
    // A run of records found no times in the file: each line was decided as a record of its own.
    bool IsNoTimesRecognised() const { return m_pState->NoTimesRecognised.load(); }
    // How the run ended; meaningful once IsWorkerFinished() is true.
    EngineResult GetResult() const { return m_pState->Result.load(); }
    // How many lines of the file the run read; meaningful once IsWorkerFinished() is true.
    std::int64_t GetReadLineCount() const { return m_pState->ReadLines.load(); }

private:
    // What the thread uses; shared so that it outlives an owner that gave up waiting.
    struct State
    {
        explicit State(FilterRun run) : KeptLinesSource(KeptLinesOf(run)), Engine(std::move(run), 0) {}

        // Where the lines kept whatever the filters say are read from, and which they are.
        FilterRun KeptLinesSource;

        ParallelFilterEngine Engine;
        OutputLineQueue Queue;
        std::optional<KeptLineTimeReader> TimeReader; // used by the thread only, once started
        std::mutex CallbackMutex;                     // held while a callback runs, and while the owner cuts them
        ErrorReporter ReportError;                    // guarded by CallbackMutex once started
        FinishedNotification Finished;                // guarded by CallbackMutex once started
        bool bCallbacksCut = false;                   // guarded by CallbackMutex
        std::mutex FinishMutex;
        std::condition_variable FinishedCondition; // signalled under FinishMutex when WorkerFinished is set
        std::atomic<bool> WorkerFinished{false};
        std::atomic<bool> CaughtUp{false};
        std::atomic<bool> FileMissing{false};
        std::atomic<bool> NoTimesRecognised{false};
        std::atomic<EngineResult> Result{EngineResult::Finished};
        std::atomic<std::int64_t> ReadLines{0};
        // Exists before the thread does, so a stop may be requested from any thread (the worker's
        // own included) while the thread starts.
        std::stop_source StopSource;
    };

    static void ThreadMain(const std::shared_ptr<State>& state);
    static FilterRun KeptLinesOf(const FilterRun& run);
    static EngineResult RunEngine(State& state, FilterOutput& output);

    std::shared_ptr<State> m_pState;
    std::thread m_Thread;
};
