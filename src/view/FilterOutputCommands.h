// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class COstrelDoc;
class COstrelView;

// The commands that switch a log view between its file and its filter output, or follow the
// file: what they do beyond the view's own state, and when they are enabled.

// Toggle Filter Output (Ctrl+T): the file or the kept output; with none kept, or the file changed
// since, the document's filters are applied anew when any is on.
void RunToggleFilterOutputCommand(COstrelView& view, COstrelDoc& document, bool excludeMatches);
// Enabled while the view shows or keeps filter output, or the document has a filter that is on.
bool CanToggleFilterOutput(const COstrelView& view, const COstrelDoc* document);
// Follow: filter output follows through a run of its own, its filters applied anew, following.
void RunFollowCommand(COstrelView& view, COstrelDoc& document, bool follow, bool excludeMatches);
// Word Wrap: no wrapping, or wrapping at the window's edge.
void RunWordWrapCommand(COstrelView& view);
// What the status bar and a tab's tip call the filter output of the document's last run:
// "Filter output", or "Filter output (excluding matches)".
QString DescribeFilterOutput(const COstrelDoc& document);
