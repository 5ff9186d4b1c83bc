// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ToolBarIcons.h"

QIcon OwnToolBarIcon(const QString& ownName)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addFile(QStringLiteral(":/toolbar/%1-%2.png").arg(ownName).arg(size), QSize(size, size));
    return icon;
}

QIcon ToolBarIcon(const QString& themeName, const QString& ownName)
{
    // The style's standard pixmaps are no stand-in: they show a trash can for Cut and a tick
    // for Paste.
    return QIcon::fromTheme(themeName, OwnToolBarIcon(ownName));
}
