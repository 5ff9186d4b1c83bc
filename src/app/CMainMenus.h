// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QList>

class CCommandActions;
class QAction;
class QMainWindow;
class QMenu;

// The menus of the main window: File, Edit, Format, View and Help while a document is open;
// a shorter File menu, View and Help while none is. The menus belong to the window.
class CMainMenus
{
public:
    using FillMenu = std::function<void(QMenu* menu)>;

    // The Toolbars menu is filled by fillToolBarsMenu each time it opens; every menu calls
    // aboutToShow before it opens.
    CMainMenus(QMainWindow& window, const CCommandActions& commands, FillMenu fillToolBarsMenu,
               std::function<void()> aboutToShow);

    // Both File menus anew, with these recent-file entries above Exit.
    void RebuildFileMenus(const QList<QAction*>& recentFiles);
    // The menu bar of a window with a document or of one without; nothing when it shows it already.
    void Show(bool withDocument);
    // Every command of the menus, in menu order, once each, without the recent files.
    QList<QAction*> GetMenuCommands() const;

private:
    void CreateEditMenu();
    void CreateViewMenu(const FillMenu& fillToolBarsMenu);

    QMainWindow& m_Window;
    const CCommandActions& m_Commands;
    QMenu* m_pFileMenuNoDocument = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QMenu* m_pEditMenu = nullptr;
    QMenu* m_pFormatMenu = nullptr;
    QMenu* m_pViewMenu = nullptr;
    QMenu* m_pHelpMenu = nullptr;
    int m_nMenusShown = -1; // the menu resource shown: 128 without a document, 130 with one
};
