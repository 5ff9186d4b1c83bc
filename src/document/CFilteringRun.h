// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "filtering/TextCodec.h"

class COstrelDoc;
class ILogWorkspace;
class COstrelView;
class FilterSettings;
class FilterWorker;

// The desktop side of one filtering run of a document: it prepares the document's view, runs the
// engine on a worker thread, appends the kept lines to that view as they arrive, has the
// workspace show a progress window and ends the run cleanly however it ends (the file's end,
// Cancel, the progress window's close box, or the document closing). The document owns it.
//
// The progress window drives the end: OnFilterCancelled when the user cancels, OnFilterFinished
// when it has closed. Without a window (a workspace that shows none) the run ends as soon as
// the worker has read the file.
//
// The output always goes to the view of the document the run started on, whichever tab is
// active meanwhile. Lines are appended in turns of a few milliseconds, so input is handled
// between them and Cancel takes effect at once. The window never waits for the worker: a run
// ends when the worker says it has ended, or, at the latest, FinishWaitMs after it was asked to
// stop; a worker that has not ended by then is left behind and nothing it still produces is shown.
class CFilteringRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int FinishWaitMs = 10000;
    // How long one turn of appending may take before the window handles input again.
    static constexpr int AppendBudgetMs = 20;
    static constexpr int RepaintIntervalMs = 200;
    static inline const QString CancelledMarker = QStringLiteral("<<< Filtering Cancelled By User >>>");
    // The status note of a run of records over a file in which no line begins with a time.
    static inline const QString NoTimesNote =
        QStringLiteral("No times were recognised in this file: each line was filtered as a record of its own.");

    explicit CFilteringRun(QObject* parent = nullptr);
    // The threads a run uses for the number the user chose: 0 for one per core but one, which
    // the window keeps for showing the output (at least one thread).
    static unsigned DesktopThreadCount(unsigned chosen);
    ~CFilteringRun() override;

    // Starts a run of the filters on the document's file, into its view, which is emptied and
    // shown with the filter-output background, read-only until the run ends. False when no run
    // could be started (the view is left empty and the reason has been shown). Settings are
    // copied: later edits do not reach this run.
    // With the view following its file, the run follows it too: once it has read the file it
    // goes on deciding what is appended, in the background (Following), until the view stops
    // following, shows something else, or the document closes.
    bool Start(COstrelDoc* document, const FilterSettings& settings, TextEncoding encoding = LocaleTextEncoding());

    // From Start until the run has ended (Apply is disabled meanwhile).
    bool IsRunning() const { return m_bRunning; }
    // The run was asked to end and waits for its worker, or for the last lines to be shown.
    bool IsFinishing() const { return m_bFinishing; }
    int GetProgressPercent() const;
    bool IsWorkerFinished() const;
    // A followed file has been read to its end.
    bool IsCaughtUp() const;
    // The run has read its followed file and decides what is appended, with no window of its own.
    bool IsFollowing() const { return m_bFollowing; }
    // Ends the run however far it is.
    void Stop() { EndRun(); }
    COstrelDoc* GetRunDocument() const;
    // The progress window the workspace showed for this run, while it is open.
    QWidget* GetProgressWindow() const { return m_pProgressWindow; }

public Q_SLOTS:
    // Takes queued batches into the run's view for one turn, and asks for another while any wait.
    void OnFilterOutput();
    // The user cancelled: the marker line goes after what is shown, the worker stops, and
    // lines still waiting are dropped.
    void OnFilterCancelled();
    // The progress window closed: the run ends once the worker has ended and the lines it kept
    // are shown (unless cancelled), or after FinishWaitMs.
    void OnFilterFinished();

Q_SIGNALS:
    // A run started (true) or ended (false): the dialog disables and enables Apply.
    void RunningChanged(bool running);
    // A turn of appending has ended.
    void OutputAppended();
    // The view was painted while the run goes on (at most every RepaintIntervalMs).
    void RunViewPainted();
    // The run follows its file in the background now; Apply may start another run.
    void Following();
    // The run ended before its progress window closed: the window goes too.
    void Ended();

private:
    void ScheduleOutput();
    void OnWorkerFinished(std::uint64_t runSerial);
    void OnFinishWaitExpired();
    void OnRunDocumentGone();
    void ShowEngineMessage(const QString& message);
    // Ends the run now: the worker is stopped and left to end on its own, queued lines are dropped.
    void EndRun();
    void CompleteRun();
    void RepaintRunView();

    ILogWorkspace* m_pWorkspace = nullptr; // of the run's view: shows its window and its messages
    QPointer<COstrelDoc> m_pRunDocument;
    QPointer<COstrelView> m_pRunView;
    std::unique_ptr<FilterWorker> m_pWorker;
    QPointer<QWidget> m_pProgressWindow;
    QTimer m_FinishWaitTimer;
    QTimer m_RepaintTimer;
    std::uint64_t m_nRunSerial = 0; // tells a late message of an earlier run from one of this run
    bool m_bRunning = false;
    bool m_bFinishing = false;
    bool m_bOutputScheduled = false;
    bool m_bRedrawSuspended = false;
    bool m_bCancelled = false;
    bool m_bFollowing = false;
};
