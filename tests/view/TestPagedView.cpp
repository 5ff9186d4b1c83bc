// SPDX-License-Identifier: GPL-3.0-or-later
// Files at or above the paged-view threshold: a window of the file in the editor, moved as the
// user scrolls, drags, jumps and goes to lines.

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QScrollBar>
#include <QSignalSpy>

#include "filtering/FileLineIndex.h"
#include "filtering/OutputLine.h"
#include "support/QtTestSupport.h"
#include "view/CPagedSearch.h"
#include "view/CPagedText.h"

using TestSupport::TestWorkspace;

namespace {

constexpr std::int64_t Megabyte = 1024 * 1024;

// Numbered lines of varying length, so that every line says which it is.
QByteArray NumberedLog(std::int64_t bytes)
{
    QByteArray log;
    log.reserve(bytes + 200);
    for (int line = 1; log.size() < bytes; ++line)
        log += "line " + QByteArray::number(line) + ' ' + QByteArray(line % 37, 'x') + '\n';
    return log;
}

QList<QByteArray> LinesOf(const QByteArray& log)
{
    QList<QByteArray> lines = log.split('\n');
    return lines; // the last is the empty line after the last line feed
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

std::int64_t TopViewLine(COstrelView* view)
{
    return view->SendScintilla(
        QsciScintillaBase::SCI_DOCLINEFROMVISIBLE,
        static_cast<unsigned long>(view->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE)));
}

// How many descriptors of this process lead to the file at path.
int DescriptorsOf(const QString& path)
{
    int count = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(descriptors.filePath(entry)) == path)
            ++count;
    return count;
}

} // namespace

class TestPagedView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void pagedFromTheThresholdOnReadOnlyWithANote();
    void goToAndTheEndsLandOnTheirLines();
    void scrollingThroughTheFileShowsEveryLineInOrder();
    void scrollBarDragSettlesOnALineStart();
    void aLineLongerThanTheWindowIsShownInPieces();
    void aFileThatShrinksIsReportedNotFatal();
    void aWindowPastTheNewEndShrinksWithTheFile();
    void aReadProblemNoteLastsWhileItIsTrue();
    void findSearchesTheFileBeyondTheWindow();
    void findSearchesTheOpenFileAfterItsNameIsGone();
    void saveAsCopiesTheFile();
    void saveAsOverAFileKeepsItsOwnerAndMode();
    void theSavedCopyIsShownAndWatchedInsteadOfTheFile();
    void wrapShowsALongTextThroughASmallWindow();
    void aFullWrappedWindowIsNoSignOfAShorterFile();
    void wrapNumbersLinesAsTheFileWithoutALoneReturn();
    void aSecondOpenTakesTheSavedIndex();

private:
    COstrelView* Open(const QByteArray& bytes, const QString& name = QStringLiteral("big.log"));
    static bool WaitForWindow(COstrelView* view);
    static bool WaitForIndex(COstrelView* view);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
};

void TestPagedView::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    m_pWorkspace->SetPagedViewThreshold(Megabyte);
}

void TestPagedView::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestPagedView::Open(const QByteArray& bytes, const QString& name)
{
    const QString path = m_pDir->filePath(name);
    if (!TestSupport::WriteFile(path, bytes))
        return nullptr;
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(800, 600);
    view->show();
    return QTest::qWaitForWindowExposed(view) ? view : nullptr;
}

bool TestPagedView::WaitForWindow(COstrelView* view)
{
    return QTest::qWaitFor([view] { return view->GetPagedText() && !view->GetPagedText()->IsMoving(); }, 10000);
}

bool TestPagedView::WaitForIndex(COstrelView* view)
{
    return QTest::qWaitFor([view] { return view->GetPagedText() && view->GetPagedText()->IsIndexComplete(); }, 20000) &&
           WaitForWindow(view);
}

