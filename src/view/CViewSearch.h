// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "filtering/LiteralSearcher.h"
#include "view/COstrelView.h"
#include "view/CTextScanner.h"

// Finds and replaces text in a view's bytes with the editor's own target search. A byte prefilter
// tells which slices of the text may hold an occurrence, and the editor looks only at those. A
// short text is searched at once. A long one, or one still loading, is scanned on a thread of the
// search's own while the window goes on, and the editor confirms what the scan found in short
// turns of the event loop; the result comes later, through Finished. While a search runs the view
// is read-only to the user and the wait cursor shows; Escape in the view, Stop, another text or
// the view going away ends it. One object runs one command at a time.
class CViewSearch : public QObject
{
    Q_OBJECT

public:
    using Range = TextRange;

    enum class Outcome
    {
        Found,
        NotFound,
        // Stopped by the user, or the view went away or was given a new text meanwhile.
        Stopped,
    };
    Q_ENUM(Outcome)

    // Bytes the editor looks at per candidate; the next slice overlaps by the longest possible
    // match. Small enough for the editor to get through one in a few milliseconds.
    static constexpr std::int64_t DefaultSliceSize = 256 * 1024;
    // Texts up to this size are searched at once, on the GUI thread.
    static constexpr std::int64_t DefaultLongTextSize = 1024 * 1024;

    CViewSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord, QObject* parent = nullptr);
    // A search still running stops, without Finished.
    ~CViewSearch() override;

    // "Search Text Not Found", with no owner window.
    static void ShowTextNotFound(const QString& caption);

    // Smaller slices let tests put occurrences across slice borders.
    void SetSliceSize(std::int64_t size) { m_nSliceSize = size > 0 ? size : DefaultSliceSize; }
    // Tests lower it to send short texts the way of long ones; 0 searches every text that way.
    void SetLongTextSize(std::int64_t size) { m_nLongTextSize = size; }
    // Whether letters beyond A to Z may fold into others when case is ignored; the editor is asked
    // once, and tests try the other answer.
    void SetFoldsBeyondAscii(bool folds);
    static bool EditorFoldsBeyondAscii(bool utf8);

    // The text as the view stores it: UTF-8 for a UTF-8 view, else one byte per character. False
    // when it cannot be there at all (empty, or a character a Latin-1 view cannot hold).
    static bool EncodeForView(const COstrelView* view, const QString& text, QByteArray& bytes);

    // Each command below ends with Finished, before the call returns when the text is short. A
    // command given while another runs stops that one first (it finishes as Stopped).

    // The first occurrence that starts at or after `from`. While the view is still loading, the
    // search goes on into the rest of the text once it is in.
    void StartFindForward(std::int64_t from);
    // The last occurrence that starts before `before`.
    void StartFindBackward(std::int64_t before);
    // The search of the Find dialog and F3: down from one character after the selection's start
    // (the caret when nothing is selected), or up to occurrences that start before the selection
    // or the caret. Selects what it finds and scrolls it into view; never wraps around.
    void StartFindFromSelection(bool searchDown);
    // Replace: the selection, when it is an occurrence, becomes the replacement; then the next
    // occurrence after it is selected. Replacing waits until the view is editable (a load or a
    // filtering run has ended), without holding up the window.
    void StartReplaceSelectionAndFindNext(const QString& replacement);
    // Replace All from the start of the text to its end in one undo step, waiting as Replace does
    // (text appended while it replaces splits the step). Occurrences are not searched inside
    // replacements. Found when one was replaced at least.
    void StartReplaceAll(const QString& replacement);
    // Ends a running command as Stopped; what Replace All replaced so far stays, in one undo step.
    void Stop();

    bool IsRunning() const { return m_Step != Step::Idle; }
    // After Finished: the outcome, what was found (selected by the Replace and FromSelection
    // commands), whether Replace replaced the selection, how many Replace All replaced.
    Outcome GetOutcome() const { return m_Outcome; }
    Range GetFound() const { return m_Found; }
    bool GetReplaced() const { return m_bReplaced; }
    std::int64_t GetReplacedCount() const { return m_nReplacedCount; }

    // True when the selection is exactly one occurrence.
    bool IsSelectionAMatch();

