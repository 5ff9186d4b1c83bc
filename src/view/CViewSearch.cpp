// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewSearch.h"

#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include "filtering/TextCodec.h"
#include "view/ProblemReports.h"

namespace {

// How often the GUI looks at what the scan found, and how long it confirms at most in one turn:
// the window goes on painting and taking input in between.
constexpr int PollIntervalMs = 2;
constexpr qint64 TurnBudgetMs = 8;

bool operator==(const TextPieces& a, const TextPieces& b)
{
    return a.Before == b.Before && a.After == b.After && a.Gap == b.Gap && a.Length == b.Length;
}

} // namespace

CViewSearch::CViewSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord, QObject* parent)
    : QObject(parent), m_pView(view), m_bMatchCase(matchCase), m_bWholeWord(wholeWord)
{
    if (view) {
        m_bPatternPossible = EncodeForView(view, text, m_Pattern);
        m_nTextGeneration = view->GetTextGeneration();
    }
    // An occurrence spans at most four bytes per character of the pattern, even where the editor
    // folds a character of several bytes into a letter (the Kelvin sign into k).
    m_nOverlap = static_cast<std::int64_t>(m_Pattern.size()) * 4 + 4;
    if (view && !m_bMatchCase)
        m_bFoldsBeyondAscii = EditorFoldsBeyondAscii(view->GetEditor().GetCodePage() == QsciScintillaBase::SC_CP_UTF8);
    PreparePrefilter();
    m_PollTimer.setInterval(PollIntervalMs);
    connect(&m_PollTimer, &QTimer::timeout, this, &CViewSearch::Poll);
}

CViewSearch::~CViewSearch()
{
    Release();
}

void CViewSearch::SetFoldsBeyondAscii(bool folds)
{
    // The prefilter changes; a scan must not be reading it.
    Stop();
    m_bFoldsBeyondAscii = folds && !m_bMatchCase;
    PreparePrefilter();
}

bool CViewSearch::EditorFoldsBeyondAscii(bool utf8)
{
    // Asked once per code page of a scratch editor: does "ä", case ignored, find "Ä"?
    const auto probe = [](bool inUtf8) {
        QsciScintillaBase widget;
        CEditor editor(widget);
        editor.SetCodePage(inUtf8 ? QsciScintillaBase::SC_CP_UTF8 : 0);
        const QByteArray text = inUtf8 ? QByteArray("\xC3\x84") : QByteArray("\xC4");
        const QByteArray pattern = inUtf8 ? QByteArray("\xC3\xA4") : QByteArray("\xE4");
        editor.AppendText(text);
        editor.SetSearchFlags(0);
        return editor.SearchInRange(0, text.size(), std::string_view(pattern.constData(), pattern.size())) >= 0;
    };
    static const bool folds[2] = {probe(false), probe(true)};
    return folds[utf8 ? 1 : 0];
}

void CViewSearch::PreparePrefilter()
{
    m_Prefilter.reset();
    const std::string_view pattern(m_Pattern.constData(), static_cast<std::size_t>(m_Pattern.size()));
    if (!m_bPatternPossible || pattern.empty())
        return;
    // Ignoring case the prefilter folds A to Z only. That is all the editor folds, or else the
    // pattern is ASCII and the text beyond ASCII goes to the editor.
    if (m_bFoldsBeyondAscii && FindFirstNonAscii(pattern) != LiteralSearcher::npos)
        return;
    m_Prefilter.emplace(pattern, m_bMatchCase);
}

void CViewSearch::ShowTextNotFound(const QString& caption)
{
    ShowProblemBox({caption, QStringLiteral("Search Text Not Found"), CProblemReport::Kind::Information,
                    QStringLiteral("searchTextNotFoundBox")});
}

bool CViewSearch::EncodeForView(const COstrelView* view, const QString& text, QByteArray& bytes)
{
    bytes.clear();
    if (!view || text.isEmpty())
        return false;
    if (view->GetEditor().GetCodePage() == QsciScintillaBase::SC_CP_UTF8) {
        bytes = text.toUtf8();
        return true;
    }
    // A Latin-1 view cannot hold a character above 255; "?" in its place would find question marks.
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; }))
        return false;
    bytes = text.toLatin1();
    return true;
}

