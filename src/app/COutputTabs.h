// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class CDerivedOutput;
class CDocumentOpener;
class COstrelDoc;
class COstrelView;
class CSpoolFill;
class ILogWorkspace;
class QProgressDialog;

// Filter Output in New Tab: the lines a view's filter output shows become a document of their
// own ("app.log (output 1)"), written to a spool file on a thread, numbered by the original
// file's lines. Ctrl+double-click on a line of such a tab, whole or filtered again, shows the
// original file at that line: in its tab, or opened anew when that tab has gone.
class COutputTabs : public QObject
{
    Q_OBJECT

public:
    COutputTabs(ILogWorkspace& workspace, CDocumentOpener& opener, QObject* parent = nullptr);
    ~COutputTabs() override;

    // The view shows filter output that a run has finished, of a single file.
    static bool CanOpen(const COstrelView* view);
    // Starts writing the view's output to a new tab; false, after saying why, when it cannot.
    // The tab opens (TabOpened) once the lines are written; the window goes on meanwhile.
    bool OpenFromView(COstrelView& view);
    bool IsWriting() const { return m_pFill != nullptr; }
    // Stops writing the lines of a tab that has not opened yet; its file goes, no tab opens.
    void CancelWriting();
    // Shows the original file at a line of the tab (1-based, original numbering).
    bool GoToOriginalLine(const CDerivedOutput& derived, std::int64_t line);

Q_SIGNALS:
    void TabOpened(COstrelDoc* document);
    // The lines could not be written; the reason was shown.
    void OpenFailed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnFillFinished(int error);
    void ShowProgress();
    void ShowProgressWindow();
    void CloseProgressWindow();
    QString NextTitle(const QString& originalPath);

    ILogWorkspace& m_Workspace;
    CDocumentOpener& m_Opener;
    CSpoolFill* m_pFill = nullptr;
    std::unique_ptr<CDerivedOutput> m_pPending; // the tab's lines while they are written
    QString m_strPendingTitle;
    QTimer m_ProgressTimer;
    // Shows after a moment, with Cancel, while the lines are written; the window goes on.
    QPointer<QProgressDialog> m_pProgress;
    QHash<QString, int> m_Counts; // tabs made so far of each original file
};
