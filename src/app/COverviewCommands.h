// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CCommandActions;
class CDocumentArea;
class CTimelineView;
class ILogWorkspace;
class QDockWidget;
class QMainWindow;

// View > Overview Strip shows or hides the strip beside every view's scroll bar; View > Timeline
// the dock with the active view's kept lines over time. Both choices are kept in the settings
// for the views and the sessions to come.
class COverviewCommands : public QObject
{
    Q_OBJECT

public:
    COverviewCommands(QMainWindow& window, ILogWorkspace& workspace, const CCommandActions& commands,
                      CDocumentArea& area);

    // The choices kept: the strip shown unless the user hid it, the timeline hidden until asked for.
    static bool IsStripShown();
    static void SetStripShown(bool shown);
    static bool IsTimelineShown();
    static void SetTimelineShown(bool shown);

    QDockWidget* GetTimelineDock() const { return m_pTimelineDock; }

private:
    void OnStripToggled(bool shown);
    void OnTimelineToggled(bool shown);

    CDocumentArea& m_Area;
    QDockWidget* m_pTimelineDock = nullptr;
    CTimelineView* m_pTimeline = nullptr;
};
