// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/FilterSettingsLayout.h"

#include <algorithm>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QSizeGrip>

#include "filterui/CFilterListRows.h"
#include "filterui/CFilterSettingsControls.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"

namespace {

constexpr int SizeGripSize = 10;

// The controls that the resize layout does not move stand where the original form put them, in
// its units of a quarter of an average character width and an eighth of a character height.
QRect FormRect(int x, int y, int nWidth, int nHeight)
{
    const auto toX = [](int n) { return (n * 3 + 1) / 2; };
    const auto toY = [](int n) { return (n * 13 + 4) / 8; };
    return {toX(x), toY(y), toX(nWidth), toY(nHeight)};
}

// A rectangle no smaller than the control needs to show its whole text.
QRect FitText(QWidget* pWidget, QRect rect)
{
    const QSize hint = pWidget->sizeHint();
    rect.setWidth(std::max(rect.width(), hint.width()));
    rect.setHeight(std::max(rect.height(), hint.height()));
    return rect;
}

void LayOutFilterGroup(const CFilterSettingsControls& controls)
{
    // The upper group's rows keep their form's left edges; under the filter field stands the
    // line of its parse error, and the rows below share what room the group has left, in their
    // form's order, each widened where its text needs it.
    controls.m_pFilterLabel->setGeometry(FitText(controls.m_pFilterLabel, FormRect(14, 13, 17, 8)));
    const QRect regExpForm = FitText(controls.m_pRegExpCheck, FormRect(11, 41, 89, 10));
    QRect syntaxRect = FitText(controls.m_pRegExpSyntaxButton, FormRect(107, 39, 58, 14));
    syntaxRect.moveLeft(std::max(syntaxRect.left(), regExpForm.right() + 8));
    const QRect caseForm = FitText(controls.m_pCaseSensitiveCheck, FormRect(11, 56, 81, 10));
    const QRect beforeForm = FormRect(11, 71, 25, 14);
    const QRect afterForm = FormRect(11, 90, 25, 14);

    const int nRowsTop = 37 + 23 + 1 + controls.m_pFilterErrorLabel->sizeHint().height() + 2;
    const int nRowsBottom = 5 + 172 - 6;
    const int nRegExpRow = std::max(regExpForm.height(), syntaxRect.height());
    const int nRows = nRegExpRow + caseForm.height() + beforeForm.height() + afterForm.height();
    const int nGap = std::max(1, (nRowsBottom - nRowsTop - nRows) / 3);
    int y = nRowsTop;
    const auto centreOn = [](QRect rect, int nTop, int nHeight) {
        rect.moveTop(nTop + (nHeight - rect.height()) / 2);
        return rect;
    };
    controls.m_pRegExpCheck->setGeometry(centreOn(regExpForm, y, nRegExpRow));
    controls.m_pRegExpSyntaxButton->setGeometry(centreOn(syntaxRect, y, nRegExpRow));
    y += nRegExpRow + nGap;
    controls.m_pCaseSensitiveCheck->setGeometry(centreOn(caseForm, y, caseForm.height()));
    y += caseForm.height() + nGap;
    const QRect beforeRect = centreOn(beforeForm, y, beforeForm.height());
    y += beforeForm.height() + nGap;
    const QRect afterRect = centreOn(afterForm, y, afterForm.height());
    controls.m_pLinesBeforeEdit->setGeometry(beforeRect);
    controls.m_pLinesAfterEdit->setGeometry(afterRect);
    QRect beforeLabelRect = FitText(controls.m_pLinesBeforeLabel, FormRect(43, 75, 152, 8));
    beforeLabelRect.moveTop(beforeRect.center().y() - beforeLabelRect.height() / 2);
    controls.m_pLinesBeforeLabel->setGeometry(beforeLabelRect);
    QRect afterLabelRect = FitText(controls.m_pLinesAfterLabel, FormRect(43, 93, 147, 8));
    afterLabelRect.moveTop(afterRect.center().y() - afterLabelRect.height() / 2);
    controls.m_pLinesAfterLabel->setGeometry(afterLabelRect);
    controls.m_pFiltersLabel->setGeometry(FitText(controls.m_pFiltersLabel, FormRect(9, 111, 20, 8)));
}

// The two check boxes keep the bottom of their row above Apply; one that needs more room grows
// upwards, and Enable Tooltips to the left.
void LayOutCheckRow(const CFilterSettingsControls& controls, int w, int h)
{
    const auto checkRow = [h](QCheckBox* pCheck, QRect rect) {
        const QSize hint = pCheck->sizeHint();
        rect.setHeight(std::max(rect.height(), hint.height()));
        rect.moveBottom(h - 64 + 15 - 1);
        return rect;
    };
    QRect tooltipsRect = checkRow(controls.m_pEnableTooltipsCheck, QRect(w - 101, h - 64, 90, 15));
    tooltipsRect.setLeft(tooltipsRect.right() + 1 -
                         std::max(tooltipsRect.width(), controls.m_pEnableTooltipsCheck->sizeHint().width()));
    controls.m_pEnableTooltipsCheck->setGeometry(tooltipsRect);
    QRect excludeRect = checkRow(controls.m_pExcludeCheck, QRect(12, h - 64, 200, 15));
    excludeRect.setWidth(std::max(excludeRect.width(), controls.m_pExcludeCheck->sizeHint().width()));
    controls.m_pExcludeCheck->setGeometry(excludeRect);
    if (!controls.m_pKeepBookmarksCheck->isHidden()) {
        QRect keepRect = excludeRect;
        keepRect.setWidth(std::max(excludeRect.width(), controls.m_pKeepBookmarksCheck->sizeHint().width()));
        keepRect.moveBottom(excludeRect.top() - 3);
        controls.m_pKeepBookmarksCheck->setGeometry(keepRect);
    }
}

} // namespace

