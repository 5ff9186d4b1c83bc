// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qt>

// The frame of the program's small dialogs: a title and a close button, no minimise and no
// maximise. Window managers that honour the hints draw exactly that.
inline constexpr Qt::WindowFlags PlainDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
