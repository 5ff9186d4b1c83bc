// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMainMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/CApplicationLooks.h"
#include "app/CCommandActions.h"
#include "app/CommandIds.h"

namespace {

constexpr int MenusWithoutDocument = 128;
constexpr int MenusWithDocument = 130;
// The recent-file entries' numbers; they change with every opening, so they are no commands.
constexpr int MaxRecentFileEntries = 16;

QMenu* CreateMenu(QMainWindow& window, const QString& title, const QString& name)
{
    auto* menu = new QMenu(title, &window);
    menu->setObjectName(name);
    return menu;
}

} // namespace

CMainMenus::CMainMenus(QMainWindow& window, const CCommandActions& commands, FillMenu fillToolBarsMenu,
                       std::function<void()> aboutToShow)
    : m_Window(window), m_Commands(commands)
{
    using namespace CommandId;
    m_pFileMenuNoDocument = CreateMenu(window, QStringLiteral("&File"), QStringLiteral("fileMenu128"));
    m_pFileMenu = CreateMenu(window, QStringLiteral("&File"), QStringLiteral("fileMenu130"));
    RebuildFileMenus({});
    CreateEditMenu();

    // Its own mnemonic: File has Alt+F.
    m_pFormatMenu = CreateMenu(window, QStringLiteral("F&ormat"), QStringLiteral("formatMenu"));
    m_pFormatMenu->addAction(m_Commands.Get(WordWrap));
    m_pFormatMenu->addAction(m_Commands.Get(FormatFont));

    CreateViewMenu(fillToolBarsMenu);

    m_pHelpMenu = CreateMenu(window, QStringLiteral("&Help"), QStringLiteral("helpMenu"));
    m_pHelpMenu->addAction(m_Commands.Get(AppAbout));

    for (QMenu* menu : {m_pFileMenuNoDocument, m_pFileMenu, m_pEditMenu, m_pFormatMenu, m_pViewMenu, m_pHelpMenu})
        QObject::connect(menu, &QMenu::aboutToShow, &window, aboutToShow);
}

void CMainMenus::CreateEditMenu()
{
    using namespace CommandId;
    m_pEditMenu = CreateMenu(m_Window, QStringLiteral("&Edit"), QStringLiteral("editMenu"));
    m_pEditMenu->addAction(m_Commands.Get(EditUndo));
    m_pEditMenu->addSeparator();
    for (int id : {EditCut, EditCopy, EditPaste, EditSelectAll, EditAnyway})
        m_pEditMenu->addAction(m_Commands.Get(id));
    m_pEditMenu->addSeparator();
    for (int id : {EditFind, EditRepeat, EditFindPrevious, EditReplace, EditGoTo})
        m_pEditMenu->addAction(m_Commands.Get(id));
    m_pEditMenu->addSeparator();
    for (int id : {EditToggleBookmark, EditNextBookmark, EditPreviousBookmark, EditBookmarks})
        m_pEditMenu->addAction(m_Commands.Get(id));
    m_pEditMenu->addSeparator();
    for (int id : {CommandId::FilterSettings, DeleteAllFilters, CommandId::ToggleFilterOutput, FilterOutputInNewTab})
        m_pEditMenu->addAction(m_Commands.Get(id));
}

