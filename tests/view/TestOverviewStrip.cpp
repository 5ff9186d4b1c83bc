// SPDX-License-Identifier: GPL-3.0-or-later
// The overview strip beside a view's scroll bar: where the kept lines of a run lie along the whole
// file, in their filters' colours, or the lines Find looks for; a click goes to the nearest one;
// hidden, the view is as without it.
#include <random>

#include <QDateTime>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimeZone>

#include "document/CFilteringRun.h"
#include "support/QtTestSupport.h"
#include "view/COverviewStrip.h"
#include "view/CPagedText.h"
#include "view/CTimelineView.h"
#include "view/FilterColours.h"

using namespace Qt::StringLiterals;

namespace {

struct KeptLine
{
    std::int64_t FileLine = 0;
    int Filter = -1;
};

// A log of lines that hold some of the words; written to path, with the lines each filter
// (the words in list order, the first that matches keeping the line) keeps.
std::vector<KeptLine> WriteRandomLog(const QString& path, const QStringList& words, int lines, std::uint32_t seed,
                                     std::int64_t& lineCount)
{
    std::mt19937 random(seed);
    QByteArray log;
    std::vector<KeptLine> kept;
    for (int line = 1; line <= lines; ++line) {
        // A line every seven seconds from midnight, UTC.
        const int seconds = line * 7;
        QByteArray text = QStringLiteral("2026-12-11T%1:%2:%3Z line %4")
                              .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                              .arg(line)
                              .toLatin1();
        // Clusters and gaps: most matches fall in a few stretches of the file.
        const bool dense = (line / 500) % 3 == 0;
        int filter = -1;
        for (int w = 0; w < words.size(); ++w)
            if (std::uniform_int_distribution<int>(0, dense ? 6 : 600)(random) == 0) {
                text += ' ' + words[w].toLatin1();
                if (filter < 0)
                    filter = w;
            }
        log += text + '\n';
        if (filter >= 0)
            kept.push_back({line, filter});
    }
    lineCount = lines;
    TestSupport::WriteFile(path, log);
    return kept;
}

// The room between the text and the scroll bar (the view's own, or the paged view's).
int RoomRightOfText(COstrelView* view, const QWidget* bar = nullptr)
{
    if (!bar && view->verticalScrollBar()->isVisible())
        bar = view->verticalScrollBar();
    const int edge = bar ? bar->mapTo(view, QPoint(0, 0)).x() : view->contentsRect().right() + 1;
    return edge - (view->viewport()->geometry().right() + 1);
}

QColor ColourOfFilter(int slot)
{
    if (slot == SpanBuckets::NoFilter)
        return QColor::fromRgb(COverviewStrip::UnfilteredColour);
    const std::uint32_t colour = FilterColour(slot);
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

class TestOverviewStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void keptLinesFillTheBucketsAndThePaintedRows();
    void aClickGoesToTheNearestKeptLine();
    void hiddenTheViewIsAsWithout();
    void findMarksTheLinesOfTheWholeFile();
    void theTimelineCountsKeptLinesByTime();

private:
    COstrelDoc* OpenShown(const QString& path);
    bool RunFilters(COstrelDoc* document, const QStringList& words);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestSupport::TestWorkspace> m_pWorkspace;
};

void TestOverviewStrip::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestSupport::TestWorkspace>();
}

COstrelDoc* TestOverviewStrip::OpenShown(const QString& path)
{
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(640, 480);
    view->show();
    if (!QTest::qWaitForWindowExposed(view))
        return nullptr;
    return document;
}

bool TestOverviewStrip::RunFilters(COstrelDoc* document, const QStringList& words)
{
    FilterSettings settings;
    for (const QString& word : words) {
        settings.AddFilter(word.toStdU16String(), 0);
        settings.SetCaseSensitive(settings.GetCount() - 1, true);
    }
    if (!document->ApplyFilters(settings))
        return false;
    for (int turn = 0; turn < 600 && document->IsFiltering(); ++turn)
        QTest::qWait(50);
    return !document->IsFiltering();
}

