// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include "app/CApplicationLooks.h"
#include "app/CChildFrame.h"
#include "app/CCommandActions.h"
#include "app/CCustomizeDlg.h"
#include "app/CDocumentArea.h"
#include "app/CMainMenus.h"
#include "app/COstrelApp.h"
#include "app/COutputTabs.h"
#include "app/CRecentFileActions.h"
#include "app/CSession.h"
#include "app/CSplitLayout.h"
#include "app/CStatusPanes.h"
#include "app/CStreamOpener.h"
#include "app/CToolBarManager.h"
#include "app/CWindowsDlg.h"
#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "app/CommandTable.h"
#include "app/HighlightSettings.h"
#include "document/COstrelDoc.h"
#include "document/CStreamCapture.h"
#include "filterui/CFilterSettingsDlg.h"
#include "filterui/CFilteringProgressDlg.h"
#include "filterui/HighlightCommands.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/FilterOutputCommands.h"
#include "view/ProblemReports.h"

namespace {

const QString GeometryKey = QStringLiteral("Workspace/Geometry");
const QString StateKey = QStringLiteral("Workspace/State");
const QString StatusBarKey = QStringLiteral("Workspace/StatusBar");
constexpr int ModifiedTimerPeriodMs = 1000;

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Ostrel"));
    setAcceptDrops(true);
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

    if (COstrelApp* app = COstrelApp::GetInstance())
        app->SetApplicationLook(CApplicationLooks::ReadStored());

    m_pDocumentArea = new CDocumentArea(this);
    setCentralWidget(m_pDocumentArea);
    connect(m_pDocumentArea, &CDocumentArea::ActiveChildFrameChanged, this, &CMainFrame::OnActiveChildFrameChanged);
    connect(m_pDocumentArea, &CDocumentArea::CloseRequested, this, &CMainFrame::CloseChildFrame);
    connect(m_pDocumentArea, &CDocumentArea::CloseOthersRequested, this, &CMainFrame::CloseOtherChildFrames);
    connect(m_pDocumentArea, &CDocumentArea::TabMoved, this, &CMainFrame::OnTabMoved);
    connect(m_pDocumentArea, &CDocumentArea::TabMovedToGroup, this, &CMainFrame::OnMoveToTabGroup);
    connect(m_pDocumentArea, &CDocumentArea::TabsRearranged, this, &CMainFrame::SyncTabPositions);
    m_pDocumentArea->SetTabToolTipProvider(
        [this](QTabWidget* group, int index) { return GetTabToolTip(group, index); });

    m_pSplit = std::make_unique<CSplitLayout>();
    m_pCommands = std::make_unique<CCommandActions>(
        *this, [this] { return GetActiveLogView(); }, [this] { UpdateCommandUI(); });
    m_pOpener = std::make_unique<CDocumentOpener>(
        *this, *m_pDocumentArea, m_OpenDocuments, *m_pCommands,
        [this](CChildFrame* frame, const QString& absolutePath) { WireChildFrame(frame, absolutePath); });
    m_pStreamOpener = std::make_unique<CStreamOpener>(*this, *m_pOpener);
    m_pOutputTabs = std::make_unique<COutputTabs>(*this, *m_pOpener);
    ConnectCommands();
    new COverviewCommands(*this, *this, *m_pCommands, *m_pDocumentArea);
    m_pLooks = new CApplicationLooks(*m_pCommands, this);
    connect(m_pLooks, &CApplicationLooks::LookChanged, this, &CMainFrame::UpdateCommandUI);
    m_pRecentFiles =
        std::make_unique<CRecentFileActions>(*this, [this](const QString& path) { m_pOpener->OpenNotingRecent(path); });
    m_pMenus = std::make_unique<CMainMenus>(
        *this, *m_pCommands, [this](QMenu* menu) { m_pToolBarManager->FillToolBarsMenu(menu); },
        [this] { UpdateCommandUI(); });
    RebuildFileMenus();
    CreateToolBar();
    m_pStatusPanes = new CStatusPanes(*statusBar());
    m_pStatusPanes->AddCommandButton(GetCommand(CommandId::EditAnyway), QStringLiteral("editAnywayButton"));
    SetApplicationLook(m_pLooks->Get());
    m_pMenus->Show(false);
    UpdateCommandUI();

    COstrelSettings settings;
    m_HighlightRules = ReadHighlightSettings(settings);

