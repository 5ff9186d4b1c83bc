// SPDX-License-Identifier: GPL-3.0-or-later
// Compressed logs, made by the command-line tools, shown through the paged view whatever their
// size: the same lines and line numbers as the plain file, Go To, Find, filtering, Ctrl+T, damage
// and Save As.

#include <QProcess>
#include <QSignalSpy>

#include "filtering/IndexedText.h"
#include "support/QtTestSupport.h"
#include "view/CPagedSearch.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;
using namespace Qt::StringLiterals;

namespace {

// Numbered lines with a time each, a few marked, so that every line says which it is.
QByteArray NumberedLog(int lines)
{
    QByteArray log;
    for (int line = 1; line <= lines; ++line) {
        const QByteArray time = QByteArray::number(10 + line / 360000 % 10) + ':' +
                                QByteArray::number(10 + line / 6000 % 50) + ':' +
                                QByteArray::number(10 + line / 100 % 50);
        log += "2026-12-10 " + time + " line " + QByteArray::number(line) + (line % 1000 == 7 ? " ERROR" : " INFO") +
               ' ' + QByteArray(line % 37, 'x') + '\n';
    }
    return log;
}

// The file at `from` through a shell command reading standard input and writing standard output.
bool RunFilter(const QString& command, const QString& from, const QString& to)
{
    QProcess process;
    process.setStandardInputFile(from);
    process.setStandardOutputFile(to);
    process.start(u"sh"_s, {u"-c"_s, command});
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray ViewLineText(COstrelView* view, std::int64_t viewLine)
{
    const long start =
        view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(viewLine));
    const long end =
        view->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(viewLine));
    return TestSupport::TextOf(view).mid(start, end - start);
}

std::int64_t CaretViewLine(COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                               static_cast<unsigned long>(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)));
}

QByteArray CaretLineText(COstrelView* view)
{
    return ViewLineText(view, CaretViewLine(view));
}

} // namespace

class TestCompressedView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void eachPackingShowsThePlainFilesLines_data();
    void eachPackingShowsThePlainFilesLines();
    void filteringAndTheToggleNumberLinesAsThePlainFile();
    void aCutShortGzipShowsItsTextAndNamesTheFile();
    void saveAsWritesTheTextDecompressed();

private:
    COstrelView* Open(const QString& path);
    static bool WaitForWindow(COstrelView* view);
    static bool WaitForIndex(COstrelView* view);

    QTemporaryDir m_Files; // the packed files, made once
    QByteArray m_Log;
    QList<QByteArray> m_Lines;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestCompressedView::initTestCase()
{
    m_Log = NumberedLog(120000); // about 6 MiB: several windows and gzip seek points
    const qsizetype late = m_Log.indexOf("line 110000 ");
    m_Log.insert(late, "Needle ");
    m_Lines = m_Log.split('\n');
    const QString plain = m_Files.filePath(u"plain.log"_s);
    QVERIFY(TestSupport::WriteFile(plain, m_Log));
    // Names that say nothing of the packing: only the first bytes tell.
    const QString half = m_Files.filePath(u"half"_s);
    const QString rest = m_Files.filePath(u"rest"_s);
    QVERIFY(RunFilter(u"head -c 2000000"_s, plain, half));
    QVERIFY(RunFilter(u"tail -c +2000001"_s, plain, rest));
    QVERIFY(RunFilter(u"gzip -c"_s, half, half + u".gz"_s));
    QVERIFY(RunFilter(u"gzip -c"_s, rest, rest + u".gz"_s));
    QVERIFY(RunFilter(u"cat '%1.gz' '%2.gz'"_s.arg(half, rest), plain, m_Files.filePath(u"members.log"_s)));
    QVERIFY(RunFilter(u"zstd -q -c"_s, plain, m_Files.filePath(u"zstd.log"_s)));
    QVERIFY(RunFilter(u"xz -c -T1"_s, plain, m_Files.filePath(u"xz.log"_s)));
    QVERIFY(RunFilter(u"bzip2 -c"_s, plain, m_Files.filePath(u"bzip2.log"_s)));
    // The reference each view is compared with: what the tools themselves unpack.
    QCOMPARE(TestSupport::ReadFile(m_Files.filePath(u"members.log"_s)).left(2), QByteArray("\x1f\x8b"));
    QVERIFY(RunFilter(u"zcat"_s, m_Files.filePath(u"members.log"_s), m_Files.filePath(u"unpacked"_s)));
    QCOMPARE(TestSupport::ReadFile(m_Files.filePath(u"unpacked"_s)), m_Log);
}

