// SPDX-License-Identifier: GPL-3.0-or-later
// A rotated set shown as one document: its files oldest first in the paged view, each line
// numbered in its own file, the start of each file marked, files that cannot be read left out
// with their reason; filtered as one text, its output numbered by the set's lines, leading back
// to the whole set at the line.
#include <memory>
#include <unistd.h>

#include <QProcess>

#include "document/CFilteringRun.h"
#include "document/COstrelDoc.h"
#include "filtering/FilterSettings.h"
#include "support/QtTestSupport.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;
using namespace Qt::StringLiterals;

namespace {

QByteArray MemberLines(const QByteArray& name, int lines)
{
    QByteArray text;
    for (int line = 1; line <= lines; ++line)
        text += name + " line " + QByteArray::number(line) + '\n';
    return text;
}

bool Gzip(const QString& from, const QString& to)
{
    QProcess process;
    process.setStandardInputFile(from);
    process.setStandardOutputFile(to);
    process.start(u"gzip"_s, {u"-c"_s});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool AppendTo(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

QByteArray LiveLines(int first, int last)
{
    QByteArray text;
    for (int line = first; line <= last; ++line)
        text += "live line " + QByteArray::number(line) + '\n';
    return text;
}

} // namespace

class TestRotatedSetView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheFilesOldestFirstNumberedInEach();
    void filesThatCannotBeReadAreLeftOutAndNamed();
    void filteringTheSetNumbersItsOutputBySetLines();
    void outputLeadsBackToTheSetAtTheLine();
    void cancelEndsTheSetsRunWithTheMarker();
    void followingTakesAppendsAndRotationsWithoutLosingALine();
    void followingACopiedAndTruncatedLiveFileReadsTheSetAnew();

private:
    // A document and view of their own for the set the file belongs to; null when it does not open.
    COstrelView* OpenSet(const QString& path);
    static bool WaitForIndex(COstrelView* view);
    // Filters the set by the literals (case-sensitive; context of the last one: a line each
    // side) and waits for the run's end.
    bool FilterSet(const QStringList& literals);
    static void ClickOutputLine(COstrelView* view, int line, Qt::KeyboardModifiers modifiers);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
    std::unique_ptr<COstrelDoc> m_pDocument;
    std::unique_ptr<COstrelView> m_pView;
    QByteArray m_Expected; // the set's text, oldest file first
};

void TestRotatedSetView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    // Three files: packed, without a final line feed, and the live one.
    const QByteArray oldest = MemberLines("two", 40);
    const QByteArray older = MemberLines("one", 30) + "one without a line feed";
    const QByteArray live = MemberLines("live", 20);
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"plain-two"_s), oldest));
    QVERIFY(Gzip(m_pDir->filePath(u"plain-two"_s), m_pDir->filePath(u"app.log.2.gz"_s)));
    QVERIFY(QFile::remove(m_pDir->filePath(u"plain-two"_s)));
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"app.log.1"_s), older));
    QVERIFY(TestSupport::WriteFile(m_pDir->filePath(u"app.log"_s), live));
    m_Expected = oldest + older + '\n' + live;
}

void TestRotatedSetView::cleanup()
{
    if (m_pDocument)
        m_pDocument->OnCloseDocument();
    m_pView.reset();
    m_pDocument.reset();
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestRotatedSetView::OpenSet(const QString& path)
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
    return m_pDocument->OnOpenRotatedSet(path) ? m_pView.get() : nullptr;
}

bool TestRotatedSetView::WaitForIndex(COstrelView* view)
{
    return QTest::qWaitFor(
        [view] {
            return view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving();
        },
        20000);
}

