// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/COverviewStrip.h"

#include <algorithm>

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "document/COstrelDoc.h"
#include "filtering/OutputLine.h"
#include "view/COstrelView.h"
#include "view/CTimeGoTo.h"
#include "view/CViewSearch.h"
#include "view/FilterColours.h"
#include "view/ILogWorkspace.h"

namespace {

bool g_bTimesCounted = false;

QColor SlotColour(int slot, bool found)
{
    if (found || slot == SpanBuckets::NoFilter || slot < 0)
        return QColor::fromRgb(found ? COverviewStrip::FoundColour : COverviewStrip::UnfilteredColour);
    // The editor's colours are 0x00BBGGRR.
    const std::uint32_t colour = FilterColour(slot);
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

COverviewStrip::COverviewStrip(COstrelView& view) : QWidget(&view), m_View(view)
{
    setObjectName(QStringLiteral("overviewStrip"));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Where the kept lines, or the lines Find found, lie in the file: click to go there"));
    view.viewport()->installEventFilter(this);
    connect(&view, &COstrelView::ShowsFilteredTextChanged, this, [this] { update(); });
    m_ScanTimer.setInterval(0);
    connect(&m_ScanTimer, &QTimer::timeout, this, &COverviewStrip::ScanTurn);
    // Once the text has changed (a load, an edit, another file) its lines are marked anew.
    // (Moving is the same bytes elsewhere in memory, as when the scan itself asks for them.)
    connect(&view, &COstrelView::TextAboutToChange, this, [this](COstrelView::TextChange change) {
        if (!m_pScan || change == COstrelView::TextChange::Moving)
            return;
        // Lines appended are looked at from where the scan stopped; any other change starts it anew.
        if (change == COstrelView::TextChange::Appending)
            QTimer::singleShot(0, this, [this] {
                if (!m_View.IsPaged() && !m_View.GetShowsFilteredText())
                    m_ScanTimer.start();
            });
        else
            QTimer::singleShot(0, this, &COverviewStrip::RestartScan);
    });
    const ILogWorkspace* workspace = view.GetWorkspace();
    m_bShown = !workspace || workspace->GetShowOverviewStrip();
    setVisible(m_bShown);
    ApplyMargins();
}

void COverviewStrip::SetShown(bool shown)
{
    if (shown == m_bShown)
        return;
    m_bShown = shown;
    setVisible(shown);
    ApplyMargins();
    Place();
}

void COverviewStrip::SetBarRoom(int width)
{
    m_nBarRoom = width;
    ApplyMargins();
}

void COverviewStrip::ApplyMargins()
{
    m_View.setViewportMargins(0, 0, m_nBarRoom + GetRoom(), 0);
}

void COverviewStrip::Place()
{
    const QRect area = m_View.viewport()->geometry();
    setGeometry(area.right() + 1, area.top(), StripWidth, area.height());
    raise();
}

bool COverviewStrip::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        Place();
    return QWidget::eventFilter(watched, event);
}

void COverviewStrip::SetTimesCounted(bool counted)
{
    g_bTimesCounted = counted;
}

bool COverviewStrip::AreTimesCounted()
{
    return g_bTimesCounted;
}

void COverviewStrip::BeginKeptLines()
{
    m_Kept.Clear();
    const COstrelDoc* document = m_View.GetDocument();
    m_Times.Clear(document ? CTimeGoTo::ContextForFile(document->GetPathName()) : TimeContext());
    m_nFileLineCount = 0;
    update();
}

void COverviewStrip::AddKeptLines(const OutputBatch& batch)
{
    // Hidden, the strip costs the run nothing; shown again, it shows the next run's lines.
    const bool kept = m_bShown;
    const bool times = g_bTimesCounted;
    if (!kept && !times)
        return;
    // The run read the times of most lines already, where it handed them over.
    const bool read = times && batch.Times.size() == batch.Lines.size();
    // Marker lines (a cancelled run, a file that started anew) have no file line.
    for (std::size_t i = 0; i < batch.Lines.size(); ++i) {
        const OutputLine& line = batch.Lines[i];
        if (line.LineNumber <= 0)
            continue;
        if (kept)
            m_Kept.Add(line.LineNumber, line.Filter, line.LineNumber);
        if (read)
            m_Times.Add(batch.LineText(line), line.LineNumber, line.Filter, batch.TimesLayout, batch.Times[i]);
        else if (times)
            m_Times.Add(batch.LineText(line), line.LineNumber, line.Filter);
    }
}

void COverviewStrip::FinishKeptLines()
{
    m_Times.Finish();
    update();
}

void COverviewStrip::SetFileLineCount(std::int64_t lines)
{
    m_nFileLineCount = lines;
    update();
}

void COverviewStrip::ClearFoundLines()
{
    m_Found.Clear();
    update();
}

void COverviewStrip::AddFoundLine(std::int64_t line)
{
    if (line < 0)
        return;
    m_Found.Add(line + 1, -1, line + 1);
    update();
}

void COverviewStrip::MarkFindText(const QString& text, bool matchCase, bool wholeWord)
{
    QByteArray bytes;
    if (!CViewSearch::EncodeForView(&m_View, text, bytes)) {
        m_pScan.reset();
        m_FindKey.clear();
        m_ScanTimer.stop();
        ClearFoundLines();
        return;
    }
    const QByteArray key = bytes + (matchCase ? '1' : '0') + (wholeWord ? '1' : '0');
    if (key == m_FindKey && m_pScan)
        return; // marked already, or being marked
    m_FindKey = key;
    m_pScan = std::make_unique<OccurrenceLines>(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), matchCase, wholeWord);
    RestartScan();
}