void TestPagedView::pagedFromTheThresholdOnReadOnlyWithANote()
{
    // Below the threshold: the editable view as always.
    COstrelView* small = Open(NumberedLog(Megabyte - 1000), QStringLiteral("small.log"));
    QVERIFY(small);
    QVERIFY(!small->IsPaged());

    const QByteArray log = NumberedLog(6 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && view->IsPaged());
    QVERIFY(view->isReadOnly());
    QVERIFY(WaitForWindow(view));
    QVERIFY(view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) <= CPagedText::WindowBytes);
    QVERIFY(TestSupport::TextOf(view).startsWith("line 1 x\nline 2 xx\n"));
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetStatusNote(), QStringLiteral("Read-only: the file is larger than the editing limit"));
    QCOMPARE(view->GetGoToLineCount(), LinesOf(log).size());
    // Keys that edit change nothing, and nothing counts as modified.
    QTest::keyClicks(view, QStringLiteral("typed"));
    QTest::keyClick(view, Qt::Key_Delete);
    QVERIFY(TestSupport::TextOf(view).startsWith("line 1 x\n"));
    QVERIFY(!view->IsTextModified());

    // 0 means never.
    m_pWorkspace->SetPagedViewThreshold(0);
    COstrelView* never = Open(log, QStringLiteral("never.log"));
    QVERIFY(never && !never->IsPaged());
}

void TestPagedView::goToAndTheEndsLandOnTheirLines()
{
    const QByteArray log = NumberedLog(6 * Megabyte);
    const QList<QByteArray> lines = LinesOf(log);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    // The caret's line is marked here too.
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCARETLINEVISIBLE), 1L);
    const auto count = static_cast<std::int64_t>(lines.size());
    for (const std::int64_t line : {std::int64_t(1), std::int64_t(2), std::int64_t(64), std::int64_t(65),
                                    std::int64_t(4097), count / 2, count / 2 + 1, count - 1, count}) {
        view->GoToLine(line);
        QVERIFY(WaitForWindow(view));
        QCOMPARE(view->GetCaretLine(), line);
        QCOMPARE(ViewLineText(view, CaretViewLine(view)), lines.at(line - 1));
    }
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->GetCaretLine(), 1);
    QCOMPARE(view->GetPagedText()->GetWindowStart(), 0u);
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QTRY_COMPARE(view->GetCaretLine(), count);
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS),
             view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
    QCOMPARE(view->GetPagedText()->GetWindowEnd(), static_cast<std::uint64_t>(log.size()));
}

void TestPagedView::scrollingThroughTheFileShowsEveryLineInOrder()
{
    const QByteArray log = NumberedLog(5 * Megabyte);
    const QList<QByteArray> lines = LinesOf(log);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    CPagedText* paged = view->GetPagedText();
    // Line by line five hundred at a time, down to the end and back up: the window moves on
    // ahead of the screen, and the top line is always the next one of the file.
    constexpr int Step = 500;
    std::int64_t expectedTop = 0;
    for (int direction : {1, -1}) {
        for (int step = 0; step < 1000; ++step) {
            const std::int64_t before = paged->FileLineOfViewLine(TopViewLine(view));
            view->SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, static_cast<long>(direction * Step));
            // What the editor's update notification does once the scrolled view is painted.
            paged->OnViewScrolled();
            QVERIFY(WaitForWindow(view));
            QTRY_VERIFY(paged->FileLineOfViewLine(TopViewLine(view)) >= 0);
            const std::int64_t top = paged->FileLineOfViewLine(TopViewLine(view));
            QCOMPARE(ViewLineText(view, TopViewLine(view)), lines.at(top));
            expectedTop = std::max<std::int64_t>(0, before + direction * Step);
            if (top != expectedTop) {
                // Only at an end of the file may the scroll stop short: at its first line, or
                // with its last line at the bottom of the screen.
                const std::int64_t onScreen = view->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
                QVERIFY(direction < 0 ? top == 0
                                      : paged->GetWindowEnd() == static_cast<std::uint64_t>(log.size()) &&
                                            top == static_cast<std::int64_t>(lines.size()) - onScreen);
                break;
            }
        }
        if (direction == 1)
            QVERIFY2(paged->GetWindowEnd() == static_cast<std::uint64_t>(log.size()), "reached the end");
    }
    QCOMPARE(paged->GetWindowStart(), 0u);

    // The editor's own update notification moves the window, too, once the view is painted.
    view->GoToLine(1);
    QVERIFY(WaitForWindow(view));
    const std::int64_t windowLines = view->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    view->SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, static_cast<long>(windowLines - 100));
    QTRY_VERIFY(paged->GetWindowStart() > 0);
    QVERIFY(WaitForWindow(view));
    const std::int64_t top = paged->FileLineOfViewLine(TopViewLine(view));
    QCOMPARE(ViewLineText(view, TopViewLine(view)), lines.at(top));
}

