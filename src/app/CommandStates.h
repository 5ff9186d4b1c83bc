// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CCommandActions;
class COstrelDoc;
class COstrelView;

// Enables the commands that the active log view allows (none without one: a paged view allows no
// edit) and checks Word Wrap and Follow as the view has them.
void UpdateViewCommandStates(const CCommandActions& commands, const COstrelView* view, const COstrelDoc* document);
