// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewBookmarks.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

namespace {

// A blue that reads on the margin of the light look and of the dark one (0x00BBGGRR).
constexpr long MarkerFill = 0xE0803A;
constexpr long MarkerOutline = 0xA0501C;
constexpr int MarginWidth = 14;
// A line's text in the list is cut here: a log line can be very long.
constexpr std::int64_t ListedTextLength = 400;

} // namespace

CViewBookmarks::CViewBookmarks(COstrelView& view) : m_View(view)
{
    CEditor& editor = m_View.GetEditor();
    editor.DefineMarker(Marker, QsciScintillaBase::SC_MARK_BOOKMARK, MarkerOutline, MarkerFill);
    editor.SetMarginType(SymbolMargin, QsciScintillaBase::SC_MARGIN_SYMBOL);
    editor.SetMarginMask(SymbolMargin, 1 << Marker);
    editor.SetMarginWidth(SymbolMargin, 0);
}

BookmarkSet& CViewBookmarks::Set()
{
    COstrelDoc* document = m_pMarksOwner ? m_pMarksOwner.data() : m_View.GetDocument();
    return document ? document->GetBookmarks() : m_OwnSet;
}

const BookmarkSet& CViewBookmarks::Set() const
{
    const COstrelDoc* document = m_pMarksOwner ? m_pMarksOwner.data() : m_View.GetDocument();
    return document ? document->GetBookmarks() : m_OwnSet;
}

void CViewBookmarks::ShowMarksOf(COstrelDoc* owner)
{
    if (m_pMarksOwner == owner)
        return;
    m_pMarksOwner = owner;
    m_Texts.clear();
    Refresh();
}

std::int64_t CViewBookmarks::LineOfViewLine(std::int64_t viewLine) const
{
    const std::int64_t shownLine = m_View.ShownLineOfViewLine(viewLine);
    if (shownLine < 0)
        return 0;
    const ShownText& shown = m_View.Shown();
    const std::int64_t fileLine = shown.OriginOf(shownLine).FileLine;
    if (fileLine <= 0)
        return 0;
    return shown.IsFilterOutput() ? fileLine : shownLine + 1;
}

bool CViewBookmarks::IsMarked(std::int64_t viewLine) const
{
    return (m_View.GetEditor().GetMarkers(viewLine) & (1 << Marker)) != 0;
}

std::int64_t CViewBookmarks::CaretViewLine() const
{
    const CEditor& editor = m_View.GetEditor();
    return editor.LineFromPosition(editor.GetCurrentPosition());
}

QString CViewBookmarks::LineTextOfViewLine(std::int64_t viewLine) const
{
    const CEditor& editor = m_View.GetEditor();
    const std::int64_t start = editor.PositionFromLine(viewLine);
    std::int64_t end = editor.PositionFromLine(viewLine + 1);
    if (start < 0)
        return QString();
    if (end < 0)
        end = editor.GetLength();
    end = std::min(end, start + ListedTextLength);
    const char* bytes = end > start ? editor.GetRange(start, end - start) : nullptr;
    if (!bytes)
        return QString();
    QString text = QString::fromUtf8(bytes, end - start);
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}

QString CViewBookmarks::ToggleAtCaret()
{
    const std::int64_t viewLine = CaretViewLine();
    const std::int64_t line = LineOfViewLine(viewLine);
    if (line <= 0)
        return QStringLiteral("This line is not a line of the file: no bookmark");
    const bool marked = Set().Toggle(line);
    if (marked)
        m_Texts[line] = LineTextOfViewLine(viewLine);
    else
        m_Texts.erase(line);
    Refresh();
    Q_EMIT m_View.BookmarksChanged();
    return marked ? QStringLiteral("Bookmark set at line %1").arg(line)
                  : QStringLiteral("Bookmark removed from line %1").arg(line);
}

bool CViewBookmarks::IsReachable(std::int64_t line) const
{
    const ShownText& shown = m_View.Shown();
    if (shown.IsFilterOutput())
        return shown.FindNumber(line).How == NumberedLineFound::Reach::Exact;
    // A paged text may not have counted all its lines yet; its window goes there all the same.
    return m_View.IsPaged() || line <= shown.GetLastNumber();
}

