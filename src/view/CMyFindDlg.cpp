// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CMyFindDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "view/CFindTextFields.h"
#include "view/COstrelView.h"
#include "view/CPagedSearch.h"
#include "view/CViewSearch.h"
#include "view/FoundTextPlacement.h"

QPointer<CMyFindDlg> g_pFindDlg;

CMyFindDlg::CMyFindDlg(ActiveViewResolver activeView, QWidget* parent)
    : QDialog(parent), m_ActiveView(std::move(activeView))
{
    setObjectName(QStringLiteral("findDialog"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    const CFindTextFields fields = CFindTextFields::Create(this);
    m_pFindWhatEdit = fields.FindWhatEdit;
    m_pWholeWordCheck = fields.WholeWordCheck;
    m_pMatchCaseCheck = fields.MatchCaseCheck;

    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    m_pUpRadio = new QRadioButton(QStringLiteral("&Up"), direction);
    m_pUpRadio->setObjectName(QStringLiteral("upRadio"));
    m_pDownRadio = new QRadioButton(QStringLiteral("&Down"), direction);
    m_pDownRadio->setObjectName(QStringLiteral("downRadio"));
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_pUpRadio);
    directionLayout->addWidget(m_pDownRadio);

    m_pFindNextButton = new QPushButton(QStringLiteral("&Find Next"), this);
    m_pFindNextButton->setObjectName(QStringLiteral("findNextButton"));
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(fields.FindWhatLabel, 0, 0);
    layout->addWidget(m_pFindWhatEdit, 0, 1, 1, 2);
    layout->addLayout(fields.OptionsLayout, 1, 0, 1, 2);
    layout->addWidget(direction, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pFindNextButton);
    buttons->addWidget(m_pCancelButton);
    buttons->addStretch();
    layout->addLayout(buttons, 0, 3, 2, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The state a new dialog starts in; later Finds show it as it was left.
    m_pFindNextButton->setEnabled(false);
    m_pMatchCaseCheck->setChecked(m_bMatchCase);
    m_pWholeWordCheck->setChecked(m_bWholeWord);
    m_pDownRadio->setChecked(true);
    m_bSearchDown = true;
    m_pFindNextButton->setDefault(true);

    connect(m_pFindWhatEdit, &QLineEdit::textChanged, this, &CMyFindDlg::OnFindTextChanged);
    connect(m_pFindNextButton, &QPushButton::clicked, this, &CMyFindDlg::OnFindNext);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_pFindWhatEdit->installEventFilter(this);
}

CMyFindDlg::~CMyFindDlg() = default;

void CMyFindDlg::ShowDialog()
{
    CFindTextFields::Present(this, m_pFindWhatEdit, m_pFindNextButton);
}

void CMyFindDlg::OnFindTextChanged(const QString& text)
{
    m_pFindNextButton->setEnabled(!text.isEmpty());
}

bool CMyFindDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the edit runs Find Next even while the button is disabled, and only once: the
    // dialog would otherwise press its default button as well.
    if (watched == m_pFindWhatEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QMetaObject::invokeMethod(this, &CMyFindDlg::OnFindNext, Qt::QueuedConnection);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CMyFindDlg::OnFindNext()
{
    m_strFindText = m_pFindWhatEdit->text();
    CFindTextFields::LastSearchedText() = m_strFindText;
    m_bMatchCase = m_pMatchCaseCheck->isChecked();
    m_bWholeWord = m_pWholeWordCheck->isChecked();
    m_bSearchDown = !m_pUpRadio->isChecked();
    if (COstrelView* view = m_ActiveView ? m_ActiveView() : nullptr)
        Search(view, m_bSearchDown);
}

void CMyFindDlg::RepeatSearch(COstrelView* view)
{
    if (m_strFindText.isEmpty() || !view)
        return;
    Search(view, m_bSearchDown);
}

void CMyFindDlg::RepeatSearchBackward(COstrelView* view)
{
    if (m_strFindText.isEmpty() || !view)
        return;
    Search(view, false);
}

void CMyFindDlg::Search(COstrelView* view, bool searchDown)
{
    // A new search takes the place of one still running.
    StopSearch();
    view->GetOverview().MarkFindText(m_strFindText, m_bMatchCase, m_bWholeWord);
    if (view->IsPaged()) {
        m_pPagedSearch = std::make_unique<CPagedSearch>(view, m_strFindText, m_bMatchCase, m_bWholeWord);
        CPagedSearch* search = m_pPagedSearch.get();
        connect(search, &CPagedSearch::Finished, this,
                [this, search, target = QPointer<COstrelView>(view)](CViewSearch::Outcome outcome) {
                    if (m_pPagedSearch.get() == search)
                        m_pPagedSearch.release()->deleteLater();
                    FinishSearch(outcome, target);
                });
        search->StartFindFromSelection(searchDown);
        return;
    }
    m_pSearch = std::make_unique<CViewSearch>(view, m_strFindText, m_bMatchCase, m_bWholeWord);
    CViewSearch* search = m_pSearch.get();
    connect(search, &CViewSearch::Finished, this,
            [this, search, target = QPointer<COstrelView>(view)](CViewSearch::Outcome outcome) {
                // It goes once its signal has returned; a short text finishes before Search returns.
                if (m_pSearch.get() == search)
                    m_pSearch.release()->deleteLater();
                FinishSearch(outcome, target);
            });
    search->StartFindFromSelection(searchDown);
}

void CMyFindDlg::FinishSearch(CViewSearch::Outcome outcome, const QPointer<COstrelView>& target)
{
    if (outcome == CViewSearch::Outcome::NotFound)
        CViewSearch::ShowTextNotFound(QStringLiteral("Find"));
    else if (outcome == CViewSearch::Outcome::Found && target) {
        MoveDialogOffSelection(*this, *target);
        // The paged view's strip marks the lines Find has reached.
        if (target->IsPaged() && !target->GetShowsFilteredText())
            target->GetOverview().AddFoundLine(target->GetCaretLine() - 1);
    }
    Q_EMIT SearchFinished();
}

void CMyFindDlg::StopSearch()
{
    if (m_pSearch)
        m_pSearch->Stop();
    if (m_pPagedSearch)
        m_pPagedSearch->Stop();
}

void CMyFindDlg::reject()
{
    StopSearch();
    QDialog::reject();
}

void CMyFindDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape while a search runs stops only the search; the next one hides the dialog.
    if (event->key() == Qt::Key_Escape && IsSearching()) {
        StopSearch();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