void COverviewStrip::RestartScan()
{
    if (!m_pScan)
        return;
    m_pScan->Restart();
    ClearFoundLines();
    // The paged view's editor holds only a window of the file: Find marks what it reaches there.
    if (!m_View.IsPaged() && !m_View.GetShowsFilteredText())
        m_ScanTimer.start();
}

void COverviewStrip::ScanTurn()
{
    if (!m_pScan || m_View.IsPaged() || m_View.GetShowsFilteredText()) {
        m_ScanTimer.stop();
        return;
    }
    const std::string_view text = m_View.GetTextBytes();
    if (m_pScan->Scan(text, ScanSliceBytes, [this](std::int64_t line) { m_Found.Add(line + 1, -1, line + 1); }))
        m_ScanTimer.stop();
    update();
}

bool COverviewStrip::ShowsKeptLines() const
{
    return m_View.GetShowsFilteredText();
}

std::int64_t COverviewStrip::GetScaleLineCount() const
{
    if (ShowsKeptLines())
        return std::max<std::int64_t>({1, m_nFileLineCount, m_Kept.GetMaxKey()});
    return std::max<std::int64_t>({1, m_View.Shown().GetLineCount(), m_Found.GetMaxKey()});
}

SpanRows COverviewStrip::GetRows() const
{
    return SpanRows{1, GetScaleLineCount(), std::max(1, height())};
}

std::int64_t COverviewStrip::LineForRow(int y) const
{
    const SpanRows rows = GetRows();
    const std::int64_t from = rows.RowStart(y);
    const std::int64_t middle = from + (std::max(from + 1, rows.RowStart(y + 1)) - from - 1) / 2;
    if (ShowsKeptLines()) {
        const OutputLineNumbers& numbers = m_View.GetOutputLineNumbers();
        if (numbers.EndOfNumbered() == 0)
            return 0;
        return numbers.LineNumber(numbers.NearestTo(middle));
    }
    const std::size_t nearest = m_Found.NearestFilled(middle);
    if (nearest < m_Found.GetBucketCount())
        return m_Found.At(nearest).FirstLine;
    return std::min(middle, std::max<std::int64_t>(1, m_View.Shown().GetLineCount()));
}

void COverviewStrip::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const SpanBuckets& buckets = Shown();
    if (buckets.Empty())
        return;
    const bool found = !ShowsKeptLines();
    const SpanRows rows = GetRows();
    for (int y = 0; y < rows.Rows; ++y) {
        const int slot = buckets.Sum(rows.RowStart(y), rows.RowStart(y + 1)).Strongest();
        if (slot >= 0)
            painter.fillRect(2, y, width() - 4, 1, SlotColour(slot, found));
    }
}

void COverviewStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const std::int64_t line = LineForRow(static_cast<int>(event->position().y()));
    if (line <= 0)
        return;
    // Filter output goes by file lines, the whole file by its own.
    m_View.GoToNumberedLine(line);
    m_View.setFocus();
    Q_EMIT LineChosen(line);
}
