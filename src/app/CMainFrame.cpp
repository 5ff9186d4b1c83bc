// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QToolBar>

#include "app/CChildFrame.h"
#include "app/CCustomizeDlg.h"
#include "app/CDocumentArea.h"
#include "app/CKeyboardIndicators.h"
#include "app/CLookPalettes.h"
#include "app/COstrelApp.h"
#include "app/CSession.h"
#include "app/CToolBarManager.h"
#include "app/CWindowsDlg.h"
#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/ToolBarIcons.h"
#include "document/COstrelDoc.h"
#include "filterui/CFilterSettingsDlg.h"
#include "filterui/CFilteringProgressDlg.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/CTimeGoTo.h"
#include "view/NavigationCommands.h"
#include "view/ProblemReports.h"

namespace {

const QString LookKey = QStringLiteral("Workspace/ApplicationLook");
const QString GeometryKey = QStringLiteral("Workspace/Geometry");
const QString StateKey = QStringLiteral("Workspace/State");
const QString StatusBarKey = QStringLiteral("Workspace/StatusBar");
constexpr int ModifiedTimerPeriodMs = 1000;
constexpr int RecentFileTextWidth = 30;

QString RecentFileText(int number, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    if (shown.size() > RecentFileTextWidth) {
        const QString name = QFileInfo(path).fileName();
        const qsizetype keep = std::max<qsizetype>(0, RecentFileTextWidth - name.size() - 4);
        shown = shown.left(keep) % QStringLiteral("...") % QDir::separator() % name;
    }
    shown.replace(u'&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(number).arg(shown);
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Ostrel"));
    setAcceptDrops(true);
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

    m_nApplicationLook = COstrelSettings().value(LookKey, CommandId::LookDefault).toUInt();
    if (COstrelApp* app = COstrelApp::GetInstance())
        app->SetApplicationLook(m_nApplicationLook);

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

    CreateCommands();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    SetApplicationLook(m_nApplicationLook);
    ShowMenus(false);
    UpdateCommandUI();

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

QAction* CMainFrame::AddCommand(const CommandEntry& entry)
{
    auto* action = new QAction(QString::fromUtf8(entry.Text), this);
    action->setObjectName(QString::fromLatin1(entry.ObjectName));
    action->setData(entry.Id);
    action->setCheckable(entry.Checkable);
    QList<QKeySequence> shortcuts;
    for (const QString& key : QString::fromLatin1(entry.Keys).split(u'|', Qt::SkipEmptyParts))
        shortcuts.append(QKeySequence(key));
    action->setShortcuts(shortcuts);
    // The prompt's first part goes to the status bar, the part after the line break is the tooltip.
    const QString prompt = QString::fromUtf8(entry.Prompt);
    const qsizetype newline = prompt.indexOf(u'\n');
    action->setStatusTip(newline < 0 ? prompt : prompt.left(newline));
    if (newline >= 0)
        action->setToolTip(prompt.mid(newline + 1));
    addAction(action);
    m_Commands[entry.Id] = action;
    if (entry.ViewSlot || entry.ViewCommand) {
        connect(action, &QAction::triggered, this, [this, slot = entry.ViewSlot, command = entry.ViewCommand] {
            if (COstrelView* view = GetActiveLogView()) {
                if (slot)
                    (view->*slot)();
                else
                    command(view);
            }
            UpdateCommandUI(); // Find Next becomes available once Find has been chosen
        });
    }
    return action;
}

QAction* CMainFrame::GetCommand(int id) const
{
    const auto found = m_Commands.find(id);
    return found == m_Commands.end() ? nullptr : found->second;
}

void CMainFrame::CreateCommands()
{
    using namespace CommandId;
    for (const CommandEntry& entry : GetCommandTable())
        AddCommand(entry);

    auto app = [] { return COstrelApp::GetInstance(); };
    auto onTriggered = [this](int id, auto handler) { connect(GetCommand(id), &QAction::triggered, this, handler); };
    onTriggered(FileNew, [app] {
        if (app())
            app()->OnFileNew();
    });
    onTriggered(FileOpen, [this] { OnFileOpen(); });
    onTriggered(FileClose, [this] { OnFileClose(); });
    onTriggered(FileSave, [this] { OnFileSave(); });
    onTriggered(FilePrintSetup, [app] {
        if (app())
            app()->OnFilePrintSetup();
    });
    onTriggered(AppExit, [this] { close(); });
    onTriggered(CommandId::FilterSettings, [this] {
        if (GetActiveLogView())
            ShowFilterSettingsDialog(*this);
    });
    onTriggered(WordWrap, [this] { OnWordWrap(); });
    onTriggered(CommandId::ToggleFilterOutput, [this] { OnToggleFilterOutput(); });
    onTriggered(AppAbout, [app] {
        if (app())
            app()->OnAppAbout();
    });
    onTriggered(NextPane, [this] { OnNextPane(1); });
    onTriggered(PreviousPane, [this] { OnNextPane(-1); });
    onTriggered(ViewCustomize, [this] { ShowCustomizeDialog(); });
    onTriggered(WindowManager, [this] { OnWindowsDialog(); });

    connect(GetCommand(ViewFollow), &QAction::triggered, this, &CMainFrame::OnFollow);
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

    m_pLookGroup = new QActionGroup(this);
    m_pLookGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int id : {LookWindows2000, LookOfficeXP, LookWindowsXP, LookOffice2003, LookVS2005, LookVS2008,
                   LookOffice2007Blue, LookOffice2007Black, LookOffice2007Silver, LookOffice2007Aqua})
        m_pLookGroup->addAction(GetCommand(id));
    connect(m_pLookGroup, &QActionGroup::triggered, this, &CMainFrame::OnApplicationLook);
}

void CMainFrame::CreateMenus()
{
    using namespace CommandId;
    m_pFileMenuNoDocument = new QMenu(QStringLiteral("&File"), this);
    m_pFileMenuNoDocument->setObjectName(QStringLiteral("fileMenu128"));
    m_pFileMenu = new QMenu(QStringLiteral("&File"), this);
    m_pFileMenu->setObjectName(QStringLiteral("fileMenu130"));
    RebuildFileMenus();

    m_pEditMenu = new QMenu(QStringLiteral("&Edit"), this);
    m_pEditMenu->setObjectName(QStringLiteral("editMenu"));
    m_pEditMenu->addAction(GetCommand(EditUndo));
    m_pEditMenu->addSeparator();
    m_pEditMenu->addAction(GetCommand(EditCut));
    m_pEditMenu->addAction(GetCommand(EditCopy));
    m_pEditMenu->addAction(GetCommand(EditPaste));
    m_pEditMenu->addAction(GetCommand(EditSelectAll));
    m_pEditMenu->addSeparator();
    m_pEditMenu->addAction(GetCommand(EditFind));
    m_pEditMenu->addAction(GetCommand(EditRepeat));
    m_pEditMenu->addAction(GetCommand(EditFindPrevious));
    m_pEditMenu->addAction(GetCommand(EditReplace));
    m_pEditMenu->addAction(GetCommand(EditGoTo));
    m_pEditMenu->addSeparator();
    m_pEditMenu->addAction(GetCommand(CommandId::FilterSettings));
    m_pEditMenu->addAction(GetCommand(DeleteAllFilters));
    m_pEditMenu->addAction(GetCommand(CommandId::ToggleFilterOutput));

    // Its own mnemonic: File has Alt+F.
    m_pFormatMenu = new QMenu(QStringLiteral("F&ormat"), this);
    m_pFormatMenu->setObjectName(QStringLiteral("formatMenu"));
    m_pFormatMenu->addAction(GetCommand(WordWrap));
    m_pFormatMenu->addAction(GetCommand(FormatFont));

    m_pViewMenu = new QMenu(QStringLiteral("&View"), this);
    m_pViewMenu->setObjectName(QStringLiteral("viewMenu"));
    QMenu* toolbars = m_pViewMenu->addMenu(QStringLiteral("&Toolbars and Docking Windows"));
    toolbars->setObjectName(QStringLiteral("toolbarsMenu"));
    // Filled when it opens: every toolbar's show/hide action, then Customize...
    connect(toolbars, &QMenu::aboutToShow, this, [this, toolbars] { FillToolBarsMenu(toolbars); });
    m_pViewMenu->addAction(GetCommand(ViewStatusBar));
    m_pViewMenu->addAction(GetCommand(ViewLineNumbers));
    m_pViewMenu->addAction(GetCommand(ViewFollow));
    m_pViewMenu->addAction(GetCommand(WindowManager));
    QMenu* looks = m_pViewMenu->addMenu(QStringLiteral("&Application Look"));
    looks->setObjectName(QStringLiteral("applicationLookMenu"));
    for (int id : {LookWindows2000, LookOfficeXP, LookWindowsXP, LookOffice2003, LookVS2005, LookVS2008})
        looks->addAction(GetCommand(id));
    QMenu* office2007 = looks->addMenu(QStringLiteral("Office 200&7"));
    for (int id : {LookOffice2007Blue, LookOffice2007Black, LookOffice2007Silver, LookOffice2007Aqua})
        office2007->addAction(GetCommand(id));

    m_pHelpMenu = new QMenu(QStringLiteral("&Help"), this);
    m_pHelpMenu->setObjectName(QStringLiteral("helpMenu"));
    m_pHelpMenu->addAction(GetCommand(AppAbout));

    for (QMenu* menu : {m_pFileMenuNoDocument, m_pFileMenu, m_pEditMenu, m_pFormatMenu, m_pViewMenu, m_pHelpMenu})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::RebuildFileMenus()
{
    using namespace CommandId;
    // The action that opened a file may be the one emitting now: it goes once that is over.
    for (QAction* action : std::as_const(m_RecentFileActions)) {
        action->setParent(nullptr);
        action->deleteLater();
    }
    m_RecentFileActions.clear();
    const COstrelApp* app = COstrelApp::GetInstance();
    const QStringList recent = app ? app->GetRecentFileList() : QStringList();
    for (int i = 0; i < recent.size(); ++i) {
        auto* action = new QAction(RecentFileText(i + 1, recent.at(i)), this);
        action->setObjectName(QStringLiteral("recentFile%1Action").arg(i + 1));
        action->setData(FileMruFirst + i);
        action->setStatusTip(QStringLiteral("Open this document"));
        const QString path = recent.at(i);
        connect(action, &QAction::triggered, this, [this, path] { OpenDroppedFile(path); });
        m_RecentFileActions.append(action);
    }

    m_pFileMenuNoDocument->clear();
    m_pFileMenuNoDocument->addAction(GetCommand(FileOpen));
    m_pFileMenuNoDocument->addAction(GetCommand(FileClose));
    m_pFileMenuNoDocument->addSeparator();
    m_pFileMenuNoDocument->addAction(GetCommand(FilePrintSetup));

    m_pFileMenu->clear();
    m_pFileMenu->addAction(GetCommand(FileOpen));
    m_pFileMenu->addAction(GetCommand(FileClose));
    m_pFileMenu->addAction(GetCommand(FileSave));
    m_pFileMenu->addAction(GetCommand(FileSaveAs));
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(GetCommand(FilePrint));
    m_pFileMenu->addAction(GetCommand(FilePrintPreview));
    m_pFileMenu->addAction(GetCommand(FilePrintSetup));

    for (QMenu* menu : {m_pFileMenuNoDocument, m_pFileMenu}) {
        if (!m_RecentFileActions.isEmpty()) {
            menu->addSeparator();
            menu->addActions(m_RecentFileActions);
        }
        menu->addSeparator();
        menu->addAction(GetCommand(AppExit));
    }
}

void CMainFrame::CreateToolBar()
{
    using namespace CommandId;
    m_pToolBar = addToolBar(QStringLiteral("Standard"));
    m_pToolBar->setObjectName(QStringLiteral("standardToolBar"));
    m_pToolBar->setIconSize(QSize(16, 16));
    GetCommand(FileOpen)->setIcon(ToolBarIcon(QStringLiteral("document-open"), QStringLiteral("open")));
    GetCommand(FileSave)->setIcon(ToolBarIcon(QStringLiteral("document-save"), QStringLiteral("save")));
    GetCommand(CommandId::FilterSettings)->setIcon(ToolBarIcon(QStringLiteral("edit-find"), QStringLiteral("filter")));
    GetCommand(DeleteAllFilters)->setIcon(ToolBarIcon(QStringLiteral("edit-clear"), QStringLiteral("clear-filters")));
    GetCommand(ViewFollow)->setIcon(ToolBarIcon(QStringLiteral("go-bottom"), QStringLiteral("follow")));
    GetCommand(EditCut)->setIcon(ToolBarIcon(QStringLiteral("edit-cut"), QStringLiteral("cut")));
    GetCommand(EditCopy)->setIcon(ToolBarIcon(QStringLiteral("edit-copy"), QStringLiteral("copy")));
    GetCommand(EditPaste)->setIcon(ToolBarIcon(QStringLiteral("edit-paste"), QStringLiteral("paste")));
    GetCommand(FilePrint)->setIcon(ToolBarIcon(QStringLiteral("document-print"), QStringLiteral("print")));
    GetCommand(AppAbout)->setIcon(ToolBarIcon(QStringLiteral("help-about"), QStringLiteral("about")));

    m_pToolBarManager = new CToolBarManager(
        this, [this](int id) { return GetCommand(id); }, GetCommand(ViewCustomize));
    m_pToolBarManager->SetStandardToolBar(m_pToolBar,
                                          {FileOpen, FileSave, 0, CommandId::FilterSettings, DeleteAllFilters,
                                           ViewFollow, EditCut, EditCopy, EditPaste, 0, FilePrint, AppAbout});
    // Commands without an image of their own take the user images in menu order.
    QList<int> withoutImage;
    for (QAction* command : GetMenuCommands()) {
        if (command->icon().isNull())
            withoutImage.append(command->data().toInt());
    }
    m_pToolBarManager->SetUserImageCommands(withoutImage);
    m_pToolBarManager->LoadUserImages(QDir::currentPath());
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    m_pMessagePane = new QLabel(QStringLiteral("Ready"), bar);
    m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_pMessagePane, 1);

    auto addPane = [bar](const char* name, const QString& widthText) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setFrameShape(QFrame::StyledPanel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(widthText) + 8);
        bar->addPermanentWidget(pane);
        return pane;
    };
    m_pTimesPane = addPane("timesPane", QString());
    m_pTimesPane->setVisible(false);
    m_pLinePane = addPane("linePane", QString(30, u' '));
    m_pLinePane->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pCapsPane = addPane("capsPane", QStringLiteral("CAP"));
    m_pNumPane = addPane("numPane", QStringLiteral("NUM"));
    m_pScrollPane = addPane("scrollPane", QStringLiteral("SCRL"));
    m_pKeyboardIndicators = new CKeyboardIndicators(m_pCapsPane, m_pNumPane, m_pScrollPane, this);
}

void CMainFrame::ShowMenus(bool withDocument)
{
    const int wanted = withDocument ? 130 : 128;
    if (m_nMenusShown == wanted)
        return;
    m_nMenusShown = wanted;
    QMenuBar* bar = menuBar();
    bar->clear();
    if (withDocument) {
        for (QMenu* menu : {m_pFileMenu, m_pEditMenu, m_pFormatMenu, m_pViewMenu, m_pHelpMenu})
            bar->addMenu(menu);
    } else {
        for (QMenu* menu : {m_pFileMenuNoDocument, m_pViewMenu, m_pHelpMenu})
            bar->addMenu(menu);
    }
}

void CMainFrame::UpdateCommandUI()
{
    using namespace CommandId;
    COstrelView* view = GetActiveLogView();
    const bool hasView = view != nullptr;
    ShowMenus(hasView);
    for (int id : {FileClose, FileSave, FileSaveAs, FilePrint, FilePrintPreview, WordWrap, FormatFont})
        GetCommand(id)->setEnabled(hasView);
    GetCommand(EditSelectAll)->setEnabled(hasView && view->CanSelectAll());
    const bool hasSelection = hasView && view->hasSelectedText();
    // A paged view is read-only: nothing that edits.
    const bool editable = hasView && !view->IsPaged();
    GetCommand(EditCut)->setEnabled(hasSelection && editable);
    GetCommand(EditCopy)->setEnabled(hasSelection);
    GetCommand(EditClear)->setEnabled(hasSelection && editable);
    GetCommand(EditPaste)->setEnabled(editable && view->CanPaste());
    GetCommand(EditUndo)->setEnabled(editable && view->isUndoAvailable());
    GetCommand(EditRedo)->setEnabled(editable && view->isRedoAvailable());
    GetCommand(DeleteAllFilters)->setEnabled(hasView && view->GetShowsFilteredText());
    GetCommand(CommandId::ToggleFilterOutput)
        ->setEnabled(hasView &&
                     (view->GetShowsFilteredText() || view->HasKeptFilterOutput() ||
                      (GetActiveLogDocument() && GetActiveLogDocument()->GetFilterSettings().GetEnabledCount() > 0)));
    GetCommand(CommandId::FilterSettings)->setEnabled(hasView);
    GetCommand(EditFind)->setEnabled(CanFind(view));
    GetCommand(EditRepeat)->setEnabled(hasView && CanFindNext());
    GetCommand(EditFindPrevious)->setEnabled(hasView && CanFindNext());
    GetCommand(EditReplace)->setEnabled(editable && CanReplace(view));
    GetCommand(EditGoTo)->setEnabled(hasView);
    if (hasView)
        GetCommand(WordWrap)->setChecked(view->GetWordWrap() != COstrelView::WrapNone);
    GetCommand(ViewFollow)->setEnabled(hasView);
    GetCommand(ViewFollow)->setChecked(hasView && view->GetFollow());
    for (QAction* look : m_pLookGroup->actions())
        look->setChecked(look->data().toUInt() == m_nApplicationLook);
    GetCommand(ViewStatusBar)->setChecked(!statusBar()->isHidden());
}

void CMainFrame::UpdateLinePane()
{
    COstrelView* view = GetActiveLogView();
    if (!view) {
        m_pLinePane->setText(QString());
        return;
    }
    // In filter output the line of the file, too.
    const std::int64_t fileLine = view->GetCaretFileLine();
    m_pLinePane->setText(fileLine > 0 ? QStringLiteral("Line: %1 (file %2)").arg(view->GetCaretLine()).arg(fileLine)
                                      : QStringLiteral("Line: %1").arg(view->GetCaretLine()));
}

void CMainFrame::UpdateTimesPane()
{
    COstrelView* view = GetActiveLogView();
    const TimeLayout layout = view && !view->IsLoading() ? CTimeGoTo(*view).DetectLayout() : TimeLayout::None;
    const std::string_view name = TimeLayoutName(layout);
    m_pTimesPane->setText(QStringLiteral("Times: ") %
                          QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    m_pTimesPane->setVisible(layout != TimeLayout::None);
}

void CMainFrame::UpdateWindowTitle()
{
    // The frame's title is the document's name with the tab's "*" while it is modified.
    const CChildFrame* frame = GetActiveChildFrame();
    setWindowTitle(frame ? frame->windowTitle() % QStringLiteral(" - Ostrel") : QStringLiteral("Ostrel"));
}

void CMainFrame::UpdateReadyText()
{
    // Only over "Ready": a load's progress and a view's note stay until they end.
    if (m_pConnectedView && !m_pConnectedView->IsLoading() && m_pConnectedView->GetStatusNote().isEmpty())
        m_pMessagePane->setText(GetReadyText());
}

QString CMainFrame::GetFilterOutputText(const COstrelDoc& document)
{
    return document.GetOutputExcludesMatches() ? QStringLiteral("Filter output (excluding matches)")
                                               : QStringLiteral("Filter output");
}

QString CMainFrame::GetReadyText() const
{
    const COstrelView* view = GetActiveLogView();
    const COstrelDoc* document = GetActiveLogDocument();
    return view && document && view->GetShowsFilteredText() ? GetFilterOutputText(*document) : QStringLiteral("Ready");
}

QList<COstrelDoc*> CMainFrame::OpenDocumentFiles(const QStringList& paths, bool ask)
{
    QList<COstrelDoc*> documents(paths.size(), nullptr);
    if (ask && paths.size() > ManyFiles) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Ostrel"),
                        QStringLiteral("Open all %1 files?").arg(paths.size()), QMessageBox::Yes | QMessageBox::No,
                        this);
        box.setObjectName(QStringLiteral("openManyFilesBox"));
        box.setInformativeText(QStringLiteral("Each file opens in a tab of its own."));
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return documents;
    }
    m_pDocumentArea->HoldTabTexts(true);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const bool last = i + 1 == paths.size();
        if (last)
            m_pDocumentArea->HoldTabTexts(false); // the active tab is named as it is shown
        documents[i] = OpenDocumentFile(paths.at(i), !last, last);
    }
    return documents;
}

