// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>

class CToolBarManager;
class QAction;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolBar;

// Customize... (command 126): the toolbars (show or hide, new, rename, delete, reset), the
// commands (add any menu command to a toolbar, remove buttons) and the options (text labels).
// Modeless; every change applies at once.
class CCustomizeDlg : public QDialog
{
    Q_OBJECT

public:
    // The commands offered are the menus' commands, in menu order.
    CCustomizeDlg(CToolBarManager* manager, const QList<QAction*>& commands, QWidget* parent = nullptr);

    // The toolbar chosen on the Toolbars page.
    QToolBar* GetSelectedToolBar() const;
    void SelectToolBar(QToolBar* bar);
    // The Toolbars page's New and Rename with the name already asked.
    QToolBar* CreateToolBar(const QString& name);
    bool RenameSelectedToolBar(const QString& name);

private:
    QWidget* CreateToolBarsPage();
    QWidget* CreateCommandsPage();
    QWidget* CreateOptionsPage();
    void FillToolBarList();
    void FillButtonList();
    void UpdateButtons();
    QToolBar* GetTargetToolBar() const;
    void OnNewToolBar();
    void OnRenameToolBar();
    void OnDeleteToolBar();
    void OnResetToolBar();
    void OnAddButton();
    void OnRemoveButton();

    CToolBarManager* m_pManager;
    QList<QAction*> m_Commands;
    QTabWidget* m_pPages = nullptr;
    QListWidget* m_pToolBarList = nullptr;
    QPushButton* m_pNewButton = nullptr;
    QPushButton* m_pRenameButton = nullptr;
    QPushButton* m_pDeleteButton = nullptr;
    QPushButton* m_pResetButton = nullptr;
    QListWidget* m_pCommandList = nullptr;
    QComboBox* m_pTargetCombo = nullptr;
    QListWidget* m_pButtonList = nullptr;
    QPushButton* m_pAddButton = nullptr;
    QPushButton* m_pRemoveButton = nullptr;
    QCheckBox* m_pTextLabelsCheck = nullptr;
    bool m_bFilling = false;
};
