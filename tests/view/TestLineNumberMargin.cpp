// SPDX-License-Identifier: GPL-3.0-or-later
// The line-number margin is as wide as the file's last line needs from the first text shown on,
// while the editor loads the file and while the paged view indexes it.

#include <QSignalSpy>

#include "filtering/FileLineIndex.h"
#include "support/QtTestSupport.h"
#include "view/CLineNumberMargin.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;

namespace {

constexpr std::int64_t Megabyte = 1024 * 1024;

// Lines of seven digits and a line feed: about 131,000 lines a megabyte, so a few megabytes take
// seven digits while their first part takes six.
QByteArray ShortLines(std::int64_t bytes)
{
    QByteArray log;
    log.reserve(bytes + 8);
    for (int line = 1; log.size() < bytes; ++line)
        log += QByteArray::number(line).rightJustified(7, '0') + '\n';
    return log;
}

long MarginWidth(COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN, 0UL);
}

long DigitsWidth(COstrelView* view, int digits)
{
    const QByteArray nines(digits, '9');
    return view->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH,
                               static_cast<unsigned long>(QsciScintillaBase::STYLE_LINENUMBER), nines.constData());
}

int DigitsOf(std::int64_t number)
{
    return static_cast<int>(QByteArray::number(static_cast<qlonglong>(number)).size());
}

} // namespace

class TestLineNumberMargin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void estimatesFromASampleWithinBounds();
    void keepsItsWidthWhileTheEditorLoads();
    void keepsItsWidthWhileThePagedViewIndexes();

private:
    COstrelView* OpenUnshown(const QByteArray& bytes, const QString& name = QStringLiteral("lines.log"));
    // The margin's width for numbers of so many digits, as a view of one line shows it widened.
    long WidthForDigits(int digits);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestLineNumberMargin::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    m_pWorkspace->SetShowLineNumbers(true);
}

void TestLineNumberMargin::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestLineNumberMargin::OpenUnshown(const QByteArray& bytes, const QString& name)
{
    // No event is handled before the test looks: the load has only just begun.
    const QString path = m_pDir->filePath(name);
    if (!TestSupport::WriteFile(path, bytes))
        return nullptr;
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    return document ? document->GetView() : nullptr;
}

long TestLineNumberMargin::WidthForDigits(int digits)
{
    COstrelView* one = OpenUnshown("one line", QStringLiteral("one.log"));
    if (!one)
        return -1;
    return MarginWidth(one) - DigitsWidth(one, 1) + DigitsWidth(one, digits);
}

void TestLineNumberMargin::estimatesFromASampleWithinBounds()
{
    // The whole file as the sample: its own count, one more than its line feeds.
    QCOMPARE(CLineNumberMargin::EstimateLineCount(1000, 1000, 40), 41);
    // A part: in proportion.
    QCOMPARE(CLineNumberMargin::EstimateLineCount(10 * Megabyte, 2 * Megabyte, 262144), 5 * 262144 + 1);
    // Nothing to go by: one line.
    QCOMPARE(CLineNumberMargin::EstimateLineCount(0, 0, 0), 1);
    QCOMPARE(CLineNumberMargin::EstimateLineCount(5000, 4096, 0), 1);
    // Never more lines than a file of line feeds has.
    QCOMPARE(CLineNumberMargin::EstimateLineCount(100, 200, 200), 101);
    // A file of many terabytes does not overflow.
    const std::uint64_t huge = std::uint64_t{1} << 50;
    const std::int64_t estimate = CLineNumberMargin::EstimateLineCount(huge, 2 * Megabyte, Megabyte);
    QVERIFY2(estimate > static_cast<std::int64_t>(huge / 3) && estimate <= static_cast<std::int64_t>(huge / 2) + 1,
             qPrintable(QString::number(estimate)));
}

void TestLineNumberMargin::keepsItsWidthWhileTheEditorLoads()
{
    m_pWorkspace->SetPagedViewThreshold(0);
    const QByteArray log = ShortLines(12 * Megabyte);
    const std::int64_t lines = log.count('\n') + 1;
    QCOMPARE(DigitsOf(lines), 7);
    COstrelView* view = OpenUnshown(log);
    QVERIFY(view && view->IsLoading());
    // Only the first part is in, with fewer lines than the whole file has digits for.
    QCOMPARE(DigitsOf(view->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT)), 6);
    const long first = MarginWidth(view);
    QCOMPARE(first, WidthForDigits(7));
    QList<long> widths;
    connect(view, &COstrelView::LoadProgress, this, [view, &widths] { widths.append(MarginWidth(view)); });
    QSignalSpy finished(view, &COstrelView::LoadFinished);
    view->resize(800, 600);
    view->show();
    QVERIFY(finished.wait(60000));
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT), lines);
    for (const long width : widths)
        QCOMPARE(width, first);
    QCOMPARE(MarginWidth(view), first);
}

void TestLineNumberMargin::keepsItsWidthWhileThePagedViewIndexes()
{
    m_pWorkspace->SetPagedViewThreshold(Megabyte);
    const QByteArray log = ShortLines(10 * Megabyte);
    const std::int64_t lines = log.count('\n') + 1;
    QCOMPARE(DigitsOf(lines), 7);
    COstrelView* view = OpenUnshown(log);
    QVERIFY(view && view->IsPaged());
    CPagedText* paged = view->GetPagedText();
    // From the first window on, through every step of the index, one width.
    QList<long> widths;
    const auto note = [view, &widths] { widths.append(MarginWidth(view)); };
    connect(paged, &CPagedText::WindowShown, this, note);
    connect(paged, &CPagedText::IndexProgress, this, [paged, note] {
        if (paged->GetWindowEnd() > 0)
            note();
    });
    QSignalSpy indexed(paged, &CPagedText::IndexFinished);
    view->resize(800, 600);
    view->show();
    QTRY_VERIFY_WITH_TIMEOUT(!indexed.isEmpty(), 60000);
    QCOMPARE(paged->GetIndex().GetLineCount(), lines);
    QVERIFY(!widths.isEmpty());
    const long last = MarginWidth(view);
    QCOMPARE(last, WidthForDigits(7));
    for (const long width : widths)
        QCOMPARE(width, last);
    // Farther on, the numbers shown are the file's.
    view->GoToLine(lines - 1);
    QVERIFY(QTest::qWaitFor([paged] { return !paged->IsMoving(); }, 10000));
    QCOMPARE(view->GetCaretLine(), lines - 1);
    QCOMPARE(MarginWidth(view), last);
}

OSTREL_QT_TEST_MAIN(TestLineNumberMargin, QApplication)
#include "TestLineNumberMargin.moc"