COstrelDoc* CMainFrame::OpenDocumentFile(const QString& path, bool loadWhenShown, bool activate)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames()) {
        if (frame->GetDocument()->GetPathName() == absolute) {
            if (activate)
                m_pDocumentArea->SetActiveChildFrame(frame);
            return frame->GetDocument();
        }
    }
    auto* frame = new CChildFrame(this);
    COstrelDoc* document = frame->GetDocument();
    COstrelView* view = frame->GetView();
    view->OnInitialUpdate();
    ReleaseCommandKeys(view);
    if (!document->OnOpenDocument(absolute, loadWhenShown)) {
        delete frame;
        return nullptr;
    }
    AddOpenDocument(document);
    view->SetChildFrameTitle(document->GetTitle(), false);
    connect(document, &COstrelDoc::TitleChanged, this, &CMainFrame::UpdateWindowTitle);
    connect(frame, &CChildFrame::TitleChanged, this, &CMainFrame::UpdateWindowTitle);
    // Part of a file is not a document: a tab whose file could not be read to its end goes.
    connect(
        document, &COstrelDoc::OpenFailed, this,
        [this, frame = QPointer<CChildFrame>(frame), absolute] {
            if (frame)
                CloseChildFrame(frame);
            if (COstrelApp* app = COstrelApp::GetInstance())
                app->RemoveFromRecentFileList(absolute);
        },
        Qt::QueuedConnection);
    connect(view, &COstrelView::FileDropped, this, &CMainFrame::OpenDroppedFile);
    m_pDocumentArea->AddChildFrame(frame, activate);
    return document;
}

