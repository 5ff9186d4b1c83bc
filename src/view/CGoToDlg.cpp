// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CGoToDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QVBoxLayout>

#include "time/TimeEntry.h"
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
    m_pTimeHintLabel = new QLabel(QStringLiteral("or a time: 14:05, 2026-12-09 14:05:30, -10m"), this);
    m_pTimeHintLabel->setObjectName(QStringLiteral("timeHintLabel"));
    m_pTimeHintLabel->setEnabled(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CGoToDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGoToDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPromptLabel);
    layout->addWidget(m_pLineEdit);
    layout->addWidget(m_pTimeHintLabel);
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
        m_pTimeHintLabel->setVisible(static_cast<bool>(m_FindTimeLine));
        m_pLineEdit->setFocus();
    }
    QDialog::showEvent(event);
}

bool CGoToDlg::ReadLineNumber()
{
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = m_pLineEdit->text().trimmed();
    QString message;
    m_nTimeLine = 0;
    if (!wholeNumber.match(text).hasMatch()) {
        message = ReadTime(text);
        if (message.isEmpty())
            return true;
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

QString CGoToDlg::ReadTime(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const TimeEntry entry = ParseTimeEntry(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!m_FindTimeLine || entry.What == TimeEntry::Kind::NotATime)
        return QStringLiteral("Enter an integer.");
    if (!entry.IsTime())
        return BadTimeMessage();
    std::int64_t line = 0;
    QString message;
    if (!m_FindTimeLine(entry, line, message))
        return message;
    m_nTimeLine = line;
    return {};
}

void CGoToDlg::accept()
{
    if (ReadLineNumber())
        QDialog::accept();
}
