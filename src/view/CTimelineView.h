// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "filtering/SpanBuckets.h"

class COstrelView;

// A histogram of a view's kept lines over time, a bar per column stacked by the colours of the
// filters that kept them, from the earliest time to the latest, with both written below. It shows
// what the view's run counted (COverviewStrip::GetKeptTimes), while the run goes on too. A click
// on a bar goes to its first kept line.
class CTimelineView : public QWidget
{
    Q_OBJECT

public:
    // How often the histogram looks for lines counted meanwhile.
    static constexpr int RefreshIntervalMs = 250;

    explicit CTimelineView(QWidget* parent = nullptr);

    void SetView(COstrelView* view);
    COstrelView* GetView() const { return m_pView; }

    // The bars' area and the times each column covers, as painted.
    QRect GetBarArea() const;
    SpanRows GetColumns() const;
    // The file line of the first kept line of the bar at x (0 for none).
    std::int64_t LineForColumn(int x) const;
    // The times counted, or null without a view.
    const SpanBuckets* GetBuckets() const;

    QSize sizeHint() const override { return {600, 120}; }

Q_SIGNALS:
    void LineChosen(std::int64_t fileLine);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Refresh();

    QPointer<COstrelView> m_pView;
    QTimer m_RefreshTimer;
    std::uint64_t m_nPaintedLines = 0;
};
