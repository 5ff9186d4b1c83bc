// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CWhitespaceFilterDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "view/DialogFrames.h"

using namespace Qt::Literals::StringLiterals;

CWhitespaceFilterDlg::CWhitespaceFilterDlg(QWidget* pParent)
    : QDialog(pParent, PlainDialogFlags | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"whitespaceFilterDialog"_s);
    setWindowTitle(u"Whitespace Only Filter"_s);

    auto* pQuestion =
        new QLabel(u"The filter string consists only of whitespace characters. Continue to add filter string?"_s, this);
    pQuestion->setObjectName(u"questionLabel"_s);
    pQuestion->setWordWrap(true);
    m_pDontPromptCheck = new QCheckBox(u"Don't prompt to add whitespace filter again."_s, this);
    m_pDontPromptCheck->setObjectName(u"dontPromptCheck"_s);
    auto* pOk = new QPushButton(u"OK"_s, this);
    pOk->setObjectName(u"okButton"_s);
    pOk->setDefault(true);
    auto* pCancel = new QPushButton(u"Cancel"_s, this);
    pCancel->setObjectName(u"cancelButton"_s);
    connect(pOk, &QPushButton::clicked, this, &CWhitespaceFilterDlg::accept);
    connect(pCancel, &QPushButton::clicked, this, &CWhitespaceFilterDlg::reject);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(pOk);
    pButtons->addWidget(pCancel);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pQuestion);
    pLayout->addWidget(m_pDontPromptCheck);
    pLayout->addLayout(pButtons);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
    pQuestion->setMinimumWidth(300);

    setTabOrder(pOk, pCancel);
    setTabOrder(pCancel, m_pDontPromptCheck);
}

CWhitespaceFilterDlg::~CWhitespaceFilterDlg() = default;

void CWhitespaceFilterDlg::accept()
{
    m_bDontPrompt = m_pDontPromptCheck->isChecked();
    QDialog::accept();
}