FilterSettingsLayoutResult LayOutFilterSettings(const CFilterSettingsControls& controls, QSize clientSize)
{
    FilterSettingsLayoutResult result;
    const int w = clientSize.width();
    const int h = clientSize.height();
    if (w < FilterSettingsLayoutMinWidth || h < FilterSettingsLayoutMinHeight)
        return result;
    result.LaidOut = true;

    LayOutFilterGroup(controls);

    controls.m_pSizeGrip->setGeometry(w - SizeGripSize, h - SizeGripSize, SizeGripSize, SizeGripSize);
    controls.m_pSizeGrip->raise();
    controls.m_pSizeGrip->show();

    // A font whose captions need more room than the layout gives widens the Add button and the
    // button column to the left, taking the room from the filter field and the list.
    const int nAddWidth = std::max(78, controls.m_pAddButton->sizeHint().width());
    QPushButton* const listButtons[] = {
        controls.m_pEditButton,      controls.m_pDeleteButton, controls.m_pCopyAllButton, controls.m_pPasteAllButton,
        controls.m_pDeleteAllButton, controls.m_pLoadButton,   controls.m_pSaveButton};
    int nColumnWidth = 90;
    for (QPushButton* pButton : listButtons)
        nColumnWidth = std::max(nColumnWidth, pButton->sizeHint().width());

    controls.m_pFilterGroup->setGeometry(10, 5, w - 20, 172);
    controls.m_pFilterEdit->setGeometry(19, 37, w - 116 - (nAddWidth - 78), 23);
    // The parse error stands under the field, as wide as the field and the Add button together.
    controls.m_pFilterErrorLabel->setGeometry(19, 37 + 23 + 1, w - 36,
                                              controls.m_pFilterErrorLabel->sizeHint().height());
    controls.m_pAddButton->setGeometry(w - 17 - nAddWidth, 36, nAddWidth, 25);
    // Check boxes taller than their row take the room from the bottom of the list.
    const int nCheckHeight = std::max(
        {15, controls.m_pExcludeCheck->sizeHint().height(), controls.m_pEnableTooltipsCheck->sizeHint().height()});
    // The bookmark row, when it is shown, stands above them and shortens the list by its height.
    const int nKeepRow = controls.m_pKeepBookmarksCheck->isHidden()
                             ? 0
                             : std::max(15, controls.m_pKeepBookmarksCheck->sizeHint().height()) + 3;
    const int nCheckTop = h - 50 - nCheckHeight + 1 - nKeepRow;
    controls.m_pFilterList->setGeometry(11, 195, w - 114 - (nColumnWidth - 90),
                                        std::min(h - 263 - nKeepRow, nCheckTop - 2 - 195));
    // Column 0 takes what the four narrow columns leave, so the five fill the list exactly.
    if (controls.m_pFilterList->isVisible()) {
        controls.m_pFilterList->setColumnWidth(ColumnFilter,
                                               controls.m_pFilterList->viewport()->width() - FixedColumnsWidth);
        for (int nColumn = ColumnRegExp; nColumn <= ColumnLinesAfter; ++nColumn)
            controls.m_pFilterList->setColumnWidth(nColumn, FixedColumnWidth);
        result.ColumnsFitted = true;
    }
    int y = 195;
    for (QPushButton* pButton : listButtons) {
        pButton->setGeometry(w - 11 - nColumnWidth, y, nColumnWidth, 28);
        y += pButton == controls.m_pEditButton ? 29 : 30;
    }
    LayOutCheckRow(controls, w, h);
    controls.m_pApplyButton->setGeometry(11, h - 45, w - 20, 33);
    return result;
}
