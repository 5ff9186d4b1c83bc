// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

// The icon theme's icon of that name; where the theme has none (or no theme is installed), the
// program's own drawing of that name from its resources (":/toolbar/<own>-16.png", 24 and 32).
QIcon ToolBarIcon(const QString& themeName, const QString& ownName);
// The program's own drawing alone, at the sizes it carries.
QIcon OwnToolBarIcon(const QString& ownName);
