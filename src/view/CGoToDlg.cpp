// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CGoToDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QVBoxLayout>

#include "view/DialogFrames.h"
#include "view/ProblemReports.h"

CGoToDlg::CGoToDlg(QWidget* parent) : QDialog(parent, PlainDialogFlags)
{
    setObjectName(QStringLiteral("goToLineDialog"));
    setWindowTitle(QStringLiteral("Go To Line"));

    m_pPromptLabel = new QLabel(QStringLiteral("Line Number (1 - ?\?\?):"), this);
    m_pPromptLabel->setObjectName(QStringLiteral("linePromptLabel"));
    m_pLineEdit = new QLineEdit(this);
    m_pLineEdit->setObjectName(QStringLiteral("lineNumberEdit"));
    m_pPromptLabel->setBuddy(m_pLineEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CGoToDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGoToDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPromptLabel);
    layout->addWidget(m_pLineEdit);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_pLineEdit->setMinimumWidth(200);
}

CGoToDlg::~CGoToDlg() = default;

void CGoToDlg::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        m_pLineEdit->setText(QString::number(m_nLine));
        m_pLineEdit->selectAll();
        m_pPromptLabel->setText(QStringLiteral("Line Number (1 - %1):").arg(m_nLineCount));
        m_pLineEdit->setFocus();
    }
    QDialog::showEvent(event);
}

bool CGoToDlg::ReadLineNumber()
{
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = m_pLineEdit->text().trimmed();
    QString message;
    if (!wholeNumber.match(text).hasMatch()) {
        message = QStringLiteral("Enter an integer.");
    } else {
        // Too many digits for any integer type is out of range all the same.
        bool fits = false;
        const qlonglong value = text.toLongLong(&fits);
        if (fits && value >= MinLine && value <= MaxLine) {
            m_nLine = static_cast<int>(value);
            return true;
        }
        message = QStringLiteral("Enter an integer between %1 and %2.").arg(MinLine).arg(MaxLine);
    }
    ShowProblemBox(
        {QStringLiteral("Ostrel"), message, CProblemReport::Kind::Warning, QStringLiteral("goToLineErrorBox")}, this);
    m_pLineEdit->setFocus();
    m_pLineEdit->selectAll();
    return false;
}

void CGoToDlg::accept()
{
    if (ReadLineNumber())
        QDialog::accept();
}