    m_ModifiedTimer.setInterval(ModifiedTimerPeriodMs);
    connect(&m_ModifiedTimer, &QTimer::timeout, this, &CMainFrame::OnModifiedTimer);
    if (COstrelApp* app = COstrelApp::GetInstance())
        connect(app, &COstrelApp::RecentFileListChanged, this, &CMainFrame::RebuildFileMenus);
    // Paste follows what the clipboard holds.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::UpdateCommandUI);
}

CMainFrame::~CMainFrame()
{
    m_ModifiedTimer.stop();
    // The dialogs this window owns go while it is still whole: they follow it as their workspace.
    const QList<QDialog*> dialogs = findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(dialogs);
    // Closing a document ends a filtering run of its own.
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames()) {
        frame->GetDocument()->OnCloseDocument();
        RemoveOpenDocument(frame->GetDocument());
        delete frame;
    }
}

bool CMainFrame::LoadFrame()
{
    COstrelSettings settings;
    if (!restoreGeometry(settings.value(GeometryKey).toByteArray()))
        resize(1000, 700);
    statusBar()->setVisible(settings.value(StatusBarKey, true).toBool());
    // The user toolbars must exist before their places are restored.
    m_pToolBarManager->Load(settings);
    restoreState(settings.value(StateKey).toByteArray());
    m_ModifiedTimer.start();
    UpdateCommandUI();
    return true;
}

QAction* CMainFrame::GetCommand(int id) const
{
    return m_pCommands->Get(id);
}

void CMainFrame::ConnectCommands()
{
    using namespace CommandId;
    auto app = [] { return COstrelApp::GetInstance(); };
    auto onTriggered = [this](int id, auto handler) { connect(GetCommand(id), &QAction::triggered, this, handler); };
    // The commands the application answers, while there is one.
    auto onTriggeredForApp = [onTriggered, app](int id, void (COstrelApp::*handler)()) {
        onTriggered(id, [app, handler] {
            if (app())
                (app()->*handler)();
        });
    };
    onTriggeredForApp(FileNew, &COstrelApp::OnFileNew);
    onTriggeredForApp(FileOpen, &COstrelApp::OnFileOpen);
    onTriggered(FileOpenCommandOutput, [this] { m_pStreamOpener->AskAndOpenCommand(); });
    onTriggered(FileStopCommand, [this] { OnStopCommand(); });
    onTriggeredForApp(FileOpenRotatedSet, &COstrelApp::OnFileOpenRotatedSet);
    onTriggeredForApp(FileOpenMerged, &COstrelApp::OnFileOpenMerged);
    onTriggered(FileClose, [this] { OnFileClose(); });
    onTriggered(FileSave, [this] { OnFileSave(); });
    onTriggeredForApp(FilePrintSetup, &COstrelApp::OnFilePrintSetup);
    onTriggered(AppExit, [this] { close(); });
    onTriggered(CommandId::FilterSettings, [this] {
        if (GetActiveLogView())
            ShowFilterSettingsDialog(*this);
    });
    onTriggered(WordWrap, [this] {
        if (COstrelView* view = GetActiveLogView())
            RunWordWrapCommand(*view);
        UpdateCommandUI();
    });
    onTriggered(CommandId::ToggleFilterOutput, [this] { OnToggleFilterOutput(); });
    onTriggered(FilterOutputInNewTab, [this] {
        if (COstrelView* view = GetActiveLogView())
            m_pOutputTabs->OpenFromView(*view);
    });
    onTriggered(AppAbout, [app] {
        if (app())
            app()->OnAppAbout();
    });
    onTriggered(NextPane, [this] { OnNextPane(1); });
    onTriggered(PreviousPane, [this] { OnNextPane(-1); });
    onTriggered(ViewCustomize, [this] { ShowCustomizeDialog(); });
    onTriggered(WindowManager, [this] { OnWindowsDialog(); });
    onTriggered(ViewHighlights, [this] { ShowHighlightsDialog(*this); });

    connect(GetCommand(ViewFollow), &QAction::triggered, this, &CMainFrame::OnFollow);
    connect(GetCommand(ViewSplit), &QAction::triggered, this, [this](bool shown) {
        m_pSplit->SetShown(shown);
        ApplySplit();
    });
    // Either way round, the split is shown.
    connect(GetCommand(ViewSplitSideBySide), &QAction::triggered, this, [this](bool sideBySide) {
        m_pSplit->SetSideBySide(sideBySide);
        m_pSplit->SetShown(true);
        ApplySplit();
    });
    connect(GetCommand(ViewRecords), &QAction::triggered, this, &CMainFrame::OnRecords);
    // The prompt of the menu item that opened a modal dialog ("Display full pages") would stay in
    // the status bar after the dialog closed: these handlers run once the view's have returned.
    for (int id : {FilePrint, FilePrintPreview, FileSaveAs, FormatFont})
        onTriggered(id, [this] { statusBar()->clearMessage(); });

    QAction* lineNumbers = GetCommand(ViewLineNumbers);
    lineNumbers->setChecked(GetShowLineNumbers());
    connect(lineNumbers, &QAction::toggled, this, &CMainFrame::OnLineNumbers);

    QAction* statusBarCommand = GetCommand(ViewStatusBar);
    statusBarCommand->setChecked(true);
    connect(statusBarCommand, &QAction::toggled, this, [this](bool shown) { statusBar()->setVisible(shown); });
}

