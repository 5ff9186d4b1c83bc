// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CPagedText.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include <QFile>
#include <QScrollBar>

#include "filtering/IndexedText.h"
#include "filtering/LineFeedCounter.h"
#include "view/CFileRangeReader.h"
#include "view/CLineNumberMargin.h"
#include "view/COstrelView.h"

namespace {

constexpr int IndexTimerMs = 100;
// Lines kept beyond the screen before the window moves on.
constexpr std::int64_t EdgeMarginLines = 2000;
// The most a window read skips to start where it should, at least.
constexpr std::int64_t MinSkippedBytes = 256 * 1024;

} // namespace

CEditor& CPagedText::Editor() const
{
    return m_View.GetEditor();
}

CPagedText::CPagedText(COstrelView& view, const QString& path, std::int64_t windowBytes)
    : m_View(view), m_strPath(path), m_nWindowBytes(windowBytes > 0 ? windowBytes : WindowBytes)
{
    m_IndexTimer.setInterval(IndexTimerMs);
    connect(&m_IndexTimer, &QTimer::timeout, this, &CPagedText::OnIndexTimer);
}

CPagedText::~CPagedText()
{
    delete m_pScrollBar.data();
}

bool CPagedText::Start(std::int64_t selectedLine, QString& error)
{
    int errorNumber = 0;
    if (!m_pText)
        m_pText = MakeIndexedText(QFile::encodeName(m_strPath).toStdString(), m_bSavesIndex ? m_nSaveMinimumSize : 0,
                                  m_Encoding);
    if (m_KnownLines.Size > 0)
        m_pText->TakeKnownLines(std::exchange(m_KnownLines, IndexedText::KnownLines()));
    if (!m_pText->Start(errorNumber)) {
        m_pText.reset();
        error = QString::fromLocal8Bit(std::strerror(errorNumber));
        return false;
    }
    m_pReader = new CFileRangeReader(m_pText, this);
    connect(m_pReader, &CFileRangeReader::RangeRead, this, &CPagedText::OnRangeRead);

    m_pScrollBar = new QScrollBar(Qt::Vertical, &m_View);
    m_pScrollBar->setObjectName(QStringLiteral("pagedScrollBar"));
    connect(m_pScrollBar, &QScrollBar::actionTriggered, this, &CPagedText::OnScrollBarAction);
    m_pScrollBar->show();

    m_IndexTimer.start();
    ShowStart();
    if (selectedLine > 0) {
        // Shown selected once the index has reached it.
        m_nDeferredLine = selectedLine - 1;
        m_bDeferredSelects = true;
    }
    return true;
}

std::uint64_t CPagedText::GetFileSize() const
{
    return m_pText->GetSize();
}

int CPagedText::GetIndexPercent() const
{
    return m_pText->GetIndexPercent();
}

bool CPagedText::IsIndexComplete() const
{
    return m_pText->IsComplete();
}

std::int64_t CPagedText::GetExpectedLineCount() const
{
    return std::max(m_pText->GetLineCount(), m_nEstimatedLines);
}

std::int64_t CPagedText::FileLineOfViewLine(std::int64_t viewLine) const
{
    return m_nWindowFirstLine < 0 ? -1 : m_nWindowFirstLine + viewLine;
}

