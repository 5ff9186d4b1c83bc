// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPalette>
#include <QString>

// How an application look is drawn: a Qt style and the look's colours.
struct CLookStyle
{
    QString StyleName;
    QPalette Palette;
};

// The style of a look (205 to 219). A look the menu does not know keeps the colours of the
// Office 2007 style chosen last (the blue one at first).
CLookStyle GetLookStyle(unsigned look);
