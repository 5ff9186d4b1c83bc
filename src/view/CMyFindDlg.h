// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QPointer>
#include <QString>

#include "view/CViewSearch.h"

class COstrelView;
class CPagedSearch;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The one Find dialog of the program: modeless, hidden rather than closed, so that it keeps its
// text and options between uses. Each press of Find Next searches whichever log view is active
// at that moment and remembers the text and options for F3. A search through a long text goes on
// while the window does; a new one, Escape or Cancel stops it.
class CMyFindDlg : public QDialog
{
    Q_OBJECT

public:
    using ActiveViewResolver = std::function<COstrelView*()>;

    explicit CMyFindDlg(ActiveViewResolver activeView, QWidget* parent = nullptr);
    ~CMyFindDlg() override;

    // The Find command: the text selected and focused, Find Next the default button, shown.
    void ShowDialog();
    // F3: the remembered search in the view; nothing before the first press of Find Next.
    void RepeatSearch(COstrelView* view);
    // Shift+F3: the remembered search toward the start of the view, whatever its direction.
    void RepeatSearchBackward(COstrelView* view);
    bool IsSearching() const { return m_pSearch != nullptr || m_pPagedSearch != nullptr; }

    bool GetMatchCase() const { return m_bMatchCase; }
    bool GetWholeWord() const { return m_bWholeWord; }
    bool GetSearchDown() const { return m_bSearchDown; }
    QString GetFindText() const { return m_strFindText; }

public Q_SLOTS:
    // Reads the controls, remembers them and searches the active view.
    void OnFindNext();
    // Cancel and the close box: a running search stops, the dialog hides.
    void reject() override;

Q_SIGNALS:
    // A search ended: found and selected, not found (after its message), or stopped.
    void SearchFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnFindTextChanged(const QString& text);
    // The remembered text and options searched in a view, down or up from the selection;
    // "Search Text Not Found" on a miss.
    void Search(COstrelView* view, bool searchDown);
    void StopSearch();
    // Tells how a search ended: not found, or moves the dialog off what it found.
    void FinishSearch(CViewSearch::Outcome outcome, const QPointer<COstrelView>& target);

    ActiveViewResolver m_ActiveView;
    bool m_bMatchCase = false;
    bool m_bWholeWord = false;
    bool m_bSearchDown = true;
    QString m_strFindText;
    // The search that runs, until it finishes.
    std::unique_ptr<CViewSearch> m_pSearch;
    std::unique_ptr<CPagedSearch> m_pPagedSearch; // a paged view's: the file is searched
    QLineEdit* m_pFindWhatEdit;
    QCheckBox* m_pWholeWordCheck;
    QCheckBox* m_pMatchCaseCheck;
    QRadioButton* m_pUpRadio;
    QRadioButton* m_pDownRadio;
    QPushButton* m_pFindNextButton;
    QPushButton* m_pCancelButton;
};

// The Find dialog once the Find command has been chosen; it lives until the program ends.
extern QPointer<CMyFindDlg> g_pFindDlg;
