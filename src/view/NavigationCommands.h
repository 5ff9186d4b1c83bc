// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class COstrelView;

// The Find, Find Next, Replace and Go To commands of a log view, and when they are enabled.
// The find and replace dialogs search the log view active when their buttons are pressed; it
// comes from the main window, or from the resolver a test puts in its place.

using ActiveLogViewResolver = std::function<COstrelView*()>;

// Replaces how the dialogs find the active log view; an empty resolver restores the main window's.
void SetActiveLogViewResolver(ActiveLogViewResolver resolver);
// The active log view, or null.
COstrelView* GetActiveLogViewForSearch();

// Find (Ctrl+F): creates the one Find dialog on first use, then shows it.
void RunFindCommand(COstrelView* view);
// Find Next (F3): the search of the last Find Next press, in this view; nothing before it.
void RunFindNextCommand(COstrelView* view);
// Find and Replace are enabled while the view has text.
bool CanFind(const COstrelView* view);
// Find Next is enabled once Find has been chosen.
bool CanFindNext();
// Replace (Ctrl+H): creates the one Replace dialog on first use, then shows it.
void RunReplaceCommand(COstrelView* view);
bool CanReplace(const COstrelView* view);
// Go To (Ctrl+G): asks for a line and puts the caret at its start, scrolled into view.
void RunGoToCommand(COstrelView* view);
