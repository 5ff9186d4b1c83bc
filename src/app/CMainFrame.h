// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "app/CDocumentOpener.h"
#include "app/COpenDocuments.h"
#include "app/COverviewCommands.h"
#include "view/ILogWorkspace.h"

class CApplicationLooks;
class CChildFrame;
class CCommandActions;
class CCustomizeDlg;
class CDocumentArea;
class CMainMenus;
class COutputTabs;
class CRecentFileActions;
class CSplitLayout;
class CStatusPanes;
class CStreamOpener;
class CToolBarManager;
class COstrelDoc;
class COstrelView;
class QMenu;
class QTabWidget;

// The main window: it wires together its command actions, menus, standard toolbar, status panes,
// document tabs and application looks, each a class of its own, and the list of open log
// documents. It is the workspace of its views and dialogs: the active view, the owner of
// dialogs, the font and printer of the settings.
class CMainFrame : public QMainWindow, public ILogWorkspace
{
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Restores the window and bar layout, starts the modified-marker timer.
    bool LoadFrame();

    // Opens a log file in a new tab, or activates its tab when it is open already.
    // Opens the file as a log document in the active tab group, or activates it when it is open
    // already. With loadWhenShown its text is read only when its tab is first shown; without
    // activate the new tab is added behind the current one.
    COstrelDoc* OpenDocumentFile(const QString& path, bool loadWhenShown = false, bool activate = true);
    // Opens the rotated set the file belongs to as one document (see CDocumentOpener).
    COstrelDoc* OpenRotatedSet(const QString& path) { return m_pOpener->OpenRotatedSet(path); }
    COstrelDoc* OpenMerged(const QStringList& paths) { return m_pOpener->OpenMerged(paths); }
    // Past this many files at once, opening asks first.
    static constexpr int ManyFiles = CDocumentOpener::ManyFiles;
    // Opens the files as one batch: the last one ends up active, and the others read their text
    // when first shown, so a thousand files cost a thousand tabs, not a thousand loads. Past
    // ManyFiles files it asks first when ask is set (and opens none when the answer is no).
    // Returns, for each path, its document or null when it was not opened.
    QList<COstrelDoc*> OpenDocumentFiles(const QStringList& paths, bool ask);
    // Standard input and command output in tabs of their own.
    CStreamOpener& GetStreamOpener() const { return *m_pStreamOpener; }
    // Filter Output in New Tab, and Ctrl+double-click in the tabs it makes.
    COutputTabs& GetOutputTabs() const { return *m_pOutputTabs; }
    // Closes a document's tab after asking to save; false when the user cancels.
    bool CloseChildFrame(CChildFrame* frame);
    // Closes every tab but that one's, asking to save each; false when the user cancels one.
    bool CloseOtherChildFrames(CChildFrame* keep);

    void AddOpenDocument(COstrelDoc* document);
    void RemoveOpenDocument(COstrelDoc* document);
    const QList<COstrelDoc*>& GetOpenDocuments() const { return m_OpenDocuments.Get(); }

    COstrelView* GetActiveLogView() const override;
    COstrelDoc* GetActiveLogDocument() const override;
    QWidget* GetDialogOwner() const override { return const_cast<CMainFrame*>(this); }
    CTextFormat GetTextFormat() const override;
    void SetTextFormat(const CTextFormat& format) override;
    QPrinter& GetPrinter() override;
    std::int64_t GetPagedViewThreshold() const override;
    unsigned GetFilterThreadCount() const override;
    bool GetShowLineNumbers() const override;
    bool GetShowOverviewStrip() const override { return COverviewCommands::IsStripShown(); }
    bool GetToolTipsEnabled() const override;
    void SetToolTipsEnabled(bool enabled) override;
    const std::vector<HighlightRule>& GetHighlightRules() const override { return m_HighlightRules; }
    // Stores the rules at once and has every tab show them.
    void SetHighlightRules(const std::vector<HighlightRule>& rules) override;
    CWorkspaceSignals& GetSignals() override { return m_Signals; }
    // A message box without an owner, as the program's messages are.
    void ReportProblem(const CProblemReport& problem) override;
    int AskQuestion(const CQuestion& question) override;
    // The "Filtering Progress" window, over the filter dialog while that is up.
    QWidget* ShowFilteringProgress(CFilteringRun& run) override;
    // The exclude switch runs take when they are not started by Apply: the filter dialog's.
    bool GetExcludeMatches() const;
    CChildFrame* GetActiveChildFrame() const;
    CDocumentArea* GetDocumentArea() const { return m_pDocumentArea; }

