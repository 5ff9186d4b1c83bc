// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CLastColumnAutoResizingListCtrl.h"

#include <algorithm>

#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include "filterui/CNonExtendableHeaderCtrl.h"

CLastColumnAutoResizingListCtrl::CLastColumnAutoResizingListCtrl(QWidget* pParent)
    : QTreeWidget(pParent), m_pHeader(new CNonExtendableHeaderCtrl(this))
{
    setHeader(m_pHeader);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSortingEnabled(false);

    connect(m_pHeader, &CNonExtendableHeaderCtrl::DividerDragStarted, this,
            &CLastColumnAutoResizingListCtrl::OnDividerDragStarted);
    connect(m_pHeader, &CNonExtendableHeaderCtrl::DividerDragEnded, this,
            &CLastColumnAutoResizingListCtrl::OnDividerDragEnded);
    connect(m_pHeader, &QHeaderView::sectionResized, this, &CLastColumnAutoResizingListCtrl::OnSectionResized);
    // Connected after the tree view's own fit of the double-clicked column, so this runs second.
    connect(m_pHeader, &QHeaderView::sectionHandleDoubleClicked, this,
            &CLastColumnAutoResizingListCtrl::OnDividerDoubleClicked);
}

CLastColumnAutoResizingListCtrl::~CLastColumnAutoResizingListCtrl() = default;

int CLastColumnAutoResizingListCtrl::GetLastColumnIndex() const
{
    return m_pHeader->count() - 1;
}

void CLastColumnAutoResizingListCtrl::BeginWidthChanges()
{
    if (m_nWidthChangeDepth++ == 0)
        setUpdatesEnabled(false);
}

void CLastColumnAutoResizingListCtrl::EndWidthChanges()
{
    if (--m_nWidthChangeDepth == 0) {
        setUpdatesEnabled(true);
        viewport()->update();
        m_pHeader->viewport()->update();
    }
}

int CLastColumnAutoResizingListCtrl::GetRemainingWidth() const
{
    int nOthers = 0;
    for (int i = 0; i < GetLastColumnIndex(); ++i) {
        if (!m_pHeader->isSectionHidden(i))
            nOthers += m_pHeader->sectionSize(i);
    }
    return viewport()->width() - nOthers;
}

void CLastColumnAutoResizingListCtrl::SetLastColumnWidth(int nWidth)
{
    // A drag may ask for less than nothing; the column keeps a sliver and is refitted when the
    // drag ends.
    const int nLast = GetLastColumnIndex();
    if (nLast >= 0)
        m_pHeader->resizeSection(nLast, std::max(nWidth, m_pHeader->minimumSectionSize()));
}

void CLastColumnAutoResizingListCtrl::FitLastColumn()
{
    if (GetLastColumnIndex() < 0)
        return;
    BeginWidthChanges();
    SetLastColumnWidth(GetRemainingWidth());
    EndWidthChanges();
}

void CLastColumnAutoResizingListCtrl::AutoSizeColumn(int nColumn)
{
    const int nLast = GetLastColumnIndex();
    if (nColumn < 0 || nColumn > nLast)
        return;
    BeginWidthChanges();
    if (nColumn < nLast)
        resizeColumnToContents(nColumn);
    SetLastColumnWidth(GetRemainingWidth());
    EndWidthChanges();
}

void CLastColumnAutoResizingListCtrl::AutoSizeAllColumns()
{
    const int nLast = GetLastColumnIndex();
    BeginWidthChanges();
    for (int i = 0; i < nLast; ++i)
        resizeColumnToContents(i);
    if (nLast >= 0)
        SetLastColumnWidth(GetRemainingWidth());
    EndWidthChanges();
}

void CLastColumnAutoResizingListCtrl::resizeEvent(QResizeEvent* pEvent)
{
    // Called for the viewport, which already has its new size: fit the last column before the
    // base class recomputes the scroll bars, so a shrinking list never shows a horizontal bar.
    const QSize oldSize = pEvent->oldSize();
    const QSize newSize = pEvent->size();
    if (newSize.width() > 0)
        FitLastColumn();
    if (oldSize.isValid() && (newSize.width() > oldSize.width() || newSize.height() > oldSize.height()))
        AdjustScrollForGrowth(0, 0);
    QTreeWidget::resizeEvent(pEvent);
}

