// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <QPointer>
#include <QString>

#include "logtext/BookmarkSet.h"

class COstrelDoc;
class COstrelView;

// The bookmarks of a view: a symbol in a margin beside each marked line on screen, the toggle
// at the caret, and going to the next or previous marked line. The marks are the document's and
// belong to its file lines: filter output shows those of the lines it kept, a paged view those of
// its window. A line is known by its file line in filter output and by its place elsewhere (the
// same number for a file; a rotated set or a followed file that started anew counts its places).
// Only the lines on screen are looked at, so a view of any size costs only its screen; the
// margin is there only while the document has a bookmark.
class CViewBookmarks
{
public:
    // The editor's marker for a bookmark, and the margin that shows it.
    static constexpr int Marker = 1;
    static constexpr int SymbolMargin = 1;

    explicit CViewBookmarks(COstrelView& view);

    // The document's marks; a view of no document (a test's) keeps its own.
    BookmarkSet& Set();
    // Shows and changes the marks of another document, whose lines are numbered as this view's
    // (the whole file beside a view shows the view's marks); null for the view's own again.
    void ShowMarksOf(COstrelDoc* owner);
    const BookmarkSet& Set() const;

    // The number a bookmark knows an editor line by; 0 for a line of no file (a marker).
    std::int64_t LineOfViewLine(std::int64_t viewLine) const;
    // Whether the editor line shows its marker now (for tests and the list).
    bool IsMarked(std::int64_t viewLine) const;

    // Marks or unmarks the caret's line; the note for the status bar.
    QString ToggleAtCaret();
    // Goes to the next (or previous) marked line that is shown, round the end; the note says
    // when it went round, or that there is none.
    QString GoToNext(bool forward);
    // Goes to a marked line; false when the text shown does not hold it (filter output).
    bool GoTo(std::int64_t line);
    // Whether the text shown holds the line, so that Go To can reach it.
    bool IsReachable(std::int64_t line) const;
    // The text of a marked line as it was last seen on screen, or read from the text when it
    // is in memory; empty when neither is at hand.
    QString TextOf(std::int64_t line) const;
    // Takes all the marks away.
    void Clear();
    // Replaces the marks (a session restored).
    void Assign(const std::vector<std::int64_t>& lines);

    // Puts the markers on the lines on screen and shows or hides the margin; after scrolling,
    // new text or a change of the marks.
    void Refresh();

private:
    std::int64_t CaretViewLine() const;
    QString LineTextOfViewLine(std::int64_t viewLine) const;
    void ShowMargin(bool shown);

    COstrelView& m_View;
    BookmarkSet m_OwnSet;
    QPointer<COstrelDoc> m_pMarksOwner;      // whose marks are shown, when not the view's document's
    std::map<std::int64_t, QString> m_Texts; // marked lines seen on screen
    bool m_bMarginShown = false;
};