void TestPagedView::scrollBarDragSettlesOnALineStart()
{
    const QByteArray log = NumberedLog(8 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForWindow(view));
    QScrollBar* bar = view->GetPagedText()->GetScrollBar();
    QVERIFY(bar && bar->isVisible());
    // Dragged to about two thirds, maybe before the index is there: the top line is one of the file's.
    for (const double share : {0.66, 0.1, 0.9, 0.5}) {
        bar->setSliderPosition(static_cast<int>(bar->maximum() * share));
        bar->triggerAction(QAbstractSlider::SliderMove);
        QVERIFY(WaitForWindow(view));
        const std::uint64_t top =
            view->GetPagedText()->GetWindowStart() +
            static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                                           static_cast<unsigned long>(TopViewLine(view))));
        QVERIFY(top > 0 && log.at(static_cast<qsizetype>(top) - 1) == '\n');
        const double shown = static_cast<double>(top) / static_cast<double>(log.size());
        QVERIFY2(std::abs(shown - share) < 0.01, qPrintable(QString::number(shown)));
        QCOMPARE(ViewLineText(view, TopViewLine(view)),
                 log.mid(static_cast<qsizetype>(top), log.indexOf('\n', top) - top));
    }
}

void TestPagedView::aLineLongerThanTheWindowIsShownInPieces()
{
    QByteArray log = NumberedLog(Megabyte);
    const qsizetype longStart = log.size();
    QByteArray longLine(5 * Megabyte, 'y');
    for (qsizetype i = 0; i < longLine.size(); i += 1000)
        longLine.replace(i, 12, QByteArray::number(i).rightJustified(12, '0'));
    log += longLine + '\n' + NumberedLog(Megabyte);
    const QList<QByteArray> lines = LinesOf(log);
    const std::int64_t longLineNumber = NumberedLog(Megabyte).count('\n') + 1;
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    CPagedText* paged = view->GetPagedText();
    view->GoToLine(longLineNumber);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->GetCaretLine(), longLineNumber);
    // Down past the window's last line goes on into the rest of the line, piece by piece, and
    // every piece holds the file's bytes at its place.
    for (int piece = 0; piece < 6 && paged->GetWindowStart() < static_cast<std::uint64_t>(longStart + longLine.size());
         ++piece) {
        const std::uint64_t start = paged->GetWindowStart();
        const QByteArray shown = TestSupport::TextOf(view);
        QCOMPARE(shown, log.mid(static_cast<qsizetype>(start), shown.size()));
        view->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
        QVERIFY(WaitForWindow(view)); // a move the scroll may have asked for comes first
        QTest::keyClick(view, Qt::Key_Down);
        QVERIFY(WaitForWindow(view));
        QVERIFY(paged->GetWindowStart() > start);
    }
    QVERIFY(paged->GetWindowEnd() > static_cast<std::uint64_t>(longStart + longLine.size()));
    Q_UNUSED(lines);
}

void TestPagedView::findSearchesTheFileBeyondTheWindow()
{
    // Two occurrences far apart, one only as part of a longer word, and a case variant.
    QByteArray log = NumberedLog(6 * Megabyte);
    const qsizetype early = log.indexOf("line 1000 ");
    log.insert(early, "Needle ");
    const qsizetype late = log.indexOf("line 150000 ");
    log.insert(late, "Needles needle Needle ");
    QVERIFY(early > 0 && late > 4 * Megabyte);
    const qsizetype lateWord = late + qsizetype(std::string_view("Needles needle ").size());
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForWindow(view));
    CPagedText* paged = view->GetPagedText();
    const auto find = [view](const char* text, bool matchCase, bool wholeWord, bool down) {
        CPagedSearch search(view, QString::fromLatin1(text), matchCase, wholeWord);
        QSignalSpy finished(&search, &CPagedSearch::Finished);
        search.StartFindFromSelection(down);
        if (!finished.wait(20000) && finished.isEmpty())
            return CViewSearch::Outcome::Stopped;
        return finished.front().front().value<CViewSearch::Outcome>();
    };
    const auto selectedOffset = [paged, view] {
        return paged->GetWindowStart() +
               static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
    };

    QCOMPARE(find("Needle", true, true, true), CViewSearch::Outcome::Found);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(selectedOffset(), static_cast<std::uint64_t>(early));
    QCOMPARE(view->selectedText(), QStringLiteral("Needle"));
    // On from the selection, past the window: "Needles" is no whole word, "needle" another case.
    QCOMPARE(find("Needle", true, true, true), CViewSearch::Outcome::Found);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(selectedOffset(), static_cast<std::uint64_t>(lateWord));
    QCOMPARE(find("Needle", true, true, true), CViewSearch::Outcome::NotFound);
    // Back, ignoring case: the "needle" just before.
    QCOMPARE(find("NEEDLE", false, true, false), CViewSearch::Outcome::Found);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(selectedOffset(), static_cast<std::uint64_t>(late + 8));
    QCOMPARE(view->selectedText(), QStringLiteral("needle"));
    QCOMPARE(find("no such text", false, false, true), CViewSearch::Outcome::NotFound);
    QVERIFY2(!view->GetStatusNote().startsWith(QStringLiteral("Searching")), "the search's note goes with it");
}

