// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QDialog>
#include <QPointer>

class COstrelView;
class QLabel;
class QPushButton;
class QTreeWidget;

// Bookmarks...: the view's bookmarked lines, each with its number and text. Go To (Enter, or a
// double-click) goes to the line chosen and closes; Clear All takes every bookmark away; Close.
// A line the filter output does not hold is listed greyed and cannot be gone to. Modal.
class CBookmarksDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CBookmarksDlg(COstrelView& view, QWidget* parent = nullptr);

private:
    void FillList();
    void UpdateButtons();
    void GoToChosen();
    void ClearAll();

    QPointer<COstrelView> m_pView;
    QTreeWidget* m_pList;
    QLabel* m_pNoteLabel;
    QPushButton* m_pGoToButton;
    QPushButton* m_pClearAllButton;
};