void TestRotatedSetView::showsTheFilesOldestFirstNumberedInEach()
{
    // Any file of the set opens all of it.
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log.1"_s));
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    QVERIFY(m_pWorkspace->TakeReports().isEmpty());
    QVERIFY(view->IsPaged() && view->IsRotatedSet());
    QVERIFY(view->isReadOnly());
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);
    QCOMPARE(m_pDocument->GetTitle(), u"app.log (set)"_s);
    QCOMPARE(m_pDocument->GetPathName(), m_pDir->filePath(u"app.log"_s));
    const QStringList files = {m_pDir->filePath(u"app.log.2.gz"_s), m_pDir->filePath(u"app.log.1"_s),
                               m_pDir->filePath(u"app.log"_s)};
    QCOMPARE(m_pDocument->GetRotatedSetFiles(), files);
    const QString tip = m_pDocument->GetToolTip();
    for (const QString& file : files)
        QVERIFY2(tip.contains(file), qPrintable(tip));
    QTRY_COMPARE(view->GetStatusNote(), u"Read-only: a rotated set of 3 files, oldest first"_s);
    // Go To counts the lines of the whole set: 40 + 31 + 20 and the empty one after the last.
    QCOMPARE(view->GetGoToLineCount(), 92);

    // Each line numbered in its own file; the first line of each later file marked, also in the margin.
    struct Case
    {
        std::int64_t ViewLine;
        std::int64_t FileLine;
        bool StartsFile;
        QString Name;
    };
    const Case cases[] = {
        {0, 1, false, u"app.log.2.gz"_s}, {39, 40, false, u"app.log.2.gz"_s}, {40, 1, true, u"app.log.1"_s},
        {70, 31, false, u"app.log.1"_s},  {71, 1, true, u"app.log"_s},        {90, 20, false, u"app.log"_s},
    };
    for (const Case& c : cases) {
        const ShownLineOrigin origin = view->OriginOfViewLine(c.ViewLine);
        QCOMPARE(origin.FileLine, c.FileLine);
        QCOMPARE(origin.StartsFile, c.StartsFile);
        const auto line = static_cast<unsigned long>(c.ViewLine);
        const long style = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, line);
        const long before = view->SendScintilla(QsciScintillaBase::SCI_MARGINGETSTYLE, line > 0 ? line - 1 : 1);
        QVERIFY2((style != before) == c.StartsFile, qPrintable(u"view line %1"_s.arg(c.ViewLine)));
        view->GoToLine(c.ViewLine + 1);
        QString name;
        std::int64_t lineInFile = 0;
        QTRY_VERIFY(view->GetCaretFilePlace(name, lineInFile) && lineInFile == c.FileLine);
        QCOMPARE(name, c.Name);
        QCOMPARE(view->GetCaretLine(), c.ViewLine + 1);
    }

    // Read anew (Delete All Filters does so): the set again, not its live file alone.
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);
    QVERIFY(view->IsRotatedSet());
}

void TestRotatedSetView::filesThatCannotBeReadAreLeftOutAndNamed()
{
    // One file rotated away between listing and reading; as another user, one that cannot be read.
    QStringList files = {m_pDir->filePath(u"app.log.3"_s), m_pDir->filePath(u"app.log.2.gz"_s),
                         m_pDir->filePath(u"app.log"_s)};
    const bool locked = ::geteuid() != 0;
    if (locked) {
        QVERIFY(QFile::setPermissions(m_pDir->filePath(u"app.log.1"_s), QFileDevice::Permissions()));
        files.insert(2, m_pDir->filePath(u"app.log.1"_s));
    }
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log"_s));
    QVERIFY(view);
    QVERIFY(view->LoadRotatedSet(files));
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(TestSupport::TextOf(view), MemberLines("two", 40) + MemberLines("live", 20));
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(u"left out"_s), qPrintable(reports.first()));
    QVERIFY2(reports.first().contains(m_pDir->filePath(u"app.log.3"_s) + u": No such file or directory"_s),
             qPrintable(reports.first()));
    if (locked)
        QVERIFY2(reports.first().contains(m_pDir->filePath(u"app.log.1"_s) + u": Permission denied"_s),
                 qPrintable(reports.first()));

    // None left: nothing opens, and the message says why.
    QVERIFY(!view->LoadRotatedSet({m_pDir->filePath(u"app.log.3"_s)}));
    const QStringList failed = m_pWorkspace->TakeReports();
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().contains(u"Failed to open document."_s), qPrintable(failed.first()));
    QVERIFY2(failed.first().contains(u"No such file or directory"_s), qPrintable(failed.first()));
}

