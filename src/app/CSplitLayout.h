// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CChildFrame;

// The window's split: whether every tab shows the whole file beside its view, below it or at its
// right, and where the divider stands. Kept in the settings from one start to the next; the
// divider the user moved last is the one new splits take.
class CSplitLayout : public QObject
{
    Q_OBJECT

public:
    // The view's share of the room when the settings name none.
    static constexpr double DefaultDivider = 0.5;

    // Reads the settings.
    explicit CSplitLayout(QObject* parent = nullptr);

    bool IsShown() const { return m_bShown; }
    bool IsSideBySide() const { return m_bSideBySide; }
    double GetDivider() const { return m_dDivider; }
    // Each writes the settings; the frames take the change through Apply.
    void SetShown(bool shown);
    void SetSideBySide(bool sideBySide);

    // The frame shows the split as the window has it; its divider, moved, becomes the window's.
    void Apply(CChildFrame& frame);

private:
    void OnDividerMoved(double divider);
    void Write() const;

    bool m_bShown = false;
    bool m_bSideBySide = false;
    double m_dDivider = DefaultDivider;
};
