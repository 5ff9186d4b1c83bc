// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FilterWorker.h"

#include <system_error>

class FilterWorker::QueueOutput : public FilterOutput
{
public:
    QueueOutput(OutputLineQueue& queue, const ErrorReporter& reportError) : m_Queue(queue), m_ReportError(reportError) {}

    void WriteLines(OutputBatch&& batch) override { m_Queue.PushOutputLines(std::move(batch)); }

    void ReportError(const std::string& message) override
    {
        if (m_ReportError)
            m_ReportError(message);
    }

private:
    OutputLineQueue& m_Queue;
    const ErrorReporter& m_ReportError;
};

FilterWorker::FilterWorker(FilterRun run, OutputLineQueue& queue, ErrorReporter reportError,
                           FinishedNotification finished)
    : m_Engine(std::move(run)), m_Queue(queue), m_ReportError(std::move(reportError)), m_Finished(std::move(finished))
{
}

FilterWorker::~FilterWorker()
{
    RequestStop();
    if (m_Thread.joinable())
        m_Thread.join();
}

bool FilterWorker::Start(std::string& error)
{
    try {
        m_Thread = std::jthread([this, stop = m_StopSource.get_token()] { ThreadMain(stop); });
    } catch (const std::system_error& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

void FilterWorker::RequestStop()
{
    m_StopSource.request_stop();
}

bool FilterWorker::WaitForFinish(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_FinishedCondition.wait_for(lock, timeout, [this] { return m_bWorkerFinished.load(); });
}

int FilterWorker::GetProgressPercent() const
{
    return m_bWorkerFinished.load() ? 100 : m_Engine.GetProgressPercent();
}

void FilterWorker::ThreadMain(std::stop_token stop)
{
    QueueOutput output(m_Queue, m_ReportError);
    m_Result.store(m_Engine.Run(stop, output));
    {
        std::lock_guard lock(m_mutex);
        m_bWorkerFinished.store(true);
    }
    m_FinishedCondition.notify_all();
    if (m_Finished)
        m_Finished();
}
