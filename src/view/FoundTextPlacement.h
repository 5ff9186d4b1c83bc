// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class COstrelView;
class QWidget;

// Moves a search dialog off the view's selection (the text just found) when it covers it: above
// the text when there is room on the screen, else below it. A dialog that covers nothing stays.
void MoveDialogOffSelection(QWidget& dialog, COstrelView& view);
