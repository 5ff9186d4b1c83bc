// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class CLastColumnAutoResizingListCtrl;
class FilterSettings;
class QTreeWidgetItem;

// The columns of the filter list: the string with its switch and colour, then four narrow ones.
enum FilterColumn
{
    ColumnFilter = 0,
    ColumnRegExp = 1,
    ColumnCaseSensitive = 2,
    ColumnLinesBefore = 3,
    ColumnLinesAfter = 4,
};
// The narrow columns' width, and what the four of them take from the list's width.
constexpr int FixedColumnWidth = 30;
constexpr int FixedColumnsWidth = 4 * FixedColumnWidth;

// What a row of the filter list shows of its filter.
struct CFilterRowCells
{
    QString Filter;
    bool RegExp = false;
    bool CaseSensitive = false;
    int LinesBefore = 0;
    int LinesAfter = 0;
};

// The rows of the filter list, one a filter: its switch, string, "X" or "-" for the regular
// expression and case switches, and the lines around a match. Each filter that is on shows the
// colour its place among those that are on gives it; one that is off shows grey.
class CFilterListRows : public QObject
{
    Q_OBJECT

public:
    explicit CFilterListRows(CLastColumnAutoResizingListCtrl* pList);

    // Every row anew from the filters.
    void Refresh(const FilterSettings& settings);
    // A new last row for filter nFilter.
    void Append(const FilterSettings& settings, int nFilter);
    // The row shows filter nFilter as it is now.
    void Fill(int nRow, const FilterSettings& settings, int nFilter);
    // Takes the row out; nothing stays selected.
    void Remove(int nRow);
    int GetCount() const;
    // The selected row, or -1.
    int GetSelectedRow() const;
    CFilterRowCells ReadRow(int nRow) const;
    // Each row's colour from the switches of the rows above it.
    void ShowColours();
    // The whole filter string of the cell at a point of the list's viewport when its cell cuts
    // it off; empty otherwise.
    QString GetCellToolTip(const QPoint& viewportPos) const;

Q_SIGNALS:
    // The user switched the row's filter on or off (a click or Space on its check box).
    void RowSwitched(int nRow, bool bOn);

private:
    // Whether the row's check box is set (a row without one yet counts as set).
    bool IsSwitchedOn(int nRow) const;
    void ShowColour(int nRow);
    void ShowColour(int nRow, int nColourIndex);
    void OnItemChanged(QTreeWidgetItem* pItem, int nColumn);

    CLastColumnAutoResizingListCtrl* m_pList;
    bool m_bFilling = false; // the program, not the user, is changing a row's item
};
