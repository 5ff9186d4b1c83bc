// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QString>

class CDerivedOutput;
class COstrelView;

// A tab made from filter output numbers its lines by the original file's lines wherever the
// user sees a number: Go To, the status bar. The view itself keeps its own lines; these turn
// them into original ones and back.

// The document's tab lines, or null when the view's document is no such tab.
const CDerivedOutput* DerivedOutputOf(const COstrelView& view);
// The view's own line (1-based) at an editor line: in the output of its runs the line the
// run kept, in the whole text the line itself; 0 for none.
std::int64_t OwnLineOfViewLine(const COstrelView& view, std::int64_t viewLine);
// The original line of the caret's line, 0 for none.
std::int64_t OriginalCaretLine(const COstrelView& view, const CDerivedOutput& derived);
// Go To an original line: the line that holds it, else the next one, else the last. Returns
// what the status bar should say when the line reached is not the one asked for.
QString GoToOriginalLine(COstrelView& view, const CDerivedOutput& derived, std::int64_t number);