Q_SIGNALS:
    void Finished(CViewSearch::Outcome outcome);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Command
    {
        Find,
        ReplaceSelection,
        ReplaceAll,
    };
    enum class Step
    {
        Idle,
        // Replacing waits for the end of a load or a filtering run.
        WaitingForEditableText,
        // A forward search reached the end of a text that is still loading.
        WaitingForMoreText,
        Finding,
        // Replace All: the scan of the unchanged text, then the replacing in turns.
        ReplacingAll,
    };

    // Takes the view for a command; false (and finished as Stopped) when there is none to take.
    bool Begin(Command command);
    void BeginOnEditableText();
    void BeginFind(CTextScanner::Direction direction, std::int64_t from, bool select);
    void BeginFindFromSelection(bool searchDown);
    void BeginReplaceSelection();
    void BeginReplaceAll();
    // Scans from a position to the end (forward) or to the start: at once for a short text, on
    // the thread for a long one.
    void StartScan(std::int64_t from);
    // Starts the thread again on the text as it is now, after a change stopped it or the text grew.
    void ResumeScan();
    void Poll();
    void ContinueFind();
    void ContinueReplaceAll();
    void OnTextAboutToChange(COstrelView::TextChange change);
    // A scan whose text moved without word from the view is not to be trusted: starts it again.
    bool RestartIfTextMoved();
    void SchedulePoll();
    void Finish(Outcome outcome);
    // Gives the view back; the thread stopped.
    void Release();

    int SearchFlags() const;
    void PreparePrefilter();
    // The text where the editor keeps it, taken without moving the editor's gap.
    TextPieces TakePieces() const;
    std::int64_t TextLength() const;
    // The editor's search for the first occurrence starting in [start, sliceEnd), or one beyond
    // when the slice reaches the end of the text.
    std::optional<Range> ConfirmForward(std::int64_t start, std::int64_t sliceEnd);
    // The last occurrence starting in the slice.
    std::optional<Range> ConfirmBackward(const Range& slice);
    bool IsSameText() const;
    void Select(const Range& range);
    void FoundAt(const Range& range);

    QPointer<COstrelView> m_pView;
    QByteArray m_Pattern;
    std::string_view PatternView() const { return {m_Pattern.constData(), static_cast<std::size_t>(m_Pattern.size())}; }
    QByteArray m_Replacement;
    // Finds the pattern's bytes (folding A to Z when ignoring case) far faster than the editor, so
    // slices where no occurrence can start are skipped and the editor only confirms where one can.
    std::optional<LiteralSearcher> m_Prefilter;
    std::unique_ptr<CTextScanner> m_pScanner;
    bool m_bPatternPossible = false;
    bool m_bMatchCase;
    bool m_bWholeWord;
    bool m_bFoldsBeyondAscii = false;
    std::int64_t m_nSliceSize = DefaultSliceSize;
    std::int64_t m_nLongTextSize = DefaultLongTextSize;
    std::int64_t m_nOverlap = 0;
    std::uint64_t m_nTextGeneration = 0;

    Command m_Command = Command::Find;
    Step m_Step = Step::Idle;
    Outcome m_Outcome = Outcome::NotFound;
    QTimer m_PollTimer;
    bool m_bHoldsView = false;
    bool m_bShowsCursor = false;
    // The scan runs on the thread, and the editor confirms in turns of the event loop.
    bool m_bOnThread = false;
    // A change of the text stopped the thread; the next poll starts it again.
    bool m_bScanPaused = false;
    // The search's own edits are no reason to stop.
    bool m_bEditing = false;
    // Replace All has begun replacing what the scan found: the text moves under our own hands.
    bool m_bReplacing = false;
    TextPieces m_Pieces;
    CTextScanner::Direction m_Direction = CTextScanner::Direction::Forward;
    // Where the search began, where the running scan began, and the length it scans to.
    std::int64_t m_nOrigin = 0;
    std::int64_t m_nScanOrigin = 0;
    std::int64_t m_nScanEnd = 0;
    bool m_bSelectFound = false;
    Range m_Found;
    bool m_bReplaced = false;

    // Replace All. The scan's positions are those of the text as it was when the scan began; the
    // replacements so far have moved what follows them by m_nShift.
    std::optional<Range> m_Candidate;
    std::int64_t m_nFrontier = 0; // no occurrence is searched before it (in scanned positions)
    std::int64_t m_nShift = 0;
    std::int64_t m_nReplacedCount = 0;
    std::int64_t m_nLastEnd = -1;
    bool m_bUndoActionOpen = false;
};
