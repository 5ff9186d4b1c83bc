// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CNonExtendableHeaderCtrl.h"

#include <QMouseEvent>
#include <QStyle>

namespace {
// Half the width of a standard 32-pixel mouse pointer: the blocked zone starts this far to the
// left of the last divider, so the pointer's hot spot never brings up a resize cursor there.
constexpr int PointerHalfWidth = 16;
} // namespace

CNonExtendableHeaderCtrl::CNonExtendableHeaderCtrl(QWidget* pParent) : QHeaderView(Qt::Horizontal, pParent)
{
    setSectionsClickable(false);
    setSectionsMovable(false);
    setSortIndicatorShown(false);
    setStretchLastSection(false);
    setMinimumSectionSize(10);
    setDefaultAlignment(Qt::AlignCenter);
    connect(this, &QHeaderView::sectionCountChanged, this, &CNonExtendableHeaderCtrl::ApplySectionResizeModes);
}

CNonExtendableHeaderCtrl::~CNonExtendableHeaderCtrl() = default;

void CNonExtendableHeaderCtrl::ApplySectionResizeModes()
{
    const int nLast = GetLastColumnIndex();
    for (int i = 0; i <= nLast; ++i)
        setSectionResizeMode(i, i == nLast ? QHeaderView::Fixed : QHeaderView::Interactive);
}

int CNonExtendableHeaderCtrl::DividerAt(int x) const
{
    // The same grip zones as the header's own hit test: the margin on either side of a divider.
    const int nVisual = visualIndexAt(x);
    if (nVisual < 0)
        return -1;
    const int nLogical = logicalIndex(nVisual);
    const int nLeft = sectionViewportPosition(nLogical);
    const int nGrip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    if (x < nLeft + nGrip) {
        for (int v = nVisual - 1; v >= 0; --v) {
            if (!isSectionHidden(logicalIndex(v)))
                return logicalIndex(v);
        }
        return -1;
    }
    if (x > nLeft + sectionSize(nLogical) - nGrip)
        return nLogical;
    return -1;
}

void CNonExtendableHeaderCtrl::UpdateBeyondLastDivider(int x)
{
    const int nLast = GetLastColumnIndex();
    if (nLast < 0) {
        m_bBeyondLastDivider = false;
        return;
    }
    const int nLastRight = sectionViewportPosition(nLast) + sectionSize(nLast);
    m_bBeyondLastDivider = x > nLastRight - PointerHalfWidth;
}

void CNonExtendableHeaderCtrl::mousePressEvent(QMouseEvent* pEvent)
{
    const int x = pEvent->position().toPoint().x();
    UpdateBeyondLastDivider(x);
    if (m_bBeyondLastDivider) {
        pEvent->accept(); // no drag of the last divider, and nothing else to press there
        return;
    }
    if (pEvent->button() == Qt::LeftButton) {
        const int nDivider = DividerAt(x);
        if (nDivider >= 0 && nDivider < GetLastColumnIndex() &&
            sectionResizeMode(nDivider) == QHeaderView::Interactive) {
            m_bDragging = true;
            Q_EMIT DividerDragStarted(nDivider);
        }
    }
    QHeaderView::mousePressEvent(pEvent);
}

void CNonExtendableHeaderCtrl::mouseMoveEvent(QMouseEvent* pEvent)
{
    UpdateBeyondLastDivider(pEvent->position().toPoint().x());
    QHeaderView::mouseMoveEvent(pEvent);
    if (m_bBeyondLastDivider && !m_bDragging && testAttribute(Qt::WA_SetCursor))
        unsetCursor();
}

void CNonExtendableHeaderCtrl::mouseReleaseEvent(QMouseEvent* pEvent)
{
    QHeaderView::mouseReleaseEvent(pEvent);
    if (m_bDragging) {
        m_bDragging = false;
        Q_EMIT DividerDragEnded();
    }
}

void CNonExtendableHeaderCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    UpdateBeyondLastDivider(pEvent->position().toPoint().x());
    if (m_bBeyondLastDivider) {
        pEvent->accept();
        return;
    }
    QHeaderView::mouseDoubleClickEvent(pEvent);
}
