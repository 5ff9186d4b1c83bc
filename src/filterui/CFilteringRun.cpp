// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CFilteringRun.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>

#include "document/COstrelDoc.h"
#include "filtering/FilterRun.h"
#include "filtering/FilterSettings.h"
#include "filtering/FilterWorker.h"
#include "filtering/OutputLineQueue.h"
#include "filterui/CFilteringProgressDlg.h"
#include "view/COstrelView.h"

namespace {

// A message the worker waits on until the user has dismissed it, or until the run is stopped.
struct PendingMessage
{
    std::mutex Mutex;
    std::condition_variable_any Shown;
    bool Done = false; // guarded by Mutex
};

} // namespace

CFilteringRun::CFilteringRun(OutputLineQueue& queue, QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_Queue(queue), m_pDialogParent(dialogParent)
{
    // The program may quit while a run goes on: stop it while the queue still exists.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { EndRun(false); });
}

CFilteringRun::~CFilteringRun()
{
    EndRun(false);
}

bool CFilteringRun::Start(COstrelDoc* document, const FilterSettings& settings, TextEncoding encoding)
{
    if (m_bRunning || !document || !document->GetView())
        return false;
    COstrelView* view = document->GetView();
    view->BeginFilterOutput();

    FilterRun run = MakeFilterRun(settings, QFile::encodeName(document->GetPathName()).toStdString(), encoding);
    m_pRunDocument = document;
    m_pRunView = view;
    m_bCancelled = false;
    m_Queue.Clear();
    m_Queue.SetNotification([this] { QMetaObject::invokeMethod(this, &CFilteringRun::OnFilterOutput, Qt::QueuedConnection); });

    auto worker = std::make_unique<FilterWorker>(std::move(run), m_Queue, FilterWorker::ErrorReporter{});
    const std::stop_token stop = worker->GetStopToken();
    // The worker waits for each message until it has been dismissed, or until the run stops.
    worker->SetErrorReporter([this, stop](const std::string& message) {
        auto pending = std::make_shared<PendingMessage>();
        const QString text = QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size()));
        QMetaObject::invokeMethod(
            this,
            [this, pending, text] {
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
        m_Queue.SetNotification({});
        m_pRunDocument = nullptr;
        m_pRunView = nullptr;
        ShowEngineMessage(QStringLiteral("The filtering thread could not be started: ") + QString::fromLocal8Bit(error.c_str()));
        return false;
    }
    m_pWorker = std::move(worker);
    m_bRunning = true;
    connect(document, &QObject::destroyed, this, &CFilteringRun::OnRunDocumentGone, Qt::UniqueConnection);
    connect(view, &QObject::destroyed, this, &CFilteringRun::OnRunDocumentGone, Qt::UniqueConnection);
    // The whole file shown again (Delete All Filters, a Ctrl+double-click) ends the run at once.
    connect(view, &COstrelView::ShowsFilteredTextChanged, this, [this](bool showsFilteredText) {
        if (!showsFilteredText)
            EndRun(false);
    });
    if (!m_bRedrawSuspended) {
        view->setUpdatesEnabled(false);
        m_bRedrawSuspended = true;
    }
    Q_EMIT RunningChanged(true);

    if (!m_pProgressDlg) {
        m_pProgressDlg = new CFilteringProgressDlg(this, m_pDialogParent);
        connect(m_pProgressDlg, &CFilteringProgressDlg::Cancelled, this, &CFilteringRun::OnFilterCancelled,
                Qt::QueuedConnection);
        connect(m_pProgressDlg, &CFilteringProgressDlg::Closed, this, &CFilteringRun::OnFilterFinished,
                Qt::QueuedConnection);
    }
    m_pProgressDlg->show();
    return true;
}

COstrelDoc* CFilteringRun::GetRunDocument() const
{
    return m_pRunDocument;
}

CFilteringProgressDlg* CFilteringRun::GetProgressDialog() const
{
    return m_pProgressDlg;
}

int CFilteringRun::GetProgressPercent() const
{
    return m_pWorker ? m_pWorker->GetProgressPercent() : 0;
}

bool CFilteringRun::IsWorkerFinished() const
{
    return m_pWorker && m_pWorker->IsWorkerFinished();
}

void CFilteringRun::OnFilterOutput()
{
    while (auto batch = m_Queue.PopOutputLines())
        if (m_bRunning && !m_bCancelled && m_pRunView)
            m_pRunView->AppendOutputLines(*batch);
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
    EndRun(!m_bCancelled);
}

void CFilteringRun::EndRun(bool keepQueuedLines)
{
    if (!m_bRunning)
        return;
    m_bRunning = false;
    if (m_pWorker) {
        m_pWorker->RequestStop();
        m_pWorker->WaitForFinish(std::chrono::milliseconds(FinishWaitMs));
    }
    m_Queue.SetNotification({});
    while (auto batch = m_Queue.PopOutputLines())
        if (keepQueuedLines && m_pRunView)
            m_pRunView->AppendOutputLines(*batch);
    m_pWorker.reset();
    m_bCancelled = false;
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
    if (m_pProgressDlg) {
        // Closed without a run to end: the window only goes away.
        disconnect(m_pProgressDlg, nullptr, this, nullptr);
        m_pProgressDlg->close();
        m_pProgressDlg = nullptr;
    }
    Q_EMIT RunningChanged(false);
}

void CFilteringRun::OnRunDocumentGone()
{
    // The output has nowhere to go: stop the worker and drop what it kept.
    m_pRunView = nullptr;
    EndRun(false);
}

void CFilteringRun::ShowEngineMessage(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ERROR"), message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("filteringErrorBox"));
    box.exec();
}