void CMainFrame::RebuildFileMenus()
{
    const COstrelApp* app = COstrelApp::GetInstance();
    m_pRecentFiles->Rebuild(app ? app->GetRecentFileList() : QStringList());
    m_pMenus->RebuildFileMenus(m_pRecentFiles->GetActions());
}

void CMainFrame::CreateToolBar()
{
    using namespace CommandId;
    QToolBar* toolBar = addToolBar(QStringLiteral("Standard"));
    toolBar->setObjectName(QStringLiteral("standardToolBar"));
    toolBar->setIconSize(QSize(16, 16));
    m_pCommands->SetToolBarIcons();

    m_pToolBarManager = new CToolBarManager(
        this, [this](int id) { return GetCommand(id); }, GetCommand(ViewCustomize));
    m_pToolBarManager->SetStandardToolBar(toolBar, {FileOpen, FileSave, 0, CommandId::FilterSettings, DeleteAllFilters,
                                                    ViewFollow, EditCut, EditCopy, EditPaste, 0, FilePrint, AppAbout});
    // Commands without an image of their own take the user images in menu order.
    QList<int> withoutImage;
    for (QAction* command : GetMenuCommands()) {
        const int id = command->data().toInt();
        if (command->icon().isNull() && TakesUserImage(id))
            withoutImage.append(id);
    }
    m_pToolBarManager->SetUserImageCommands(withoutImage);
    m_pToolBarManager->LoadUserImages(QDir::currentPath());
}

void CMainFrame::UpdateCommandUI()
{
    COstrelView* view = GetActiveLogView();
    m_pMenus->Show(view != nullptr);
    UpdateViewCommandStates(*m_pCommands, view, GetActiveLogDocument());
    m_pLooks->UpdateChecks();
    GetCommand(CommandId::ViewStatusBar)->setChecked(!statusBar()->isHidden());
    GetCommand(CommandId::ViewSplit)->setChecked(m_pSplit->IsShown());
    GetCommand(CommandId::ViewSplitSideBySide)->setChecked(m_pSplit->IsShown() && m_pSplit->IsSideBySide());
}

void CMainFrame::ApplySplit()
{
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames())
        m_pSplit->Apply(*frame);
    UpdateCommandUI();
}

void CMainFrame::UpdateWindowTitle()
{
    // The frame's title is the document's name with the tab's "*" while it is modified.
    const CChildFrame* frame = GetActiveChildFrame();
    setWindowTitle(frame ? frame->windowTitle() % QStringLiteral(" - Ostrel") : QStringLiteral("Ostrel"));
}

QString CMainFrame::GetFilterOutputText(const COstrelDoc& document)
{
    return DescribeFilterOutput(document);
}

QString CMainFrame::GetReadyText() const
{
    return CStatusPanes::ReadyText(GetActiveLogView(), GetActiveLogDocument());
}

QList<COstrelDoc*> CMainFrame::OpenDocumentFiles(const QStringList& paths, bool ask)
{
    return m_pOpener->OpenMany(paths, ask);
}

COstrelDoc* CMainFrame::OpenDocumentFile(const QString& path, bool loadWhenShown, bool activate)
{
    return m_pOpener->Open(path, loadWhenShown, activate);
}

