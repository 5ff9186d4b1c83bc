// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/COverviewCommands.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>

#include "app/CChildFrame.h"
#include "app/CCommandActions.h"
#include "app/CDocumentArea.h"
#include "app/CommandIds.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/CTimelineView.h"
#include "view/ILogWorkspace.h"

namespace {

const QString StripKey = QStringLiteral("Workspace/OverviewStrip");
const QString TimelineKey = QStringLiteral("Workspace/Timeline");

} // namespace

COverviewCommands::COverviewCommands(QMainWindow& window, ILogWorkspace& workspace, const CCommandActions& commands,
                                     CDocumentArea& area)
    : QObject(&window), m_Area(area)
{
    QAction* strip = commands.Get(CommandId::ViewOverviewStrip);
    strip->setChecked(IsStripShown());
    connect(strip, &QAction::toggled, this, &COverviewCommands::OnStripToggled);

    m_pTimelineDock = new QDockWidget(QStringLiteral("Timeline"), &window);
    m_pTimelineDock->setObjectName(QStringLiteral("timelineDock"));
    m_pTimeline = new CTimelineView(m_pTimelineDock);
    m_pTimelineDock->setWidget(m_pTimeline);
    window.addDockWidget(Qt::BottomDockWidgetArea, m_pTimelineDock);
    m_pTimeline->SetView(workspace.GetActiveLogView());
    connect(&workspace.GetSignals(), &CWorkspaceSignals::ActiveLogViewChanged, m_pTimeline, &CTimelineView::SetView);

    QAction* timeline = commands.Get(CommandId::ViewTimeline);
    const bool shown = IsTimelineShown();
    timeline->setChecked(shown);
    m_pTimelineDock->setVisible(shown);
    COverviewStrip::SetTimesCounted(shown);
    connect(timeline, &QAction::toggled, this, &COverviewCommands::OnTimelineToggled);
    // The dock's close box (or the window's restored layout) and the command say the same.
    connect(m_pTimelineDock, &QDockWidget::visibilityChanged, this, [this, timeline] {
        if (m_pTimelineDock->isHidden() == timeline->isChecked())
            timeline->setChecked(!m_pTimelineDock->isHidden());
    });
}

bool COverviewCommands::IsStripShown()
{
    COstrelSettings settings;
    return settings.value(StripKey, 1).toInt() != 0;
}

void COverviewCommands::SetStripShown(bool shown)
{
    COstrelSettings settings;
    settings.setValue(StripKey, shown ? 1 : 0);
}

bool COverviewCommands::IsTimelineShown()
{
    COstrelSettings settings;
    return settings.value(TimelineKey, 0).toInt() != 0;
}

void COverviewCommands::SetTimelineShown(bool shown)
{
    COstrelSettings settings;
    settings.setValue(TimelineKey, shown ? 1 : 0);
}

void COverviewCommands::OnStripToggled(bool shown)
{
    SetStripShown(shown);
    for (CChildFrame* frame : m_Area.GetChildFrames())
        if (COstrelView* view = frame->GetView())
            view->GetOverview().SetShown(shown);
}

void COverviewCommands::OnTimelineToggled(bool shown)
{
    SetTimelineShown(shown);
    // Runs count their kept lines over time only while the timeline is there to show them.
    COverviewStrip::SetTimesCounted(shown);
    m_pTimelineDock->setVisible(shown);
}
