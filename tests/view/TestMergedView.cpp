// SPDX-License-Identifier: GPL-3.0-or-later
// Logs merged by time shown as one document: their lines in the order of their times in the
// paged view, each numbered in its own log and tinted by it in the margin; a log without times
// refused by name; filtered as one text, its output numbered by places in the merge, leading
// back to the whole merge at the line.
#include <memory>

#include <QProcess>

#include "document/COstrelDoc.h"
#include "filtering/FilterSettings.h"
#include "support/QtTestSupport.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;
using namespace Qt::StringLiterals;

namespace {

QByteArray At(int seconds, const QByteArray& text)
{
    return "2026-12-01T00:00:0" + QByteArray::number(seconds) + "Z " + text + '\n';
}

bool Gzip(const QString& from, const QString& to)
{
    QProcess process;
    process.setStandardInputFile(from);
    process.setStandardOutputFile(to);
    process.start(u"gzip"_s, {u"-c"_s});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Where a line of the merge comes from.
struct Place
{
    QByteArray Text;
    QString Name;
    std::int64_t LineInFile;
};

} // namespace

class TestMergedView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheLinesInTheOrderOfTheirTimes();
    void filteringLeadsBackToTheMergeAtTheLine();
    void aLogWithoutTimesIsRefusedByName();
    void aLogMergedWithItselfShowsEachLineTwice();

private:
    COstrelView* OpenMerged(const QStringList& paths);
    static bool WaitForMerge(COstrelView* view);
    static void ClickOutputLine(COstrelView* view, int line, Qt::KeyboardModifiers modifiers);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
    std::unique_ptr<COstrelDoc> m_pDocument;
    std::unique_ptr<COstrelView> m_pView;
    QStringList m_Paths;
    std::vector<Place> m_Expected; // the merge, line by line
};

void TestMergedView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    // a.log plain; b.log packed, with a line without a time of its own, which stays with the
    // line above it; at 2 both have a line: a.log's, given first, comes first.
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"a.log"_s),
                                   At(0, "A 1") + At(2, "A 2") + At(4, "A 3") + At(6, "A 4")));
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"plain-b"_s),
                                   At(1, "B 1") + At(2, "B 2") + At(5, "B 3") + "    B more\n" + At(7, "B 4")));
    QVERIFY(Gzip(m_pDir->filePath(u"plain-b"_s), m_pDir->filePath(u"b.log.gz"_s)));
    m_Paths = {m_pDir->filePath(u"a.log"_s), m_pDir->filePath(u"b.log.gz"_s)};
    const QString a = u"a.log"_s;
    const QString b = u"b.log.gz"_s;
    m_Expected = {{At(0, "A 1"), a, 1},   {At(1, "B 1"), b, 1}, {At(2, "A 2"), a, 2},
                  {At(2, "B 2"), b, 2},   {At(4, "A 3"), a, 3}, {At(5, "B 3"), b, 3},
                  {"    B more\n", b, 4}, {At(6, "A 4"), a, 4}, {At(7, "B 4"), b, 5}};
}

void TestMergedView::cleanup()
{
    if (m_pDocument)
        m_pDocument->OnCloseDocument();
    m_pView.reset();
    m_pDocument.reset();
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestMergedView::OpenMerged(const QStringList& paths)
{
    m_pDocument = std::make_unique<COstrelDoc>();
    m_pView = std::make_unique<COstrelView>(m_pDocument.get(), m_pWorkspace.get());
    m_pDocument->SetView(m_pView.get());
    m_pView->OnInitialUpdate();
    m_pView->SetLineNumbersShown(true);
    m_pView->resize(800, 1200);
    m_pView->show();
    if (!QTest::qWaitForWindowExposed(m_pView.get()))
        return nullptr;
    return m_pDocument->OnOpenMerged(paths) ? m_pView.get() : nullptr;
}

bool TestMergedView::WaitForMerge(COstrelView* view)
{
    return QTest::qWaitFor(
        [view] {
            return view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving();
        },
        20000);
}

void TestMergedView::ClickOutputLine(COstrelView* view, int line, Qt::KeyboardModifiers modifiers)
{
    const long position =
        view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)) + 1;
    view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(position));
    const QPoint point(static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)),
                       static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) +
                           2);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, modifiers, point);
}

void TestMergedView::showsTheLinesInTheOrderOfTheirTimes()
{
    COstrelView* view = OpenMerged(m_Paths);
    QVERIFY(view);
    QVERIFY(WaitForMerge(view));
    QVERIFY(m_pWorkspace->TakeReports().isEmpty());
    QVERIFY(view->IsPaged() && view->IsMerged());
    QVERIFY(view->isReadOnly());
    QByteArray text;
    for (const Place& place : m_Expected)
        text += place.Text;
    QTRY_COMPARE(TestSupport::TextOf(view), text);
    QCOMPARE(m_pDocument->GetTitle(), u"a.log (merged)"_s);
    QCOMPARE(m_pDocument->GetMergedFiles(), m_Paths);
    const QString tip = m_pDocument->GetToolTip();
    QVERIFY2(tip.contains(u"2 files merged by time"_s), qPrintable(tip));
    for (const QString& file : m_Paths)
        QVERIFY2(tip.contains(file), qPrintable(tip));
    QTRY_COMPARE(view->GetStatusNote(), u"Read-only: 2 files merged by time"_s);
    QCOMPARE(view->GetGoToLineCount(), 10);

    // Each line numbered in its own log; the two logs' numbers in styles of their own.
    for (std::size_t line = 0; line < m_Expected.size(); ++line) {
        const Place& place = m_Expected[line];
        const auto viewLine = static_cast<std::int64_t>(line);
        const ShownLineOrigin origin = view->OriginOfViewLine(viewLine);
        QCOMPARE(origin.FileLine, place.LineInFile);
        QCOMPARE(origin.Source, place.Name == u"a.log"_s ? 0 : 1);
        const long style = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, static_cast<unsigned long>(line));
        const long first = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, 0UL);
        const long second = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, 1UL);
        QCOMPARE(style, origin.Source == 0 ? first : second);
        view->GoToLine(viewLine + 1);
        QString name;
        std::int64_t lineInFile = 0;
        QTRY_VERIFY(view->GetCaretFilePlace(name, lineInFile) && view->GetCaretLine() == viewLine + 1);
        QCOMPARE(name, place.Name);
        QCOMPARE(lineInFile, place.LineInFile);
    }
    QVERIFY(view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, 0UL) !=
            view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, 1UL));

    // Read anew (Delete All Filters does so): the merge again, not its first log alone.
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(WaitForMerge(view));
    QTRY_COMPARE(TestSupport::TextOf(view), text);
    QVERIFY(view->IsMerged());
}

