// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFindTextFields.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CFindTextFields CFindTextFields::Create(QDialog* dialog)
{
    CFindTextFields fields;
    fields.FindWhatLabel = new QLabel(QStringLiteral("Fi&nd what:"), dialog);
    fields.FindWhatEdit = new QLineEdit(dialog);
    fields.FindWhatEdit->setObjectName(QStringLiteral("findWhatEdit"));
    fields.FindWhatEdit->setMinimumWidth(220);
    fields.FindWhatLabel->setBuddy(fields.FindWhatEdit);

    fields.WholeWordCheck = new QCheckBox(QStringLiteral("Match &whole word only"), dialog);
    fields.WholeWordCheck->setObjectName(QStringLiteral("matchWholeWordCheck"));
    fields.MatchCaseCheck = new QCheckBox(QStringLiteral("Match &case"), dialog);
    fields.MatchCaseCheck->setObjectName(QStringLiteral("matchCaseCheck"));
    fields.OptionsLayout = new QVBoxLayout;
    fields.OptionsLayout->addStretch();
    fields.OptionsLayout->addWidget(fields.WholeWordCheck);
    fields.OptionsLayout->addWidget(fields.MatchCaseCheck);
    return fields;
}

void CFindTextFields::Present(QDialog* dialog, QLineEdit* findWhatEdit, QPushButton* defaultButton)
{
    findWhatEdit->selectAll();
    defaultButton->setDefault(true);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    findWhatEdit->setFocus();
}

QString& CFindTextFields::LastSearchedText()
{
    static QString text;
    return text;
}