bool TestRotatedSetView::FilterSet(const QStringList& literals)
{
    FilterSettings settings;
    for (const QString& literal : literals) {
        settings.AddFilter(literal.toStdU16String(), 0);
        settings.SetCaseSensitive(settings.GetCount() - 1, true);
    }
    settings.SetOutputBeforeMatch(settings.GetCount() - 1, 1);
    settings.SetOutputAfterMatch(settings.GetCount() - 1, 1);
    m_pDocument->GetFilterSettings().CopyFiltersFrom(settings);
    if (!m_pDocument->ApplyFilters(settings))
        return false;
    return QTest::qWaitFor([this] { return !m_pDocument->IsFiltering(); }, 20000);
}

void TestRotatedSetView::ClickOutputLine(COstrelView* view, int line, Qt::KeyboardModifiers modifiers)
{
    const long position =
        view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)) + 1;
    view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(position));
    const QPoint point(static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)),
                       static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) +
                           2);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, modifiers, point);
}

void TestRotatedSetView::filteringTheSetNumbersItsOutputBySetLines()
{
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log"_s));
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    QVERIFY(m_pWorkspace->TakeReports().isEmpty());
    // Set lines: two 1-40 (packed), one 41-71 (its last without a line feed), live 72-91. The
    // context of the line without a line feed reaches into both files beside it.
    QVERIFY(FilterSet({u"line 5"_s, u"without"_s}));
    QVERIFY2(m_pWorkspace->TakeReports().isEmpty(), "a set is filtered, not refused");
    QVERIFY(view->GetShowsFilteredText());
    QCOMPARE(TestSupport::TextOf(view), QByteArray("two line 5\none line 5\none line 30\none without a line feed\n"
                                                   "live line 1\nlive line 5\n"));
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{5, 45, 70, 71, 72, 76}));

    // The status bar's place: the file of the set and its line there, beside the set line.
    struct Case
    {
        std::int64_t OutputLine;
        QString Name;
        std::int64_t LineInFile;
        std::int64_t SetLine;
    };
    const Case cases[] = {
        {0, u"app.log.2.gz"_s, 5, 5}, {2, u"app.log.1"_s, 30, 70}, {3, u"app.log.1"_s, 31, 71},
        {4, u"app.log"_s, 1, 72},     {5, u"app.log"_s, 5, 76},
    };
    for (const Case& c : cases) {
        view->GoToLine(c.OutputLine + 1);
        QString name;
        std::int64_t lineInFile = 0;
        QVERIFY2(view->GetCaretFilePlace(name, lineInFile), qPrintable(u"output line %1"_s.arg(c.OutputLine)));
        QCOMPARE(name, c.Name);
        QCOMPARE(lineInFile, c.LineInFile);
        QCOMPARE(view->GetCaretFileLine(), c.SetLine);
    }
    // Past the output: no place in a file.
    view->GoToLine(7);
    QString none;
    std::int64_t noLine = 0;
    QVERIFY(!view->GetCaretFilePlace(none, noLine));

    // Go To takes set lines: a kept one, else the next kept one.
    QCOMPARE(view->GoToNumberedLine(72), QString());
    QCOMPARE(view->GetCaretFileLine(), 72);
    QVERIFY(!view->GoToNumberedLine(46).isEmpty());
    QCOMPARE(view->GetCaretFileLine(), 70);
    QCOMPARE(view->GetGoToLineCount(), 76);

    // Follow is not for a set, nor for its output: it stays off.
    m_pDocument->SetFollow(true, false);
    QVERIFY(!view->GetFollow());

    // Exclude: the lines that match no filter, still numbered by set lines.
    FilterSettings excluding;
    for (const QString& literal : {u"two line"_s, u"one line"_s, u"live line"_s})
        excluding.AddFilter(literal.toStdU16String(), 0);
    excluding.SetExcludeMatches(true);
    QVERIFY(m_pDocument->ApplyFilters(excluding));
    QTRY_VERIFY(!m_pDocument->IsFiltering());
    QCOMPARE(TestSupport::TextOf(view), QByteArray("one without a line feed\n"));
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{71}));
    QVERIFY(m_pWorkspace->TakeReports().isEmpty());
}