void CMainFrame::WireChildFrame(CChildFrame* frame, const QString& absolutePath)
{
    COstrelDoc* document = frame->GetDocument();
    connect(document, &COstrelDoc::TitleChanged, this, &CMainFrame::UpdateWindowTitle);
    connect(document, &COstrelDoc::StreamEnded, this, &CMainFrame::UpdateCommandUI);
    connect(frame, &CChildFrame::TitleChanged, this, &CMainFrame::UpdateWindowTitle);
    m_pSplit->Apply(*frame);
    // Part of a file is not a document: a tab whose file could not be read to its end goes.
    connect(
        document, &COstrelDoc::OpenFailed, this,
        [this, frame = QPointer<CChildFrame>(frame), absolutePath] {
            if (frame)
                CloseChildFrame(frame);
            if (COstrelApp* app = COstrelApp::GetInstance())
                app->RemoveFromRecentFileList(absolutePath);
        },
        Qt::QueuedConnection);
    connect(frame->GetView(), &COstrelView::FileDropped, this,
            [this](const QString& path) { m_pOpener->OpenNotingRecent(path); });
}

bool CMainFrame::CloseOtherChildFrames(CChildFrame* keep)
{
    // One after another, each asking to save; a Cancel leaves the rest open.
    const QList<CChildFrame*> frames = m_pDocumentArea->GetChildFrames();
    for (CChildFrame* frame : frames) {
        if (frame != keep && !CloseChildFrame(frame))
            return false;
    }
    m_pDocumentArea->SetActiveChildFrame(keep);
    return true;
}

bool CMainFrame::CloseChildFrame(CChildFrame* frame)
{
    if (!frame->CanClose())
        return false;
    frame->GetDocument()->OnCloseDocument();
    RemoveOpenDocument(frame->GetDocument());
    m_pDocumentArea->RemoveChildFrame(frame);
    frame->deleteLater();
    if (!GetActiveChildFrame())
        OnActiveChildFrameChanged(nullptr);
    return true;
}

void CMainFrame::AddOpenDocument(COstrelDoc* document)
{
    m_OpenDocuments.Add(document);
}

void CMainFrame::RemoveOpenDocument(COstrelDoc* document)
{
    m_OpenDocuments.Remove(document);
}

CTextFormat CMainFrame::GetTextFormat() const
{
    const COstrelApp* app = COstrelApp::GetInstance();
    return app ? app->GetTextFormat() : CTextFormat();
}

void CMainFrame::SetTextFormat(const CTextFormat& format)
{
    COstrelApp* app = COstrelApp::GetInstance();
    if (!app)
        return;
    app->SetTextFormat(format);
    // The font is one for all views: those open take it now, not when next opened.
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames())
        frame->OnTextFormatChanged();
}

QPrinter& CMainFrame::GetPrinter()
{
    if (COstrelApp* app = COstrelApp::GetInstance())
        return app->GetPrinter();
    if (!m_pOwnPrinter)
        m_pOwnPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pOwnPrinter;
}

void CMainFrame::ReportProblem(const CProblemReport& problem)
{
    ShowProblemBox(problem);
}

int CMainFrame::AskQuestion(const CQuestion& question)
{
    return ShowQuestionBox(question);
}

QWidget* CMainFrame::ShowFilteringProgress(CFilteringRun& run)
{
    QWidget* owner = g_pFilterSettingsDlg && g_pFilterSettingsDlg->isVisible()
                         ? static_cast<QWidget*>(g_pFilterSettingsDlg)
                         : static_cast<QWidget*>(this);
    auto* progress = new CFilteringProgressDlg(&run, owner);
    progress->show();
    return progress;
}

bool CMainFrame::GetExcludeMatches() const
{
    return g_pFilterSettingsDlg && g_pFilterSettingsDlg->GetExcludeMatches();
}

bool CMainFrame::GetShowLineNumbers() const
{
    const COstrelApp* app = COstrelApp::GetInstance();
    return !app || app->GetShowLineNumbers();
}

void CMainFrame::OnFollow(bool follow)
{
    COstrelDoc* document = GetActiveLogDocument();
    if (!document)
        return;
    document->SetFollow(follow, GetExcludeMatches());
    UpdateCommandUI();
}

void CMainFrame::OnRecords(bool records)
{
    if (COstrelDoc* document = GetActiveLogDocument())
        document->SetRecords(records, GetExcludeMatches());
    UpdateCommandUI();
}

