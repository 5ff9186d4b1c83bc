// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FilterWorker.h"

#include <new>
#include <system_error>

#include "filtering/KeptLines.h"

namespace {

// Hands the engine's results to the run's queue and, while the owner still listens, its reporter.
class QueueOutput : public FilterOutput
{
public:
    QueueOutput(OutputLineQueue& queue, std::mutex& callbackMutex, const FilterWorker::ErrorReporter& reportError,
                const bool& callbacksCut, std::atomic<bool>& caughtUp, std::atomic<bool>& fileMissing,
                std::atomic<bool>& noTimes, std::optional<KeptLineTimeReader>& timeReader)
        : m_Queue(queue), m_TimeReader(timeReader), m_CallbackMutex(callbackMutex), m_ReportError(reportError),
          m_bCallbacksCut(callbacksCut), m_bCaughtUp(caughtUp), m_bFileMissing(fileMissing), m_bNoTimes(noTimes)
    {}

    void WriteLines(OutputBatch&& batch) override
    {
        if (m_TimeReader)
            m_TimeReader->Read(batch);
        m_Queue.PushOutputLines(std::move(batch));
    }

    void ReportError(const std::string& message) override
    {
        std::lock_guard lock(m_CallbackMutex);
        if (!m_bCallbacksCut && m_ReportError)
            m_ReportError(message);
    }

    void NoteFileEvent(FileEvent event) override
    {
        switch (event) {
        case FileEvent::CaughtUp:
            m_bCaughtUp.store(true);
            return;
        case FileEvent::Missing:
            m_bFileMissing.store(true);
            return;
        case FileEvent::Truncated:
        case FileEvent::Replaced: {
            // The marker line has no number in the file: it stands between two files' lines.
            m_bFileMissing.store(false);
            OutputBatch marker;
            marker.Append(
                0, event == FileEvent::Truncated ? FilterWorker::TruncatedMarker : FilterWorker::ReplacedMarker, false);
            m_Queue.PushOutputLines(std::move(marker));
            return;
        }
        }
    }

    void NoteNoTimesRecognised() override { m_bNoTimes.store(true); }

private:
    OutputLineQueue& m_Queue;
    std::optional<KeptLineTimeReader>& m_TimeReader;
    std::mutex& m_CallbackMutex;
    const FilterWorker::ErrorReporter& m_ReportError; // guarded by m_CallbackMutex
    const bool& m_bCallbacksCut;                      // guarded by m_CallbackMutex
    std::atomic<bool>& m_bCaughtUp;
    std::atomic<bool>& m_bFileMissing;
    std::atomic<bool>& m_bNoTimes;
};

} // namespace

FilterWorker::FilterWorker(FilterRun run, ErrorReporter reportError, FinishedNotification finished)
    : m_pState(std::make_shared<State>(std::move(run)))
{
    m_pState->ReportError = std::move(reportError);
    m_pState->Finished = std::move(finished);
}

FilterWorker::~FilterWorker()
{
    RequestStop();
    // A reporter waiting for the user returns on the stop request, so this waits only for a
    // callback already under way.
    {
        std::lock_guard lock(m_pState->CallbackMutex);
        m_pState->bCallbacksCut = true;
    }
    m_pState->Queue.SetNotification({});
    if (!m_Thread.joinable())
        return;
    if (m_pState->WorkerFinished.load())
        m_Thread.join();
    else
        m_Thread.detach(); // it holds its own share of the state and ends on its own
}

bool FilterWorker::Start(std::string& error)
{
    try {
        m_Thread = std::thread([state = m_pState] { ThreadMain(state); });
    } catch (const std::system_error& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

void FilterWorker::RequestStop()
{
    m_pState->StopSource.request_stop();
}

bool FilterWorker::WaitForFinish(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_pState->FinishMutex);
    return m_pState->FinishedCondition.wait_for(lock, timeout, [this] { return m_pState->WorkerFinished.load(); });
}

int FilterWorker::GetProgressPercent() const
{
    return m_pState->WorkerFinished.load() ? 100 : m_pState->Engine.GetProgressPercent();
}

FilterRun FilterWorker::KeptLinesOf(const FilterRun& run)
{
    FilterRun source;
    if (run.KeptLines.empty())
        return source;
    source.Path = run.Path;
    source.SetMembers = run.SetMembers;
    source.KeptLines = run.KeptLines;
    return source;
}

EngineResult FilterWorker::RunEngine(State& state, FilterOutput& output)
{
    if (state.KeptLinesSource.KeptLines.empty())
        return state.Engine.Run(state.StopSource.get_token(), output);
    KeptLinesOutput kept(output, ReadKeptLines(state.KeptLinesSource, state.StopSource.get_token()));
    const EngineResult result = state.Engine.Run(state.StopSource.get_token(), kept);
    if (result == EngineResult::Finished)
        kept.Finish();
    return result;
}

void FilterWorker::ThreadMain(const std::shared_ptr<State>& state)
{
    QueueOutput output(state->Queue, state->CallbackMutex, state->ReportError, state->bCallbacksCut, state->CaughtUp,
                       state->FileMissing, state->NoTimesRecognised, state->TimeReader);
    EngineResult result = EngineResult::OutOfMemory;
    try {
        result = RunEngine(*state, output);
    } catch (const std::bad_alloc&) {
        // The engine catches its own shortage; this is one while reporting it. The run still ends.
    }
    state->ReadLines.store(state->Engine.GetReadLineCount());
    state->Result.store(result);
    {
        std::lock_guard lock(state->FinishMutex);
        state->WorkerFinished.store(true);
    }
    state->FinishedCondition.notify_all();
    std::lock_guard lock(state->CallbackMutex);
    if (!state->bCallbacksCut && state->Finished)
        state->Finished();
}
