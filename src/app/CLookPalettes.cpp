// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CLookPalettes.h"

#include <QColor>

#include "app/CommandIds.h"

namespace {

QPalette LookPalette(const QColor& window, const QColor& button)
{
    QPalette palette(button, window);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
    }
    const QColor disabled(0x8C, 0x8C, 0x8C);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    return palette;
}

QPalette DarkPalette()
{
    // Every role is set: a role left out would keep the light colours of the palette this one
    // replaces, and the light etch under disabled text made disabled menu items read as bright
    // as enabled ones.
    const QColor window(0x35, 0x35, 0x38);
    const QColor button(0x45, 0x45, 0x48);
    const QColor base(0x25, 0x25, 0x26);
    QPalette palette(Qt::white, button, button.lighter(130), button.darker(150), button.darker(120), Qt::white,
                     Qt::white, base, window);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0xA0, 0xA0, 0xA0));
    palette.setColor(QPalette::Highlight, QColor(0x33, 0x99, 0xFF));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6C, 0xB4, 0xFF));
    palette.setColor(QPalette::LinkVisited, QColor(0xB4, 0x9C, 0xFF));
    // Disabled text: at least 3:1 against the window and the menus, clearly dimmer than the
    // enabled white, and etched only faintly.
    const QColor disabledText(0x8E, 0x8E, 0x8E);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Light, window.lighter(115));
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, button);
    return palette;
}

// The colour style of the Office 2007 look survives a stored look the menu does not know.
QPalette& Office2007Palette()
{
    static QPalette palette = LookPalette(QColor(0xD5, 0xE4, 0xF2), QColor(0xE3, 0xEE, 0xFA));
    return palette;
}

} // namespace

CLookStyle GetLookStyle(unsigned look)
{
    using namespace CommandId;
    CLookStyle style{QStringLiteral("Fusion"), QPalette()};
    switch (look) {
    case LookWindows2000:
    case LookWindowsXP:
        style.StyleName = QStringLiteral("Windows");
        style.Palette = LookPalette(QColor(0xD4, 0xD0, 0xC8), QColor(0xD4, 0xD0, 0xC8));
        break;
    case LookOfficeXP:
        style.Palette = LookPalette(QColor(0xF0, 0xEF, 0xEB), QColor(0xF6, 0xF5, 0xF2));
        break;
    case LookOffice2003:
        style.Palette = LookPalette(QColor(0xDD, 0xEC, 0xFE), QColor(0xC4, 0xDA, 0xFA));
        break;
    case LookVS2005:
        style.Palette = LookPalette(QColor(0xEE, 0xED, 0xE5), QColor(0xF5, 0xF4, 0xEE));
        break;
    case LookVS2008:
        style.Palette = LookPalette(QColor(0xE9, 0xEC, 0xF2), QColor(0xF2, 0xF4, 0xF8));
        break;
    case LookWindows7:
        style.Palette = LookPalette(QColor(0xF0, 0xF0, 0xF0), QColor(0xF7, 0xF7, 0xF7));
        break;
    case LookOffice2007Blue:
        style.Palette = Office2007Palette() = LookPalette(QColor(0xD5, 0xE4, 0xF2), QColor(0xE3, 0xEE, 0xFA));
        break;
    case LookOffice2007Black:
        style.Palette = Office2007Palette() = DarkPalette();
        break;
    case LookOffice2007Silver:
        style.Palette = Office2007Palette() = LookPalette(QColor(0xE3, 0xE6, 0xEB), QColor(0xEE, 0xF0, 0xF3));
        break;
    case LookOffice2007Aqua:
        style.Palette = Office2007Palette() = LookPalette(QColor(0xD2, 0xE3, 0xE8), QColor(0xE1, 0xEE, 0xF1));
        break;
    default:
        style.Palette = Office2007Palette();
        break;
    }
    return style;
}
