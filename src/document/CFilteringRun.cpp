// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CFilteringRun.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include "document/COstrelDoc.h"
#include "filtering/FilterRun.h"
#include "filtering/FilterSettings.h"
#include "filtering/FilterWorker.h"
#include "filtering/OutputLineQueue.h"
#include "time/MergedFilesInput.h"
#include "view/COstrelView.h"
#include "view/ILogWorkspace.h"

namespace {

// A message the worker waits on until the user has dismissed it, or until the run is stopped.
struct PendingMessage
{
    std::mutex Mutex;
    std::condition_variable_any Shown;
    bool Done = false; // guarded by Mutex
};

} // namespace

CFilteringRun::CFilteringRun(QObject* parent) : QObject(parent)
{
    m_FinishWaitTimer.setSingleShot(true);
    connect(&m_FinishWaitTimer, &QTimer::timeout, this, &CFilteringRun::OnFinishWaitExpired);
    // Drawing stays off while lines arrive, but the view is painted now and then: a long run
    // shows its first results at once.
    m_RepaintTimer.setInterval(RepaintIntervalMs);
    connect(&m_RepaintTimer, &QTimer::timeout, this, &CFilteringRun::RepaintRunView);
    // The program may quit while a run goes on: the worker is stopped and left to end on its own.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CFilteringRun::EndRun);
}

CFilteringRun::~CFilteringRun()
{
    EndRun();
}

unsigned CFilteringRun::DesktopThreadCount(unsigned chosen)
{
    // The window's thread shows what the workers keep, and with many kept lines it is the
    // slowest part: unless the user chose a number, it keeps a core to itself.
    if (chosen != 0)
        return chosen;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? cores - 1 : 1;
}

bool CFilteringRun::Start(COstrelDoc* document, const FilterSettings& settings, TextEncoding encoding)
{
    if (m_bRunning || !document || !document->GetView())
        return false;
    COstrelView* view = document->GetView();
    m_pWorkspace = view->GetWorkspace();
    view->BeginFilterOutput();

    FilterRun run = MakeFilterRun(settings, QFile::encodeName(document->GetPathName()).toStdString(), encoding);
    run.Follow = view->GetFollow();
    // The file is decoded as the view reads it, so that filters typed as the text shows find it.
    run.InputEncoding = view->GetTextEncoding().RunEncoding();
    run.Records = document->GetRecords();
    if (document->GetKeepBookmarkedLines())
        run.KeptLines = document->GetBookmarks().All();
    if (document->IsRotatedSet()) {
        // The set's files as one text, oldest first, numbered by the set's lines, as it is shown.
        for (const QString& file : document->GetRotatedSetFiles())
            run.SetMembers.push_back(QFile::encodeName(file).toStdString());
        run.Follow = false;
        run.Records = false;
    }
    if (document->IsMerged()) {
        // The logs merged by time as they are shown, numbered by their places in the merge.
        std::vector<std::string> files;
        for (const QString& file : document->GetMergedFiles())
            files.push_back(QFile::encodeName(file).toStdString());
        run.MakeInput = [files](std::string& error) -> std::unique_ptr<InputDecoder> {
            return MergedFilesInput::Open(files, error);
        };
        run.Follow = false;
        run.Records = false;
    }
    const std::uint64_t serial = ++m_nRunSerial;
    auto worker = std::make_unique<FilterWorker>(std::move(run), FilterWorker::ErrorReporter{}, [this, serial] {
        QMetaObject::invokeMethod(
            this, [this, serial] { OnWorkerFinished(serial); }, Qt::QueuedConnection);
    });
    // The timeline counts the kept lines over time: their times are read on the run's thread.
    if (COverviewStrip::AreTimesCounted())
        worker->ReadKeptLineTimes(view->GetOverview().GetKeptTimes().GetContext());
    worker->GetEngine().SetThreadCount(DesktopThreadCount(m_pWorkspace ? m_pWorkspace->GetFilterThreadCount() : 0));
    // Through the one scheduled turn: a turn posted straight from the worker could come up before
    // a click that waits in the queue, and Cancel would wait behind it.
    worker->GetQueue().SetNotification(
        [this] { QMetaObject::invokeMethod(this, &CFilteringRun::ScheduleOutput, Qt::QueuedConnection); });
    const std::stop_token stop = worker->GetStopToken();
    // The worker waits for each message until it has been dismissed, or until the run stops.
    worker->SetErrorReporter([this, stop, serial](const std::string& message) {
        auto pending = std::make_shared<PendingMessage>();
        const QString text = QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size()));
        QMetaObject::invokeMethod(
            this,
            [this, pending, text, stop, serial] {
                // A run stopped before its message came up has nothing left to say.
                if (serial == m_nRunSerial && m_bRunning && !stop.stop_requested())
                    ShowEngineMessage(text);
                {
                    std::lock_guard lock(pending->Mutex);
                    pending->Done = true;
                }
                pending->Shown.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(pending->Mutex);
        pending->Shown.wait(lock, stop, [&pending] { return pending->Done; });
    });

    std::string error;
    if (!worker->Start(error)) {
        view->EndFilterOutput();
        ShowEngineMessage(QStringLiteral("The filtering thread could not be started: ") +
                          QString::fromLocal8Bit(error.c_str()));
        return false;
    }
    m_pWorker = std::move(worker);
    m_pRunDocument = document;
    m_pRunView = view;
    m_bCancelled = false;
    m_bFinishing = false;
    m_bRunning = true;
    connect(document, &COstrelDoc::Closing, this, &CFilteringRun::OnRunDocumentGone, Qt::UniqueConnection);
    connect(document, &QObject::destroyed, this, &CFilteringRun::OnRunDocumentGone, Qt::UniqueConnection);
    connect(view, &QObject::destroyed, this, &CFilteringRun::OnRunDocumentGone, Qt::UniqueConnection);
    // The whole file shown again (Delete All Filters, a Ctrl+double-click) ends the run at once.
    connect(view, &COstrelView::ShowsFilteredTextChanged, this, [this](bool showsFilteredText) {
        if (!showsFilteredText)
            EndRun();
    });
    if (!m_bRedrawSuspended) {
        view->setUpdatesEnabled(false);
        m_bRedrawSuspended = true;
    }
    m_RepaintTimer.start();
    Q_EMIT RunningChanged(true);

    if (m_pWorkspace)
        m_pProgressWindow = m_pWorkspace->ShowFilteringProgress(*this);
    return true;
}