void TestPagedView::aFileThatShrinksIsReportedNotFatal()
{
    const QByteArray log = NumberedLog(4 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    QFile file(view->GetDocument()->GetPathName());
    QVERIFY(file.resize(1000));
    const QByteArray left = log.left(1000);
    const std::int64_t leftLines = left.count('\n') + 1;
    QSignalSpy problems(view->GetPagedText(), &CPagedText::ReadProblem);
    // The end is the new end, whether or not the watcher has seen the change yet.
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTRY_COMPARE(view->GetCaretLine(), leftLines);
    QVERIFY(WaitForIndex(view));
    QCOMPARE(TestSupport::TextOf(view), left);
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS),
             view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
    QCOMPARE(view->GetGoToLineCount(), leftLines);
    QCOMPARE(view->GetPagedText()->GetFileSize(), std::uint64_t{1000});
    // The watcher sees the change too, and the status bar says so: nothing failed to read.
    QTRY_VERIFY(view->IsFileChangedOnDisk());
    QTRY_COMPARE(view->GetStatusNote(), QStringLiteral("File changed on disk"));
    QVERIFY(problems.isEmpty());
    // Lines past the new end are past the end for Go To too.
    view->GoToLine(50000);
    QVERIFY(WaitForWindow(view));
    QTRY_COMPARE(view->GetCaretLine(), leftLines);
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->GetCaretLine(), 1);
    QVERIFY(problems.isEmpty());
}

void TestPagedView::aWindowPastTheNewEndShrinksWithTheFile()
{
    const QByteArray log = NumberedLog(5 * Megabyte);
    const QList<QByteArray> lines = LinesOf(log);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    CPagedText* paged = view->GetPagedText();
    const auto middle = static_cast<std::int64_t>(lines.size()) / 2;
    view->GoToLine(middle);
    QVERIFY(WaitForWindow(view));
    const std::uint64_t start = paged->GetWindowStart();
    const int barMaximum = paged->GetScrollBar()->maximum();
    // Cut a little way past the caret's line, inside a line, while the window reaches further.
    const qsizetype caretOffset =
        static_cast<qsizetype>(start) + view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const qsizetype cut = log.indexOf('\n', caretOffset + 100000) + 5;
    QVERIFY(static_cast<std::uint64_t>(cut) < paged->GetWindowEnd());
    QVERIFY(QFile(view->GetDocument()->GetPathName()).resize(cut));
    // Nobody moves: the watcher's notice is enough for the window to end where the file ends.
    QTRY_COMPARE_WITH_TIMEOUT(paged->GetWindowEnd(), static_cast<std::uint64_t>(cut), 20000);
    QVERIFY(WaitForIndex(view));
    const QByteArray shown = TestSupport::TextOf(view);
    QCOMPARE(shown, log.mid(static_cast<qsizetype>(paged->GetWindowStart()), cut - paged->GetWindowStart()));
    // What was on screen stays there, the caret on its line.
    QCOMPARE(view->GetCaretLine(), middle);
    QCOMPARE(view->GetGoToLineCount(), log.left(cut).count('\n') + 1);
    QVERIFY(paged->GetScrollBar()->maximum() < barMaximum);
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->GetCaretLine(), log.left(cut).count('\n') + 1);
    QCOMPARE(ViewLineText(view, CaretViewLine(view)), log.mid(log.lastIndexOf('\n', cut - 1) + 1, 4));
    QCOMPARE(view->GetStatusNote(), QStringLiteral("File changed on disk"));
}

