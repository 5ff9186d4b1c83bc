// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewSearch.h"

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>

#include "filtering/TextCodec.h"
#include "view/COstrelView.h"

namespace {

// Painting stays smooth enough at this rate, and the search loses little time to it.
constexpr qint64 TurnIntervalMs = 100;

unsigned long ToWParam(std::int64_t value)
{
    return static_cast<unsigned long>(value);
}

long ToLParam(std::int64_t value)
{
    return static_cast<long>(value);
}

} // namespace

CViewSearch::CViewSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord)
    : m_pView(view), m_bMatchCase(matchCase), m_bWholeWord(wholeWord)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_LastTurn.start();
    if (view) {
        m_bPatternPossible = EncodeForView(view, text, m_Pattern);
        m_nTextGeneration = view->GetTextGeneration();
    }
    // An occurrence spans at most four bytes per character of the pattern, even where the editor
    // folds a character of several bytes into a letter (the Kelvin sign into k).
    m_nOverlap = static_cast<std::int64_t>(m_Pattern.size()) * 4 + 4;
    if (view && !m_bMatchCase)
        m_bFoldsBeyondAscii = EditorFoldsBeyondAscii(view->SendScintilla(QsciScintillaBase::SCI_GETCODEPAGE) ==
                                                     QsciScintillaBase::SC_CP_UTF8);
    PreparePrefilter();
}

void CViewSearch::SetFoldsBeyondAscii(bool folds)
{
    m_bFoldsBeyondAscii = folds && !m_bMatchCase;
    PreparePrefilter();
}

bool CViewSearch::EditorFoldsBeyondAscii(bool utf8)
{
    // Asked once per code page of a scratch editor: does "ä", case ignored, find "Ä"?
    const auto probe = [](bool inUtf8) {
        QsciScintillaBase editor;
        editor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE,
                             inUtf8 ? static_cast<unsigned long>(QsciScintillaBase::SC_CP_UTF8) : 0UL);
        const QByteArray text = inUtf8 ? QByteArray("\xC3\x84") : QByteArray("\xC4");
        const QByteArray pattern = inUtf8 ? QByteArray("\xC3\xA4") : QByteArray("\xE4");
        editor.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<uintptr_t>(text.size()), text.constData());
        editor.SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, 0UL);
        editor.SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, 0UL, static_cast<long>(text.size()));
        return editor.SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET, static_cast<uintptr_t>(pattern.size()),
                                    pattern.constData()) >= 0;
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

std::size_t CViewSearch::FirstPossibleStart(std::string_view bytes) const
{
    std::size_t at = m_Prefilter->Find(bytes);
    if (m_bFoldsBeyondAscii) {
        // A character beyond ASCII may fold into the pattern's letters; an occurrence that holds
        // one starts no further than the overlap before it.
        const std::size_t other = FindFirstNonAscii(bytes);
        if (other != LiteralSearcher::npos)
            at = std::min(
                at, other > static_cast<std::size_t>(m_nOverlap) ? other - static_cast<std::size_t>(m_nOverlap) : 0);
    }
    return at;
}

const char* CViewSearch::RangeBytes(std::int64_t start, std::int64_t end) const
{
    return reinterpret_cast<const char*>(
        m_pView->SendScintilla(QsciScintillaBase::SCI_GETRANGEPOINTER, ToWParam(start), ToLParam(end - start)));
}

