// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include "filtering/TextCodec.h"

class CFilteringProgressDlg;
class COstrelDoc;
class COstrelView;
class FilterSettings;
class FilterWorker;
class OutputLineQueue;

// The desktop side of one filtering run at a time: it prepares the document's view, runs the
// engine on a worker thread, appends the kept lines to that view as they arrive, shows the
// progress window and ends the run cleanly however it ends (the file's end, Cancel, the
// progress window's close box, or the document closing).
//
// The output always goes to the view of the document the run started on, whichever tab is
// active meanwhile. The engine's messages are shown on this thread while the worker waits.
class CFilteringRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int FinishWaitMs = 10000;
    static inline const QString CancelledMarker = QStringLiteral("<<< Filtering Cancelled By User >>>");

    CFilteringRun(OutputLineQueue& queue, QWidget* dialogParent, QObject* parent = nullptr);
    ~CFilteringRun() override;

    // Starts a run of the filters on the document's file, into its view, which is emptied and
    // shown with the filter-output background. False when no run could be started (the view
    // is left empty and the reason has been shown). Settings are copied: later edits do not
    // reach this run.
    bool Start(COstrelDoc* document, const FilterSettings& settings, TextEncoding encoding = LocaleTextEncoding());

    bool IsRunning() const { return m_bRunning; }
    int GetProgressPercent() const;
    bool IsWorkerFinished() const;
    COstrelDoc* GetRunDocument() const;
    CFilteringProgressDlg* GetProgressDialog() const;

public Q_SLOTS:
    // Takes every batch waiting in the queue into the run's view.
    void OnFilterOutput();
    // The user cancelled: the marker line goes after what is shown, the worker stops, and
    // lines still waiting are dropped.
    void OnFilterCancelled();
    // Ends the run: waits for the worker (bounded), takes the last lines unless cancelled,
    // and gives the view back its drawing.
    void OnFilterFinished();

Q_SIGNALS:
    // A run started (true) or ended (false): the dialog disables and enables Apply.
    void RunningChanged(bool running);

private:
    void OnRunDocumentGone();
    void ShowEngineMessage(const QString& message);
    void EndRun(bool keepQueuedLines);

    OutputLineQueue& m_Queue;
    QPointer<QWidget> m_pDialogParent;
    QPointer<COstrelDoc> m_pRunDocument;
    QPointer<COstrelView> m_pRunView;
    std::unique_ptr<FilterWorker> m_pWorker;
    QPointer<CFilteringProgressDlg> m_pProgressDlg;
    bool m_bRunning = false;
    bool m_bRedrawSuspended = false;
    bool m_bCancelled = false;
};