    // What the message pane says when nothing goes on: "Ready", or for filter output what the run
    // kept ("Filter output (excluding matches)").
    QString GetReadyText() const;
    static QString GetFilterOutputText(const COstrelDoc& document);

    // A note in the status bar for a while, over the message pane.
    static constexpr int StatusNoteMs = 15000;
    void ShowStatusNote(const QString& note) override;

    // Files dropped on the window open as documents; other URLs are ignored.
    void OpenDroppedUrls(const QList<QUrl>& urls);

    // The action of a command number, or null.
    QAction* GetCommand(int id) const;
    unsigned GetApplicationLook() const;
    // Installs a look (205 to 219; anything else is the Office 2007 look) and stores it at once.
    void SetApplicationLook(unsigned look);

    // Every command of the menus, in menu order, once each (what the Customize dialog offers).
    QList<QAction*> GetMenuCommands() const;
    CToolBarManager* GetToolBarManager() const { return m_pToolBarManager; }
    // Customize... (126): the modeless dialog, created on first use.
    CCustomizeDlg* ShowCustomizeDialog();
    // The tooltip of a tab: the full path of the first open document whose tab position is this
    // group and index; empty when none is.
    QString GetTabToolTip(QTabWidget* group, int index) const;
    // Every document's tab position from where its tab is now.
    void SyncTabPositions();

    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ConnectCommands();
    void CreateToolBar();
    void RebuildFileMenus();
    void UpdateCommandUI();
    void UpdateWindowTitle();
    void WireChildFrame(CChildFrame* frame, const QString& absolutePath);
    void OnActiveChildFrameChanged(CChildFrame* frame);
    void FollowActiveView(CChildFrame* frame);
    void OnModifiedTimer();
    void OnTabMoved(int from, int to);
    void OnMoveToTabGroup(QTabWidget* from, QTabWidget* to);
    void OnNextPane(int step);
    void OnWindowsDialog();
    void OnLineNumbers(bool shown);
    void OnToggleFilterOutput();
    void OnFollow(bool follow);
    // Every tab takes the window's split as it is now.
    void ApplySplit();
    void OnRecords(bool records);
    void OnFileClose();
    void OnStopCommand();
    void OnFileSave();
    void SaveWorkspace() const;

    CWorkspaceSignals m_Signals;
    std::unique_ptr<QPrinter> m_pOwnPrinter; // without the application's
    COpenDocuments m_OpenDocuments;
    std::unique_ptr<CSplitLayout> m_pSplit;
    std::unique_ptr<CCommandActions> m_pCommands;
    std::unique_ptr<CRecentFileActions> m_pRecentFiles;
    std::unique_ptr<CMainMenus> m_pMenus;
    std::unique_ptr<CDocumentOpener> m_pOpener;
    std::unique_ptr<CStreamOpener> m_pStreamOpener;
    std::unique_ptr<COutputTabs> m_pOutputTabs;
    CApplicationLooks* m_pLooks = nullptr;
    CStatusPanes* m_pStatusPanes = nullptr;
    CDocumentArea* m_pDocumentArea = nullptr;
    CToolBarManager* m_pToolBarManager = nullptr;
    QPointer<CCustomizeDlg> m_pCustomizeDlg;
    COstrelView* m_pConnectedView = nullptr;
    QTimer m_ModifiedTimer;
    std::vector<HighlightRule> m_HighlightRules;
};
