// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>

class CChildFrame;
class CMainFrame;
class QListWidget;
class QPushButton;

// Windows... (command 131): the open documents, with Activate, Save and Close Window(s) for
// the ones chosen (several at a time for Save and Close), and OK. Modal.
class CWindowsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CWindowsDlg(CMainFrame* mainFrame);

    QList<CChildFrame*> GetSelectedFrames() const;

private:
    void FillList();
    void UpdateButtons();
    void OnActivate();
    void OnSave();
    void OnCloseWindows();

    CMainFrame* m_pMainFrame;
    QList<CChildFrame*> m_Frames;
    QListWidget* m_pWindowList;
    QPushButton* m_pActivateButton;
    QPushButton* m_pOkButton;
    QPushButton* m_pSaveButton;
    QPushButton* m_pCloseButton;
};