void TestPagedView::aReadProblemNoteLastsWhileItIsTrue()
{
    const QByteArray log = NumberedLog(3 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    CPagedText* paged = view->GetPagedText();
    const QString resting = QStringLiteral("Read-only: the file is larger than the editing limit");
    QTRY_COMPARE(view->GetStatusNote(), resting);
    // A read that failed: said until a read works again, whatever the index says meanwhile.
    Q_EMIT paged->ReadProblem(QStringLiteral("Input/output error"));
    QCOMPARE(view->GetStatusNote(), QStringLiteral("Cannot read the file: Input/output error"));
    QSignalSpy indexed(paged, &CPagedText::IndexFinished);
    paged->NoteFileChanged();
    QVERIFY(indexed.wait(20000));
    QCOMPARE(view->GetStatusNote(), QStringLiteral("Cannot read the file: Input/output error"));
    Q_EMIT paged->ReadRecovered();
    QCOMPARE(view->GetStatusNote(), resting);
    // A change on disk seen meanwhile is what remains to be said once reading works again.
    Q_EMIT paged->ReadProblem(QStringLiteral("Input/output error"));
    QVERIFY(TestSupport::WriteFile(view->GetDocument()->GetPathName(), log + "more\n"));
    QTRY_VERIFY(view->IsFileChangedOnDisk());
    QVERIFY(WaitForIndex(view));
    QCOMPARE(view->GetStatusNote(), QStringLiteral("Cannot read the file: Input/output error"));
    Q_EMIT paged->ReadRecovered();
    QCOMPARE(view->GetStatusNote(), QStringLiteral("File changed on disk"));
}

void TestPagedView::findSearchesTheOpenFileAfterItsNameIsGone()
{
    QByteArray log = NumberedLog(6 * Megabyte);
    const qsizetype late = log.indexOf("line 150000 ");
    log.insert(late, "Needle ");
    QVERIFY(late > 4 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForWindow(view));
    CPagedText* paged = view->GetPagedText();
    const auto find = [view](const char* text, bool down) {
        CPagedSearch search(view, QString::fromLatin1(text), true, false);
        QSignalSpy finished(&search, &CPagedSearch::Finished);
        search.StartFindFromSelection(down);
        if (!finished.wait(20000) && finished.isEmpty())
            return CViewSearch::Outcome::Stopped;
        return finished.front().front().value<CViewSearch::Outcome>();
    };
    // Deleted, and another file under its name that has none of it: the view's file is searched.
    const QString path = view->GetDocument()->GetPathName();
    QVERIFY(QFile::remove(path));
    QVERIFY(TestSupport::WriteFile(path, "something else\n"));
    QCOMPARE(find("line 3 xxx", true), CViewSearch::Outcome::Found);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->selectedText(), QStringLiteral("line 3 xxx"));
    QCOMPARE(paged->GetWindowStart() +
                 static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART)),
             static_cast<std::uint64_t>(log.indexOf("line 3 xxx")));
    QCOMPARE(find("Needle", true), CViewSearch::Outcome::Found);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(paged->GetWindowStart() +
                 static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART)),
             static_cast<std::uint64_t>(late));
    QCOMPARE(find("line 2 xx", false), CViewSearch::Outcome::Found);
    QCOMPARE(find("something else", true), CViewSearch::Outcome::NotFound);
}

void TestPagedView::saveAsCopiesTheFile()
{
    const QByteArray log = NumberedLog(3 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForWindow(view));
    const QString copy = m_pDir->filePath(QStringLiteral("copy.log"));
    QSignalSpy finished(view, &COstrelView::SaveAsFinished);
    QVERIFY(view->SaveAs(copy));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(TestSupport::ReadFile(copy), log);
    QCOMPARE(view->GetDocument()->GetPathName(), copy);
    // A folder that does not exist: reported, nothing written, the document stays where it was.
    QVERIFY(view->SaveAs(m_pDir->filePath(QStringLiteral("no/such/folder.log"))));
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(finished.at(1).at(0).toBool(), false);
    QCOMPARE(m_pWorkspace->TakeReports(),
             QStringList{QStringLiteral("Save File Error: Error Saving File - Error 2: No such file or directory")});
    QCOMPARE(view->GetDocument()->GetPathName(), copy);
}