void CMainFrame::ReleaseCommandKeys(COstrelView* view) const
{
    // The editor's own key map binds some of our commands' keys to edits: Ctrl+L cuts a line,
    // Ctrl+D duplicates one. While such a command is disabled its key would reach the editor and
    // change the text; the key belongs to the command. The editing commands keep their keys:
    // the editor does the same with them.
    using namespace CommandId;
    const QList<int> editing = {EditUndo, EditRedo, EditCut, EditCopy, EditPaste, EditClear, EditSelectAll};
    QsciCommandSet* keyMap = view->standardCommands();
    for (const auto& [id, command] : m_Commands) {
        if (editing.contains(id))
            continue;
        for (const QKeySequence& sequence : command->shortcuts()) {
            const int key = sequence[0].toCombined();
            for (QsciCommand* bound : keyMap->commands()) {
                if (bound->key() == key)
                    bound->setKey(0);
                if (bound->alternateKey() == key)
                    bound->setAlternateKey(0);
            }
        }
    }
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
    m_OpenDocuments.append(document);
}

void CMainFrame::RemoveOpenDocument(COstrelDoc* document)
{
    m_OpenDocuments.removeOne(document);
}

CTextFormat CMainFrame::GetTextFormat() const
{
    CTextFormat format;
    if (const COstrelApp* app = COstrelApp::GetInstance()) {
        format.Face = app->GetTextFont();
        format.Color = app->GetTextColor();
        format.Height = app->GetTextHeight();
        format.Offset = app->GetTextOffset();
        format.Mask = app->GetTextMask();
        format.Effects = app->GetTextEffects();
    }
    return format;
}

