// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "logtext/ShownText.h"

class COstrelView;

// The line-number margin of a view. A whole file in the editor shows the editor's own numbers,
// which are the file's; filter output and a paged window show the file line of each line,
// written into the margin for the lines on screen only, so a view of any size costs only its
// screen. Context lines of filter output have dimmer numbers; in a rotated set the first line of
// each file after the first has its number on a colour of its own, where one file gives way to
// the next.
class CLineNumberMargin
{
public:
    // Where the text at an editor line comes from: its 1-based file line (0 for none: the end
    // marker, the empty line after the last line feed), whether it is context, the filter that
    // kept it (-1: none), whose colour tints the line's number, and whether a file starts there.
    using FileLineOf = std::function<ShownLineOrigin(std::int64_t viewLine)>;

    explicit CLineNumberMargin(COstrelView& view);

    // The lines a file of fileSize bytes is likely to have when its first sampleBytes hold
    // sampleLineFeeds line feeds: at least one, at most one more than its bytes, exact when the
    // sample is the whole file.
    static std::int64_t EstimateLineCount(std::uint64_t fileSize, std::uint64_t sampleBytes,
                                          std::int64_t sampleLineFeeds);

    void SetShown(bool shown);
    bool IsShown() const { return m_bShown; }
    // The editor's own numbers (fileLineOf empty), or numbers written per line, and the largest
    // number that can come (for the margin's width).
    void SetNumbering(FileLineOf fileLineOf, std::int64_t largest);
    // Numbers that stand for lines of another file (a tab made from filter output): every
    // origin goes through the map before it is written, the editor's own numbers too, and the
    // margin is wide enough for `largest`. An empty map numbers as the view says again.
    using OriginMap = std::function<ShownLineOrigin(const ShownLineOrigin& origin)>;
    void SetOriginMap(OriginMap map, std::int64_t largest);
    void SetLargest(std::int64_t largest);
    // A number that may have come in with new lines: the margin widens for it.
    void GrowLargest(std::int64_t number) { SetLargest(std::max(m_nLargest, number)); }
    // Writes the numbers of the lines on screen; call after scrolling or new text.
    void Refresh();
    // After the view's styles were reset (a font, a background): the margin's styles again.
    void ApplyStyles();

private:
    void UpdateWidth();

    COstrelView& m_View;
    FileLineOf m_FileLineOf;
    OriginMap m_OriginMap;
    std::int64_t m_nMappedLargest = 0;
    std::int64_t m_nLargest = 1;
    int m_nDigits = 0;
    bool m_bShown = false;
    std::int64_t m_nWrittenFirst = -1; // the editor lines written last, to skip writing them again
    std::int64_t m_nWrittenLast = -1;
    // Per editor document, the lines that hold margin text: only the last screen written there.
    // Clearing a document's every line walks all its lines, seconds for a big file.
    std::map<long, std::pair<std::int64_t, std::int64_t>> m_TextLines;
    void ClearTextLines(std::int64_t keepFirst, std::int64_t keepLast);
};