void CMainFrame::OnToggleFilterOutput()
{
    COstrelDoc* document = GetActiveLogDocument();
    if (!document)
        return;
    document->ToggleFilterOutput(GetExcludeMatches());
    UpdateCommandUI();
}

void CMainFrame::SetHighlightRules(const std::vector<HighlightRule>& rules)
{
    m_HighlightRules = rules;
    COstrelSettings settings;
    WriteHighlightSettings(settings, rules);
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames())
        frame->RefreshMarks();
}

void CMainFrame::OnLineNumbers(bool shown)
{
    if (COstrelApp* app = COstrelApp::GetInstance())
        app->SetShowLineNumbers(shown);
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames())
        frame->GetView()->SetLineNumbersShown(shown);
}

std::int64_t CMainFrame::GetPagedViewThreshold() const
{
    const COstrelApp* app = COstrelApp::GetInstance();
    return app ? app->GetPagedViewThresholdMB() * 1024 * 1024 : 0;
}

unsigned CMainFrame::GetFilterThreadCount() const
{
    const COstrelApp* app = COstrelApp::GetInstance();
    return app ? app->GetFilterThreads() : 0;
}

bool CMainFrame::GetToolTipsEnabled() const
{
    const COstrelApp* app = COstrelApp::GetInstance();
    return !app || app->GetTooltipsEnable() != 0;
}

void CMainFrame::SetToolTipsEnabled(bool enabled)
{
    if (COstrelApp* app = COstrelApp::GetInstance())
        app->SetTooltipsEnable(enabled ? 1 : 0);
}

bool CMainFrame::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        Q_EMIT m_Signals.MainWindowActivated();
    return handled;
}

CChildFrame* CMainFrame::GetActiveChildFrame() const
{
    return m_pDocumentArea->GetActiveChildFrame();
}

COstrelView* CMainFrame::GetActiveLogView() const
{
    const CChildFrame* frame = GetActiveChildFrame();
    return frame ? frame->GetView() : nullptr;
}

COstrelDoc* CMainFrame::GetActiveLogDocument() const
{
    const CChildFrame* frame = GetActiveChildFrame();
    return frame ? frame->GetDocument() : nullptr;
}

void CMainFrame::OnActiveChildFrameChanged(CChildFrame* frame)
{
    if (m_pConnectedView)
        disconnect(m_pConnectedView, nullptr, this, nullptr);
    m_pConnectedView = frame ? frame->GetView() : nullptr;
    m_pStatusPanes->FollowView(m_pConnectedView, frame ? frame->GetDocument() : nullptr);
    if (m_pConnectedView)
        FollowActiveView(frame);
    UpdateCommandUI();
    m_pStatusPanes->ShowCaretLine(GetActiveLogView());
    m_pStatusPanes->ShowTimeLayout(GetActiveLogView());
    UpdateWindowTitle();
    Q_EMIT m_Signals.ActiveLogViewChanged(m_pConnectedView);
}

void CMainFrame::FollowActiveView(CChildFrame* frame)
{
    // After the status panes: the commands follow what the view has become.
    connect(m_pConnectedView, &COstrelView::CaretMoved, this, &CMainFrame::UpdateCommandUI);
    connect(m_pConnectedView, &COstrelView::LoadFinished, this, &CMainFrame::UpdateCommandUI);
    connect(m_pConnectedView, &COstrelView::ShowsFilteredTextChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pConnectedView, &COstrelView::StatusNoteChanged, this, &CMainFrame::UpdateCommandUI);
    // A run's output becomes the user's when the run ends: commands on it may be enabled then.
    connect(m_pConnectedView, &COstrelView::ReadOnlyChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pConnectedView, &QObject::destroyed, this, [this] { m_pConnectedView = nullptr; });
    if (COstrelDoc* document = frame->GetDocument()) {
        QTabWidget* group = m_pDocumentArea->GetTabGroupOf(frame);
        document->SetTabPosition(group ? group->indexOf(frame) : -1, group);
    }
}

void CMainFrame::OnTabMoved(int from, int to)
{
    // Keeps every document's tab index true after a drag; the moved one gets its index from the
    // activation that follows.
    m_OpenDocuments.NoteTabMoved(GetActiveLogDocument(), from, to);
}

void CMainFrame::OnMoveToTabGroup(QTabWidget*, QTabWidget* to)
{
    COpenDocuments::NoteMovedToGroup(GetActiveLogDocument(), to);
}

