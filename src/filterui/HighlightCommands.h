// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class COstrelView;
class ILogWorkspace;

// View > Highlights...: edits the workspace's rules in the dialog; OK hands them back to it.
void ShowHighlightsDialog(ILogWorkspace& workspace);

// Highlight Selection: the view's selected text becomes a literal, case-sensitive rule in the
// next free colours of the palette. Without a selection, or with one over several lines, a note
// says why and nothing is added.
void RunHighlightSelectionCommand(COstrelView* view);
