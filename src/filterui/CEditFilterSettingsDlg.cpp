// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CEditFilterSettingsDlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QVBoxLayout>

#include "filtering/FilterSettingsFile.h"
#include "filterui/DecimalText.h"
#include "filterui/FilterStringField.h"
#include "view/DialogFrames.h"

using namespace Qt::Literals::StringLiterals;

namespace {
QLineEdit* CreateNumberField(QWidget* pParent, const QString& name)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(name);
    pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), pEdit));
    pEdit->setFixedWidth(pEdit->fontMetrics().horizontalAdvance(u"0000000000"_s) + 12);
    return pEdit;
}
} // namespace

CEditFilterSettingsDlg::CEditFilterSettingsDlg(QWidget* pParent)
    : QDialog(pParent, PlainDialogFlags | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"editFilterSettingsDialog"_s);
    setWindowTitle(u"Edit Filter Settings"_s);

    auto* pOk = new QPushButton(u"OK"_s, this);
    pOk->setObjectName(u"okButton"_s);
    pOk->setDefault(true);
    auto* pCancel = new QPushButton(u"Cancel"_s, this);
    pCancel->setObjectName(u"cancelButton"_s);
    m_pFilterEdit = new QLineEdit(this);
    KeepFilterStringSavable(m_pFilterEdit);
    m_pFilterEdit->setObjectName(u"filterStringEdit"_s);
    m_pFilterEdit->setMinimumWidth(300);
    m_pRegExpCheck = new QCheckBox(u"Regular Expression"_s, this);
    m_pRegExpCheck->setObjectName(u"regExpCheck"_s);
    m_pCaseSensitiveCheck = new QCheckBox(u"Case-Sensitive Filter"_s, this);
    m_pCaseSensitiveCheck->setObjectName(u"caseSensitiveCheck"_s);
    m_pLinesBeforeEdit = CreateNumberField(this, u"linesBeforeEdit"_s);
    m_pLinesAfterEdit = CreateNumberField(this, u"linesAfterEdit"_s);
    auto* pBeforeLabel = new QLabel(u"Number of Lines to Output Before Filter Match"_s, this);
    pBeforeLabel->setBuddy(m_pLinesBeforeEdit);
    auto* pAfterLabel = new QLabel(u"Number of Lines to Output After Filter Match"_s, this);
    pAfterLabel->setBuddy(m_pLinesAfterEdit);

    connect(pOk, &QPushButton::clicked, this, &CEditFilterSettingsDlg::accept);
    connect(pCancel, &QPushButton::clicked, this, &CEditFilterSettingsDlg::reject);

    auto* pNumbers = new QGridLayout;
    pNumbers->addWidget(m_pLinesBeforeEdit, 0, 0);
    pNumbers->addWidget(pBeforeLabel, 0, 1);
    pNumbers->addWidget(m_pLinesAfterEdit, 1, 0);
    pNumbers->addWidget(pAfterLabel, 1, 1);
    pNumbers->setColumnStretch(1, 1);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(pOk);
    pButtons->addWidget(pCancel);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pFilterEdit);
    pLayout->addWidget(m_pRegExpCheck);
    pLayout->addWidget(m_pCaseSensitiveCheck);
    pLayout->addLayout(pNumbers);
    pLayout->addLayout(pButtons);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);

    // The tab order of the original form: the buttons first, then the fields.
    setTabOrder(pOk, pCancel);
    setTabOrder(pCancel, m_pFilterEdit);
    setTabOrder(m_pFilterEdit, m_pRegExpCheck);
    setTabOrder(m_pRegExpCheck, m_pCaseSensitiveCheck);
    setTabOrder(m_pCaseSensitiveCheck, m_pLinesBeforeEdit);
    setTabOrder(m_pLinesBeforeEdit, m_pLinesAfterEdit);
}

CEditFilterSettingsDlg::~CEditFilterSettingsDlg() = default;

void CEditFilterSettingsDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    if (pEvent->spontaneous())
        return;
    m_pRegExpCheck->setChecked(m_bRegExp);
    m_pCaseSensitiveCheck->setChecked(m_bCaseSensitive);
    m_pLinesBeforeEdit->setText(FormatDecimal(m_nLinesBefore));
    m_pLinesAfterEdit->setText(FormatDecimal(m_nLinesAfter));
    // A longer string from before the limit (a session, another program's file) is shown whole:
    // opening it to change a number must not cut it.
    m_pFilterEdit->setMaxLength(
        std::max(static_cast<int>(MaxSavableFilterStringLength), static_cast<int>(m_strFilter.size())));
    m_pFilterEdit->setText(m_strFilter);
    m_pFilterEdit->selectAll();
    m_pFilterEdit->setFocus(Qt::OtherFocusReason);
}

void CEditFilterSettingsDlg::accept()
{
    m_strFilter = m_pFilterEdit->text();
    m_bRegExp = m_pRegExpCheck->isChecked();
    m_bCaseSensitive = m_pCaseSensitiveCheck->isChecked();
    m_nLinesBefore = ConvertDecimalText(m_pLinesBeforeEdit->text());
    m_nLinesAfter = ConvertDecimalText(m_pLinesAfterEdit->text());
    QDialog::accept();
}
