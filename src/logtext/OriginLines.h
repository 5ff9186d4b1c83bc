// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "filtering/OutputLineNumbers.h"
#include "logtext/ShownText.h"

// A text made of the lines another text showed (filter output opened in a tab of its own) keeps,
// for each of its lines, the line of the original file it stands for, with the context flag and
// the filter that kept it there. Entry i is the text's line i + 1; 0 marks a line of no file (a
// marker). Texts made from such a text again compose the tables, so every one of them leads to
// the original file's lines.
namespace OriginLines {

// The table of a text made of the output lines `shown` numbers. With `parent` (the table of the
// text that output was made from) those numbers are that text's own lines and are taken
// through it; a number past the parent's end, like a marker's, has no file line.
OutputLineNumbers Compose(const OutputLineNumbers& shown, const OutputLineNumbers* parent);

// The original line of the text's own line (1-based); 0 for none.
std::int64_t OriginalLineOf(const OutputLineNumbers& table, std::int64_t ownLine);

// Where a line of the text comes from in original terms. `own` is where it comes from in the
// text itself: its own line as the file line, and, in the output of a run of the text, the
// run's context flag and filter, which stay; the text shown whole takes the original ones.
ShownLineOrigin MapOrigin(const OutputLineNumbers& table, const ShownLineOrigin& own, bool ownOutput);

// The text's own line (1-based) that holds an original line number, else the next one that has
// a greater number; past the last, the last line with a number. 0 for a table without numbers.
std::int64_t OwnLineOfOriginal(const OutputLineNumbers& table, std::int64_t original);

} // namespace OriginLines