void TestPagedView::saveAsOverAFileKeepsItsOwnerAndMode()
{
    if (::geteuid() != 0)
        QSKIP("needs root to give the file to another user");
    const QByteArray log = NumberedLog(2 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForWindow(view));
    // Someone else's private file, replaced on request: it stays theirs, and private.
    const QString target = m_pDir->filePath(QStringLiteral("private.log"));
    QVERIFY(TestSupport::WriteFile(target, "old\n"));
    const QByteArray file = QFile::encodeName(target);
    QCOMPARE(::chown(file.constData(), 65534, 4), 0);
    QCOMPARE(::chmod(file.constData(), 0600), 0);
    QSignalSpy finished(view, &COstrelView::SaveAsFinished);
    QVERIFY(view->SaveAs(target));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    struct stat after = {};
    QCOMPARE(::stat(file.constData(), &after), 0);
    QCOMPARE(after.st_uid, uid_t{65534});
    QCOMPARE(after.st_gid, gid_t{4});
    QCOMPARE(after.st_mode & 07777, mode_t{0600});
    QCOMPARE(TestSupport::ReadFile(target), log);
    QCOMPARE(QDir(m_pDir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("big.log"), QStringLiteral("private.log")}));
}

void TestPagedView::theSavedCopyIsShownAndWatchedInsteadOfTheFile()
{
    const QByteArray log = NumberedLog(3 * Megabyte);
    COstrelView* view = Open(log);
    QVERIFY(view && WaitForIndex(view));
    const QString original = view->GetDocument()->GetPathName();
    view->GoToLine(5000);
    QVERIFY(WaitForWindow(view));
    QSignalSpy finished(view, &COstrelView::SaveAsFinished);
    const QString copy = m_pDir->filePath(QStringLiteral("copy.log"));
    QVERIFY(view->SaveAs(copy));
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(finished.at(0).at(0).toBool());
    // The copy is read at the same line, and the original is no longer held.
    QVERIFY(view->GetPagedText());
    QCOMPARE(view->GetPagedText()->GetPath(), copy);
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetCaretLine(), 5000);
    QCOMPARE(DescriptorsOf(original), 0);

    // Filter output too big for the editor, saved: it is that file now, numbered as its lines.
    QByteArray kept;
    view->BeginFilterOutput();
    OutputBatch batch;
    const QList<QByteArray> lines = LinesOf(log);
    for (int number = 2; kept.size() < Megabyte + Megabyte / 4; number += 2) {
        const QByteArray line = lines.at(number - 1) + '\n';
        kept += line;
        batch.Append(number, std::string_view(line.constData(), static_cast<std::size_t>(line.size())), false);
    }
    view->AppendOutputLines(batch);
    view->EndFilterOutput();
    QVERIFY(view->IsPaged() && view->GetShowsFilteredText());
    QVERIFY(WaitForIndex(view));
    bool isContext = false;
    QCOMPARE(view->FileLineOfViewLine(0, isContext), 2);
    const QString output = m_pDir->filePath(QStringLiteral("copy-filtered.log"));
    QVERIFY(view->SaveAs(output));
    QTRY_COMPARE(finished.size(), 2);
    QVERIFY(finished.at(1).at(0).toBool());
    QCOMPARE(TestSupport::ReadFile(output), kept);
    QVERIFY(!view->GetShowsFilteredText());
    QVERIFY(view->GetPagedText());
    QCOMPARE(view->GetPagedText()->GetPath(), output);
    QVERIFY(WaitForIndex(view));
    QCOMPARE(view->FileLineOfViewLine(0, isContext), 1);
    QCOMPARE(view->GetGoToLineCount(), static_cast<std::int64_t>(kept.count('\n')) + 1); // and the empty last one
}

