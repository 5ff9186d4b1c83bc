// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QTimer>
#include <QWidget>

#include "filtering/OccurrenceLines.h"
#include "filtering/SpanBuckets.h"
#include "time/KeptLineTimes.h"

class COstrelView;
struct OutputBatch;

// A narrow strip between a view's text and its vertical scroll bar that shows where lines lie
// along the whole file: in filter output the kept lines, by their file line, in the colour of the
// filter that kept them; in the whole file the lines that hold what Find looks for. It counts
// lines into buckets as they come (SpanBuckets), so it costs the same however many there are,
// and scales them to its height when painted. A click goes to the nearest such line.
// Hidden, it takes no room: the view is as without it.
class COverviewStrip : public QWidget
{
    Q_OBJECT

public:
    static constexpr int StripWidth = 11;
    // The colour of the lines Find found, and of kept lines no filter kept (0xRRGGBB).
    static constexpr unsigned FoundColour = 0x3070F0;
    static constexpr unsigned UnfilteredColour = 0x808080;

    explicit COverviewStrip(COstrelView& view);

    // Shown beside the text (the default), or hidden with the view as without it.
    void SetShown(bool shown);
    bool IsShown() const { return m_bShown; }
    // Room the view keeps on the right of its text beyond the strip (the paged view's scroll bar).
    void SetBarRoom(int width);
    // Room the strip takes on the right of the text.
    int GetRoom() const { return m_bShown ? StripWidth : 0; }
    // Where it lies: just right of the text area.
    void Place();

    // A filtering run's output starts: the kept lines so far go.
    void BeginKeptLines();
    void AddKeptLines(const OutputBatch& batch);
    // The run's output has all come.
    void FinishKeptLines();
    // The run read the whole file: it had this many lines (until then, the last kept one counts).
    void SetFileLineCount(std::int64_t lines);
    // The lines Find found in the whole file: cleared, then told one by one (0-based editor lines).
    void ClearFoundLines();
    void AddFoundLine(std::int64_t line);
    // Find looks for this text in the whole file: its lines are marked, the text gone through in
    // short turns of the event loop (again after each change of the text). A paged view marks
    // only the lines Find reaches (AddFoundLine).
    void MarkFindText(const QString& text, bool matchCase, bool wholeWord);
    // The marking of Find's lines goes on.
    bool IsMarkingFoundLines() const { return m_ScanTimer.isActive(); }
    // Bytes looked at per turn.
    static constexpr std::size_t ScanSliceBytes = 4 * 1024 * 1024;

    const SpanBuckets& GetKeptBuckets() const { return m_Kept; }
    // The kept lines over time, for the timeline; counted only while AreTimesCounted().
    const KeptLineTimes& GetKeptTimes() const { return m_Times; }
    // Whether runs count their kept lines over time too (the timeline is shown), in every view.
    static void SetTimesCounted(bool counted);
    static bool AreTimesCounted();
    const SpanBuckets& GetFoundBuckets() const { return m_Found; }
    // The lines the strip spreads over its height, 1 to this.
    std::int64_t GetScaleLineCount() const;
    // The rows of the strip over the file's lines, as painted.
    SpanRows GetRows() const;
    // The file line (filter output) or line (whole file) a click at row y goes to; 0 for none.
    std::int64_t LineForRow(int y) const;

Q_SIGNALS:
    // A click took the view to a line (1-based, as Go To takes it).
    void LineChosen(std::int64_t line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool ShowsKeptLines() const;
    const SpanBuckets& Shown() const { return ShowsKeptLines() ? m_Kept : m_Found; }
    void ApplyMargins();
    void ScanTurn();
    void RestartScan();

    COstrelView& m_View;
    SpanBuckets m_Kept;
    SpanBuckets m_Found;
    KeptLineTimes m_Times;
    std::int64_t m_nFileLineCount = 0; // 0 while the run has not read the whole file
    std::unique_ptr<OccurrenceLines> m_pScan;
    QByteArray m_FindKey; // the text, case and word choice marked
    QTimer m_ScanTimer;
    int m_nBarRoom = 0;
    bool m_bShown = true;
};
