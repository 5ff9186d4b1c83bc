// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include "filtering/LiteralSearcher.h"

class COstrelView;

// Finds and replaces text in a view's bytes with the editor's own target search. A long text is
// searched a slice at a time; between slices the event loop gets a turn now and then (user input
// held back) so that the window keeps painting while a gigabyte goes by. One object serves one
// command: make it, search, let it go; it shows the wait cursor for as long as it lives.
class CViewSearch : public QObject
{
public:
    struct Range
    {
        std::int64_t Start = 0;
        std::int64_t End = 0;
    };

    enum class Outcome
    {
        Found,
        NotFound,
        // The view went away or was given a new text while the search let the event loop run.
        Stopped,
    };

    // Bytes searched per call of the editor; the next slice overlaps by the longest possible match.
    static constexpr std::int64_t DefaultSliceSize = 8 * 1024 * 1024;

    CViewSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord);
    ~CViewSearch() override;

    // "Search Text Not Found", with no owner window.
    static void ShowTextNotFound(const QString& caption);

    // Smaller slices let tests put occurrences across slice borders.
    void SetSliceSize(std::int64_t size) { m_nSliceSize = size > 0 ? size : DefaultSliceSize; }
    // Whether letters beyond A to Z may fold into others when case is ignored; the editor is asked
    // once, and tests try the other answer.
    void SetFoldsBeyondAscii(bool folds);
    static bool EditorFoldsBeyondAscii(bool utf8);

    // The text as the view stores it: UTF-8 for a UTF-8 view, else one byte per character. False
    // when it cannot be there at all (empty, or a character a Latin-1 view cannot hold).
    static bool EncodeForView(const COstrelView* view, const QString& text, QByteArray& bytes);

    // The first occurrence that starts at or after `from`. While the view is still loading, waits
    // for the rest of the text before it goes past what has been shown.
    Outcome FindForward(std::int64_t from, Range& found);
    // The last occurrence that starts before `before`.
    Outcome FindBackward(std::int64_t before, Range& found);

    // The search of the Find dialog and F3: down from one character after the selection's start
    // (the caret when nothing is selected), or up to occurrences that start before the selection
    // or the caret. Selects what it finds and scrolls it into view; never wraps around.
    Outcome FindFromSelection(bool searchDown);

    // True when the selection is exactly one occurrence.
    bool IsSelectionAMatch();
    // Replace: the selection, when it is an occurrence, becomes the replacement; then the next
    // occurrence after it is selected. Outcome of that search.
    Outcome ReplaceSelectionAndFindNext(const QString& replacement, bool& replaced);
    // Replace All from the start of the text to its end in one undo step. Occurrences are not
    // searched inside replacements. Returns the number replaced; outcome Stopped when the view
    // went away on the way.
    std::int64_t ReplaceAll(const QString& replacement, Outcome& outcome);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int SearchFlags() const;
    void PreparePrefilter();
    // The first offset in the bytes where an occurrence may start, or npos; needs the prefilter.
    std::size_t FirstPossibleStart(std::string_view bytes) const;
    // The text from start to end in one piece, or null.
    const char* RangeBytes(std::int64_t start, std::int64_t end) const;
    std::int64_t TextLength() const;
    // Gives the event loop a turn when the last one was a while ago; false when the view went
    // away or holds another text now.
    bool KeepWindowAlive();
    void GiveEventLoopATurn();
    bool IsSameText() const;
    void Select(const Range& range);

    QPointer<COstrelView> m_pView;
    QByteArray m_Pattern;
    // Finds the pattern's bytes (folding A to Z when ignoring case) far faster than the editor, so
    // slices where no occurrence can start are skipped and the editor only confirms where one can.
    std::optional<LiteralSearcher> m_Prefilter;
    bool m_bPatternPossible = false;
    bool m_bMatchCase;
    bool m_bWholeWord;
    bool m_bFoldsBeyondAscii = false;
    std::int64_t m_nSliceSize = DefaultSliceSize;
    std::int64_t m_nOverlap = 0;
    std::uint64_t m_nTextGeneration = 0;
    QElapsedTimer m_LastTurn;
    bool m_bFilterInstalled = false;
};
