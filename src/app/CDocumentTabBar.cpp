// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CDocumentTabBar.h"

#include <algorithm>

CDocumentTabBar::CDocumentTabBar(QWidget* parent) : QTabBar(parent)
{
    setObjectName(QStringLiteral("documentTabBar"));
    setElideMode(Qt::ElideMiddle);
    setUsesScrollButtons(true);
}

QSize CDocumentTabBar::minimumTabSizeHint(int index) const
{
    // Qt's own minimum keeps three characters; a name needs more to be told apart. A short name
    // is never made wider than it is whole.
    const QSize whole = tabSizeHint(index);
    const QSize least = QTabBar::minimumTabSizeHint(index);
    const int wanted = least.width() + fontMetrics().averageCharWidth() * (MinimumShownCharacters - 3);
    return QSize(std::min(whole.width(), std::max(least.width(), wanted)), least.height());
}