void TestPagedView::wrapShowsALongTextThroughASmallWindow()
{
    // Short enough for the editor, too long to wrap there at once.
    const QByteArray log = NumberedLog(3 * COstrelView::WrappedEditorLimit);
    const QList<QByteArray> lines = LinesOf(log);
    const auto count = static_cast<std::int64_t>(lines.size());
    COstrelView* view = Open(log);
    QVERIFY(view && !view->IsPaged());
    QTRY_VERIFY(!view->IsLoading());
    view->SetWordWrap(COstrelView::WrapToWindow);
    QCOMPARE(view->GetWordWrap(), int(COstrelView::WrapToWindow));
    QVERIFY(view->SendScintilla(QsciScintillaBase::SCI_GETWRAPMODE) != QsciScintillaBase::SC_WRAP_NONE);
    QVERIFY(view->IsPaged());
    QCOMPARE(view->GetPagedText()->GetWindowBytes(), CPagedText::WrappedWindowBytes);
    QVERIFY(WaitForIndex(view));
    QTRY_COMPARE(view->GetStatusNote(),
                 QStringLiteral("Read-only while wrapped: the text is too long to wrap at once"));
    // The ends and Go To land on their lines, never with more than the small window in the editor.
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(WaitForWindow(view));
    QTRY_COMPARE(view->GetCaretLine(), count);
    QVERIFY(view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) <= CPagedText::WrappedWindowBytes);
    view->GoToLine(count / 2);
    QVERIFY(WaitForWindow(view));
    QCOMPARE(view->GetCaretLine(), count / 2);
    QCOMPARE(ViewLineText(view, CaretViewLine(view)), lines.at(count / 2 - 1));
    // A reload keeps it so.
    QVERIFY(view->ReloadDocumentText());
    QVERIFY(view->IsPaged() && WaitForWindow(view));
    QCOMPARE(view->GetWordWrap(), int(COstrelView::WrapToWindow));

    // Unwrapped, the file is back in the editor, editable.
    view->SetWordWrap(COstrelView::WrapNone);
    QVERIFY(!view->IsPaged());
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(TestSupport::TextOf(view), log);
    QVERIFY(!view->isReadOnly());

    // Unsaved edits that long cannot go to the paged view: the text stays unwrapped and says why.
    QTest::keyClicks(view, QStringLiteral("edit "));
    QVERIFY(view->IsTextModified());
    view->SetWordWrap(COstrelView::WrapToWindow);
    QCOMPARE(view->GetWordWrap(), int(COstrelView::WrapNone));
    QVERIFY(!view->IsPaged());
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETWRAPMODE), long(QsciScintillaBase::SC_WRAP_NONE));
    QVERIFY(view->GetStatusNote().startsWith(QStringLiteral("Word Wrap is off")));

    // A short text wraps in the editor as ever.
    COstrelView* small = Open(NumberedLog(COstrelView::WrappedEditorLimit / 2), QStringLiteral("small.log"));
    QVERIFY(small);
    QTRY_VERIFY(!small->IsLoading());
    small->SetWordWrap(COstrelView::WrapToWindow);
    QVERIFY(!small->IsPaged());
    QCOMPARE(small->GetWordWrap(), int(COstrelView::WrapToWindow));
    small->SetTextUnmodified();
    view->SetTextUnmodified();
}

void TestPagedView::aFullWrappedWindowIsNoSignOfAShorterFile()
{
    const QByteArray log = NumberedLog(3 * COstrelView::WrappedEditorLimit);
    const QList<QByteArray> lines = LinesOf(log);
    const auto count = static_cast<std::int64_t>(lines.size());
    COstrelView* view = Open(log);
    QVERIFY(view);
    QTRY_VERIFY(!view->IsLoading());
    view->SetWordWrap(COstrelView::WrapToWindow);
    QVERIFY(view->IsPaged() && WaitForIndex(view));
    CPagedText* paged = view->GetPagedText();
    QVERIFY(CPagedText::WrappedWindowBytes < CPagedText::WindowBytes);
    // A window read in the middle of the file comes back as full as a wrapped window is: the file
    // did not get shorter, so the index has no reason to look at its end again.
    QList<bool> recheckedAfterRead;
    QObject::connect(paged, &CPagedText::WindowShown, view,
                     [&recheckedAfterRead, paged] { recheckedAfterRead.append(paged->IsRecheckingEnd()); });
    for (const std::int64_t line : {count / 2, count / 4, count - 10}) {
        view->GoToLine(line);
        QVERIFY(WaitForWindow(view));
        QCOMPARE(view->GetCaretLine(), line);
        QCOMPARE(ViewLineText(view, CaretViewLine(view)), lines.at(line - 1));
        QVERIFY(paged->GetWindowEnd() < static_cast<std::uint64_t>(log.size()) || line == count - 10);
    }
    QVERIFY(recheckedAfterRead.size() >= 3);
    QVERIFY(!recheckedAfterRead.contains(true));
    QVERIFY(!view->IsFileChangedOnDisk());
    QTRY_COMPARE(view->GetStatusNote(),
                 QStringLiteral("Read-only while wrapped: the text is too long to wrap at once"));
}

