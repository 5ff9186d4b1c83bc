// SPDX-License-Identifier: GPL-3.0-or-later
// The whole file beside a view: the file line of the caret's output line brought in and marked,
// in a loaded and in a paged file; the user's moves in the pane leave the output alone; the pane
// stays right through Ctrl+T, a new run, a reload, a changed file and Follow.

#include <QSignalSpy>

#include "support/QtTestSupport.h"
#include "view/CPagedText.h"
#include "view/CPaneWorkspace.h"
#include "view/CWholeFilePane.h"

using namespace Qt::StringLiterals;
using TestSupport::TestWorkspace;

namespace {

constexpr std::int64_t Megabyte = 1024 * 1024;

// Lines that say their number; every hundredth, from line 42 on, says MARK.
QByteArray MarkedLog(std::int64_t bytes)
{
    QByteArray log;
    log.reserve(bytes + 200);
    for (int line = 1; log.size() < bytes; ++line) {
        log += "line ";
        log += QByteArray::number(line);
        if (line % 100 == 42)
            log += " MARK";
        log += ' ';
        log += QByteArray(line % 29, 'x');
        log += '\n';
    }
    return log;
}

// The file line of output line k when the filter keeps the MARK lines.
std::int64_t MarkLine(std::int64_t k)
{
    return 42 + 100 * k;
}

QByteArray LineText(COstrelView* view, std::int64_t line)
{
    const long start = view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = view->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    return TestSupport::TextOf(view).mid(start, end - start);
}

std::int64_t CaretLine(COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                               static_cast<unsigned long>(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)));
}

long FirstVisible(COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
}

void PutCaretOnLine(COstrelView* view, std::int64_t line)
{
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, static_cast<unsigned long>(line));
    // The view tells of its caret when it paints: paint now, as a window on screen would soon.
    view->viewport()->repaint();
}

// The pane shows file line `fileLine` marked and on screen.
bool ShowsMarked(const CWholeFilePane& pane, std::int64_t fileLine)
{
    COstrelView* view = pane.GetView();
    const std::int64_t marked = pane.GetMarkedViewLine();
    if (pane.GetMarkedFileLine() != fileLine || marked < 0)
        return false;
    const QByteArray expected = "line " + QByteArray::number(fileLine) + ' ';
    const auto [first, last] = view->GetLinesOnScreen();
    return LineText(view, marked).startsWith(expected) && first <= marked && marked <= last;
}

} // namespace

class TestWholeFilePane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void caretOnAnOutputLineMarksItsFileLine();
    void movesInThePaneLeaveTheOutputAlone();
    void aPagedFileIsPagedInThePaneToo();
    void aFileTheViewHoldsWholeIsPagedInThePaneFromItsLimit();
    void toggleRunAndReloadKeepThePaneRight();
    void followShowsAppendedLinesInThePane();
    void theViewMayGoBeforeThePane();
    void loneCarriageReturnsDoNotMoveTheMark();

private:
    COstrelDoc* Open(const QByteArray& bytes);
    // The pane beside the document's view, both shown, the file read.
    std::unique_ptr<CWholeFilePane> PaneBeside(COstrelDoc* document);
    bool Filter(COstrelDoc* document, const QString& literal);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestWorkspace> m_pWorkspace;
    QString m_strPath;
};

void TestWholeFilePane::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestWorkspace>();
    m_pWorkspace->SetPagedViewThreshold(Megabyte);
    m_strPath = m_pDir->filePath(u"app.log"_s);
}

void TestWholeFilePane::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelDoc* TestWholeFilePane::Open(const QByteArray& bytes)
{
    if (!TestSupport::WriteFile(m_strPath, bytes))
        return nullptr;
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(m_strPath);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(700, 300);
    view->show();
    return QTest::qWaitForWindowExposed(view) ? document : nullptr;
}

