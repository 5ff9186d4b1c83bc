// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QPointer>
#include <QString>

class COstrelView;
class CViewSearch;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The one Replace dialog of the program: modeless, hidden rather than closed. Its buttons act on
// whichever log view is active when they are pressed, always searching toward the end. Through a
// long text they go on while the window does; another press, Escape or Cancel stops them.
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
    bool IsSearching() const { return m_pSearch != nullptr; }

public Q_SLOTS:
    void OnFindNext();
    void OnReplace();
    void OnReplaceAll();
    // Cancel and the close box: a running command stops, the dialog hides.
    void reject() override;

Q_SIGNALS:
    // A command ended, after its message if it had one.
    void SearchFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnFindTextChanged(const QString& text);
    COstrelView* ActiveView() const;
    // Starts one command on the active view with the dialog's text and options, stopping one
    // still running; `finished` gets the search once it is done. Nothing without a view or text.
    void RunSearch(const std::function<void(CViewSearch&)>& start,
                   const std::function<void(const CViewSearch&)>& finished);
    void StopSearch();

    ActiveViewResolver m_ActiveView;
    // The command that runs, until it finishes.
    std::unique_ptr<CViewSearch> m_pSearch;
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