int CViewSearch::SearchFlags() const
{
    return (m_bMatchCase ? QsciScintillaBase::SCFIND_MATCHCASE : 0) |
           (m_bWholeWord ? QsciScintillaBase::SCFIND_WHOLEWORD : 0);
}

std::int64_t CViewSearch::TextLength() const
{
    return m_pView ? m_pView->GetEditor().GetLength() : 0;
}

TextPieces CViewSearch::TakePieces() const
{
    // Pointers to the bytes on either side of the gap: asking for a range that does not cross
    // it leaves the gap where it is.
    TextPieces pieces;
    pieces.Length = TextLength();
    const CEditor& editor = m_pView->GetEditor();
    pieces.Gap = std::clamp<std::int64_t>(editor.GetGapPosition(), 0, pieces.Length);
    if (pieces.Gap > 0)
        pieces.Before = editor.GetRange(0, pieces.Gap);
    if (pieces.Length > pieces.Gap)
        pieces.After = editor.GetRange(pieces.Gap, pieces.Length - pieces.Gap);
    return pieces;
}

bool CViewSearch::IsSameText() const
{
    return m_pView && m_pView->GetTextGeneration() == m_nTextGeneration;
}

bool CViewSearch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pView && IsRunning() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Stop();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool CViewSearch::Begin(Command command)
{
    Stop();
    m_Command = command;
    m_Outcome = Outcome::NotFound;
    m_Found = Range();
    m_bReplaced = false;
    m_nReplacedCount = 0;
    m_nLastEnd = -1;
    m_Candidate.reset();
    if (!IsSameText()) {
        m_Outcome = Outcome::Stopped;
        Q_EMIT Finished(m_Outcome);
        return false;
    }
    m_Step = Step::Finding;
    m_pView->HoldTextForSearch();
    m_bHoldsView = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_bShowsCursor = true;
    connect(m_pView, &COstrelView::TextAboutToChange, this, &CViewSearch::OnTextAboutToChange);
    connect(m_pView, &COstrelView::LoadFinished, this, &CViewSearch::SchedulePoll);
    connect(m_pView, &COstrelView::ReadOnlyChanged, this, &CViewSearch::SchedulePoll);
    m_pView->installEventFilter(this);
    // The thread nudges the poll when it has news, so that a result need not wait for the timer.
    m_pScanner = std::make_unique<CTextScanner>(
        m_Prefilter ? &*m_Prefilter : nullptr, m_bFoldsBeyondAscii, m_nSliceSize, m_nOverlap,
        [this] { QMetaObject::invokeMethod(this, &CViewSearch::Poll, Qt::QueuedConnection); });
    return true;
}

void CViewSearch::Release()
{
    m_PollTimer.stop();
    if (m_pScanner)
        m_pScanner->Reset();
    m_bScanPaused = false;
    m_bOnThread = false;
    m_bReplacing = false;
    m_Step = Step::Idle;
    if (m_pView) {
        disconnect(m_pView, nullptr, this, nullptr);
        m_pView->removeEventFilter(this);
        // A text replaced meanwhile has no open undo step of ours to close.
        if (m_bUndoActionOpen && IsSameText())
            m_pView->GetEditor().EndUndoAction();
        if (m_bHoldsView)
            m_pView->ReleaseTextForSearch();
    }
    m_bUndoActionOpen = false;
    m_bHoldsView = false;
    if (m_bShowsCursor) {
        QApplication::restoreOverrideCursor();
        m_bShowsCursor = false;
    }
}

void CViewSearch::Finish(Outcome outcome)
{
    Release();
    m_Outcome = outcome;
    Q_EMIT Finished(outcome);
}

void CViewSearch::Stop()
{
    if (IsRunning())
        Finish(Outcome::Stopped);
}

void CViewSearch::SchedulePoll()
{
    if (IsRunning() && !m_PollTimer.isActive())
        m_PollTimer.start();
}