std::unique_ptr<CWholeFilePane> TestWholeFilePane::PaneBeside(COstrelDoc* document)
{
    auto pane = std::make_unique<CWholeFilePane>(*document->GetView(), m_pWorkspace.get());
    // Below the view, as in the window: a view hidden under the pane would not paint, and its
    // caret would not tell where it went.
    const QRect area = document->GetView()->frameGeometry();
    pane->setGeometry(area.left(), area.bottom() + 40, 700, 300);
    pane->show();
    if (!QTest::qWaitForWindowExposed(pane.get()))
        return nullptr;
    COstrelView* view = pane->GetView();
    if (!QTest::qWaitFor([view] { return !view->IsLoading() && view->GetEditor().GetLength() > 0; }, 10000))
        return nullptr;
    return pane;
}

bool TestWholeFilePane::Filter(COstrelDoc* document, const QString& literal)
{
    FilterSettings settings;
    settings.AddFilter(literal.toStdU16String(), 0);
    settings.SetCaseSensitive(0, true);
    return document->ApplyFilters(settings) && QTest::qWaitFor([document] { return !document->IsFiltering(); });
}

void TestWholeFilePane::caretOnAnOutputLineMarksItsFileLine()
{
    COstrelDoc* document = Open(MarkedLog(200 * 1024));
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    QVERIFY(!pane->GetView()->IsPaged());
    QVERIFY(pane->GetView()->isReadOnly());
    QVERIFY(pane->GetView()->GetLineNumbersShown());
    // The whole file above: the pane goes its own way.
    PutCaretOnLine(view, 500);
    QCOMPARE(pane->GetMarkedFileLine(), 0);
    QCOMPARE(FirstVisible(pane->GetView()), 0);

    QVERIFY(Filter(document, u"MARK"_s));
    QVERIFY(view->GetShowsFilteredText());
    const std::int64_t outputLines = static_cast<std::int64_t>(view->GetOutputLineNumbers().Size());
    QVERIFY(outputLines > 20);
    for (const std::int64_t k : {std::int64_t{7}, std::int64_t{0}, outputLines - 1, std::int64_t{12}}) {
        PutCaretOnLine(view, k);
        QTRY_VERIFY2(ShowsMarked(*pane, MarkLine(k)), qPrintable(u"output line %1"_s.arg(k)));
        QCOMPARE(CaretLine(pane->GetView()), MarkLine(k) - 1);
    }
    // One mark only: the line before carries none now.
    QCOMPARE(pane->GetView()->GetEditor().GetMarkers(MarkLine(7) - 1) & (1 << CWholeFilePane::Marker), 0);
    // The empty line after the output has no file line: the pane stays.
    QSignalSpy moved(view, &COstrelView::CaretMoved);
    PutCaretOnLine(view, outputLines);
    QTRY_VERIFY(moved.size() > 0);
    QVERIFY(ShowsMarked(*pane, MarkLine(12)));
}

void TestWholeFilePane::movesInThePaneLeaveTheOutputAlone()
{
    COstrelDoc* document = Open(MarkedLog(200 * 1024));
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    QVERIFY(Filter(document, u"MARK"_s));
    PutCaretOnLine(view, 30);
    QTRY_VERIFY(ShowsMarked(*pane, MarkLine(30)));
    const long caret = view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const long top = FirstVisible(view);

    COstrelView* lower = pane->GetView();
    QTest::mouseClick(lower->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 20));
    QTRY_VERIFY(CaretLine(lower) != MarkLine(30) - 1);
    lower->SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, 400L);
    QTest::keyClick(lower, Qt::Key_PageDown);
    QTest::keyClicks(lower, u"typed"_s);
    QTRY_VERIFY(FirstVisible(lower) > MarkLine(30));
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), caret);
    QCOMPARE(FirstVisible(view), top);
    // Nothing typed reaches the file's text, and the mark stays on its line.
    QVERIFY(!TestSupport::TextOf(lower).contains("typed"));
    QVERIFY(!lower->IsTextModified());
    QCOMPARE(pane->GetMarkedViewLine(), MarkLine(30) - 1);
    // Scrolling the output with its caret on the same line does not pull the pane back.
    QSignalSpy moved(view, &COstrelView::CaretMoved);
    view->SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, 3L);
    QTRY_VERIFY(moved.size() > 0);
    QVERIFY(FirstVisible(lower) > MarkLine(30));
    // A caret move in the output does.
    PutCaretOnLine(view, 31);
    QTRY_VERIFY(ShowsMarked(*pane, MarkLine(31)));
}