void TestPagedView::wrapNumbersLinesAsTheFileWithoutALoneReturn()
{
    // The editor ends a line at a carriage return alone; the file's index does not. Wrapped, the
    // text is numbered as the index numbers it, whether or not the editor's lines were taken.
    for (const bool loneReturns : {false, true}) {
        QByteArray log = NumberedLog(3 * COstrelView::WrappedEditorLimit);
        if (loneReturns)
            for (qsizetype at = 1000; at < log.size(); at += 7919)
                log[at] = '\r';
        const QList<QByteArray> lines = LinesOf(log);
        const auto count = static_cast<std::int64_t>(lines.size());
        COstrelView* view = Open(log, loneReturns ? QStringLiteral("returns.log") : QStringLiteral("plain.log"));
        QVERIFY(view);
        QTRY_VERIFY(!view->IsLoading());
        view->SetWordWrap(COstrelView::WrapToWindow);
        QVERIFY(view->IsPaged() && WaitForIndex(view));
        QCOMPARE(view->GetGoToLineCount(), count);
        for (const std::int64_t line : {count / 3, count - 2}) {
            view->GoToLine(line);
            QVERIFY(WaitForWindow(view));
            QCOMPARE(view->GetCaretLine(), line);
            QVERIFY(TestSupport::TextOf(view).contains(QByteArray(lines.at(line - 1)).append('\n')));
        }
        m_pWorkspace->CloseDocument(view->GetDocument());
    }
}

void TestPagedView::aSecondOpenTakesTheSavedIndex()
{
    const QByteArray log = NumberedLog(3 * Megabyte);
    const QList<QByteArray> lines = LinesOf(log);
    const auto count = static_cast<std::int64_t>(lines.size());
    for (const bool reused : {false, true}) {
        // The file is written once: its second open finds it as it was.
        COstrelView* view =
            reused ? m_pWorkspace->OpenDocumentFile(m_pDir->filePath(QStringLiteral("big.log")))->GetView() : Open(log);
        QVERIFY(view && view->IsPaged());
        QVERIFY(WaitForIndex(view));
        QCOMPARE(view->GetPagedText()->GetIndex().GetReusedBytes(), reused ? std::uint64_t(log.size()) : 0u);
        QCOMPARE(view->GetGoToLineCount(), lines.size());
        for (const std::int64_t line : {count / 2 + 1, count - 1}) {
            view->GoToLine(line);
            QVERIFY(WaitForWindow(view));
            QCOMPARE(view->GetCaretLine(), line);
            QCOMPARE(ViewLineText(view, CaretViewLine(view)), lines.at(line - 1));
        }
        m_pWorkspace->CloseDocument(view->GetDocument());
    }

    // Below the threshold nothing is kept, even where the view pages the file to wrap it.
    const QByteArray wrapped = NumberedLog(3 * COstrelView::WrappedEditorLimit);
    m_pWorkspace->SetPagedViewThreshold(wrapped.size() + Megabyte);
    for (int round = 0; round < 2; ++round) {
        COstrelView* view =
            round ? m_pWorkspace->OpenDocumentFile(m_pDir->filePath(QStringLiteral("wrapped.log")))->GetView()
                  : Open(wrapped, QStringLiteral("wrapped.log"));
        QVERIFY(view && !view->IsPaged());
        QTRY_VERIFY(!view->IsLoading());
        view->SetWordWrap(COstrelView::WrapToWindow);
        QVERIFY(view->IsPaged());
        QVERIFY(WaitForIndex(view));
        QCOMPARE(view->GetPagedText()->GetIndex().GetReusedBytes(), 0u);
        m_pWorkspace->CloseDocument(view->GetDocument());
    }
}

OSTREL_QT_TEST_MAIN(TestPagedView, QApplication)
#include "TestPagedView.moc"
