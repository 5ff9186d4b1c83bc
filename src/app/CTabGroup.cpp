// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CTabGroup.h"

#include "app/CDocumentTabBar.h"

CTabGroup::CTabGroup(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new CDocumentTabBar(this));
    setElideMode(Qt::ElideMiddle);
    setUsesScrollButtons(true);
}
