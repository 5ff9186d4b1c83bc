// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHeaderView>

class QMouseEvent;

// The header of a CLastColumnAutoResizingListCtrl. The last column's divider cannot be dragged:
// the last section is fixed, and over the zone of its divider (and to the right of it) the header
// shows no resize cursor and starts nothing on a press. Drags of the other dividers are reported
// to the list, which keeps the last column filling the width that the others leave.
class CNonExtendableHeaderCtrl : public QHeaderView
{
    Q_OBJECT

public:
    explicit CNonExtendableHeaderCtrl(QWidget* pParent = nullptr);
    ~CNonExtendableHeaderCtrl() override;

    int GetLastColumnIndex() const { return count() - 1; }
    // True while the mouse is in the zone of the last column's divider or to the right of it.
    bool IsBeyondLastDivider() const { return m_bBeyondLastDivider; }
    // The section whose right-hand divider lies under x (viewport coordinates), or -1.
    int DividerAt(int x) const;

Q_SIGNALS:
    // The user pressed the divider of section nSection (never the last one) to drag it.
    void DividerDragStarted(int nSection);
    void DividerDragEnded();

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;

private:
    void UpdateBeyondLastDivider(int x);
    void ApplySectionResizeModes();

    bool m_bBeyondLastDivider = false;
    bool m_bDragging = false;
};
