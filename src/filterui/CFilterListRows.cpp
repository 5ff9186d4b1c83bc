// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CFilterListRows.h"

#include <QScopedValueRollback>
#include <QStyle>

#include "filtering/FilterSettings.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/DecimalText.h"
#include "view/FilterColours.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString YesNoCell(bool bYes)
{
    return bYes ? u"X"_s : u"-"_s;
}

} // namespace

CFilterListRows::CFilterListRows(CLastColumnAutoResizingListCtrl* pList) : QObject(pList), m_pList(pList)
{
    // A filter's colour goes with its place among the filters that are on: rows that move, go or
    // are switched recolour the rest.
    const auto recolour = [this] { ShowColours(); };
    connect(m_pList->model(), &QAbstractItemModel::rowsRemoved, this, recolour);
    connect(m_pList->model(), &QAbstractItemModel::rowsMoved, this, recolour);
    connect(m_pList->model(), &QAbstractItemModel::rowsInserted, this, recolour);
    connect(m_pList, &QTreeWidget::itemChanged, this, &CFilterListRows::OnItemChanged);
}

void CFilterListRows::Refresh(const FilterSettings& settings)
{
    m_pList->clear();
    const int nCount = settings.GetCount();
    QList<QTreeWidgetItem*> items;
    items.reserve(nCount);
    for (int i = 0; i < nCount; ++i)
        items.append(new QTreeWidgetItem);
    m_pList->addTopLevelItems(items);
    for (int i = 0; i < nCount; ++i)
        Fill(i, settings, i);
}

void CFilterListRows::Append(const FilterSettings& settings, int nFilter)
{
    m_pList->addTopLevelItem(new QTreeWidgetItem);
    Fill(m_pList->topLevelItemCount() - 1, settings, nFilter);
}

void CFilterListRows::Fill(int nRow, const FilterSettings& settings, int nFilter)
{
    QTreeWidgetItem* pItem = m_pList->topLevelItem(nRow);
    // Filling a row changes its item again and again; none of that is the user's switch.
    const QScopedValueRollback<bool> filling(m_bFilling, true);
    pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable);
    pItem->setCheckState(ColumnFilter, settings.GetEnabled(nFilter) ? Qt::Checked : Qt::Unchecked);
    const bool bRegExp = settings.GetRegExp(nFilter) != 0;
    pItem->setText(ColumnFilter, QString::fromStdU16String(settings.GetFilterString(nFilter)));
    pItem->setData(ColumnFilter, CLastColumnAutoResizingListCtrl::ItemDataRole, bRegExp ? 1 : 0);
    pItem->setText(ColumnRegExp, YesNoCell(bRegExp));
    pItem->setText(ColumnCaseSensitive, YesNoCell(settings.GetCaseSensitive(nFilter)));
    pItem->setText(ColumnLinesBefore, FormatDecimal(settings.GetOutputBeforeMatch(nFilter)));
    pItem->setText(ColumnLinesAfter, FormatDecimal(settings.GetOutputAfterMatch(nFilter)));
    for (int nColumn = ColumnRegExp; nColumn <= ColumnLinesAfter; ++nColumn)
        pItem->setTextAlignment(nColumn, Qt::AlignCenter);
    ShowColour(nRow);
}

void CFilterListRows::Remove(int nRow)
{
    delete m_pList->takeTopLevelItem(nRow);
    // A second Delete must not remove a row the user has not chosen.
    m_pList->clearSelection();
}

int CFilterListRows::GetCount() const
{
    return m_pList->topLevelItemCount();
}

int CFilterListRows::GetSelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? -1 : m_pList->indexOfTopLevelItem(selected.first());
}

CFilterRowCells CFilterListRows::ReadRow(int nRow) const
{
    const QTreeWidgetItem* pItem = m_pList->topLevelItem(nRow);
    CFilterRowCells cells;
    cells.Filter = pItem->text(ColumnFilter);
    cells.RegExp = pItem->text(ColumnRegExp).contains(u'X');
    cells.CaseSensitive = pItem->text(ColumnCaseSensitive).contains(u'X');
    cells.LinesBefore = ConvertDecimalText(pItem->text(ColumnLinesBefore));
    cells.LinesAfter = ConvertDecimalText(pItem->text(ColumnLinesAfter));
    return cells;
}

bool CFilterListRows::IsSwitchedOn(int nRow) const
{
    // A row not filled yet has no check box: it counts as on until it has one.
    const QTreeWidgetItem* pItem = m_pList->topLevelItem(nRow);
    return pItem && pItem->data(ColumnFilter, Qt::CheckStateRole).toInt() != static_cast<int>(Qt::Unchecked);
}

void CFilterListRows::ShowColour(int nRow)
{
    int nColourIndex = 0;
    for (int nAbove = 0; nAbove < nRow; ++nAbove)
        nColourIndex += IsSwitchedOn(nAbove) ? 1 : 0;
    ShowColour(nRow, nColourIndex);
}

void CFilterListRows::ShowColours()
{
    int nColourIndex = 0;
    for (int nRow = 0; nRow < m_pList->topLevelItemCount(); ++nRow) {
        ShowColour(nRow, nColourIndex);
        nColourIndex += IsSwitchedOn(nRow) ? 1 : 0;
    }
}

void CFilterListRows::ShowColour(int nRow, int nColourIndex)
{
    // The colour that marks the lines this filter keeps, as a swatch before its string. A run
    // numbers only the filters that are on, so they take the colours in turn; one that is off
    // marks nothing and shows a grey swatch.
    QTreeWidgetItem* pItem = m_pList->topLevelItem(nRow);
    if (!pItem)
        return;
    const QScopedValueRollback<bool> filling(m_bFilling, true);
    if (!IsSwitchedOn(nRow)) {
        pItem->setData(ColumnFilter, Qt::DecorationRole, m_pList->palette().color(QPalette::Disabled, QPalette::Text));
        return;
    }
    const std::uint32_t colour = FilterColour(nColourIndex);
    pItem->setData(ColumnFilter, Qt::DecorationRole,
                   QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                          static_cast<int>((colour >> 16) & 0xFF)));
}

void CFilterListRows::OnItemChanged(QTreeWidgetItem* pItem, int nColumn)
{
    if (m_bFilling || nColumn != ColumnFilter)
        return;
    const int nRow = m_pList->indexOfTopLevelItem(pItem);
    if (nRow >= 0)
        Q_EMIT RowSwitched(nRow, pItem->checkState(ColumnFilter) != Qt::Unchecked);
}

QString CFilterListRows::GetCellToolTip(const QPoint& viewportPos) const
{
    const QModelIndex index = m_pList->indexAt(viewportPos);
    if (!index.isValid() || index.column() != ColumnFilter)
        return QString();
    const QString text = index.data(Qt::DisplayRole).toString();
    // Only a string that its cell cuts off; the cell's text has a margin on either side.
    const int nMargin = m_pList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_pList) + 1;
    const int nRoom = m_pList->visualRect(index).width() - 2 * nMargin;
    return m_pList->fontMetrics().horizontalAdvance(text) > nRoom ? text : QString();
}