CViewSearch::~CViewSearch()
{
    if (m_bFilterInstalled)
        qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

void CViewSearch::ShowTextNotFound(const QString& caption)
{
    QMessageBox box(QMessageBox::Information, caption, QStringLiteral("Search Text Not Found"), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("searchTextNotFoundBox"));
    box.exec();
}

bool CViewSearch::EncodeForView(const COstrelView* view, const QString& text, QByteArray& bytes)
{
    bytes.clear();
    if (!view || text.isEmpty())
        return false;
    if (view->SendScintilla(QsciScintillaBase::SCI_GETCODEPAGE) == QsciScintillaBase::SC_CP_UTF8) {
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
    return m_pView ? m_pView->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) : 0;
}

bool CViewSearch::KeepWindowAlive()
{
    if (m_LastTurn.elapsed() >= TurnIntervalMs)
        GiveEventLoopATurn();
    return IsSameText();
}

void CViewSearch::GiveEventLoopATurn()
{
    if (!m_bFilterInstalled) {
        qApp->installEventFilter(this);
        m_bFilterInstalled = true;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_LastTurn.restart();
}

bool CViewSearch::IsSameText() const
{
    return m_pView && m_pView->GetTextGeneration() == m_nTextGeneration;
}

bool CViewSearch::eventFilter(QObject* watched, QEvent* event)
{
    // The window system's close requests are not user input to Qt; a window closing under a
    // running search would take the dialog and the view with it. The user can close it afterwards.
    if (event->type() == QEvent::Close && event->spontaneous())
        return true;
    return QObject::eventFilter(watched, event);
}

CViewSearch::Outcome CViewSearch::FindForward(std::int64_t from, Range& found)
{
    if (!m_pView)
        return Outcome::Stopped;
    if (!m_bPatternPossible)
        return Outcome::NotFound;
    std::int64_t sliceStart = std::max<std::int64_t>(0, from);
    for (;;) {
        if (!KeepWindowAlive())
            return Outcome::Stopped;
        const std::int64_t length = TextLength();
        // Occurrences that start in [sliceStart, sliceEnd) all end by the limit.
        const std::int64_t sliceEnd = std::min(length, sliceStart + m_nSliceSize);
        const std::int64_t limit = std::min(length, sliceEnd + m_nOverlap);
        std::int64_t searchStart = sliceStart;
        if (m_Prefilter && sliceStart < length) {
            if (const char* bytes = RangeBytes(sliceStart, limit)) {
                const std::size_t at =
                    FirstPossibleStart(std::string_view(bytes, static_cast<std::size_t>(limit - sliceStart)));
                // Nowhere an occurrence can start: nothing for the editor to find in this slice.
                searchStart = at == LiteralSearcher::npos ? length : sliceStart + static_cast<std::int64_t>(at);
            }
        }
        if (searchStart < length) {
            m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(SearchFlags()));
            m_pView->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, ToWParam(searchStart), ToLParam(limit));
            const std::int64_t position = m_pView->SendScintilla(
                QsciScintillaBase::SCI_SEARCHINTARGET, static_cast<uintptr_t>(m_Pattern.size()), m_Pattern.constData());
            // One that starts beyond the slice may not be the first; the next slice finds it again.
            if (position >= 0 && (position < sliceEnd || limit == length)) {
                found.Start = position;
                found.End = m_pView->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
                return Outcome::Found;
            }
        }
        if (limit >= length) {
            if (!m_pView->IsLoading())
                return Outcome::NotFound;
            // The rest of the file is still coming in: wait for it, then search on from here.
            m_pView->FinishLoading();
            if (!IsSameText())
                return Outcome::Stopped;
            // Back far enough to see an occurrence that straddles the old end.
            sliceStart = std::max<std::int64_t>(sliceStart, std::min(sliceEnd, length - m_nOverlap));
            continue;
        }
        sliceStart = sliceEnd;
    }
}

CViewSearch::Outcome CViewSearch::FindBackward(std::int64_t before, Range& found)
{
    if (!m_pView)
        return Outcome::Stopped;
    if (!m_bPatternPossible)
        return Outcome::NotFound;
    std::int64_t sliceEnd = std::min(before, TextLength());
    while (sliceEnd > 0) {
        if (!KeepWindowAlive())
            return Outcome::Stopped;
        // Occurrences that start in [sliceStart, sliceEnd); searching back, the editor takes the
        // one that starts last among those that end by the limit.
        const std::int64_t sliceStart = std::max<std::int64_t>(0, sliceEnd - m_nSliceSize);
        std::int64_t limit = std::min(TextLength(), sliceEnd - 1 + m_nOverlap);
        if (m_Prefilter && sliceStart < limit) {
            const char* bytes = RangeBytes(sliceStart, limit);
            if (bytes && FirstPossibleStart(std::string_view(bytes, static_cast<std::size_t>(limit - sliceStart))) ==
                             LiteralSearcher::npos) {
                sliceEnd = sliceStart;
                continue;
            }
        }
        for (;;) {
            m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(SearchFlags()));
            m_pView->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, ToWParam(limit), ToLParam(sliceStart));
            const std::int64_t position = m_pView->SendScintilla(
                QsciScintillaBase::SCI_SEARCHINTARGET, static_cast<uintptr_t>(m_Pattern.size()), m_Pattern.constData());
            if (position < 0)
                break;
            const std::int64_t end = m_pView->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
            if (position < sliceEnd) {
                found.Start = position;
                found.End = end;
                return Outcome::Found;
            }
            // It starts at or after the selection: look below its end. An occurrence that starts
            // earlier ends earlier too, so none is lost.
            limit = end - 1;
        }
        sliceEnd = sliceStart;
    }
    return Outcome::NotFound;
}