void CViewSearch::OnTextAboutToChange(COstrelView::TextChange change)
{
    // Text appended without undo drops the editor's open undo group, which must not be ended
    // after that: replacements after it become an undo step of their own.
    if (change == COstrelView::TextChange::Appending && m_bUndoActionOpen) {
        m_pView->GetEditor().EndUndoAction();
        m_bUndoActionOpen = false;
    }
    if (!IsRunning() || m_bEditing)
        return;
    if (change == COstrelView::TextChange::Editing || change == COstrelView::TextChange::Replacing) {
        // Positions no longer mean what they meant.
        Finish(Outcome::Stopped);
        return;
    }
    // Same positions, but the bytes may go elsewhere: the thread stops reading them, and starts
    // again on the text as it is afterwards. Once Replace All replaces, the thread is done; what
    // comes at the end meanwhile gets a round of its own.
    if (m_bOnThread && !m_bReplacing) {
        m_pScanner->Stop();
        m_bScanPaused = true;
    }
    SchedulePoll();
}

void CViewSearch::StartFindForward(std::int64_t from)
{
    if (Begin(Command::Find))
        BeginFind(CTextScanner::Direction::Forward, from, false);
}

void CViewSearch::StartFindBackward(std::int64_t before)
{
    if (Begin(Command::Find))
        BeginFind(CTextScanner::Direction::Backward, before, false);
}

void CViewSearch::StartFindFromSelection(bool searchDown)
{
    if (Begin(Command::Find))
        BeginFindFromSelection(searchDown);
}

void CViewSearch::StartReplaceSelectionAndFindNext(const QString& replacement)
{
    if (!Begin(Command::ReplaceSelection))
        return;
    EncodeForView(m_pView, replacement, m_Replacement);
    BeginOnEditableText();
}

void CViewSearch::StartReplaceAll(const QString& replacement)
{
    if (!Begin(Command::ReplaceAll))
        return;
    EncodeForView(m_pView, replacement, m_Replacement);
    // Nothing to wait for when nothing can be found.
    if (!m_bPatternPossible) {
        Finish(Outcome::NotFound);
        return;
    }
    BeginOnEditableText();
}

void CViewSearch::BeginOnEditableText()
{
    if (m_pView->IsTextReadOnly()) {
        // ReadOnlyChanged wakes the poll.
        m_Step = Step::WaitingForEditableText;
        return;
    }
    if (m_Command == Command::ReplaceAll)
        BeginReplaceAll();
    else
        BeginReplaceSelection();
}

void CViewSearch::BeginFind(CTextScanner::Direction direction, std::int64_t from, bool select)
{
    m_Step = Step::Finding;
    m_Direction = direction;
    m_bSelectFound = select;
    m_nOrigin = std::clamp<std::int64_t>(from, 0, TextLength());
    if (!m_bPatternPossible) {
        Finish(Outcome::NotFound);
        return;
    }
    StartScan(m_nOrigin);
    if (!m_bOnThread)
        ContinueFind();
}

void CViewSearch::BeginFindFromSelection(bool searchDown)
{
    const std::int64_t selectionStart = m_pView->GetEditor().GetSelectionStart();
    const std::int64_t selectionEnd = m_pView->GetEditor().GetSelectionEnd();
    if (!searchDown) {
        BeginFind(CTextScanner::Direction::Backward, selectionStart, true);
        return;
    }
    // One character on from the start of a selection, so that the next press moves on.
    std::int64_t from = selectionStart;
    if (selectionEnd > selectionStart)
        from = m_pView->GetEditor().PositionAfter(selectionStart);
    BeginFind(CTextScanner::Direction::Forward, from, true);
}

void CViewSearch::BeginReplaceSelection()
{
    if (!IsSelectionAMatch()) {
        BeginFindFromSelection(true);
        return;
    }
    const std::int64_t start = m_pView->GetEditor().GetSelectionStart();
    const std::int64_t end = m_pView->GetEditor().GetSelectionEnd();
    m_bEditing = true;
    const std::int64_t after = m_pView->ReplaceTextRange(start, end, m_Replacement);
    m_bEditing = false;
    if (after < 0) {
        Finish(Outcome::Stopped);
        return;
    }
    m_pView->GetEditor().SetSelection(after, after);
    m_bReplaced = true;
    // The next occurrence is searched behind the replacement, never inside it.
    BeginFind(CTextScanner::Direction::Forward, after, true);
}

void CViewSearch::BeginReplaceAll()
{
    m_Step = Step::ReplacingAll;
    m_Direction = CTextScanner::Direction::Forward;
    m_nOrigin = 0;
    m_nFrontier = 0;
    m_nShift = 0;
    StartScan(0);
    if (!m_bOnThread)
        ContinueReplaceAll();
}

