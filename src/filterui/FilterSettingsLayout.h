// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

struct CFilterSettingsControls;

// Below this client size the controls stay where they are (this includes minimising).
constexpr int FilterSettingsLayoutMinWidth = 344;
constexpr int FilterSettingsLayoutMinHeight = 439;

// What a layout of the filter settings dialog did.
struct FilterSettingsLayoutResult
{
    bool LaidOut = false;       // false below the minimum size: nothing moved
    bool ColumnsFitted = false; // the list was shown, so its columns were fitted to its width
};

// Places the controls for a client area of this size: the upper group's rows at their form's
// places, widened where their text needs it, the list and the button column filling the middle,
// the check boxes and Apply at the bottom.
FilterSettingsLayoutResult LayOutFilterSettings(const CFilterSettingsControls& controls, QSize clientSize);