void CPagedText::ShowLine(std::int64_t line, bool selectWholeLine)
{
    line = std::max<std::int64_t>(0, line);
    if (!m_pText->IsComplete() && line >= m_pText->GetLineCount() - 1) {
        // Not indexed yet: the line is shown once the index has reached it.
        m_nDeferredLine = line;
        m_bDeferredSelects = selectWholeLine;
        return;
    }
    line = std::min(line, m_pText->GetLineCount() - 1);
    Placement placement;
    placement.What = Placement::Kind::Line;
    placement.TargetLine = line;
    placement.SelectWholeLine = selectWholeLine;
    const IndexedText::Checkpoint near = m_pText->Locate(line);
    const std::uint64_t back =
        near.Offset > static_cast<std::uint64_t>(m_nWindowBytes / 3) ? near.Offset - m_nWindowBytes / 3 : 0;
    IndexedText::Checkpoint start = m_pText->LocateOffset(back);
    if (near.Offset - start.Offset > MaxSkippedBytes())
        start = near; // long lines: the window starts where the line's neighbourhood is known
    // Read from the known line start before, through the lines up to the target (at most a stride
    // of them, a window's worth is assumed), and cut the window around the target once it is found.
    Focus focus;
    focus.Line = line;
    RequestWindow(start.Offset, start.Line, false, placement, focus,
                  static_cast<std::size_t>(near.Offset - start.Offset) + static_cast<std::size_t>(m_nWindowBytes));
}

std::uint64_t CPagedText::MaxSkippedBytes() const
{
    return static_cast<std::uint64_t>(std::max<std::int64_t>(m_nWindowBytes, MinSkippedBytes));
}

void CPagedText::ShowStart()
{
    Placement placement;
    placement.What = Placement::Kind::Line;
    placement.TargetLine = 0;
    RequestWindow(0, 0, false, placement);
}

void CPagedText::ShowEnd()
{
    if (!m_pText->IsSizeKnown()) {
        // A compressed text's end is where its index ends: shown once it is there.
        m_bDeferredEnd = true;
        return;
    }
    Placement placement;
    placement.What = Placement::Kind::End;
    const std::uint64_t size = GetFileSize();
    if (size <= static_cast<std::uint64_t>(m_nWindowBytes)) {
        RequestWindow(0, 0, false, placement);
        return;
    }
    RequestAround(size, placement);
}

void CPagedText::ShowOffset(std::uint64_t offset)
{
    Placement placement;
    placement.What = Placement::Kind::Offset;
    placement.TargetOffset = std::min(offset, GetFileSize());
    if (placement.TargetOffset >= m_nWindowStart && placement.TargetOffset < m_nWindowEnd && !IsMoving()) {
        PlaceInWindow(placement);
        OnViewScrolled();
        return;
    }
    RequestAround(placement.TargetOffset, placement);
}

void CPagedText::ShowRange(std::uint64_t start, std::uint64_t end)
{
    Placement placement;
    placement.What = Placement::Kind::Range;
    placement.TargetOffset = start;
    placement.TargetEnd = end;
    if (start >= m_nWindowStart && end <= m_nWindowEnd && !IsMoving()) {
        PlaceInWindow(placement);
        return;
    }
    RequestAround(start, placement);
}

void CPagedText::RequestAround(std::uint64_t offset, const Placement& placement)
{
    // The target a third into the window: room to scroll both ways before it moves again.
    const std::uint64_t back =
        offset > static_cast<std::uint64_t>(m_nWindowBytes / 3) ? offset - m_nWindowBytes / 3 : 0;
    if (back == 0) {
        RequestWindow(0, 0, false, placement);
        return;
    }
    if (m_pText->GetIndexedBytes() > back) {
        // From the known line start before, the lines up to `back` read and counted, then cut off:
        // the window starts where it should and knows its first line.
        const IndexedText::Checkpoint start = m_pText->LocateOffset(back);
        if (back - start.Offset <= MaxSkippedBytes()) {
            Focus focus;
            focus.Offset = static_cast<std::int64_t>(offset);
            RequestWindow(start.Offset, start.Line, false, placement, focus,
                          static_cast<std::size_t>(back - start.Offset));
            return;
        }
    }
    // Beyond what is indexed, or in very long lines: from the first line start after `back`.
    RequestWindow(back, -1, true, placement);
}

void CPagedText::RequestWindow(std::uint64_t start, std::int64_t startLine, bool alignToLine,
                               const Placement& placement)
{
    RequestWindow(start, startLine, alignToLine, placement, Focus(), 0);
}