void TestMergedView::filteringLeadsBackToTheMergeAtTheLine()
{
    COstrelView* view = OpenMerged(m_Paths);
    QVERIFY(view);
    QVERIFY(WaitForMerge(view));
    FilterSettings settings;
    settings.AddFilter(u"B "_s.toStdU16String(), 0);
    settings.SetCaseSensitive(0, true);
    m_pDocument->GetFilterSettings().CopyFiltersFrom(settings);
    QVERIFY(m_pDocument->ApplyFilters(settings));
    QTRY_VERIFY(!m_pDocument->IsFiltering());
    QVERIFY2(m_pWorkspace->TakeReports().isEmpty(), "a merge is filtered, not refused");
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(TestSupport::TextOf(view), At(1, "B 1") + At(2, "B 2") + At(5, "B 3") + "    B more\n" + At(7, "B 4"));
    // Numbered by places in the merge; the status bar names the log and the line there.
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{2, 4, 6, 7, 9}));
    for (int output = 0; output < 5; ++output) {
        view->GoToLine(output + 1);
        QString name;
        std::int64_t lineInFile = 0;
        QVERIFY2(view->GetCaretFilePlace(name, lineInFile), qPrintable(u"output line %1"_s.arg(output)));
        QCOMPARE(name, u"b.log.gz"_s);
        QCOMPARE(lineInFile, output + 1);
    }
    // Follow is not for a merge: it stays off.
    m_pDocument->SetFollow(true, false);
    QVERIFY(!view->GetFollow());

    // Ctrl+double-click on B 3: the whole merge, at its place there.
    ClickOutputLine(view, 2, Qt::ControlModifier);
    QTRY_VERIFY(view->IsMerged());
    QVERIFY(!view->GetShowsFilteredText());
    QVERIFY(WaitForMerge(view));
    QTRY_COMPARE(view->GetCaretLine(), 6);
    QString name;
    std::int64_t lineInFile = 0;
    QVERIFY(view->GetCaretFilePlace(name, lineInFile));
    QCOMPARE(name, u"b.log.gz"_s);
    QCOMPARE(lineInFile, 3);

    // Go To takes places in the merge.
    QCOMPARE(view->GoToNumberedLine(8), QString());
    QTRY_COMPARE(view->GetCaretLine(), 8);
    QVERIFY(view->GetCaretFilePlace(name, lineInFile));
    QCOMPARE(name, u"a.log"_s);
    QCOMPARE(lineInFile, 4);
}

void TestMergedView::aLogWithoutTimesIsRefusedByName()
{
    const QString untimed = m_pDir->filePath(u"notes.txt"_s);
    QVERIFY(TestSupport::WriteFile(untimed, "no time here\nnor here\n"));
    QVERIFY(!OpenMerged({m_Paths.first(), untimed}));
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(untimed), qPrintable(reports.first()));
    QVERIFY2(reports.first().contains(u"No times were recognised"_s), qPrintable(reports.first()));
    QVERIFY(!m_pView->IsMerged());
    QVERIFY(!m_pView->IsPaged());

    // A log that is gone is named too.
    const QString gone = m_pDir->filePath(u"gone.log"_s);
    QVERIFY(!m_pView->LoadMerged({gone, m_Paths.first()}));
    const QStringList missing = m_pWorkspace->TakeReports();
    QCOMPARE(missing.size(), 1);
    QVERIFY2(missing.first().contains(gone + u": No such file or directory"_s), qPrintable(missing.first()));
}

void TestMergedView::aLogMergedWithItselfShowsEachLineTwice()
{
    COstrelView* view = OpenMerged({m_Paths.first(), m_Paths.first()});
    QVERIFY(view);
    QVERIFY(WaitForMerge(view));
    QTRY_COMPARE(TestSupport::TextOf(view), At(0, "A 1") + At(0, "A 1") + At(2, "A 2") + At(2, "A 2") + At(4, "A 3") +
                                                At(4, "A 3") + At(6, "A 4") + At(6, "A 4"));
    for (std::int64_t line = 0; line < 8; ++line) {
        const ShownLineOrigin origin = view->OriginOfViewLine(line);
        QCOMPARE(origin.FileLine, line / 2 + 1);
        QCOMPARE(origin.Source, static_cast<int>(line % 2));
    }
}

QTEST_MAIN(TestMergedView)
#include "TestMergedView.moc"