void TestRotatedSetView::outputLeadsBackToTheSetAtTheLine()
{
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log"_s));
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    QVERIFY(FilterSet({u"line 5"_s, u"without"_s}));
    const QByteArray output = TestSupport::TextOf(view);

    // Ctrl+double-click on a kept line: the whole set, at that set line.
    ClickOutputLine(view, 1, Qt::ControlModifier);
    QTRY_VERIFY(view->IsRotatedSet());
    QVERIFY(!view->GetShowsFilteredText());
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetCaretLine(), 45);
    QString name;
    std::int64_t lineInFile = 0;
    QVERIFY(view->GetCaretFilePlace(name, lineInFile));
    QCOMPARE(name, u"app.log.1"_s);
    QCOMPARE(lineInFile, 5);
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);

    // Ctrl+T from the whole set: the output again, at the kept line nearest the caret's.
    view->GoToLine(75);
    QTRY_COMPARE(view->GetCaretLine(), 75);
    m_pDocument->ToggleFilterOutput(false);
    QTRY_VERIFY(view->GetShowsFilteredText() && !m_pDocument->IsFiltering());
    QCOMPARE(TestSupport::TextOf(view), output);
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{5, 45, 70, 71, 72, 76}));
    QCOMPARE(view->GetCaretFileLine(), 76);
    QVERIFY(view->GetCaretFilePlace(name, lineInFile));
    QCOMPARE(name, u"app.log"_s);
    QCOMPARE(lineInFile, 5);

    // Ctrl+T from the output: the whole set at the caret's set line.
    view->GoToLine(3);
    QCOMPARE(view->GetCaretFileLine(), 70);
    m_pDocument->ToggleFilterOutput(false);
    QTRY_VERIFY(view->IsRotatedSet());
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetCaretLine(), 70);
    QVERIFY(view->GetCaretFilePlace(name, lineInFile));
    QCOMPARE(name, u"app.log.1"_s);
    QCOMPARE(lineInFile, 30);

    // A plain double click in the output only selects a word.
    m_pDocument->ToggleFilterOutput(false);
    QTRY_VERIFY(view->GetShowsFilteredText());
    ClickOutputLine(view, 0, Qt::NoModifier);
    QVERIFY(view->GetShowsFilteredText());
}

void TestRotatedSetView::cancelEndsTheSetsRunWithTheMarker()
{
    COstrelView* view = OpenSet(m_pDir->filePath(u"app.log"_s));
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    FilterSettings settings;
    settings.AddFilter(u"line"_s.toStdU16String(), 0);
    QVERIFY(m_pDocument->ApplyFilters(settings));
    const QList<CFilteringRun*> runs = m_pDocument->findChildren<CFilteringRun*>();
    QCOMPARE(runs.size(), 1);
    // Before any line was shown: the marker alone, whatever the worker kept meanwhile.
    runs.first()->OnFilterCancelled();
    QTRY_VERIFY(!m_pDocument->IsFiltering());
    QCOMPARE(TestSupport::TextOf(view), CFilteringRun::CancelledMarker.toUtf8());
    QCOMPARE(view->GetFileLineNumbers(), (std::vector<std::int64_t>{0}));
    // The set is there as before.
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(TestSupport::TextOf(view), m_Expected);
}

OSTREL_QT_TEST_MAIN(TestRotatedSetView, QApplication)

#include "TestRotatedSetView.moc"