void CViewSearch::StartScan(std::int64_t from)
{
    const TextPieces pieces = TakePieces();
    m_pScanner->Reset();
    m_Pieces = pieces;
    m_nScanOrigin = from;
    m_nScanEnd = pieces.Length;
    m_bScanPaused = false;
    m_bReplacing = false;
    m_bOnThread = m_pView->IsLoading() || pieces.Length > m_nLongTextSize;
    if (!m_bOnThread) {
        m_pScanner->Scan(pieces, m_Direction, from);
        return;
    }
    m_pScanner->Start(pieces, m_Direction, from);
    SchedulePoll();
}

void CViewSearch::ResumeScan()
{
    m_bScanPaused = false;
    m_pScanner->Stop();
    const TextPieces pieces = TakePieces();
    std::int64_t position = m_pScanner->GetPosition();
    if (m_Direction == CTextScanner::Direction::Forward && pieces.Length != m_nScanEnd) {
        // The text grew. The scan looked at the slices near its old end only as far as that end
        // went: those are looked at again, now that occurrences may go on past it.
        const std::int64_t again = std::max(m_nScanOrigin, m_nScanEnd - m_nOverlap);
        if (position > again) {
            position = again;
            m_pScanner->DropCandidatesFrom(again);
        }
        m_nScanEnd = pieces.Length;
    }
    m_Pieces = pieces;
    m_pScanner->Start(pieces, m_Direction, position);
}

bool CViewSearch::RestartIfTextMoved()
{
    if (!m_bOnThread || m_bScanPaused || m_bReplacing || TakePieces() == m_Pieces)
        return false;
    // Something moved the text under the thread without telling: what it found may be wrong.
    qWarning("CViewSearch: the text moved during a search; searching again");
    m_Candidate.reset();
    StartScan(m_Step == Step::ReplacingAll ? m_nScanOrigin : m_nOrigin);
    return true;
}

void CViewSearch::Poll()
{
    if (!IsRunning())
        return;
    if (!m_pView) {
        Finish(Outcome::Stopped);
        return;
    }
    switch (m_Step) {
    case Step::Idle:
        return;
    case Step::WaitingForEditableText:
        if (!m_pView->IsTextReadOnly())
            BeginOnEditableText();
        else
            m_PollTimer.stop();
        return;
    case Step::WaitingForMoreText:
        m_Step = Step::Finding;
        [[fallthrough]];
    case Step::Finding:
        if (!RestartIfTextMoved())
            ContinueFind();
        return;
    case Step::ReplacingAll:
        ContinueReplaceAll();
        return;
    }
}

std::optional<CViewSearch::Range> CViewSearch::ConfirmForward(std::int64_t start, std::int64_t sliceEnd)
{
    const std::int64_t length = TextLength();
    // Occurrences that start in the slice all end by the limit.
    const std::int64_t limit = std::min(length, sliceEnd + m_nOverlap);
    if (start >= limit)
        return std::nullopt;
    CEditor& editor = m_pView->GetEditor();
    editor.SetSearchFlags(SearchFlags());
    const std::int64_t position = editor.SearchInRange(start, limit, PatternView());
    // One that starts beyond the slice may not be the first; a later slice finds it again.
    if (position < 0 || (position >= sliceEnd && limit < length))
        return std::nullopt;
    return Range{position, editor.GetTargetEnd()};
}

std::optional<CViewSearch::Range> CViewSearch::ConfirmBackward(const Range& slice)
{
    // Searching back, the editor takes the one that starts last among those that end by the limit.
    std::int64_t limit = std::min(TextLength(), slice.End - 1 + m_nOverlap);
    for (;;) {
        CEditor& editor = m_pView->GetEditor();
        editor.SetSearchFlags(SearchFlags());
        const std::int64_t position = editor.SearchInRange(limit, slice.Start, PatternView());
        if (position < 0)
            return std::nullopt;
        const std::int64_t end = editor.GetTargetEnd();
        if (position < slice.End)
            return Range{position, end};
        // It starts at or after the slice: look below its end. An occurrence that starts earlier
        // ends earlier too, so none is lost.
        limit = end - 1;
    }
}