void TestCompressedView::init()
{
    m_pWorkspace = std::make_unique<TestWorkspace>();
    // Far above the files' sizes: the plain file goes into the editor, a compressed one is paged.
    m_pWorkspace->SetPagedViewThreshold(256LL * 1024 * 1024);
}

void TestCompressedView::cleanup()
{
    m_pWorkspace.reset();
}

COstrelView* TestCompressedView::Open(const QString& path)
{
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(800, 600);
    view->show();
    return QTest::qWaitForWindowExposed(view) ? view : nullptr;
}

bool TestCompressedView::WaitForWindow(COstrelView* view)
{
    return QTest::qWaitFor([view] { return view->GetPagedText() && !view->GetPagedText()->IsMoving(); }, 20000);
}

bool TestCompressedView::WaitForIndex(COstrelView* view)
{
    return QTest::qWaitFor([view] { return view->GetPagedText() && view->GetPagedText()->IsIndexComplete(); }, 30000) &&
           WaitForWindow(view);
}

void TestCompressedView::eachPackingShowsThePlainFilesLines_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::newRow("gzip of two members") << u"members.log"_s << u"gzip"_s;
    QTest::newRow("zstd") << u"zstd.log"_s << u"zstd"_s;
    QTest::newRow("xz") << u"xz.log"_s << u"xz"_s;
    QTest::newRow("bzip2") << u"bzip2.log"_s << u"bzip2"_s;
}

void TestCompressedView::eachPackingShowsThePlainFilesLines()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    const QString path = m_Files.filePath(name);
    COstrelView* view = Open(path);
    QVERIFY(view && view->IsPaged());
    QVERIFY(view->isReadOnly());
    QVERIFY(WaitForWindow(view));
    QVERIFY(TestSupport::TextOf(view).startsWith(m_Log.left(1000)));
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetStatusNote(), u"Read-only: a %1-compressed file"_s.arg(kind));
    const auto count = static_cast<std::int64_t>(m_Lines.size());
    QCOMPARE(view->GetGoToLineCount(), count);
    // Typing changes nothing: the text is read-only.
    QTest::keyClicks(view, u"typed"_s);
    QVERIFY(TestSupport::TextOf(view).startsWith(m_Log.left(100)));
    QVERIFY(!view->IsTextModified());

    // Go To by number: the line of the plain file with that number, also at the ends and far
    // from any window shown so far.
    for (const std::int64_t line : {count - 1, std::int64_t(1), count / 2, std::int64_t(65), count}) {
        view->GoToNumberedLine(line);
        QVERIFY(WaitForWindow(view));
        QCOMPARE(view->GetCaretLine(), line);
        QCOMPARE(CaretLineText(view), m_Lines.at(line - 1));
    }
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->GetCaretLine(), 1);
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QTRY_COMPARE(view->GetCaretLine(), count);
    QCOMPARE(view->GetPagedText()->GetWindowEnd(), static_cast<std::uint64_t>(m_Log.size()));

    // Page Down from the top reads on past the first window.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    const std::uint64_t firstEnd = view->GetPagedText()->GetWindowEnd();
    for (int page = 0; page < 2000 && view->GetPagedText()->GetWindowEnd() == firstEnd; ++page) {
        QTest::keyClick(view, Qt::Key_PageDown);
        QVERIFY(WaitForWindow(view));
    }
    QVERIFY(view->GetPagedText()->GetWindowEnd() > firstEnd);
    const std::int64_t caret = view->GetCaretLine();
    QCOMPARE(CaretLineText(view), m_Lines.at(caret - 1));

    // Find: an occurrence far beyond the first window, selected where the plain file has it.
    view->GoToNumberedLine(1);
    QVERIFY(WaitForWindow(view));
    CPagedSearch search(view, u"Needle"_s, true, true);
    QSignalSpy finished(&search, &CPagedSearch::Finished);
    search.StartFindFromSelection(true);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(finished.front().front().value<CViewSearch::Outcome>(), CViewSearch::Outcome::Found);
    QVERIFY(WaitForWindow(view));
    const std::uint64_t selected =
        view->GetPagedText()->GetWindowStart() +
        static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
    QCOMPARE(selected, static_cast<std::uint64_t>(m_Log.indexOf("Needle")));
    QCOMPARE(view->selectedText(), u"Needle"_s);
    QVERIFY(m_pWorkspace->GetReports().empty());
}

