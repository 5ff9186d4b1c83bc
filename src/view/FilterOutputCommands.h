// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class COstrelDoc;
class COstrelView;

// When the commands that switch a log view between its file and its filter output are enabled,
// and what wrapping and the output are called. What Ctrl+T and Follow do is the document's.

// Enabled while the view shows or keeps filter output, or the document has a filter that is on.
bool CanToggleFilterOutput(const COstrelView& view, const COstrelDoc* document);
// Word Wrap: no wrapping, or wrapping at the window's edge.
void RunWordWrapCommand(COstrelView& view);
// What the status bar and a tab's tip call the filter output of the document's last run:
// "Filter output", or "Filter output (excluding matches)".
QString DescribeFilterOutput(const COstrelDoc& document);