void CPagedText::RequestWindow(std::uint64_t start, std::int64_t startLine, bool alignToLine,
                               const Placement& placement, Focus focus, std::size_t extraBytes)
{
    m_nPendingTag = m_nNextTag++;
    m_nResolveTag = 0; // a new window finds its own line number
    m_bPendingInsideLine = false;
    m_nPendingStartLine = startLine;
    m_bPendingAlign = alignToLine;
    m_PendingPlacement = placement;
    // A focus needs the line numbers of what it cuts off.
    m_PendingFocus = startLine >= 0 && !alignToLine ? focus : Focus();
    m_nPendingBytes = static_cast<std::size_t>(m_nWindowBytes) +
                      (m_PendingFocus.Offset >= 0 || m_PendingFocus.Line >= 0 ? extraBytes : 0);
    // The size before the read: the text may grow while it is under way.
    m_nSizeAtRequest = GetFileSize();
    m_pReader->Request(start, m_nPendingBytes, m_nPendingTag);
}

qsizetype CPagedText::FocusedBegin(const QByteArray& bytes, std::uint64_t offset, qsizetype& target) const
{
    target = -1;
    if (m_PendingFocus.Line >= 0) {
        // The target line's start: so many line feeds after the read's first line.
        std::int64_t feeds = m_PendingFocus.Line - m_nPendingStartLine;
        qsizetype at = 0;
        while (feeds > 0 && at >= 0) {
            at = bytes.indexOf('\n', at);
            if (at >= 0)
                ++at;
            --feeds;
        }
        if (at < 0 || at >= bytes.size())
            return 0; // beyond what was read: the window starts at the read's start
        target = at;
    } else if (m_PendingFocus.Offset >= static_cast<std::int64_t>(offset)) {
        target = std::min<qsizetype>(bytes.size(),
                                     static_cast<qsizetype>(m_PendingFocus.Offset - static_cast<std::int64_t>(offset)));
    }
    if (target < 0)
        return 0;
    // A cut of a few lines is not worth it: the known line start serves, as a move that short
    // would not be made either (OnViewScrolled).
    const qsizetype keepFrom = target - static_cast<qsizetype>(m_nWindowBytes / 3);
    if (keepFrom < static_cast<qsizetype>(m_nWindowBytes / 16))
        return 0;
    const qsizetype feed = bytes.indexOf('\n', keepFrom - 1);
    return feed >= 0 && feed + 1 < bytes.size() ? std::min(feed + 1, target) : 0;
}