void TestWholeFilePane::aPagedFileIsPagedInThePaneToo()
{
    const QByteArray log = MarkedLog(6 * Megabyte);
    COstrelDoc* document = Open(log);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QVERIFY(view->IsPaged());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    COstrelView* lower = pane->GetView();
    QVERIFY(lower->IsPaged());
    QVERIFY(Filter(document, u"MARK"_s));
    const std::int64_t outputLines = static_cast<std::int64_t>(view->GetOutputLineNumbers().Size());
    QVERIFY(outputLines > 1000);
    // Far into the file, back to its start, and near its end: each through a window of its own.
    for (const std::int64_t k : {outputLines / 2, std::int64_t{3}, outputLines - 2}) {
        PutCaretOnLine(view, k);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsMarked(*pane, MarkLine(k)), 20000);
        QVERIFY(lower->GetPagedText() && !lower->GetPagedText()->IsMoving());
        QVERIFY(lower->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) <= CPagedText::WindowBytes);
    }
    // A click in the pane, then its window moved far by the user: the output stays.
    const long caret = view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    QTest::mouseClick(lower->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 20));
    lower->GetPagedText()->ShowStart();
    QTRY_VERIFY(!lower->GetPagedText()->IsMoving() && lower->GetCaretLine() == 1);
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), caret);
    QCOMPARE(pane->GetMarkedViewLine(), -1); // the marked line is not in this window
    PutCaretOnLine(view, 5);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsMarked(*pane, MarkLine(5)), 20000);
}

void TestWholeFilePane::aFileTheViewHoldsWholeIsPagedInThePaneFromItsLimit()
{
    // The window never pages; the pane does from its own limit, so the file is held once.
    m_pWorkspace->SetPagedViewThreshold(0);
    COstrelDoc* document = Open(MarkedLog(CPaneWorkspace::PagedPaneThreshold + Megabyte));
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoading(), 20000);
    QVERIFY(!view->IsPaged());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    QVERIFY(pane->GetView()->IsPaged());
    QVERIFY(Filter(document, u"MARK"_s));
    const std::int64_t k = static_cast<std::int64_t>(view->GetOutputLineNumbers().Size()) - 10;
    PutCaretOnLine(view, k);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsMarked(*pane, MarkLine(k)), 20000);

    // Below the pane's limit the pane holds the file as the view does.
    m_pWorkspace->SetPagedViewThreshold(Megabyte);
    auto small = std::make_unique<CPaneWorkspace>(*m_pWorkspace);
    QCOMPARE(small->GetPagedViewThreshold(), Megabyte);
}

void TestWholeFilePane::toggleRunAndReloadKeepThePaneRight()
{
    COstrelDoc* document = Open(MarkedLog(100 * 1024));
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    QVERIFY(Filter(document, u"MARK"_s));
    PutCaretOnLine(view, 4);
    QTRY_VERIFY(ShowsMarked(*pane, MarkLine(4)));
    const std::uint64_t paneText = pane->GetView()->GetTextGeneration();

    // Ctrl+T to the whole file and back: the file is as it was, the pane is not read again.
    QCOMPARE(view->ToggleFilterOutput(), COstrelView::ToggleResult::Done);
    QVERIFY(!view->GetShowsFilteredText());
    QCOMPARE(view->GetCaretLine(), MarkLine(4));
    QVERIFY(ShowsMarked(*pane, MarkLine(4)));
    QCOMPARE(view->ToggleFilterOutput(), COstrelView::ToggleResult::Done);
    QVERIFY(view->GetShowsFilteredText());
    PutCaretOnLine(view, 6);
    QTRY_VERIFY(ShowsMarked(*pane, MarkLine(6)));
    QCOMPARE(pane->GetView()->GetTextGeneration(), paneText);

    // The file grows; a new run shows it, and so does the pane, read anew.
    const QByteArray added = "line 99999 MARK appended\n";
    QVERIFY(TestSupport::AppendFile(m_strPath, added));
    QVERIFY(Filter(document, u"MARK"_s));
    const std::int64_t last = static_cast<std::int64_t>(view->GetOutputLineNumbers().Size()) - 1;
    QTRY_VERIFY(TestSupport::TextOf(pane->GetView()).endsWith(added));
    PutCaretOnLine(view, last);
    const std::int64_t lastFileLine = view->GetOutputLineNumbers().ToVector().back();
    QTRY_COMPARE(pane->GetMarkedFileLine(), lastFileLine);
    QTRY_COMPARE(LineText(pane->GetView(), pane->GetMarkedViewLine()), added.chopped(1));

    // A reload of the same file leaves the pane's text and mark as they are.
    const std::uint64_t before = pane->GetView()->GetTextGeneration();
    QVERIFY(view->ReloadDocumentText());
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(pane->GetView()->GetTextGeneration(), before);
    QVERIFY(pane->GetMarkedViewLine() >= 0);
}