bool CViewBookmarks::GoTo(std::int64_t line)
{
    if (!m_View.IsPaged())
        m_View.FinishLoading();
    if (!IsReachable(line))
        return false;
    const ShownText& shown = m_View.Shown();
    m_View.GoToLine(shown.IsFilterOutput() ? shown.FindNumber(line).Line + 1 : line);
    return true;
}

QString CViewBookmarks::GoToNext(bool forward)
{
    const BookmarkSet& set = Set();
    if (set.Empty())
        return QStringLiteral("No bookmarks: Ctrl+F2 sets one on the caret's line");
    if (!m_View.IsPaged())
        m_View.FinishLoading();
    // A line of no file (the end of filter output, a restart marker) counts as the line before it.
    const std::int64_t caretLine = CaretViewLine();
    std::int64_t from = LineOfViewLine(caretLine);
    if (from <= 0 && caretLine > 0)
        from = LineOfViewLine(caretLine - 1);
    if (from <= 0)
        from = forward ? 0 : std::numeric_limits<std::int64_t>::max();
    const auto reachable = [this](std::int64_t line) { return IsReachable(line); };
    const std::optional<BookmarkSet::Step> step = forward ? set.Next(from, reachable) : set.Previous(from, reachable);
    if (!step)
        return QStringLiteral("No bookmarked line is shown here");
    GoTo(step->Line);
    if (!step->Wrapped)
        return QString();
    return forward ? QStringLiteral("Passed the end: at the first bookmark, line %1").arg(step->Line)
                   : QStringLiteral("Passed the start: at the last bookmark, line %1").arg(step->Line);
}

QString CViewBookmarks::TextOf(std::int64_t line) const
{
    if (const auto known = m_Texts.find(line); known != m_Texts.end())
        return known->second;
    // A paged text would be read from the disk: only what was seen on screen is listed.
    if (m_View.IsPaged() || !IsReachable(line))
        return QString();
    const ShownText& shown = m_View.Shown();
    const std::int64_t shownLine = shown.IsFilterOutput() ? shown.FindNumber(line).Line : line - 1;
    std::string bytes;
    std::string error;
    if (!shown.ReadLines(shownLine, 1, bytes, error))
        return QString();
    bytes.resize(std::min<std::size_t>(bytes.size(), ListedTextLength));
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}

void CViewBookmarks::Clear()
{
    Set().Clear();
    m_Texts.clear();
    Refresh();
    Q_EMIT m_View.BookmarksChanged();
}

void CViewBookmarks::Assign(const std::vector<std::int64_t>& lines)
{
    Set().Assign(lines);
    m_Texts.clear();
    Refresh();
    Q_EMIT m_View.BookmarksChanged();
}

void CViewBookmarks::ShowMargin(bool shown)
{
    if (shown == m_bMarginShown)
        return;
    m_bMarginShown = shown;
    m_View.GetEditor().SetMarginWidth(SymbolMargin, shown ? MarginWidth : 0);
}

void CViewBookmarks::Refresh()
{
    const BookmarkSet& set = Set();
    // With no bookmark the view is as it always was: no margin, no marker looked for.
    if (set.Empty() && !m_bMarginShown)
        return;
    ShowMargin(!set.Empty());
    CEditor& editor = m_View.GetEditor();
    const auto [first, last] = m_View.GetLinesOnScreen();
    for (std::int64_t viewLine = first; viewLine <= last; ++viewLine) {
        const std::int64_t line = set.Empty() ? 0 : LineOfViewLine(viewLine);
        const bool wanted = line > 0 && set.Contains(line);
        if (wanted && !m_Texts.contains(line))
            m_Texts[line] = LineTextOfViewLine(viewLine);
        if (wanted == IsMarked(viewLine))
            continue;
        if (wanted)
            editor.AddMarker(viewLine, Marker);
        else
            editor.DeleteMarker(viewLine, Marker);
    }
}