void CPagedText::OnRangeRead(std::uint64_t tag, std::uint64_t offset, const QByteArray& bytes, int error)
{
    if (tag == m_nResolveTag) {
        m_nResolveTag = 0;
        // The line feeds between a known line start and the window's start give its line.
        if (offset + static_cast<std::uint64_t>(bytes.size()) == m_nWindowStart && m_nWindowFirstLine < 0)
            m_nWindowFirstLine =
                m_nResolveLine +
                static_cast<std::int64_t>(CountLineFeeds(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        return;
    }
    if (tag != m_nPendingTag)
        return; // a newer request is under way
    m_nPendingTag = 0;
    if (error != 0) {
        m_bReadFailed = true;
        Q_EMIT ReadProblem(QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    if (m_bReadFailed) {
        m_bReadFailed = false;
        Q_EMIT ReadRecovered();
    }
    const std::uint64_t readEnd = offset + static_cast<std::uint64_t>(bytes.size());
    const auto asked = static_cast<qsizetype>(m_nPendingBytes);
    if (bytes.size() < asked && readEnd < GetFileSize()) {
        // The file got shorter: the index finds its new end, and what it still has is shown.
        NoteFileChanged();
        if (bytes.isEmpty() && offset > 0) {
            DeferPastEnd(m_PendingPlacement);
            return;
        }
    }
    if (m_nEstimatedLines == 0 && !m_pText->IsComplete() && !bytes.isEmpty()) {
        // The first window's lines, as long on average as the rest of the file's: the margin is
        // as wide from the start as the last line needs.
        const auto feeds =
            static_cast<std::int64_t>(CountLineFeeds(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        m_nEstimatedLines = CLineNumberMargin::EstimateLineCount(m_pText->GetExpectedSize(),
                                                                 static_cast<std::uint64_t>(bytes.size()), feeds);
    }
    qsizetype begin = 0;
    bool insideLine = m_bPendingInsideLine;
    m_bPendingInsideLine = false;
    std::int64_t firstLine = m_nPendingStartLine;
    if (m_bPendingAlign) {
        const qsizetype feed = bytes.indexOf('\n');
        if (feed >= 0 && feed + 1 < bytes.size()) {
            begin = feed + 1;
        } else {
            insideLine = true; // one line longer than the window: shown from here
        }
    }
    qsizetype target = -1;
    if (!m_bPendingAlign && (m_PendingFocus.Offset >= 0 || m_PendingFocus.Line >= 0))
        begin = FocusedBegin(bytes, offset, target);
    // What was read past the window's size after its start is left for the next move.
    qsizetype end = std::min<qsizetype>(bytes.size(), begin + static_cast<qsizetype>(m_nWindowBytes));
    const bool atFileEnd = bytes.size() < asked && end == bytes.size();
    if (!atFileEnd) {
        // A window ends with a whole line unless a single line fills it; a target line too long
        // for the rest of the window starts it, to be shown in pieces.
        qsizetype lastFeed = bytes.lastIndexOf('\n', end - 1);
        if (target > begin && lastFeed < target && target < bytes.size()) {
            begin = target;
            end = std::min<qsizetype>(bytes.size(), begin + static_cast<qsizetype>(m_nWindowBytes));
            lastFeed = bytes.lastIndexOf('\n', end - 1);
        }
        if (lastFeed >= begin)
            end = lastFeed + 1;
    }
    if (!m_bPendingAlign && firstLine >= 0 && begin > 0)
        firstLine += static_cast<std::int64_t>(CountLineFeeds(bytes.constData(), static_cast<std::size_t>(begin)));
    m_nWindowStart = offset + static_cast<std::uint64_t>(begin);
    m_nWindowEnd = offset + static_cast<std::uint64_t>(end);
    m_bWindowAtTextEnd = atFileEnd;
    m_nSizeAtWindowRead = m_nSizeAtRequest;
    m_nWindowFirstLine = m_bPendingAlign || insideLine ? -1 : firstLine;
    m_bWindowStartsInsideLine = insideLine;
    m_View.ShowPagedWindow(bytes.constData() + begin, static_cast<std::size_t>(end - begin));
    PlaceInWindow(m_PendingPlacement);
    UpdateScrollBar();
    Q_EMIT WindowShown();
}

void CPagedText::DeferPastEnd(const Placement& placement)
{
    if (placement.What == Placement::Kind::Line) {
        m_nDeferredLine = placement.TargetLine;
        m_bDeferredSelects = placement.SelectWholeLine;
    } else {
        m_bDeferredEnd = true;
    }
}

void CPagedText::ReadWindowAgain()
{
    const std::int64_t first = Editor().DocumentLineFromVisible(Editor().GetFirstVisibleLine());
    Placement placement;
    placement.What = Placement::Kind::Keep;
    placement.TargetOffset = m_nWindowStart + static_cast<std::uint64_t>(Editor().PositionFromLine(first));
    if (placement.TargetOffset >= GetFileSize()) {
        ShowEnd(); // nothing on screen is left
        return;
    }
    placement.Anchor = static_cast<std::int64_t>(m_nWindowStart) + Editor().GetAnchor();
    placement.Caret = static_cast<std::int64_t>(m_nWindowStart) + Editor().GetCurrentPosition();
    RequestAround(placement.TargetOffset, placement);
}

void CPagedText::PlaceInWindow(const Placement& placement)
{
    const std::int64_t length = Editor().GetLength();
    const std::int64_t onScreen = std::max<std::int64_t>(1, Editor().GetLinesOnScreen());
    auto clampToWindow = [&](std::uint64_t offset) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(offset) - static_cast<std::int64_t>(m_nWindowStart),
                                        0, length);
    };
    auto topAt = [&](std::int64_t viewLine, std::int64_t linesAbove) {
        const std::int64_t visible = Editor().VisibleFromDocumentLine(viewLine);
        Editor().SetFirstVisibleLine(std::max<std::int64_t>(0, visible - linesAbove));
    };
    switch (placement.What) {
    case Placement::Kind::Line: {
        std::int64_t viewLine = 0;
        if (m_nWindowFirstLine >= 0)
            viewLine =
                std::clamp<std::int64_t>(placement.TargetLine - m_nWindowFirstLine, 0, Editor().GetLineCount() - 1);
        const std::int64_t start = Editor().PositionFromLine(viewLine);
        std::int64_t end = start;
        if (placement.SelectWholeLine) {
            end = Editor().GetLineEndPosition(viewLine);
            if (end > start && Editor().GetCharAt(end - 1) == '\r')
                --end;
        }
        Editor().SetSelection(start, end);
        topAt(viewLine, placement.TargetLine == 0 ? 0 : onScreen / 3);
        break;
    }
    case Placement::Kind::Offset: {
        const std::int64_t position = clampToWindow(placement.TargetOffset);
        const std::int64_t viewLine = Editor().LineFromPosition(position);
        const std::int64_t lineStart = Editor().PositionFromLine(viewLine);
        Editor().SetSelection(lineStart, lineStart);
        topAt(viewLine, 0);
        break;
    }
    case Placement::Kind::Range: {
        const std::int64_t start = clampToWindow(placement.TargetOffset);
        const std::int64_t end = clampToWindow(placement.TargetEnd);
        Editor().SetSelection(start, end);
        const std::int64_t viewLine = Editor().LineFromPosition(start);
        topAt(viewLine, onScreen / 3);
        break;
    }
    case Placement::Kind::End:
        Editor().SetSelection(length, length);
        Editor().ScrollCaret();
        break;
    case Placement::Kind::Keep: {
        const std::int64_t top = clampToWindow(placement.TargetOffset);
        const std::int64_t viewLine = Editor().LineFromPosition(top);
        if (placement.Caret >= 0) {
            const std::int64_t caret = clampToWindow(static_cast<std::uint64_t>(placement.Caret));
            const std::int64_t anchor =
                placement.Anchor >= 0 ? clampToWindow(static_cast<std::uint64_t>(placement.Anchor)) : caret;
            Editor().SetSelection(anchor, caret);
        }
        topAt(viewLine, 0);
        break;
    }
    }
}

void CPagedText::OnViewScrolled()
{
    if (IsMoving() || !m_pText)
        return;
    UpdateScrollBar();
    const std::int64_t lines = Editor().GetLineCount();
    const std::int64_t onScreen = std::max<std::int64_t>(1, Editor().GetLinesOnScreen());
    const std::int64_t first = Editor().DocumentLineFromVisible(Editor().GetFirstVisibleLine());
    const std::int64_t caretLine = Editor().LineFromPosition(Editor().GetCurrentPosition());
    // A small window (a wrapped one) leaves room for a margin at both ends and the screen between,
    // or every placement would be near an edge and move the window again.
    const std::int64_t room = std::max<std::int64_t>(1, (lines - onScreen) / 3);
    const std::int64_t margin = std::min({EdgeMarginLines, std::max<std::int64_t>(onScreen, lines / 4), room});
    const bool nearStart = m_nWindowStart > 0 && std::min(first, caretLine) < margin;
    const bool nearEnd = m_nWindowEnd < GetFileSize() && std::max(first + onScreen, caretLine) > lines - margin;
    if (!nearStart && !nearEnd)
        return;
    Placement placement;
    placement.What = Placement::Kind::Keep;
    placement.TargetOffset = m_nWindowStart + static_cast<std::uint64_t>(Editor().PositionFromLine(first));
    placement.Anchor = static_cast<std::int64_t>(m_nWindowStart) + Editor().GetAnchor();
    placement.Caret = static_cast<std::int64_t>(m_nWindowStart) + Editor().GetCurrentPosition();
    // Only when the window really moves: at a very long line it may have nowhere better to go.
    const std::uint64_t back = placement.TargetOffset > static_cast<std::uint64_t>(m_nWindowBytes / 3)
                                   ? placement.TargetOffset - m_nWindowBytes / 3
                                   : 0;
    if (back + static_cast<std::uint64_t>(m_nWindowBytes / 16) > m_nWindowStart &&
        back < m_nWindowStart + m_nWindowBytes / 16)
        return;
    RequestAround(placement.TargetOffset, placement);
}

bool CPagedText::MovePastEdge(bool down)
{
    const std::int64_t caretLine = Editor().LineFromPosition(Editor().GetCurrentPosition());
    const std::int64_t lines = Editor().GetLineCount();
    Placement placement;
    placement.What = Placement::Kind::Offset;
    const bool atEnd = down && caretLine >= lines - 1 && m_nWindowEnd < GetFileSize();
    const bool atStart = !down && caretLine == 0 && m_nWindowStart > 0;
    if ((atEnd || atStart) && IsMoving())
        return true; // the next part is on its way
    if (atEnd) {
        placement.TargetOffset = m_nWindowEnd;
        const std::int64_t length = Editor().GetLength();
        const bool endsLine = length > 0 && Editor().GetCharAt(length - 1) == '\n';
        const std::int64_t nextLine = endsLine && m_nWindowFirstLine >= 0 ? m_nWindowFirstLine + lines - 1 : -1;
        RequestWindow(m_nWindowEnd, nextLine, false, placement);
        m_bPendingInsideLine = !endsLine;
        return true;
    }
    if (atStart) {
        placement.TargetOffset = m_nWindowStart - 1;
        RequestAround(placement.TargetOffset, placement);
        return true;
    }
    return false;
}

void CPagedText::NoteFileGrew()
{
    m_bGrew = true;
    if (!m_IndexTimer.isActive())
        m_IndexTimer.start();
}

void CPagedText::NoteFileChanged()
{
    // Extending the index also finds a file that got shorter; the timer then fits the window.
    NoteFileGrew();
}

void CPagedText::OnIndexTimer()
{
    if (m_bGrew && m_pText->IsComplete()) {
        m_bGrew = false;
        m_pText->Extend();
    }
    Q_EMIT IndexProgress(GetIndexPercent());
    if (m_nDeferredLine >= 0 && (m_pText->IsComplete() || m_pText->GetLineCount() - 1 > m_nDeferredLine)) {
        const std::int64_t line = std::exchange(m_nDeferredLine, -1);
        ShowLine(line, m_bDeferredSelects);
    }
    if (m_nWindowFirstLine < 0 && m_nResolveTag == 0 && !IsMoving() && !m_bWindowStartsInsideLine &&
        m_pText->GetIndexedBytes() >= m_nWindowStart) {
        // The index has reached the window: read the few lines from the last known start to it.
        const IndexedText::Checkpoint known = m_pText->LocateOffset(m_nWindowStart);
        m_nResolveLine = known.Line;
        m_nResolveTag = m_nNextTag++;
        m_pReader->Request(known.Offset, static_cast<std::size_t>(m_nWindowStart - known.Offset), m_nResolveTag);
    }
    const bool indexed = m_pText->IsComplete() && !m_bGrew;
    if (indexed) {
        m_nEstimatedLines = 0; // the index knows
        if (std::exchange(m_bDeferredEnd, false))
            ShowEnd();
        else if (!IsMoving() && m_nWindowEnd > GetFileSize())
            ReadWindowAgain();
    }
    // A text that is known only as far as its index has come (a rotated set waits for each file
    // before the next) was shown to where it then ended: the window fills up as it grows.
    // Only once it has grown since: a text whose reads end early (a file cut short) is not read
    // again and again. A followed set that keeps its end goes to the end instead, below.
    if (m_bWindowAtTextEnd && !m_pText->IsFollowable() && !m_bKeepsEnd && !IsMoving() &&
        m_nWindowEnd - m_nWindowStart < static_cast<std::uint64_t>(m_nWindowBytes) &&
        GetFileSize() > m_nSizeAtWindowRead)
        ReadWindowAgain();
    UpdateScrollBar();
    // A followed file read at its end stays at its end: the window goes where the index now ends.
    if (m_bKeepsEnd && indexed && !IsMoving() && m_nWindowEnd < GetFileSize())
        ShowEnd();
    if (indexed && m_nDeferredLine < 0 && !IsMoving() && (m_nWindowFirstLine >= 0 || m_bWindowStartsInsideLine)) {
        m_IndexTimer.stop();
        Q_EMIT IndexFinished();
    }
}

int CPagedText::ScrollShift() const
{
    int shift = 0;
    for (std::uint64_t size = GetFileSize(); (size >> shift) > static_cast<std::uint64_t>(INT_MAX / 2);)
        ++shift;
    return shift;
}

void CPagedText::UpdateScrollBar()
{
    if (!m_pScrollBar)
        return;
    const int shift = ScrollShift();
    const std::int64_t first = Editor().DocumentLineFromVisible(Editor().GetFirstVisibleLine());
    const std::int64_t onScreen = std::max<std::int64_t>(1, Editor().GetLinesOnScreen());
    const std::uint64_t top = m_nWindowStart + static_cast<std::uint64_t>(Editor().PositionFromLine(first));
    const std::int64_t bottomLine = first + onScreen;
    const std::int64_t bottomPosition = Editor().PositionFromLine(bottomLine);
    const std::uint64_t bottom =
        bottomPosition < 0 ? m_nWindowEnd : m_nWindowStart + static_cast<std::uint64_t>(bottomPosition);
    const std::uint64_t page = std::max<std::uint64_t>(1, bottom > top ? bottom - top : 1);
    m_bUpdatingScrollBar = true;
    const QSignalBlocker block(m_pScrollBar);
    m_pScrollBar->setRange(0, static_cast<int>(GetFileSize() >> shift));
    m_pScrollBar->setPageStep(std::max(1, static_cast<int>(page >> shift)));
    m_pScrollBar->setSingleStep(std::max(1, static_cast<int>((page / static_cast<std::uint64_t>(onScreen)) >> shift)));
    m_pScrollBar->setValue(static_cast<int>(top >> shift));
    m_bUpdatingScrollBar = false;
}

void CPagedText::OnScrollBarAction(int action)
{
    if (m_bUpdatingScrollBar)
        return;
    const std::int64_t onScreen = std::max<std::int64_t>(1, Editor().GetLinesOnScreen());
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderPageStepSub: {
        const bool page = action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderPageStepSub;
        const bool down =
            action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderPageStepAdd;
        const std::int64_t lines = page ? onScreen : 1;
        Editor().ScrollLines(down ? lines : -lines);
        UpdateScrollBar();
        OnViewScrolled();
        break;
    }
    case QAbstractSlider::SliderToMinimum:
        ShowStart();
        break;
    case QAbstractSlider::SliderToMaximum:
        ShowEnd();
        break;
    case QAbstractSlider::SliderMove:
        ShowOffset(static_cast<std::uint64_t>(m_pScrollBar->sliderPosition()) << ScrollShift());
        break;
    default:
        break;
    }
}