void CLastColumnAutoResizingListCtrl::AdjustScrollForGrowth(int nGrowX, int nGrowY)
{
    if (!verticalScrollBar()->isVisible())
        return;
    const int nRows = topLevelItemCount();
    int nRowsHeight = 0;
    int nRowWidth = 0;
    if (nRows > 0) {
        const QRect first = visualItemRect(topLevelItem(0));
        const QRect last = visualItemRect(topLevelItem(nRows - 1));
        nRowsHeight = last.bottom() + 1 - first.top();
        nRowWidth = m_pHeader->length();
    }
    int nAvailHeight = viewport()->height() + nGrowY;
    if (horizontalScrollBar()->isVisible()) {
        int nAvailWidth = viewport()->width() + nGrowX;
        const int nHBar = horizontalScrollBar()->height();
        const int nVBar = verticalScrollBar()->width();
        if (nAvailHeight + nHBar >= nRowsHeight && nAvailWidth + nVBar >= nRowWidth)
            nAvailHeight += nHBar; // both bars go, so the horizontal bar's height becomes free
        if (nAvailHeight >= nRowsHeight)
            nAvailWidth += nVBar;
        if (nAvailWidth >= nRowWidth) {
            horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
            // A list showing its last row keeps it in view at the bottom once it has grown: the
            // scroll goes after the size change, which may still move the rows.
            if (nRows > 0 && visualItemRect(topLevelItem(nRows - 1)).intersects(viewport()->rect())) {
                QMetaObject::invokeMethod(
                    this, [this] { verticalScrollBar()->setValue(verticalScrollBar()->maximum()); },
                    Qt::QueuedConnection);
            }
        }
    }
    if (nAvailHeight >= nRowsHeight)
        verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

void CLastColumnAutoResizingListCtrl::rowsAboutToBeRemoved(const QModelIndex& parent, int nStart, int nEnd)
{
    // Losing rows counts like growing by their height.
    int nRemovedHeight = 0;
    if (!parent.isValid()) {
        for (int nRow = nStart; nRow <= nEnd; ++nRow)
            nRemovedHeight += visualRect(model()->index(nRow, 0)).height();
    }
    AdjustScrollForGrowth(0, nRemovedHeight);
    QTreeWidget::rowsAboutToBeRemoved(parent, nStart, nEnd);
}

void CLastColumnAutoResizingListCtrl::OnDividerDragStarted(int nSection)
{
    if (nSection >= GetLastColumnIndex())
        return;
    m_nTrackWidth = m_pHeader->sectionSize(nSection);
    m_bTracking = true;
}

void CLastColumnAutoResizingListCtrl::OnDividerDragEnded()
{
    m_bTracking = false;
    FitLastColumn();
}

void CLastColumnAutoResizingListCtrl::OnSectionResized(int nSection, int /*nOldWidth*/, int nNewWidth)
{
    const int nLast = GetLastColumnIndex();
    if (nSection >= nLast)
        return; // our own change of the last column
    if (!m_bTracking) {
        // A change made by the program, or a drag's final width: refit the last column.
        FitLastColumn();
        return;
    }
    BeginWidthChanges();
    if (nNewWidth > m_nTrackWidth)
        SetLastColumnWidth(m_pHeader->sectionSize(nLast) - (nNewWidth - m_nTrackWidth));
    else
        SetLastColumnWidth(GetRemainingWidth());
    m_nTrackWidth = nNewWidth;
    EndWidthChanges();
}

void CLastColumnAutoResizingListCtrl::OnDividerDoubleClicked(int nSection)
{
    if (nSection < GetLastColumnIndex())
        AutoSizeColumn(nSection);
}

void CLastColumnAutoResizingListCtrl::keyPressEvent(QKeyEvent* pEvent)
{
    const Qt::KeyboardModifiers modifiers = pEvent->modifiers();
    if (pEvent->key() == Qt::Key_Plus && (modifiers & Qt::ControlModifier) && (modifiers & Qt::KeypadModifier)) {
        AutoSizeAllColumns();
        pEvent->accept();
        return;
    }
    // Space belongs to the selected row's check box, whichever cell has the focus: left to the
    // view it would toggle only when the current cell is the one that holds the box, and it would
    // toggle the current row even when that row is not selected.
    if (pEvent->key() == Qt::Key_Space && (modifiers & ~Qt::KeypadModifier) == Qt::NoModifier) {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        QTreeWidgetItem* pSelected = selected.isEmpty() ? nullptr : selected.first();
        if (pSelected && HasCheckBox(pSelected)) {
            pSelected->setCheckState(0, pSelected->checkState(0) == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
            pEvent->accept();
            return;
        }
        // With no row selected Space selects the current one and switches nothing.
        if (!pSelected && currentItem() && HasCheckBox(currentItem())) {
            currentItem()->setSelected(true);
            pEvent->accept();
            return;
        }
    }
    QTreeWidget::keyPressEvent(pEvent);
}

void CLastColumnAutoResizingListCtrl::drawRow(QPainter* pPainter, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    const QModelIndex first = index.sibling(index.row(), 0);
    const bool bGreyed = IsRowGreyed(first);
    if (first.data(ItemDataRole).toInt() == 0) {
        if (!bGreyed) {
            QTreeWidget::drawRow(pPainter, option, index);
            return;
        }
        // The text of a row that is switched off takes the colour of disabled text.
        QStyleOptionViewItem rowOption(option);
        const QColor greyed = option.palette.color(QPalette::Disabled, QPalette::Text);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            rowOption.palette.setColor(group, QPalette::Text, greyed);
        QTreeWidget::drawRow(pPainter, rowOption, index);
        return;
    }
    // The row is painted in our own colours: its selection uses them instead of the usual
    // highlight, and an unselected row is red on white whatever the palette (a pale red when
    // the row is switched off).
    const bool bSelected = selectionModel() && selectionModel()->isSelected(first);
    const QColor text = bGreyed ? GetGreyedTextColor() : m_crNormalText;
    QStyleOptionViewItem rowOption(option);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        rowOption.palette.setColor(group, QPalette::Text, text);
        rowOption.palette.setColor(group, QPalette::Base, m_crNormalBk);
        rowOption.palette.setColor(group, QPalette::Highlight, m_crSelectedBk);
        rowOption.palette.setColor(group, QPalette::HighlightedText, m_crSelectedText);
    }
    pPainter->fillRect(option.rect, bSelected ? m_crSelectedBk : m_crNormalBk);
    QTreeWidget::drawRow(pPainter, rowOption, index);
}

bool CLastColumnAutoResizingListCtrl::HasCheckBox(const QTreeWidgetItem* pItem)
{
    // Items may be checked by the user by default; only one given a state shows a box.
    return pItem->flags().testFlag(Qt::ItemIsUserCheckable) && pItem->flags().testFlag(Qt::ItemIsEnabled) &&
           pItem->data(0, Qt::CheckStateRole).isValid();
}

bool CLastColumnAutoResizingListCtrl::IsRowGreyed(const QModelIndex& first) const
{
    const QVariant state = first.data(Qt::CheckStateRole);
    return first.flags().testFlag(Qt::ItemIsUserCheckable) && state.isValid() &&
           state.toInt() == static_cast<int>(Qt::Unchecked);
}

QColor CLastColumnAutoResizingListCtrl::GetGreyedTextColor() const
{
    // Half way from the row's red to its white.
    return QColor((m_crNormalText.red() + m_crNormalBk.red()) / 2, (m_crNormalText.green() + m_crNormalBk.green()) / 2,
                  (m_crNormalText.blue() + m_crNormalBk.blue()) / 2);
}
