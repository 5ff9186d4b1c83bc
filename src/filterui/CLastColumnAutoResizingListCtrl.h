// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QTreeWidget>

class CNonExtendableHeaderCtrl;

// A report-style list whose last column always fills the width that the other columns leave.
// Widening another column narrows the last one and narrowing it gives the width back; a
// double-click on a divider fits that column; Ctrl with the keypad's plus fits every column.
// Rows whose item data (ItemDataRole of column 0) is non-zero are drawn in colours of their own.
// A row whose column 0 is checkable and unchecked is drawn greyed; Space toggles the check box of
// the selected row, as a click on it does.
// Every group of width changes runs with updates off and ends in one repaint.
class CLastColumnAutoResizingListCtrl : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr int ItemDataRole = Qt::UserRole;

    explicit CLastColumnAutoResizingListCtrl(QWidget* pParent = nullptr);
    ~CLastColumnAutoResizingListCtrl() override;

    CNonExtendableHeaderCtrl* GetHeaderCtrl() const { return m_pHeader; }
    int GetLastColumnIndex() const;

    // Gives the last column all the width that the other columns leave.
    void FitLastColumn();
    // Fits one column to the larger of its widest cell and its heading; the last column is
    // refitted to the remaining width.
    void AutoSizeColumn(int nColumn);
    void AutoSizeAllColumns();

    QColor GetSelectedBkColor() const { return m_crSelectedBk; }
    QColor GetSelectedTextColor() const { return m_crSelectedText; }
    QColor GetNormalBkColor() const { return m_crNormalBk; }
    QColor GetNormalTextColor() const { return m_crNormalText; }
    // The text colour of a switched-off row among those drawn in our own colours.
    QColor GetGreyedTextColor() const;
    // Whether the row of this column-0 index is drawn greyed: its check box is there and clear.
    bool IsRowGreyed(const QModelIndex& first) const;
    // Whether the item shows a check box in column 0 that the user may toggle.
    static bool HasCheckBox(const QTreeWidgetItem* pItem);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void drawRow(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int nStart, int nEnd) override;

private:
    void OnDividerDragStarted(int nSection);
    void OnDividerDragEnded();
    void OnSectionResized(int nSection, int nOldWidth, int nNewWidth);
    void OnDividerDoubleClicked(int nSection);

    void BeginWidthChanges();
    void EndWidthChanges();
    void SetLastColumnWidth(int nWidth);
    int GetRemainingWidth() const;
    // Scrolls back to the left and to the top when, after the list gains nGrowX and nGrowY
    // pixels of room, all of its rows and columns will fit.
    void AdjustScrollForGrowth(int nGrowX, int nGrowY);

    CNonExtendableHeaderCtrl* m_pHeader = nullptr;
    bool m_bTracking = false;
    int m_nTrackWidth = 0;
    int m_nWidthChangeDepth = 0;
    const QColor m_crSelectedBk{255, 0, 255};
    const QColor m_crSelectedText{0, 255, 255};
    const QColor m_crNormalBk{255, 255, 255};
    const QColor m_crNormalText{255, 0, 0};
};