void CMainFrame::SetTextFormat(const CTextFormat& format)
{
    COstrelApp* app = COstrelApp::GetInstance();
    if (!app)
        return;
    app->SetTextFont(format.Face);
    app->SetTextColor(format.Color);
    app->SetTextHeight(format.Height);
    app->SetTextOffset(format.Offset);
    app->SetTextMask(format.Mask);
    app->SetTextEffects(format.Effects);
    // The font is one for all views: those open take it now, not when next opened.
    for (CChildFrame* frame : m_pDocumentArea->GetChildFrames())
        frame->GetView()->OnTextFormatChanged();
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

void CMainFrame::OnToggleFilterOutput()
{
    COstrelDoc* document = GetActiveLogDocument();
    if (!document)
        return;
    document->ToggleFilterOutput(GetExcludeMatches());
    UpdateCommandUI();
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
    disconnect(m_FilteringConnection);
    m_pConnectedView = frame ? frame->GetView() : nullptr;
    if (m_pConnectedView) {
        connect(m_pConnectedView, &COstrelView::CaretMoved, this, [this] {
            UpdateLinePane();
            UpdateCommandUI();
        });
        connect(m_pConnectedView, &COstrelView::ShowsFilteredTextChanged, this, [this] {
            UpdateReadyText();
            UpdateTimesPane();
            UpdateCommandUI();
        });
        connect(m_pConnectedView, &COstrelView::LoadProgress, this,
                [this](int percent) { m_pMessagePane->setText(QStringLiteral("Loading %1%").arg(percent)); });
        connect(m_pConnectedView, &COstrelView::LoadFinished, this, [this] {
            m_pMessagePane->setText(GetReadyText());
            UpdateTimesPane();
            UpdateCommandUI();
        });
        // A paged view says what it is doing (indexing) and why it cannot be edited; its first
        // lines are known once the index has begun.
        connect(m_pConnectedView, &COstrelView::StatusNoteChanged, this, [this](const QString& note) {
            m_pMessagePane->setText(note.isEmpty() ? GetReadyText() : note);
            if (m_pConnectedView && m_pConnectedView->IsPaged() && m_pTimesPane->isHidden())
                UpdateTimesPane();
            UpdateCommandUI();
        });
        connect(m_pConnectedView, &QObject::destroyed, this, [this] { m_pConnectedView = nullptr; });
        if (!m_pConnectedView->GetStatusNote().isEmpty())
            m_pMessagePane->setText(m_pConnectedView->GetStatusNote());
        else
            m_pMessagePane->setText(m_pConnectedView->IsLoading() ? QStringLiteral("Loading...") : GetReadyText());
        if (COstrelDoc* document = frame->GetDocument()) {
            // A new run over filter output keeps the view's state but may change what it holds.
            m_FilteringConnection =
                connect(document, &COstrelDoc::FilteringChanged, this, &CMainFrame::UpdateReadyText);
            QTabWidget* group = m_pDocumentArea->GetTabGroupOf(frame);
            document->SetTabPosition(group ? group->indexOf(frame) : -1, group);
        }
    } else {
        m_pMessagePane->setText(QStringLiteral("Ready"));
    }
    UpdateCommandUI();
    UpdateLinePane();
    UpdateTimesPane();
    UpdateWindowTitle();
    Q_EMIT m_Signals.ActiveLogViewChanged(m_pConnectedView);
}

void CMainFrame::OnTabMoved(int from, int to)
{
    // Keeps every document's tab index true after a drag; the moved one gets its index from the
    // activation that follows.
    COstrelDoc* moved = GetActiveLogDocument();
    if (!moved || !m_OpenDocuments.contains(moved))
        return;
    int movedIndex = -1;
    QWidget* tabWindow = nullptr;
    moved->GetTabPosition(movedIndex, tabWindow);
    if (!tabWindow)
        return;
    for (COstrelDoc* document : std::as_const(m_OpenDocuments)) {
        int index = -1;
        QWidget* window = nullptr;
        document->GetTabPosition(index, window);
        if (document == moved || window != tabWindow)
            continue;
        if (to > from && from < index && index <= to)
            document->SetTabPosition(index - 1, window);
        else if (to < from && to <= index && index < from)
            document->SetTabPosition(index + 1, window);
    }
    moved->SetTabPosition(to, tabWindow);
}

void CMainFrame::OnMoveToTabGroup(QTabWidget*, QTabWidget* to)
{
    COstrelDoc* moved = GetActiveLogDocument();
    if (!moved)
        return;
    int index = -1;
    QWidget* window = nullptr;
    moved->GetTabPosition(index, window);
    moved->SetTabPosition(index, to);
}

void CMainFrame::SyncTabPositions()
{
    // A tab that closes or changes groups shifts the ones after it in both groups: renumber all,
    // or a tooltip would show a neighbour's path.
    for (QTabWidget* group : m_pDocumentArea->GetTabGroups()) {
        for (int index = 0; index < group->count(); ++index) {
            if (auto* frame = qobject_cast<CChildFrame*>(group->widget(index)))
                frame->GetDocument()->SetTabPosition(index, group);
        }
    }
}

QString CMainFrame::GetTabToolTip(QTabWidget* group, int index) const
{
    for (const COstrelDoc* document : m_OpenDocuments) {
        int tabIndex = -1;
        QWidget* tabWindow = nullptr;
        document->GetTabPosition(tabIndex, tabWindow);
        if (tabIndex == index && tabWindow == group) {
            QString tip = document->GetPathName();
            const COstrelView* view = document->GetView();
            if (view && view->GetShowsFilteredText())
                tip += u'\n' + GetFilterOutputText(*document);
            if (view && view->IsFileChangedOnDisk())
                tip += QStringLiteral("\nFile changed on disk");
            return tip;
        }
    }
    return QString();
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
    QList<QAction*> commands;
    std::function<void(const QMenu*)> scan = [&](const QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (QMenu* sub = action->menu()) {
                scan(sub);
                continue;
            }
            bool ok = false;
            const int id = action->data().toInt(&ok);
            // The recent files change with every opening: they are no commands to place.
            const bool recentFile = id >= CommandId::FileMruFirst && id < CommandId::FileMruFirst + 16;
            if (!action->isSeparator() && ok && id > 0 && !recentFile && !commands.contains(action))
                commands.append(action);
        }
    };
    for (const QMenu* menu : {m_pFileMenu, m_pEditMenu, m_pFormatMenu, m_pViewMenu, m_pHelpMenu})
        scan(menu);
    return commands;
}

