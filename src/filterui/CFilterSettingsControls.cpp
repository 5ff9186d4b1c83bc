// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CFilterSettingsControls.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSizeGrip>

#include "filterui/CFilterListRows.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/FilterStringField.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QLineEdit* CreateNumberField(QWidget* pParent, const QString& name)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(name);
    pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), pEdit));
    return pEdit;
}

QPushButton* CreateButton(QWidget* pParent, const QString& text, const QString& name)
{
    auto* pButton = new QPushButton(text, pParent);
    pButton->setObjectName(name);
    // Enter moves the focus on; it never presses a button.
    pButton->setAutoDefault(false);
    pButton->setDefault(false);
    return pButton;
}

QCheckBox* CreateCheckBox(QWidget* pParent, const QString& text, const QString& name)
{
    auto* pCheck = new QCheckBox(text, pParent);
    pCheck->setObjectName(name);
    return pCheck;
}

QLabel* CreateLabel(QWidget* pParent, const QString& text, const QString& name)
{
    auto* pLabel = new QLabel(text, pParent);
    pLabel->setObjectName(name);
    return pLabel;
}

// Smaller than the other captions, and red on the light and the dark looks alike.
void ShowAsError(QLabel* pLabel)
{
    QFont errorFont = pLabel->font();
    errorFont.setPointSizeF(errorFont.pointSizeF() * 0.9);
    pLabel->setFont(errorFont);
    QPalette errorPalette = pLabel->palette();
    const bool bDark = errorPalette.color(QPalette::Window).lightness() < 128;
    errorPalette.setColor(QPalette::WindowText, bDark ? QColor(255, 120, 120) : QColor(192, 0, 0));
    pLabel->setPalette(errorPalette);
}

} // namespace

void CFilterSettingsControls::Create(QDialog& dialog)
{
    QDialog* pDialog = &dialog;
    m_pFilterGroup = new QGroupBox(pDialog);
    m_pFilterGroup->setObjectName(u"filterGroupBox"_s);
    m_pFilterEdit = new QLineEdit(pDialog);
    KeepFilterStringSavable(m_pFilterEdit);
    m_pFilterEdit->setObjectName(u"filterStringEdit"_s);
    m_pFilterErrorLabel = CreateLabel(pDialog, QString(), u"filterErrorLabel"_s);
    ShowAsError(m_pFilterErrorLabel);
    m_pRegExpCheck = CreateCheckBox(pDialog, u"Regular Expression Filter"_s, u"regExpCheck"_s);
    m_pCaseSensitiveCheck = CreateCheckBox(pDialog, u"Case-Sensitive Filter"_s, u"caseSensitiveCheck"_s);
    m_pLinesBeforeEdit = CreateNumberField(pDialog, u"linesBeforeEdit"_s);
    m_pLinesAfterEdit = CreateNumberField(pDialog, u"linesAfterEdit"_s);
    m_pAddButton = CreateButton(pDialog, u"Add Filter"_s, u"addFilterButton"_s);
    m_pEditButton = CreateButton(pDialog, u"Edit Filter"_s, u"editFilterButton"_s);
    m_pDeleteButton = CreateButton(pDialog, u"Delete Filter"_s, u"deleteFilterButton"_s);
    m_pCopyAllButton = CreateButton(pDialog, u"Copy All Filters"_s, u"copyAllButton"_s);
    m_pPasteAllButton = CreateButton(pDialog, u"Paste All Filters"_s, u"pasteAllButton"_s);
    m_pDeleteAllButton = CreateButton(pDialog, u"Delete All Filters"_s, u"deleteAllButton"_s);
    m_pLoadButton = CreateButton(pDialog, u"Load Filters"_s, u"loadFiltersButton"_s);
    m_pSaveButton = CreateButton(pDialog, u"Save Filters"_s, u"saveFiltersButton"_s);
    m_pExcludeCheck = CreateCheckBox(pDialog, u"Exclude Lines That Match Filters"_s, u"excludeCheck"_s);
    m_pKeepBookmarksCheck = CreateCheckBox(pDialog, u"Keep Bookmarked Lines"_s, u"keepBookmarksCheck"_s);
    m_pKeepBookmarksCheck->hide();
    m_pKeepBookmarksCheck->setFocusPolicy(Qt::NoFocus);
    m_pApplyButton = CreateButton(pDialog, u"Apply Filter Settings to Document"_s, u"applyButton"_s);
    m_pLinesBeforeLabel =
        CreateLabel(pDialog, u"Number of Lines to Output Before Filter Match"_s, u"linesBeforeLabel"_s);
    m_pLinesAfterLabel = CreateLabel(pDialog, u"Number of Lines to Output After Filter Match"_s, u"linesAfterLabel"_s);
    m_pFiltersLabel = CreateLabel(pDialog, u"Filters"_s, u"filtersLabel"_s);
    m_pFilterLabel = CreateLabel(pDialog, u"Filter"_s, u"filterLabel"_s);
    m_pFilterList = new CLastColumnAutoResizingListCtrl(pDialog);
    m_pFilterList->setObjectName(u"filterList"_s);
    m_pRegExpSyntaxButton = CreateButton(pDialog, u"RegExp Syntax"_s, u"regExpSyntaxButton"_s);
    m_pEnableTooltipsCheck = CreateCheckBox(pDialog, u"Enable Tooltips"_s, u"enableTooltipsCheck"_s);
    m_pSizeGrip = new QSizeGrip(pDialog);
    m_pSizeGrip->setObjectName(u"sizeGrip"_s);

    m_pFilterGroup->lower();
    m_pLinesBeforeLabel->setBuddy(m_pLinesBeforeEdit);
    m_pLinesAfterLabel->setBuddy(m_pLinesAfterEdit);
    m_pFilterLabel->setBuddy(m_pFilterEdit);
    m_pFiltersLabel->setBuddy(m_pFilterList);

    m_pFilterList->setHeaderLabels({u"Filter"_s, u"RE"_s, u"CS"_s, u"OB"_s, u"OA"_s});
    m_pFilterList->header()->setDefaultAlignment(Qt::AlignCenter);
    for (int nColumn = ColumnRegExp; nColumn <= ColumnLinesAfter; ++nColumn)
        m_pFilterList->setColumnWidth(nColumn, FixedColumnWidth);

    for (QPushButton* pButton :
         {m_pEditButton, m_pDeleteButton, m_pCopyAllButton, m_pPasteAllButton, m_pDeleteAllButton, m_pSaveButton})
        pButton->setEnabled(false);

    SetTabOrder(dialog);
    SetToolTips();
}

