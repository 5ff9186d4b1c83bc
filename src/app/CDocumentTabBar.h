// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTabBar>

// The tab bar of a tab group: names elide in the middle, where the two ends tell files apart, and
// a tab keeps room for a readable part of its name; past that the bar scrolls.
class CDocumentTabBar : public QTabBar
{
    Q_OBJECT

public:
    // How many characters of a name a squeezed tab still shows, besides the ellipsis.
    static constexpr int MinimumShownCharacters = 14;

    explicit CDocumentTabBar(QWidget* parent = nullptr);

protected:
    QSize minimumTabSizeHint(int index) const override;
};
