// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CSplitLayout.h"

#include "app/CChildFrame.h"
#include "view/COstrelSettings.h"

namespace {

const QString ShownKey = QStringLiteral("Workspace/Split");
const QString SideBySideKey = QStringLiteral("Workspace/SplitSideBySide");
const QString DividerKey = QStringLiteral("Workspace/SplitDivider");

} // namespace

CSplitLayout::CSplitLayout(QObject* parent) : QObject(parent)
{
    COstrelSettings settings;
    m_bShown = settings.value(ShownKey, false).toBool();
    m_bSideBySide = settings.value(SideBySideKey, false).toBool();
    bool valid = false;
    const double divider = settings.value(DividerKey).toDouble(&valid);
    // A value out of range (edited by hand) would hide one of the panes.
    m_dDivider = valid && divider > 0 && divider < 1 ? divider : DefaultDivider;
}

void CSplitLayout::SetShown(bool shown)
{
    m_bShown = shown;
    Write();
}

void CSplitLayout::SetSideBySide(bool sideBySide)
{
    m_bSideBySide = sideBySide;
    Write();
}

void CSplitLayout::Apply(CChildFrame& frame)
{
    frame.ShowSplit(m_bShown, m_bSideBySide ? Qt::Horizontal : Qt::Vertical, m_dDivider);
    connect(&frame, &CChildFrame::SplitDividerMoved, this, &CSplitLayout::OnDividerMoved, Qt::UniqueConnection);
}

void CSplitLayout::OnDividerMoved(double divider)
{
    if (divider <= 0 || divider >= 1)
        return;
    m_dDivider = divider;
    Write();
}

void CSplitLayout::Write() const
{
    COstrelSettings settings;
    settings.setValue(ShownKey, m_bShown);
    settings.setValue(SideBySideKey, m_bSideBySide);
    settings.setValue(DividerKey, m_dDivider);
}