void CFilterSettingsControls::SetTabOrder(QDialog& dialog) const
{
    QWidget* const order[] = {m_pFilterEdit,     m_pRegExpCheck,        m_pCaseSensitiveCheck, m_pLinesBeforeEdit,
                              m_pLinesAfterEdit, m_pAddButton,          m_pEditButton,         m_pDeleteButton,
                              m_pCopyAllButton,  m_pPasteAllButton,     m_pDeleteAllButton,    m_pLoadButton,
                              m_pSaveButton,     m_pExcludeCheck,       m_pKeepBookmarksCheck, m_pApplyButton,
                              m_pFilterList,     m_pRegExpSyntaxButton, m_pEnableTooltipsCheck};
    for (std::size_t i = 1; i < std::size(order); ++i)
        dialog.setTabOrder(order[i - 1], order[i]);
    m_pFilterGroup->setFocusPolicy(Qt::NoFocus);
    m_pSizeGrip->setFocusPolicy(Qt::NoFocus);
}

void CFilterSettingsControls::SetToolTips() const
{
    const QString showsBoth =
        u"Filter settings can be copied between documents by pressing the \"Copy All Filters\" button in one "
        "document then switching to another document and pressing the \"Paste All Filters\" button"_s;
    m_pFilterEdit->setToolTip(
        u"This field is used to enter a filter string that can be used to filter a file.  The filter can be a "
        "literal string to match or can be a regular expression (if the Regular Expression Filter checkbox is "
        "selected)"_s);
    m_pRegExpCheck->setToolTip(
        u"This field is used to specify whether or not the filter string is a regular expression"_s);
    m_pCaseSensitiveCheck->setToolTip(
        u"This field is used to specify if the filtering should be performed case-sensitive"_s);
    m_pRegExpSyntaxButton->setToolTip(u"Display regular expression syntax dialog"_s);
    m_pLinesBeforeEdit->setToolTip(u"When a filter match is successful, the number of lines specified in this "
                                   "field before the match will be output"_s);
    m_pLinesAfterEdit->setToolTip(u"When a filter match is successful, the number of lines specified in this "
                                  "field after the match will be output"_s);
    m_pAddButton->setToolTip(u"Add the specified filter settings to the filter list"_s);
    m_pEditButton->setToolTip(u"Edit the settings of the selected filter"_s);
    m_pDeleteButton->setToolTip(u"Delete the selected filter"_s);
    m_pDeleteAllButton->setToolTip(
        u"Delete all of the filters in the filter list.  By pressing this button and then pressing the \"Apply "
        "Filter Settings...\" button, the original unfiltered document will be displayed"_s);
    m_pCopyAllButton->setToolTip(
        u"Copy all of the filter settings in the filter list to a filter settings clipboard.  "_s % showsBoth);
    m_pPasteAllButton->setToolTip(
        u"Paste all of the filter settings in the filter settings clipboard to this documents filter list.  "_s %
        showsBoth);
    m_pExcludeCheck->setToolTip(u"When filtering a document, exclude all lines that match filters and only "
                                "output lines that don't match filters"_s);
    m_pKeepBookmarksCheck->setToolTip(u"When filtering a document, output the bookmarked lines too, whether "
                                      "filters keep them or not"_s);
    m_pApplyButton->setToolTip(
        u"Apply filter settings specified in the filter list to the current document.\nIf filter settings are "
        "currently applied to a document, the original document can be displayed by pressing the \"Delete All "
        "Filters\" button then pressing this button"_s);
    m_pLoadButton->setToolTip(u"Load filter settings from an external file."_s);
    m_pSaveButton->setToolTip(u"Save filter settings to an external file."_s);
}
