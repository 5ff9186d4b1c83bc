// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QDialog>
#include <QPointer>
#include <QString>

#include "view/CViewSearch.h"

class COstrelView;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The one Replace dialog of the program: modeless, hidden rather than closed. Its buttons act on
// whichever log view is active when they are pressed, always searching toward the end.
class CReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    using ActiveViewResolver = std::function<COstrelView*()>;

    explicit CReplaceDlg(ActiveViewResolver activeView, QWidget* parent = nullptr);
    ~CReplaceDlg() override;

    // The Replace command: a one-line selection of the view becomes the text to find; the text
    // selected and focused, then shown.
    void ShowDialog(COstrelView* view);

    // The number of occurrences the last Replace All replaced.
    qint64 GetReplacedCount() const { return m_nReplacedCount; }

public Q_SLOTS:
    void OnFindNext();
    void OnReplace();
    void OnReplaceAll();

private:
    void OnFindTextChanged(const QString& text);
    COstrelView* ActiveView() const;
    // Runs one search on the active view with the dialog's text and options. False when none ran
    // (busy, no view, no text) or the dialog went away while it ran.
    bool RunSearch(const std::function<CViewSearch::Outcome(CViewSearch&)>& operation, CViewSearch::Outcome& outcome);

    ActiveViewResolver m_ActiveView;
    bool m_bBusy = false;
    qint64 m_nReplacedCount = 0;
    QLineEdit* m_pFindWhatEdit;
    QLineEdit* m_pReplaceWithEdit;
    QCheckBox* m_pWholeWordCheck;
    QCheckBox* m_pMatchCaseCheck;
    QPushButton* m_pFindNextButton;
    QPushButton* m_pReplaceButton;
    QPushButton* m_pReplaceAllButton;
    QPushButton* m_pCancelButton;
};

// The Replace dialog once the Replace command has been chosen; it lives until the program ends.
extern QPointer<CReplaceDlg> g_pReplaceDlg;
