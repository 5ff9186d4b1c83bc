// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTimelineView.h"

#include <algorithm>
#include <vector>

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>

#include "view/COstrelView.h"
#include "view/COverviewStrip.h"
#include "view/FilterColours.h"

namespace {

QColor SlotColour(int slot)
{
    if (slot == SpanBuckets::NoFilter)
        return QColor::fromRgb(COverviewStrip::UnfilteredColour);
    const std::uint32_t colour = FilterColour(slot);
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QString TimeText(std::int64_t millis)
{
    return QDateTime::fromMSecsSinceEpoch(millis).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

} // namespace

CTimelineView::CTimelineView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("timelineView"));
    setMinimumHeight(60);
    setCursor(Qt::PointingHandCursor);
    m_RefreshTimer.setInterval(RefreshIntervalMs);
    connect(&m_RefreshTimer, &QTimer::timeout, this, &CTimelineView::Refresh);
    m_RefreshTimer.start();
}

void CTimelineView::SetView(COstrelView* view)
{
    m_pView = view;
    m_nPaintedLines = 0;
    update();
}

const SpanBuckets* CTimelineView::GetBuckets() const
{
    if (!m_pView || !m_pView->GetShowsFilteredText())
        return nullptr;
    return &m_pView->GetOverview().GetKeptTimes().Buckets();
}

void CTimelineView::Refresh()
{
    const SpanBuckets* buckets = GetBuckets();
    const std::uint64_t lines = buckets ? buckets->GetLineCount() : 0;
    if (isVisible() && lines != m_nPaintedLines)
        update();
}

QRect CTimelineView::GetBarArea() const
{
    const int labels = fontMetrics().height() + 4;
    return rect().adjusted(2, 2, -2, -labels);
}

SpanRows CTimelineView::GetColumns() const
{
    const SpanBuckets* buckets = GetBuckets();
    if (!buckets || buckets->Empty())
        return SpanRows{0, 0, std::max(1, GetBarArea().width())};
    return SpanRows{buckets->GetMinKey(), buckets->GetMaxKey(), std::max(1, GetBarArea().width())};
}

std::int64_t CTimelineView::LineForColumn(int x) const
{
    const SpanBuckets* buckets = GetBuckets();
    if (!buckets || buckets->Empty())
        return 0;
    const SpanRows columns = GetColumns();
    const int column = x - GetBarArea().left();
    if (column < 0 || column >= columns.Rows)
        return 0;
    return buckets->Sum(columns.RowStart(column), columns.RowStart(column + 1)).FirstLine;
}

void CTimelineView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const SpanBuckets* buckets = GetBuckets();
    m_nPaintedLines = buckets ? buckets->GetLineCount() : 0;
    const QRect area = GetBarArea();
    if (!buckets || buckets->Empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter,
                         m_pView && m_pView->GetShowsFilteredText()
                             ? QStringLiteral("No times were recognised in the kept lines")
                             : QStringLiteral("Filter the log to see its kept lines over time"));
        return;
    }
    const SpanRows columns = GetColumns();
    std::vector<SpanBuckets::Bucket> sums(static_cast<std::size_t>(columns.Rows));
    std::uint64_t highest = 1;
    for (int x = 0; x < columns.Rows; ++x) {
        // A column narrower than a bucket shows the bucket once, at its first column.
        const std::int64_t from = columns.RowStart(x);
        const std::int64_t to = columns.RowStart(x + 1);
        if (to <= from)
            continue;
        sums[static_cast<std::size_t>(x)] = buckets->Sum(from, to);
        highest = std::max(highest, sums[static_cast<std::size_t>(x)].Total());
    }
    for (int x = 0; x < columns.Rows; ++x) {
        const SpanBuckets::Bucket& sum = sums[static_cast<std::size_t>(x)];
        std::uint64_t below = 0;
        for (int slot = 0; slot <= SpanBuckets::NoFilter; ++slot) {
            const std::uint64_t lines = sum.Lines[static_cast<std::size_t>(slot)];
            if (lines == 0)
                continue;
            const int bottom =
                area.bottom() - static_cast<int>(below * static_cast<std::uint64_t>(area.height()) / highest);
            below += lines;
            const int top =
                area.bottom() - static_cast<int>(below * static_cast<std::uint64_t>(area.height()) / highest);
            painter.fillRect(area.left() + x, top, 1, std::max(1, bottom - top), SlotColour(slot));
        }
    }
    painter.setPen(palette().color(QPalette::Text));
    const QRect labels(area.left(), area.bottom() + 2, area.width(), height() - area.bottom() - 2);
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, TimeText(buckets->GetMinKey()));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, TimeText(buckets->GetMaxKey()));
    painter.drawText(labels, Qt::AlignHCenter | Qt::AlignVCenter,
                     QStringLiteral("%1 kept lines, the highest bar %2").arg(buckets->GetLineCount()).arg(highest));
}

void CTimelineView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pView)
        return QWidget::mousePressEvent(event);
    const std::int64_t line = LineForColumn(static_cast<int>(event->position().x()));
    if (line <= 0)
        return;
    m_pView->GoToNumberedLine(line); // a file line of the filter output
    m_pView->setFocus();
    Q_EMIT LineChosen(line);
}