void TestRotatedSetView::followingTakesAppendsAndRotationsWithoutLosingALine()
{
    const QString live = m_pDir->filePath(u"app.log"_s);
    COstrelView* view = OpenSet(live);
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    QVERIFY(view->CanFollowSet());
    m_pDocument->SetFollow(true, false);
    QVERIFY(view->GetFollow());
    // The caret on the last line: the lines that come take it along.
    view->GoToLine(40 + 31 + 20 + 1);
    QTRY_COMPARE(view->GetCaretLine(), 40 + 31 + 20 + 1);

    QVERIFY(AppendTo(live, LiveLines(21, 40)));
    QTRY_COMPARE_WITH_TIMEOUT(TestSupport::TextOf(view), m_Expected + LiveLines(21, 40), 20000);
    QTRY_COMPARE(view->GetCaretLine(), 40 + 31 + 40 + 1); // the empty line after the last

    // Rotated: each file moves up a name, the live file after a last line of its own, and a new
    // live file starts.
    QVERIFY(AppendTo(live, LiveLines(41, 45)));
    QVERIFY(QFile::rename(m_pDir->filePath(u"app.log.2.gz"_s), m_pDir->filePath(u"app.log.3.gz"_s)));
    QVERIFY(QFile::rename(m_pDir->filePath(u"app.log.1"_s), m_pDir->filePath(u"app.log.2"_s)));
    QVERIFY(QFile::rename(live, m_pDir->filePath(u"app.log.1"_s)));
    QVERIFY(TestSupport::WriteFile(live, LiveLines(46, 50)));
    QTRY_COMPARE_WITH_TIMEOUT(TestSupport::TextOf(view), m_Expected + LiveLines(21, 50), 20000);
    QTRY_COMPARE(view->GetCaretLine(), 40 + 31 + 50 + 1);
    const QStringList names = {m_pDir->filePath(u"app.log.3.gz"_s), m_pDir->filePath(u"app.log.2"_s),
                               m_pDir->filePath(u"app.log.1"_s), live};
    QTRY_COMPARE(m_pDocument->GetRotatedSetFiles(), names);

    // Lines go on coming to the new live file, each once, numbered in it.
    QVERIFY(AppendTo(live, LiveLines(51, 60)));
    QTRY_COMPARE_WITH_TIMEOUT(TestSupport::TextOf(view), m_Expected + LiveLines(21, 60), 20000);
    view->GoToLine(40 + 31 + 45 + 15); // the set's last line: the new live file's 15th
    QString name;
    std::int64_t lineInFile = 0;
    QTRY_VERIFY(view->GetCaretFilePlace(name, lineInFile) && lineInFile == 15);
    QCOMPARE(name, u"app.log"_s);

    // A set's filter output is a run's as it was: it does not follow.
    FilterSettings settings;
    settings.AddFilter(u"live line 5"_s.toStdU16String(), 0);
    QVERIFY(m_pDocument->ApplyFilters(settings));
    QTRY_VERIFY(!m_pDocument->IsFiltering());
    QVERIFY(!view->CanFollowSet());
}

void TestRotatedSetView::followingACopiedAndTruncatedLiveFileReadsTheSetAnew()
{
    const QString live = m_pDir->filePath(u"app.log"_s);
    COstrelView* view = OpenSet(live);
    QVERIFY(view);
    QVERIFY(WaitForIndex(view));
    m_pDocument->SetFollow(true, false);
    QVERIFY(view->GetFollow());

    // Rotated by copying: the live file's lines go to a copy, and the file is emptied in place.
    QVERIFY(QFile::rename(m_pDir->filePath(u"app.log.2.gz"_s), m_pDir->filePath(u"app.log.3.gz"_s)));
    QVERIFY(QFile::rename(m_pDir->filePath(u"app.log.1"_s), m_pDir->filePath(u"app.log.2"_s)));
    QVERIFY(QFile::copy(live, m_pDir->filePath(u"app.log.1"_s)));
    QVERIFY(TestSupport::WriteFile(live, QByteArray()));
    const QStringList names = {m_pDir->filePath(u"app.log.3.gz"_s), m_pDir->filePath(u"app.log.2"_s),
                               m_pDir->filePath(u"app.log.1"_s), live};
    QTRY_COMPARE_WITH_TIMEOUT(m_pDocument->GetRotatedSetFiles(), names, 20000);
    QVERIFY(AppendTo(live, LiveLines(21, 25)));
    QTRY_COMPARE_WITH_TIMEOUT(TestSupport::TextOf(view), m_Expected + LiveLines(21, 25), 20000);
    QVERIFY(view->GetFollow());
}