void TestOverviewStrip::keptLinesFillTheBucketsAndThePaintedRows()
{
    // Ten filters, none a part of another: two share a colour with the first two.
    const QStringList words{u"alpha"_s,   u"bravo"_s, u"charlie"_s, u"delta"_s, u"echo"_s,
                            u"foxtrot"_s, u"golf"_s,  u"hotel"_s,   u"india"_s, u"juliet"_s};
    for (const unsigned threads : {1U, 3U}) {
        m_pWorkspace->SetFilterThreadCount(threads);
        const QString path = m_pDir->filePath(u"app-%1.log"_s.arg(threads));
        std::int64_t lineCount = 0;
        const std::vector<KeptLine> kept = WriteRandomLog(path, words, 9000, 17 + threads, lineCount);
        COstrelDoc* document = OpenShown(path);
        QVERIFY(document);
        COstrelView* view = document->GetView();
        QTRY_VERIFY(!view->IsLoading());
        QVERIFY(RunFilters(document, words));
        QCOMPARE(view->GetOutputLineNumbers().Size(), kept.size());

        const COverviewStrip& strip = view->GetOverview();
        const SpanBuckets& buckets = strip.GetKeptBuckets();
        QCOMPARE(buckets.GetLineCount(), static_cast<std::uint64_t>(kept.size()));
        QCOMPARE(strip.GetScaleLineCount(), lineCount);
        // Each bucket holds the kept lines of its file lines, by the colour of their filter.
        for (std::size_t b = 0; b < buckets.GetBucketCount(); ++b) {
            std::array<std::uint64_t, SpanBuckets::Colours + 1> expected{};
            std::int64_t first = 0;
            for (const KeptLine& line : kept)
                if (line.FileLine >= buckets.KeyOf(b) && line.FileLine < buckets.KeyOf(b) + buckets.GetWidth()) {
                    ++expected[static_cast<std::size_t>(line.Filter % SpanBuckets::Colours)];
                    first = first ? first : line.FileLine;
                }
            QCOMPARE(buckets.At(b).Lines, expected);
            QCOMPARE(buckets.At(b).FirstLine, first);
        }

        // Each row shows the colour with the most kept lines in the buckets it covers, over the
        // whole file's lines.
        const QImage image = const_cast<COverviewStrip&>(strip).grab().toImage();
        const SpanRows rows = strip.GetRows();
        QCOMPARE(rows.Rows, image.height());
        QCOMPARE(rows.Last, lineCount);
        int coloured = 0;
        for (int y = 0; y < rows.Rows; ++y) {
            const std::int64_t from = rows.RowStart(y);
            const std::int64_t to = rows.RowStart(y + 1);
            // The buckets the row overlaps, counted whole.
            const std::int64_t origin = buckets.GetOrigin();
            const std::int64_t width = buckets.GetWidth();
            const std::int64_t firstBucket = from <= origin ? 0 : (from - origin) / width;
            const std::int64_t lastBucket = to - 1 < origin ? -1 : (to - 1 - origin) / width;
            std::array<std::uint64_t, SpanBuckets::Colours + 1> counts{};
            for (const KeptLine& line : kept) {
                const std::int64_t bucket = (line.FileLine - origin) / width;
                if (bucket >= firstBucket && bucket <= lastBucket)
                    ++counts[static_cast<std::size_t>(line.Filter % SpanBuckets::Colours)];
            }
            const auto strongest = std::max_element(counts.begin(), counts.end());
            const QColor pixel = image.pixelColor(COverviewStrip::StripWidth / 2, y);
            if (*strongest == 0) {
                QVERIFY2(pixel == strip.palette().color(QPalette::Window), qPrintable(u"row %1"_s.arg(y)));
            } else {
                QCOMPARE(pixel, ColourOfFilter(static_cast<int>(strongest - counts.begin())));
                ++coloured;
            }
        }
        QVERIFY2(coloured > 10 && coloured < rows.Rows, "the clusters and the gaps both show");
    }
}

void TestOverviewStrip::aClickGoesToTheNearestKeptLine()
{
    const QString path = m_pDir->filePath(u"click.log"_s);
    std::int64_t lineCount = 0;
    const std::vector<KeptLine> kept = WriteRandomLog(path, {u"alpha"_s, u"beta"_s}, 6000, 5, lineCount);
    COstrelDoc* document = OpenShown(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    QVERIFY(RunFilters(document, {u"alpha"_s, u"beta"_s}));
    COverviewStrip& strip = view->GetOverview();
    QSignalSpy chosen(&strip, &COverviewStrip::LineChosen);
    const SpanRows rows = strip.GetRows();
    for (const int y : {0, 1, rows.Rows / 3, rows.Rows / 2, rows.Rows - 20, rows.Rows - 1}) {
        QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(COverviewStrip::StripWidth / 2, y));
        // The row's middle line, and the kept line nearest it (the later one on a tie).
        const std::int64_t from = rows.RowStart(y);
        const std::int64_t middle = from + (std::max(from + 1, rows.RowStart(y + 1)) - from - 1) / 2;
        const auto after =
            std::find_if(kept.begin(), kept.end(), [middle](const KeptLine& line) { return line.FileLine >= middle; });
        std::int64_t nearest = after == kept.end() ? kept.back().FileLine : after->FileLine;
        if (after != kept.begin() && (after == kept.end() || middle - std::prev(after)->FileLine < nearest - middle))
            nearest = std::prev(after)->FileLine;
        QCOMPARE(chosen.takeLast().at(0).toLongLong(), nearest);
        QCOMPARE(view->GetCaretFileLine(), nearest);
    }
}