void CViewSearch::ContinueFind()
{
    if (m_bScanPaused)
        ResumeScan();
    QElapsedTimer turn;
    turn.start();
    Range candidate;
    while (m_pScanner->TakeCandidate(candidate)) {
        const std::optional<Range> found = m_Direction == CTextScanner::Direction::Forward
                                               ? ConfirmForward(candidate.Start, candidate.End)
                                               : ConfirmBackward(candidate);
        if (found) {
            FoundAt(*found);
            return;
        }
        if (m_bOnThread && turn.elapsed() >= TurnBudgetMs)
            return;
    }
    if (!m_pScanner->IsFinished())
        return;
    if (m_Direction == CTextScanner::Direction::Forward) {
        if (TextLength() > m_nScanEnd) {
            ResumeScan();
            return;
        }
        if (m_pView->IsLoading()) {
            // The rest of the file is still coming in; the view says when it is there.
            m_Step = Step::WaitingForMoreText;
            m_PollTimer.stop();
            return;
        }
    }
    Finish(Outcome::NotFound);
}

void CViewSearch::ContinueReplaceAll()
{
    // The thread reads the text it scans: nothing is replaced until it is done.
    if (m_bScanPaused)
        ResumeScan();
    if (RestartIfTextMoved() || !m_pScanner->IsFinished())
        return;
    m_pScanner->Stop();
    QElapsedTimer turn;
    turn.start();
    for (;;) {
        if (!m_Candidate) {
            Range next;
            if (!m_pScanner->TakeCandidate(next))
                break;
            m_Candidate = next;
        }
        const Range slice = *m_Candidate;
        if (slice.End <= m_nFrontier) {
            m_Candidate.reset();
            continue;
        }
        const std::optional<Range> found =
            ConfirmForward(std::max(slice.Start, m_nFrontier) + m_nShift, slice.End + m_nShift);
        if (!found) {
            m_Candidate.reset();
        } else {
            m_bReplacing = true;
            if (!m_bUndoActionOpen) {
                m_pView->GetEditor().BeginUndoAction();
                m_bUndoActionOpen = true;
            }
            m_bEditing = true;
            const std::int64_t end = m_pView->ReplaceTextRange(found->Start, found->End, m_Replacement);
            m_bEditing = false;
            if (end < 0) {
                Finish(Outcome::Stopped);
                return;
            }
            ++m_nReplacedCount;
            m_nLastEnd = end;
            // Searching goes on behind the replacement, in the scan's positions behind the
            // occurrence it replaced.
            m_nFrontier = found->End - m_nShift;
            m_nShift += end - found->End;
        }
        if (m_bOnThread && turn.elapsed() >= TurnBudgetMs)
            return;
    }
    const std::int64_t length = TextLength();
    if (length > m_nScanEnd + m_nShift) {
        // Text came at the end meanwhile: the next round scans it, from as far back as an
        // occurrence across the old end may start.
        const std::int64_t frontier = m_nFrontier + m_nShift;
        const std::int64_t from = std::max(frontier, m_nScanEnd + m_nShift - m_nOverlap);
        m_nFrontier = frontier;
        m_nShift = 0;
        StartScan(from);
        if (!m_bOnThread)
            ContinueReplaceAll();
        return;
    }
    if (m_nLastEnd >= 0)
        m_pView->GetEditor().SetSelection(m_nLastEnd, m_nLastEnd);
    Finish(m_nReplacedCount > 0 ? Outcome::Found : Outcome::NotFound);
}

void CViewSearch::Select(const Range& range)
{
    m_pView->GetEditor().SetSelection(range.Start, range.End);
    m_pView->GetEditor().ScrollRange(range.End, range.Start);
}

void CViewSearch::FoundAt(const Range& range)
{
    m_Found = range;
    if (m_bSelectFound)
        Select(range);
    Finish(Outcome::Found);
}

bool CViewSearch::IsSelectionAMatch()
{
    if (!m_pView || !m_bPatternPossible)
        return false;
    CEditor& editor = m_pView->GetEditor();
    const std::int64_t start = editor.GetSelectionStart();
    const std::int64_t end = editor.GetSelectionEnd();
    if (end <= start)
        return false;
    editor.SetSearchFlags(SearchFlags());
    const std::int64_t position = editor.SearchInRange(start, end, PatternView());
    return position == start && editor.GetTargetEnd() == end;
}