void CViewSearch::Select(const Range& range)
{
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEL, ToWParam(range.Start), ToLParam(range.End));
    m_pView->SendScintilla(QsciScintillaBase::SCI_SCROLLRANGE, ToWParam(range.End), ToLParam(range.Start));
}

CViewSearch::Outcome CViewSearch::FindFromSelection(bool searchDown)
{
    if (!m_pView)
        return Outcome::Stopped;
    const std::int64_t selectionStart = m_pView->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    const std::int64_t selectionEnd = m_pView->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    Range found;
    Outcome outcome;
    if (searchDown) {
        // One character on from the start of a selection, so that the next press moves on.
        std::int64_t from = selectionStart;
        if (selectionEnd > selectionStart)
            from = m_pView->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, ToWParam(selectionStart));
        outcome = FindForward(from, found);
    } else {
        outcome = FindBackward(selectionStart, found);
    }
    if (outcome == Outcome::Found)
        Select(found);
    return outcome;
}

bool CViewSearch::IsSelectionAMatch()
{
    if (!m_pView || !m_bPatternPossible)
        return false;
    const std::int64_t start = m_pView->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    const std::int64_t end = m_pView->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    if (end <= start)
        return false;
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(SearchFlags()));
    m_pView->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, ToWParam(start), ToLParam(end));
    const std::int64_t position = m_pView->SendScintilla(
        QsciScintillaBase::SCI_SEARCHINTARGET, static_cast<uintptr_t>(m_Pattern.size()), m_Pattern.constData());
    return position == start && m_pView->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND) == end;
}

CViewSearch::Outcome CViewSearch::ReplaceSelectionAndFindNext(const QString& replacement, bool& replaced)
{
    replaced = false;
    if (!m_pView)
        return Outcome::Stopped;
    // Replacing edits, which has to wait for the whole text.
    m_pView->FinishLoading();
    if (IsSelectionAMatch()) {
        QByteArray bytes;
        EncodeForView(m_pView, replacement, bytes);
        const std::int64_t start = m_pView->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
        const std::int64_t end = m_pView->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
        m_pView->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, ToWParam(start), ToLParam(end));
        m_pView->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()),
                               bytes.constData());
        const std::int64_t after = m_pView->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
        m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEL, ToWParam(after), ToLParam(after));
        replaced = true;
        // The next occurrence is searched behind the replacement, never inside it.
        Range found;
        const Outcome outcome = FindForward(after, found);
        if (outcome == Outcome::Found)
            Select(found);
        return outcome;
    }
    return FindFromSelection(true);
}

std::int64_t CViewSearch::ReplaceAll(const QString& replacement, Outcome& outcome)
{
    outcome = Outcome::NotFound;
    if (!m_pView) {
        outcome = Outcome::Stopped;
        return 0;
    }
    m_pView->FinishLoading();
    QByteArray bytes;
    EncodeForView(m_pView, replacement, bytes);
    std::int64_t count = 0;
    std::int64_t from = 0;
    std::int64_t lastEnd = -1;
    bool undoActionOpen = false;
    for (;;) {
        Range found;
        const Outcome step = FindForward(from, found);
        if (step == Outcome::Stopped) {
            outcome = Outcome::Stopped;
            break;
        }
        if (step == Outcome::NotFound)
            break;
        if (!undoActionOpen) {
            m_pView->SendScintilla(QsciScintillaBase::SCI_BEGINUNDOACTION);
            undoActionOpen = true;
        }
        m_pView->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, ToWParam(found.Start), ToLParam(found.End));
        m_pView->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()),
                               bytes.constData());
        lastEnd = m_pView->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
        from = lastEnd;
        ++count;
        outcome = Outcome::Found;
    }
    // A text replaced meanwhile by a reload has no open undo step of ours to close.
    if (undoActionOpen && IsSameText())
        m_pView->SendScintilla(QsciScintillaBase::SCI_ENDUNDOACTION);
    if (lastEnd >= 0 && outcome != Outcome::Stopped)
        m_pView->SendScintilla(QsciScintillaBase::SCI_SETSEL, ToWParam(lastEnd), ToLParam(lastEnd));
    return count;
}
