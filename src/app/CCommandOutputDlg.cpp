// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CCommandOutputDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "app/NumberedSettings.h"

namespace {
const QString RecentCommandGroup = QStringLiteral("Recent Command List");
} // namespace

CCommandOutputDlg::CCommandOutputDlg(const QStringList& recentCommands, QWidget* parent)
    : QDialog(parent), m_pCommandBox(new QComboBox(this)),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("commandOutputDialog"));
    setWindowTitle(QStringLiteral("Open Command Output"));
    auto* label = new QLabel(QStringLiteral("&Command (run by /bin/sh; its output is shown as it comes):"), this);
    m_pCommandBox->setObjectName(QStringLiteral("commandBox"));
    m_pCommandBox->setEditable(true);
    m_pCommandBox->setInsertPolicy(QComboBox::NoInsert);
    m_pCommandBox->addItems(recentCommands);
    m_pCommandBox->setCurrentIndex(recentCommands.isEmpty() ? -1 : 0);
    m_pCommandBox->setMinimumContentsLength(48);
    m_pCommandBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    label->setBuddy(m_pCommandBox);
    m_pCommandBox->lineEdit()->selectAll();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_pCommandBox);
    layout->addWidget(m_pButtons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pCommandBox, &QComboBox::editTextChanged, this, &CCommandOutputDlg::UpdateOkButton);
    UpdateOkButton();
}

QString CCommandOutputDlg::GetCommandLine() const
{
    return m_pCommandBox->currentText().trimmed();
}

void CCommandOutputDlg::UpdateOkButton()
{
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(!GetCommandLine().isEmpty());
}

QStringList CCommandOutputDlg::ReadRecentCommands(QSettings& settings)
{
    QStringList commands;
    for (const QString& command :
         ReadNumberedValues(settings, RecentCommandGroup, QStringLiteral("Command"), MaxRecentCommands))
        if (!command.trimmed().isEmpty() && !commands.contains(command))
            commands.append(command);
    return commands;
}

void CCommandOutputDlg::WriteRecentCommands(QSettings& settings, const QStringList& commands)
{
    WriteNumberedValues(settings, RecentCommandGroup, QStringLiteral("Command"), commands, MaxRecentCommands);
}

QStringList CCommandOutputDlg::WithRecentCommand(QStringList commands, const QString& command)
{
    commands.removeAll(command);
    commands.prepend(command);
    while (commands.size() > MaxRecentCommands)
        commands.removeLast();
    return commands;
}
