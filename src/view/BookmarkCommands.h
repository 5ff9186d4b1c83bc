// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class COstrelView;

// The bookmark commands of a log view; what they have to say goes to the status bar.

// Toggle Bookmark (Ctrl+F2): marks the caret's line, or takes its mark away.
void RunToggleBookmarkCommand(COstrelView* view);
// Next Bookmark (F2) and Previous Bookmark (Shift+F2): the next marked line that is shown,
// going round the end.
void RunNextBookmarkCommand(COstrelView* view);
void RunPreviousBookmarkCommand(COstrelView* view);
// Bookmarks...: the list of the marked lines.
void RunBookmarksCommand(COstrelView* view);
