// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CReplaceDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "view/CFindTextFields.h"
#include "view/COstrelView.h"
#include "view/CViewSearch.h"
#include "view/FoundTextPlacement.h"

QPointer<CReplaceDlg> g_pReplaceDlg;

namespace {

// A selection longer than this is not what anyone wants to search for.
constexpr long LongestSeededSelection = 1024;

// The view's one-line selection as text, or nothing.
QString SelectedLineText(COstrelView* view)
{
    const CEditor& editor = view->GetEditor();
    const std::int64_t start = editor.GetSelectionStart();
    const std::int64_t end = editor.GetSelectionEnd();
    if (end <= start || end - start > LongestSeededSelection)
        return {};
    const QByteArray bytes = editor.GetSelectedText();
    if (bytes.contains('\n') || bytes.contains('\r') || bytes.contains('\0'))
        return {};
    if (editor.GetCodePage() == QsciScintillaBase::SC_CP_UTF8)
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

} // namespace

CReplaceDlg::CReplaceDlg(ActiveViewResolver activeView, QWidget* parent)
    : QDialog(parent), m_ActiveView(std::move(activeView))
{
    setObjectName(QStringLiteral("replaceDialog"));
    setWindowTitle(QStringLiteral("Replace"));
    setModal(false);

    const CFindTextFields fields = CFindTextFields::Create(this);
    m_pFindWhatEdit = fields.FindWhatEdit;
    m_pWholeWordCheck = fields.WholeWordCheck;
    m_pMatchCaseCheck = fields.MatchCaseCheck;
    auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
    m_pReplaceWithEdit = new QLineEdit(this);
    m_pReplaceWithEdit->setObjectName(QStringLiteral("replaceWithEdit"));
    replaceLabel->setBuddy(m_pReplaceWithEdit);

    m_pFindNextButton = new QPushButton(QStringLiteral("&Find Next"), this);
    m_pFindNextButton->setObjectName(QStringLiteral("findNextButton"));
    m_pReplaceButton = new QPushButton(QStringLiteral("&Replace"), this);
    m_pReplaceButton->setObjectName(QStringLiteral("replaceButton"));
    m_pReplaceAllButton = new QPushButton(QStringLiteral("Replace &All"), this);
    m_pReplaceAllButton->setObjectName(QStringLiteral("replaceAllButton"));
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(fields.FindWhatLabel, 0, 0);
    layout->addWidget(m_pFindWhatEdit, 0, 1);
    layout->addWidget(replaceLabel, 1, 0);
    layout->addWidget(m_pReplaceWithEdit, 1, 1);
    layout->addLayout(fields.OptionsLayout, 2, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {m_pFindNextButton, m_pReplaceButton, m_pReplaceAllButton, m_pCancelButton})
        buttons->addWidget(button);
    buttons->addStretch();
    layout->addLayout(buttons, 0, 2, 3, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QPushButton* button : {m_pFindNextButton, m_pReplaceButton, m_pReplaceAllButton})
        button->setEnabled(false);
    m_pFindNextButton->setDefault(true);

    // The fields in reading order: the replacement field was made after the shared ones.
    QWidget::setTabOrder(m_pFindWhatEdit, m_pReplaceWithEdit);
    QWidget::setTabOrder(m_pReplaceWithEdit, m_pWholeWordCheck);
    QWidget::setTabOrder(m_pWholeWordCheck, m_pMatchCaseCheck);
    QWidget::setTabOrder(m_pMatchCaseCheck, m_pFindNextButton);
    QWidget::setTabOrder(m_pFindNextButton, m_pReplaceButton);
    QWidget::setTabOrder(m_pReplaceButton, m_pReplaceAllButton);
    QWidget::setTabOrder(m_pReplaceAllButton, m_pCancelButton);

    connect(m_pFindWhatEdit, &QLineEdit::textChanged, this, &CReplaceDlg::OnFindTextChanged);
    connect(m_pFindNextButton, &QPushButton::clicked, this, &CReplaceDlg::OnFindNext);
    connect(m_pReplaceButton, &QPushButton::clicked, this, &CReplaceDlg::OnReplace);
    connect(m_pReplaceAllButton, &QPushButton::clicked, this, &CReplaceDlg::OnReplaceAll);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CReplaceDlg::~CReplaceDlg() = default;

void CReplaceDlg::ShowDialog(COstrelView* view)
{
    const QString selected = view ? SelectedLineText(view) : QString();
    if (!selected.isEmpty())
        m_pFindWhatEdit->setText(selected);
    else if (!CFindTextFields::LastSearchedText().isEmpty())
        m_pFindWhatEdit->setText(CFindTextFields::LastSearchedText());
    CFindTextFields::Present(this, m_pFindWhatEdit, m_pFindNextButton);
}

void CReplaceDlg::OnFindTextChanged(const QString& text)
{
    for (QPushButton* button : {m_pFindNextButton, m_pReplaceButton, m_pReplaceAllButton})
        button->setEnabled(!text.isEmpty());
}

COstrelView* CReplaceDlg::ActiveView() const
{
    return m_ActiveView ? m_ActiveView() : nullptr;
}

void CReplaceDlg::RunSearch(const std::function<void(CViewSearch&)>& start,
                            const std::function<void(const CViewSearch&)>& finished)
{
    StopSearch();
    COstrelView* view = ActiveView();
    if (!view || m_pFindWhatEdit->text().isEmpty())
        return;
    CFindTextFields::LastSearchedText() = m_pFindWhatEdit->text();
    m_pSearch = std::make_unique<CViewSearch>(view, m_pFindWhatEdit->text(), m_pMatchCaseCheck->isChecked(),
                                              m_pWholeWordCheck->isChecked());
    CViewSearch* search = m_pSearch.get();
    connect(search, &CViewSearch::Finished, this,
            [this, search, finished, target = QPointer<COstrelView>(view)](CViewSearch::Outcome outcome) {
                // It goes once its signal has returned; a short text finishes before RunSearch returns.
                if (m_pSearch.get() == search)
                    m_pSearch.release()->deleteLater();
                if (outcome == CViewSearch::Outcome::Found && target)
                    MoveDialogOffSelection(*this, *target);
                finished(*search);
                Q_EMIT SearchFinished();
            });
    start(*search);
}

void CReplaceDlg::StopSearch()
{
    if (m_pSearch)
        m_pSearch->Stop();
}

void CReplaceDlg::reject()
{
    StopSearch();
    QDialog::reject();
}

void CReplaceDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape while a command runs stops only the command; the next one hides the dialog.
    if (event->key() == Qt::Key_Escape && m_pSearch) {
        StopSearch();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CReplaceDlg::OnFindNext()
{
    RunSearch([](CViewSearch& search) { search.StartFindFromSelection(true); },
              [](const CViewSearch& search) {
                  if (search.GetOutcome() == CViewSearch::Outcome::NotFound)
                      CViewSearch::ShowTextNotFound(QStringLiteral("Replace"));
              });
}

void CReplaceDlg::OnReplace()
{
    const QString replacement = m_pReplaceWithEdit->text();
    RunSearch([&replacement](CViewSearch& search) { search.StartReplaceSelectionAndFindNext(replacement); },
              [](const CViewSearch& search) {
                  if (search.GetOutcome() == CViewSearch::Outcome::NotFound)
                      CViewSearch::ShowTextNotFound(QStringLiteral("Replace"));
              });
}

void CReplaceDlg::OnReplaceAll()
{
    const QString replacement = m_pReplaceWithEdit->text();
    RunSearch([&replacement](CViewSearch& search) { search.StartReplaceAll(replacement); },
              [this](const CViewSearch& search) {
                  m_nReplacedCount = search.GetReplacedCount();
                  if (search.GetReplacedCount() == 0 && search.GetOutcome() == CViewSearch::Outcome::NotFound)
                      CViewSearch::ShowTextNotFound(QStringLiteral("Replace"));
              });
}