void TestOverviewStrip::hiddenTheViewIsAsWithout()
{
    const QString path = m_pDir->filePath(u"hidden.log"_s);
    std::int64_t lineCount = 0;
    const std::vector<KeptLine> kept = WriteRandomLog(path, {u"alpha"_s}, 2000, 9, lineCount);
    COstrelDoc* document = OpenShown(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    COverviewStrip& strip = view->GetOverview();
    // Shown: between the text and the scroll bar, the text narrower by the strip.
    QVERIFY(strip.isVisible());
    QCOMPARE(RoomRightOfText(view), COverviewStrip::StripWidth);
    QCOMPARE(strip.geometry().left(), view->viewport()->geometry().right() + 1);
    QCOMPARE(strip.geometry().height(), view->viewport()->height());
    const int shownWidth = view->viewport()->width();

    strip.SetShown(false);
    QVERIFY(!strip.isVisible());
    QCOMPARE(RoomRightOfText(view), 0);
    QCOMPARE(view->viewport()->width(), shownWidth + COverviewStrip::StripWidth);
    // Nor does a run fill it meanwhile.
    QVERIFY(RunFilters(document, {u"alpha"_s}));
    QCOMPARE(view->GetOutputLineNumbers().Size(), kept.size());
    QVERIFY(strip.GetKeptBuckets().Empty());

    // The paged view's own scroll bar keeps its room, the strip hidden or shown beside it.
    m_pWorkspace->SetPagedViewThreshold(1024);
    const QString bigPath = m_pDir->filePath(u"paged.log"_s);
    WriteRandomLog(bigPath, {u"alpha"_s}, 3000, 10, lineCount);
    COstrelDoc* paged = OpenShown(bigPath);
    QVERIFY(paged);
    COstrelView* pagedView = paged->GetView();
    QTRY_VERIFY(pagedView->IsPaged());
    QScrollBar* bar = pagedView->GetPagedText()->GetScrollBar();
    QVERIFY(bar);
    COverviewStrip& pagedStrip = pagedView->GetOverview();
    const int barWidth = bar->sizeHint().width();
    QTRY_COMPARE(RoomRightOfText(pagedView), barWidth + COverviewStrip::StripWidth);
    QCOMPARE(pagedStrip.geometry().left(), pagedView->viewport()->geometry().right() + 1);
    QCOMPARE(bar->geometry().left(), pagedStrip.geometry().right() + 1);
    pagedStrip.SetShown(false);
    QCOMPARE(pagedView->contentsRect().right() - pagedView->viewport()->geometry().right(), barWidth);
    pagedView->resize(600, 400);
    QTRY_COMPARE(bar->geometry().left(), pagedView->viewport()->geometry().right() + 1);
}

void TestOverviewStrip::findMarksTheLinesOfTheWholeFile()
{
    const QString path = m_pDir->filePath(u"find.log"_s);
    std::int64_t lineCount = 0;
    const std::vector<KeptLine> kept = WriteRandomLog(path, {u"needle"_s, u"Needle"_s}, 20000, 3, lineCount);
    COstrelDoc* document = OpenShown(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    COverviewStrip& strip = view->GetOverview();
    // Case ignored: both words count; in small turns so the window goes on meanwhile.
    strip.MarkFindText(u"NEEDLE"_s, false, false);
    QTRY_VERIFY(!strip.IsMarkingFoundLines());
    // Reading the text for the scan moves it in memory, which starts no scan again.
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents();
    QVERIFY(!strip.IsMarkingFoundLines());
    const SpanBuckets& found = strip.GetFoundBuckets();
    QCOMPARE(found.GetLineCount(), static_cast<std::uint64_t>(kept.size()));
    for (std::size_t b = 0; b < found.GetBucketCount(); ++b) {
        std::uint64_t expected = 0;
        for (const KeptLine& line : kept)
            expected += line.FileLine >= found.KeyOf(b) && line.FileLine < found.KeyOf(b) + found.GetWidth() ? 1 : 0;
        QCOMPARE(found.At(b).Total(), expected);
    }
    // The editor counts the empty line after the last line end too.
    QCOMPARE(strip.GetScaleLineCount(), lineCount + 1);

    // A click goes to a found line in the clicked row's buckets.
    const SpanRows rows = strip.GetRows();
    const int y = rows.RowOf(kept[kept.size() / 2].FileLine);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(COverviewStrip::StripWidth / 2, y));
    const std::int64_t caret = view->GetCaretLine();
    QVERIFY(std::any_of(kept.begin(), kept.end(), [caret](const KeptLine& line) { return line.FileLine == caret; }));
    QVERIFY(std::abs(rows.RowOf(caret) - y) <= 1);

    // Case matched: only the lines with the word as written.
    strip.MarkFindText(u"Needle"_s, true, false);
    QTRY_VERIFY(!strip.IsMarkingFoundLines());
    QByteArray text = TestSupport::ReadFile(path);
    QCOMPARE(strip.GetFoundBuckets().GetLineCount(), static_cast<std::uint64_t>(text.count(" Needle")));

    // Filter output shows the kept lines instead; the whole file again marks its own.
    QVERIFY(RunFilters(document, {u"needle"_s}));
    QVERIFY(strip.GetKeptBuckets().GetLineCount() > 0);
}

void TestOverviewStrip::theTimelineCountsKeptLinesByTime()
{
    const QString path = m_pDir->filePath(u"times.log"_s);
    std::int64_t lineCount = 0;
    const std::vector<KeptLine> kept =
        WriteRandomLog(path, {u"alpha"_s, u"bravo"_s, u"charlie"_s}, 9000, 21, lineCount);
    COstrelDoc* document = OpenShown(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    COverviewStrip::SetTimesCounted(true);
    const bool ran = RunFilters(document, {u"alpha"_s, u"bravo"_s, u"charlie"_s});
    COverviewStrip::SetTimesCounted(false);
    QVERIFY(ran);

    const KeptLineTimes& times = view->GetOverview().GetKeptTimes();
    QCOMPARE(times.GetLayout(), TimeLayout::Iso8601);
    const SpanBuckets& buckets = times.Buckets();
    QCOMPARE(buckets.GetLineCount(), static_cast<std::uint64_t>(kept.size()));
    const std::int64_t midnight = QDateTime(QDate(2026, 12, 11), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    const auto timeOf = [midnight](const KeptLine& line) { return midnight + line.FileLine * 7000; };
    QCOMPARE(buckets.GetMinKey(), timeOf(kept.front()));
    QCOMPARE(buckets.GetMaxKey(), timeOf(kept.back()));
    for (std::size_t b = 0; b < buckets.GetBucketCount(); ++b) {
        std::array<std::uint64_t, SpanBuckets::Colours + 1> expected{};
        for (const KeptLine& line : kept)
            if (timeOf(line) >= buckets.KeyOf(b) && timeOf(line) < buckets.KeyOf(b) + buckets.GetWidth())
                ++expected[static_cast<std::size_t>(line.Filter)];
        QCOMPARE(buckets.At(b).Lines, expected);
    }

    // A click on a bar goes to the first kept line of the times it covers.
    CTimelineView timeline;
    timeline.resize(500, 150);
    timeline.SetView(view);
    timeline.show();
    QVERIFY(QTest::qWaitForWindowExposed(&timeline));
    QSignalSpy chosen(&timeline, &CTimelineView::LineChosen);
    const SpanRows columns = timeline.GetColumns();
    const QRect area = timeline.GetBarArea();
    int clicked = 0;
    for (int x = 0; x < columns.Rows; x += 37) {
        const std::int64_t from = columns.RowStart(x);
        const std::int64_t to = columns.RowStart(x + 1);
        // The buckets the column overlaps, whole, and the first kept line among them.
        const std::int64_t width = buckets.GetWidth();
        const std::int64_t firstBucket = (from - buckets.GetOrigin()) / width;
        const std::int64_t lastBucket = (to - 1 - buckets.GetOrigin()) / width;
        std::int64_t first = 0;
        for (const KeptLine& line : kept) {
            const std::int64_t bucket = (timeOf(line) - buckets.GetOrigin()) / width;
            if (to > from && bucket >= firstBucket && bucket <= lastBucket) {
                first = line.FileLine;
                break;
            }
        }
        QCOMPARE(timeline.LineForColumn(area.left() + x), first);
        if (first == 0)
            continue;
        QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(area.left() + x, area.center().y()));
        QCOMPARE(chosen.takeLast().at(0).toLongLong(), first);
        QCOMPARE(view->GetCaretFileLine(), first);
        ++clicked;
    }
    QVERIFY(clicked > 5);
}

QTEST_MAIN(TestOverviewStrip)
#include "TestOverviewStrip.moc"