void CMainMenus::CreateViewMenu(const FillMenu& fillToolBarsMenu)
{
    using namespace CommandId;
    m_pViewMenu = CreateMenu(m_Window, QStringLiteral("&View"), QStringLiteral("viewMenu"));
    QMenu* toolbars = m_pViewMenu->addMenu(QStringLiteral("&Toolbars and Docking Windows"));
    toolbars->setObjectName(QStringLiteral("toolbarsMenu"));
    // Filled when it opens: every toolbar's show/hide action, then Customize...
    QObject::connect(toolbars, &QMenu::aboutToShow, &m_Window,
                     [fillToolBarsMenu, toolbars] { fillToolBarsMenu(toolbars); });
    for (int id :
         {ViewStatusBar, ViewLineNumbers, ViewOverviewStrip, ViewTimeline, ViewFollow, ViewRecords, WindowManager})
        m_pViewMenu->addAction(m_Commands.Get(id));
    QMenu* encodings = m_pViewMenu->addMenu(QStringLiteral("&Encoding"));
    encodings->setObjectName(QStringLiteral("encodingMenu"));
    encodings->addAction(m_Commands.Get(ViewEncodingAuto));
    encodings->addSeparator();
    for (int id = ViewEncodingFirst; id <= ViewEncodingLast; ++id)
        encodings->addAction(m_Commands.Get(id));
    m_pViewMenu->addSeparator();
    for (int id : {ViewSplit, ViewSplitSideBySide})
        m_pViewMenu->addAction(m_Commands.Get(id));
    m_pViewMenu->addSeparator();
    for (int id : {ViewHighlights, ViewHighlightSelection})
        m_pViewMenu->addAction(m_Commands.Get(id));
    QMenu* looks = m_pViewMenu->addMenu(QStringLiteral("&Application Look"));
    looks->setObjectName(QStringLiteral("applicationLookMenu"));
    for (int id : CApplicationLooks::PlainLookIds)
        looks->addAction(m_Commands.Get(id));
    QMenu* office2007 = looks->addMenu(QStringLiteral("Office 200&7"));
    for (int id : CApplicationLooks::Office2007LookIds)
        office2007->addAction(m_Commands.Get(id));
}

void CMainMenus::RebuildFileMenus(const QList<QAction*>& recentFiles)
{
    using namespace CommandId;
    m_pFileMenuNoDocument->clear();
    for (int id : {FileOpen, FileOpenRotatedSet, FileOpenMerged, FileOpenCommandOutput, FileClose})
        m_pFileMenuNoDocument->addAction(m_Commands.Get(id));
    m_pFileMenuNoDocument->addSeparator();
    m_pFileMenuNoDocument->addAction(m_Commands.Get(FilePrintSetup));

    m_pFileMenu->clear();
    for (int id : {FileOpen, FileOpenRotatedSet, FileOpenMerged, FileOpenCommandOutput, FileStopCommand, FileClose,
                   FileSave, FileSaveAs})
        m_pFileMenu->addAction(m_Commands.Get(id));
    m_pFileMenu->addSeparator();
    for (int id : {FilePrint, FilePrintPreview, FilePrintSetup})
        m_pFileMenu->addAction(m_Commands.Get(id));

    for (QMenu* menu : {m_pFileMenuNoDocument, m_pFileMenu}) {
        if (!recentFiles.isEmpty()) {
            menu->addSeparator();
            menu->addActions(recentFiles);
        }
        menu->addSeparator();
        menu->addAction(m_Commands.Get(AppExit));
    }
}

void CMainMenus::Show(bool withDocument)
{
    const int wanted = withDocument ? MenusWithDocument : MenusWithoutDocument;
    if (m_nMenusShown == wanted)
        return;
    m_nMenusShown = wanted;
    QMenuBar* bar = m_Window.menuBar();
    bar->clear();
    if (withDocument) {
        for (QMenu* menu : {m_pFileMenu, m_pEditMenu, m_pFormatMenu, m_pViewMenu, m_pHelpMenu})
            bar->addMenu(menu);
    } else {
        for (QMenu* menu : {m_pFileMenuNoDocument, m_pViewMenu, m_pHelpMenu})
            bar->addMenu(menu);
    }
}

QList<QAction*> CMainMenus::GetMenuCommands() const
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
            const bool recentFile =
                id >= CommandId::FileMruFirst && id < CommandId::FileMruFirst + MaxRecentFileEntries;
            if (!action->isSeparator() && ok && id > 0 && !recentFile && !commands.contains(action))
                commands.append(action);
        }
    };
    for (const QMenu* menu : {m_pFileMenu, m_pEditMenu, m_pFormatMenu, m_pViewMenu, m_pHelpMenu})
        scan(menu);
    return commands;
}
