// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filtering/FilterEngine.h"
#include "filtering/FilterRun.h"
#include "filtering/OutputLineQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <stop_token>
#include <thread>

// One filtering run on a thread of its own. Kept lines go into the queue in batches; errors go
// to the reporter, which is called on the worker thread and may block until the user has seen
// the message. The destructor stops the run and joins the thread.
class FilterWorker
{
public:
    using ErrorReporter = std::function<void(const std::string& message)>;
    using FinishedNotification = std::function<void()>;

    FilterWorker(FilterRun run, OutputLineQueue& queue, ErrorReporter reportError, FinishedNotification finished = {});
    ~FilterWorker();
    FilterWorker(const FilterWorker&) = delete;
    FilterWorker& operator=(const FilterWorker&) = delete;

    // Replaces the error reporter; only before Start.
    void SetErrorReporter(ErrorReporter reportError) { m_ReportError = std::move(reportError); }

    // The run's stop token, for a reporter that must stop waiting when the run is stopped.
    std::stop_token GetStopToken() const { return m_StopSource.get_token(); }

    // Starts the thread; false, with the reason in error, when it cannot be created.
    bool Start(std::string& error);

    // Asks the run to stop after the line it is deciding on.
    void RequestStop();

    // Waits until the run has ended, at most timeout; true when it has.
    bool WaitForFinish(std::chrono::milliseconds timeout);

    // The share of the file read, 0 to 100 (100 once finished).
    int GetProgressPercent() const;
    // The run has ended: the file was read, a stop was honoured, or the file could not be read.
    bool IsWorkerFinished() const { return m_bWorkerFinished.load(); }
    // How the run ended; meaningful once IsWorkerFinished() is true.
    EngineResult GetResult() const { return m_Result.load(); }

private:
    void ThreadMain(std::stop_token stop);

    class QueueOutput;

    FilterEngine m_Engine;
    OutputLineQueue& m_Queue;
    ErrorReporter m_ReportError;
    FinishedNotification m_Finished;
    std::atomic<bool> m_bWorkerFinished{false};
    std::atomic<EngineResult> m_Result{EngineResult::Finished};
    std::mutex m_mutex;
    std::condition_variable m_FinishedCondition; // signalled under m_mutex when m_bWorkerFinished is set
    // Our own stop source rather than the thread's: it exists before the thread does, so a stop
    // may be requested from any thread (the worker's own included) while the thread starts.
    std::stop_source m_StopSource;
    std::jthread m_Thread; // last: joined before the members it uses go away
};