void CMainFrame::SyncTabPositions()
{
    COpenDocuments::RenumberTabs(m_pDocumentArea->GetTabGroups());
}

QString CMainFrame::GetTabToolTip(QTabWidget* group, int index) const
{
    return m_OpenDocuments.GetTabToolTip(group, index);
}

void CMainFrame::OnNextPane(int step)
{
    // F6 goes round the tab groups; with one group it goes round its tabs.
    if (m_pDocumentArea->GetTabGroups().size() > 1)
        m_pDocumentArea->ActivateNextTabGroup(step);
    else
        m_pDocumentArea->ActivateNextChildFrame(step);
}

QList<QAction*> CMainFrame::GetMenuCommands() const
{
    return m_pMenus->GetMenuCommands();
}

QMenu* CMainFrame::createPopupMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("barsContextMenu"));
    m_pToolBarManager->FillToolBarsMenu(menu);
    return menu;
}

CCustomizeDlg* CMainFrame::ShowCustomizeDialog()
{
    if (!m_pCustomizeDlg) {
        m_pCustomizeDlg = new CCustomizeDlg(m_pToolBarManager, GetMenuCommands(), this);
        m_pCustomizeDlg->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_pCustomizeDlg->show();
    m_pCustomizeDlg->raise();
    m_pCustomizeDlg->activateWindow();
    return m_pCustomizeDlg;
}

void CMainFrame::OnWindowsDialog()
{
    CWindowsDlg dialog(this);
    dialog.exec();
}

void CMainFrame::OnModifiedTimer()
{
    COstrelDoc* document = GetActiveLogDocument();
    COstrelView* view = GetActiveLogView();
    if (!document || !view)
        return;
    // Text that arrived without a caret move (a load, a filtering run) enables Find within a second.
    UpdateCommandUI();
    const bool modified = view->IsTextModified();
    if (modified != document->GetTitleShowsModified()) {
        view->SetChildFrameTitle(document->GetTitle(), modified);
        document->SetTitleShowsModified(modified);
    }
}

unsigned CMainFrame::GetApplicationLook() const
{
    return m_pLooks->Get();
}

void CMainFrame::SetApplicationLook(unsigned look)
{
    m_pLooks->Set(look);
}

void CMainFrame::OnFileClose()
{
    if (CChildFrame* frame = GetActiveChildFrame())
        CloseChildFrame(frame);
}

void CMainFrame::OnStopCommand()
{
    if (COstrelDoc* document = GetActiveLogDocument(); document && document->GetStreamCapture())
        document->GetStreamCapture()->Stop();
}

void CMainFrame::OnFileSave()
{
    if (COstrelDoc* document = GetActiveLogDocument())
        document->OnFileSave();
    OnModifiedTimer();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Each document comes to the front while it is asked about; the session keeps the one the
    // user had.
    const QPointer<CChildFrame> active = GetActiveChildFrame();
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames()) {
        m_pDocumentArea->SetActiveChildFrame(frame);
        if (!frame->CanClose()) {
            event->ignore();
            return;
        }
    }
    // What is open now comes back at the next start (when the settings ask for it).
    if (active)
        m_pDocumentArea->SetActiveChildFrame(active);
    {
        COstrelSettings settings;
        CSession::Capture(*m_pDocumentArea).Write(settings);
    }
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames()) {
        frame->GetDocument()->OnCloseDocument();
        RemoveOpenDocument(frame->GetDocument());
        m_pDocumentArea->RemoveChildFrame(frame);
        delete frame;
    }
    SaveWorkspace();
    event->accept();
}

void CMainFrame::ShowStatusNote(const QString& note)
{
    statusBar()->showMessage(note, StatusNoteMs);
}

void CMainFrame::SaveWorkspace() const
{
    COstrelSettings settings;
    settings.setValue(GeometryKey, saveGeometry());
    settings.setValue(StateKey, saveState());
    settings.setValue(StatusBarKey, statusBar()->isVisibleTo(this));
    m_pToolBarManager->Save(settings);
    if (g_pFilterSettingsDlg)
        g_pFilterSettingsDlg->SaveWindowPlacement(settings);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    OpenDroppedUrls(event->mimeData()->urls());
    event->acceptProposedAction();
}

void CMainFrame::OpenDroppedUrls(const QList<QUrl>& urls)
{
    m_pOpener->OpenUrls(urls);
}