void TestCompressedView::filteringAndTheToggleNumberLinesAsThePlainFile()
{
    FilterSettings settings;
    settings.AddFilter(u"ERROR"_s.toStdU16String(), 0);
    settings.SetCaseSensitive(0, true);

    COstrelView* plain = Open(m_Files.filePath(u"plain.log"_s));
    QVERIFY(plain && !plain->IsPaged());
    QTRY_VERIFY(!plain->IsLoading());
    QVERIFY(plain->GetDocument()->ApplyFilters(settings));
    QTRY_VERIFY(!plain->GetDocument()->IsFiltering());
    const QByteArray expected = TestSupport::TextOf(plain);
    const std::vector<std::int64_t> expectedLines = plain->GetFileLineNumbers();
    QVERIFY(expectedLines.size() > 100);

    for (const QString& name : {u"members.log"_s, u"zstd.log"_s}) {
        COstrelView* view = Open(m_Files.filePath(name));
        QVERIFY(view && WaitForIndex(view));
        COstrelDoc* document = view->GetDocument();
        QVERIFY(document->ApplyFilters(settings));
        QTRY_VERIFY(!document->IsFiltering());
        QCOMPARE(TestSupport::TextOf(view), expected);
        QCOMPARE(view->GetFileLineNumbers(), expectedLines);
        QVERIFY(m_pWorkspace->GetReports().empty());

        // Ctrl+T on the tenth kept line: the whole text again, at that line of it.
        const long tenth = view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 9UL);
        view->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<unsigned long>(tenth));
        QCOMPARE(view->ToggleFilterOutput(), COstrelView::ToggleResult::Done);
        QTRY_VERIFY(view->IsPaged() && !view->GetShowsFilteredText());
        QVERIFY(WaitForIndex(view));
        QTRY_COMPARE(view->GetCaretLine(), expectedLines.at(9));
        QCOMPARE(CaretLineText(view), m_Lines.at(expectedLines.at(9) - 1));
    }
}

void TestCompressedView::aCutShortGzipShowsItsTextAndNamesTheFile()
{
    const QByteArray packed = TestSupport::ReadFile(m_Files.filePath(u"half.gz"_s));
    const QString path = m_Files.filePath(u"cut.log.gz"_s);
    QVERIFY(TestSupport::WriteFile(path, packed.left(packed.size() / 2)));
    COstrelView* view = Open(path);
    QVERIFY(view && WaitForIndex(view));
    // The damage is said once, naming the file, and the status bar keeps saying it.
    QTRY_COMPARE(m_pWorkspace->GetReports().size(), std::size_t(1));
    const CProblemReport report = m_pWorkspace->GetReports().front();
    QVERIFY2(report.Text.contains(path) && report.Text.contains(u"damaged"_s), qPrintable(report.Text));
    QCOMPARE(view->GetStatusNote(), report.Text);
    // The text before the damage is the file's start, whole lines up to where it breaks off.
    const QByteArray shown = TestSupport::TextOf(view);
    QVERIFY(shown.size() > 1000);
    QCOMPARE(shown, m_Log.left(shown.size()));
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    const std::uint64_t end = view->GetPagedText()->GetWindowEnd();
    QCOMPARE(end, view->GetPagedText()->GetFileSize());
    QVERIFY(end < static_cast<std::uint64_t>(m_Log.size()));
    QCOMPARE(m_pWorkspace->GetReports().size(), std::size_t(1));
}

void TestCompressedView::saveAsWritesTheTextDecompressed()
{
    COstrelView* view = Open(m_Files.filePath(u"zstd.log"_s));
    QVERIFY(view && WaitForIndex(view));
    QTemporaryDir target;
    const QString copy = target.filePath(u"copy.log"_s);
    QSignalSpy finished(view, &COstrelView::SaveAsFinished);
    QVERIFY(view->SaveAs(copy));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(TestSupport::ReadFile(copy), m_Log);
    QVERIFY(!IsCompressedFile(QFile::encodeName(copy).toStdString()));
    // The packed file is untouched.
    QCOMPARE(TestSupport::ReadFile(m_Files.filePath(u"zstd.log"_s)).left(4), QByteArray("\x28\xb5\x2f\xfd"));
}

QTEST_MAIN(TestCompressedView)
#include "TestCompressedView.moc"
