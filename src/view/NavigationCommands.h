// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class COstrelView;

// The Find, Find Next, Replace and Go To commands of a log view, and when they are enabled.
// The find and replace dialogs belong to the view's workspace and search the log view active
// there when their buttons are pressed.

// Find (Ctrl+F): creates the one Find dialog on first use, then shows it.
void RunFindCommand(COstrelView* view);
// Find Next (F3): the search of the last Find Next press, in this view; nothing before it.
void RunFindNextCommand(COstrelView* view);
// Find Previous (Shift+F3): that search toward the start of the text; nothing before it.
void RunFindPreviousCommand(COstrelView* view);
// Find and Replace are enabled while the view has text.
bool CanFind(const COstrelView* view);
// Find Next is enabled once Find has been chosen.
bool CanFindNext();
// Replace (Ctrl+H): creates the one Replace dialog on first use, then shows it.
void RunReplaceCommand(COstrelView* view);
bool CanReplace(const COstrelView* view);
// Go To (Ctrl+G): asks for a line or a time and puts the caret at the start of that line (for a
// time, the first line at or after it), scrolled into view.
void RunGoToCommand(COstrelView* view);