void CMainFrame::FillToolBarsMenu(QMenu* menu)
{
    menu->clear();
    for (QToolBar* bar : m_pToolBarManager->GetToolBars())
        menu->addAction(bar->toggleViewAction());
    menu->addSeparator();
    menu->addAction(GetCommand(CommandId::ViewCustomize));
}

QMenu* CMainFrame::createPopupMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("barsContextMenu"));
    FillToolBarsMenu(menu);
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

void CMainFrame::OnWordWrap()
{
    if (COstrelView* view = GetActiveLogView())
        view->SetWordWrap(view->GetWordWrap() == COstrelView::WrapNone ? COstrelView::WrapToWindow
                                                                       : COstrelView::WrapNone);
    UpdateCommandUI();
}

void CMainFrame::OnApplicationLook(QAction* action)
{
    SetApplicationLook(action->data().toUInt());
}

void CMainFrame::SetApplicationLook(unsigned look)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_nApplicationLook = look;
    if (COstrelApp* app = COstrelApp::GetInstance())
        app->SetApplicationLook(look);

    const CLookStyle lookStyle = GetLookStyle(look);
    if (QStyle* style = QStyleFactory::create(lookStyle.StyleName))
        QApplication::setStyle(style);
    QApplication::setPalette(lookStyle.Palette);
    COstrelSettings().setValue(LookKey, look);
    UpdateCommandUI();
    QApplication::restoreOverrideCursor();
}

void CMainFrame::OnFileOpen()
{
    if (COstrelApp* app = COstrelApp::GetInstance())
        app->OnFileOpen();
}

void CMainFrame::OnFileClose()
{
    if (CChildFrame* frame = GetActiveChildFrame())
        CloseChildFrame(frame);
}

void CMainFrame::OnFileSave()
{
    if (COstrelDoc* document = GetActiveLogDocument())
        document->OnFileSave();
    OnModifiedTimer();
}

void CMainFrame::OpenDroppedFile(const QString& path)
{
    COstrelApp* app = COstrelApp::GetInstance();
    if (!app)
        OpenDocumentFile(path);
    else if (OpenDocumentFile(path))
        app->AddToRecentFileList(path);
    else
        app->RemoveFromRecentFileList(path); // an entry that no longer opens is no use
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
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    COstrelApp* app = COstrelApp::GetInstance();
    const QList<COstrelDoc*> documents = OpenDocumentFiles(paths, !app || app->GetAskBeforeOpeningMany());
    if (app)
        app->NoteOpenedFiles(paths, documents);
}