void CFilteringRun::RepaintRunView()
{
    if (!m_bRedrawSuspended || !m_pRunView) {
        m_RepaintTimer.stop();
        return;
    }
    m_pRunView->setUpdatesEnabled(true);
    m_pRunView->viewport()->repaint();
    m_pRunView->GetOverview().repaint();
    m_pRunView->setUpdatesEnabled(false);
    Q_EMIT RunViewPainted();
}

COstrelDoc* CFilteringRun::GetRunDocument() const
{
    return m_pRunDocument;
}

int CFilteringRun::GetProgressPercent() const
{
    return m_pWorker ? m_pWorker->GetProgressPercent() : 0;
}

bool CFilteringRun::IsWorkerFinished() const
{
    return m_pWorker && m_pWorker->IsWorkerFinished();
}

bool CFilteringRun::IsCaughtUp() const
{
    return m_pWorker && m_pWorker->IsCaughtUp();
}

void CFilteringRun::ScheduleOutput()
{
    if (m_bOutputScheduled)
        return;
    m_bOutputScheduled = true;
    // Posted, so the window handles the input that came meanwhile before the next turn.
    QTimer::singleShot(0, this, &CFilteringRun::OnFilterOutput);
}

void CFilteringRun::OnFilterOutput()
{
    m_bOutputScheduled = false;
    if (!m_bRunning || !m_pWorker)
        return;
    OutputLineQueue& queue = m_pWorker->GetQueue();
    QElapsedTimer clock;
    clock.start();
    bool appended = false;
    while (clock.elapsed() < AppendBudgetMs) {
        auto batch = queue.PopOutputLines();
        if (!batch)
            break;
        // After Cancel the marker ends the output: what comes later is dropped.
        if (m_bCancelled || !m_pRunView)
            continue;
        m_pRunView->AppendOutputLines(*batch);
        appended = true;
    }
    if (appended)
        Q_EMIT OutputAppended();
    if (!queue.IsOutputLineQueueEmpty())
        ScheduleOutput();
    else if (m_bFinishing && m_pWorker->IsWorkerFinished())
        CompleteRun();
}

void CFilteringRun::OnFilterCancelled()
{
    if (!m_bRunning)
        return;
    if (m_pRunView && !m_bCancelled) {
        OutputBatch marker;
        marker.Append(0, CancelledMarker.toStdString(), false);
        m_pRunView->AppendOutputLines(marker);
    }
    m_bCancelled = true;
    if (m_pWorker)
        m_pWorker->RequestStop();
}