void TestWholeFilePane::followShowsAppendedLinesInThePane()
{
    COstrelDoc* document = Open(MarkedLog(20 * 1024));
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    document->SetFollow(true, false);
    QVERIFY(pane->GetView()->GetFollow());
    QVERIFY(TestSupport::AppendFile(m_strPath, "line appended while followed\n"));
    QTRY_VERIFY_WITH_TIMEOUT(TestSupport::TextOf(view).endsWith("line appended while followed\n"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(TestSupport::TextOf(pane->GetView()).endsWith("line appended while followed\n"), 10000);
    document->SetFollow(false, false);
    QVERIFY(!pane->GetView()->GetFollow());
}

void TestWholeFilePane::theViewMayGoBeforeThePane()
{
    COstrelDoc* document = Open(MarkedLog(200 * 1024));
    QVERIFY(document);
    QTRY_VERIFY(!document->GetView()->IsLoading());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    QVERIFY(Filter(document, u"MARK"_s));
    PutCaretOnLine(document->GetView(), 2);
    QTRY_VERIFY(ShowsMarked(*pane, MarkLine(2)));
    m_pWorkspace->CloseDocument(document);
    // The pane keeps what it shows; scrolling it after its view went is safe.
    QSignalSpy moved(pane->GetView(), &COstrelView::CaretMoved);
    pane->GetView()->SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, 10L);
    QTRY_VERIFY(moved.size() > 0);
    QCOMPARE(pane->GetMarkedFileLine(), MarkLine(2));
    QVERIFY(TestSupport::TextOf(pane->GetView()).startsWith("line 1 x\n"));
}

void TestWholeFilePane::loneCarriageReturnsDoNotMoveTheMark()
{
    // Every tenth line holds a carriage return of its own, which breaks the editor's line but
    // not the file's.
    QByteArray log = MarkedLog(200 * 1024);
    for (qsizetype at = 0, line = 1; (at = log.indexOf('\n', at)) >= 0; ++at, ++line)
        if (line % 10 == 3)
            log.insert(at++ - 1, '\r');
    COstrelDoc* document = Open(log);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    std::unique_ptr<CWholeFilePane> pane = PaneBeside(document);
    QVERIFY(pane);
    QVERIFY(Filter(document, u"MARK"_s));
    for (const std::int64_t k : {std::int64_t{0}, std::int64_t{9}, std::int64_t{25}}) {
        PutCaretOnLine(view, k);
        QTRY_VERIFY2(ShowsMarked(*pane, MarkLine(k)), qPrintable(u"output line %1"_s.arg(k)));
        // The editor counts a line more for each carriage return above.
        QCOMPARE(pane->GetMarkedViewLine(), MarkLine(k) - 1 + (MarkLine(k) + 6) / 10);
    }
}

OSTREL_QT_TEST_MAIN(TestWholeFilePane, QApplication)
#include "TestWholeFilePane.moc"