void CFilteringRun::OnFilterFinished()
{
    if (!m_bRunning || m_bFinishing || m_bFollowing)
        return;
    if (m_pWorker && m_pWorker->IsNoTimesRecognised() && m_pWorkspace)
        m_pWorkspace->ShowStatusNote(NoTimesNote);
    if (m_pWorker && m_pWorker->IsCaughtUp() && !m_pWorker->IsWorkerFinished() && !m_bCancelled) {
        // A followed file: the window's part is done, the run goes on with what is appended.
        m_bFollowing = true;
        if (m_bRedrawSuspended && m_pRunView) {
            m_pRunView->setUpdatesEnabled(true);
            m_pRunView->viewport()->update();
            m_bRedrawSuspended = false;
        }
        if (m_pRunView) {
            // Done receiving what the window waited for; still read-only while lines come.
            m_pRunView->EndFilterOutput();
            m_pRunView->SetTextReadOnly(true);
            m_pRunView->SetScrollsWithEnd(true);
            connect(m_pRunView, &COstrelView::FollowChanged, this, [this](bool follow) {
                if (!follow)
                    EndRun();
            });
            // The view shows the whole file now (Ctrl+double-click, the toggle): nothing to add to.
            connect(m_pRunView, &COstrelView::ShowsFilteredTextChanged, this, [this](bool filtered) {
                if (!filtered && m_bFollowing)
                    EndRun();
            });
        }
        Q_EMIT RunningChanged(false);
        Q_EMIT Following();
        return;
    }
    m_bFinishing = true;
    m_pWorker->RequestStop();
    if (m_pWorker->IsWorkerFinished())
        OnFilterOutput(); // shows what is left, then ends the run
    else
        m_FinishWaitTimer.start(FinishWaitMs);
}

void CFilteringRun::OnWorkerFinished(std::uint64_t runSerial)
{
    if (runSerial != m_nRunSerial)
        return;
    // With no window to close, the end of the file is the end of the run.
    if (m_bRunning && !m_bFinishing && !m_pProgressWindow) {
        OnFilterFinished();
        return;
    }
    // Before the progress window has closed, its timer takes note of the end.
    if (!m_bFinishing)
        return;
    m_FinishWaitTimer.stop();
    ScheduleOutput();
}

void CFilteringRun::OnFinishWaitExpired()
{
    if (!m_bRunning || !m_pWorker)
        return;
    // The worker is stuck where a stop cannot reach it: show what it handed over by now and
    // leave it behind.
    std::unique_ptr<FilterWorker> abandoned = std::move(m_pWorker);
    while (auto batch = abandoned->GetQueue().PopOutputLines())
        if (!m_bCancelled && m_pRunView)
            m_pRunView->AppendOutputLines(*batch);
    abandoned.reset();
    CompleteRun();
}

void CFilteringRun::EndRun()
{
    if (!m_bRunning)
        return;
    m_pWorker.reset();
    CompleteRun();
}

void CFilteringRun::CompleteRun()
{
    m_FinishWaitTimer.stop();
    // A run that read the whole file knows its lines: the overview spreads the kept ones over them.
    if (m_pWorker && m_pRunView && m_pWorker->IsWorkerFinished() && m_pWorker->GetResult() == EngineResult::Finished)
        m_pRunView->GetOverview().SetFileLineCount(m_pWorker->GetReadLineCount());
    m_pWorker.reset();
    m_bRunning = false;
    m_bFollowing = false;
    m_bFinishing = false;
    m_bCancelled = false;
    if (m_pRunView)
        m_pRunView->EndFilterOutput();
    if (m_bRedrawSuspended) {
        if (m_pRunView) {
            m_pRunView->setUpdatesEnabled(true);
            m_pRunView->viewport()->update();
        }
        m_bRedrawSuspended = false;
    }
    if (m_pRunDocument)
        disconnect(m_pRunDocument, nullptr, this, nullptr);
    if (m_pRunView)
        disconnect(m_pRunView, nullptr, this, nullptr);
    m_pRunDocument = nullptr;
    m_pRunView = nullptr;
    if (m_pProgressWindow) {
        // Ended before its window closed: the window only goes away.
        m_pProgressWindow = nullptr;
        Q_EMIT Ended();
    }
    Q_EMIT RunningChanged(false);
}

void CFilteringRun::OnRunDocumentGone()
{
    // The output has nowhere to go: stop the worker and drop what it kept.
    m_pRunView = nullptr;
    EndRun();
}

void CFilteringRun::ShowEngineMessage(const QString& message)
{
    if (m_pWorkspace)
        m_pWorkspace->ReportProblem({QStringLiteral("ERROR"), message, CProblemReport::Kind::Error});
}
