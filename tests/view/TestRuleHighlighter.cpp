// SPDX-License-Identifier: GPL-3.0-or-later
// Highlight rules colour what a view shows on screen, whatever it shows: the whole file, filter
// output or a paged window; lines off screen are left alone.

#include "filtering/FilterSettings.h"
#include "support/QtTestSupport.h"
#include "view/CPagedText.h"
#include "view/CRuleHighlighter.h"

using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t Megabyte = 1024 * 1024;

// Lines that say their number; every tenth holds ERROR twice and two ids.
QByteArray NumberedLog(std::int64_t bytes)
{
    QByteArray log;
    for (int line = 1; log.size() < bytes; ++line) {
        log += "line " + QByteArray::number(line);
        log += line % 10 == 0 ? " ERROR id=12 id=345 ERROR\n" : " info\n";
    }
    return log;
}

long ValueAt(COstrelView* view, int indicator, long position)
{
    return view->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT, static_cast<unsigned long>(indicator),
                               position);
}

long BackAt(COstrelView* view, long position)
{
    return ValueAt(view, CRuleHighlighter::BackIndicator, position);
}

long ForeAt(COstrelView* view, long position)
{
    return ValueAt(view, CRuleHighlighter::ForeIndicator, position);
}

long LineStart(COstrelView* view, std::int64_t line)
{
    return view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
}

std::int64_t TopLine(COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
}

std::int64_t LinesOnScreen(COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
}

// The first editor line at or after from whose text holds what.
std::int64_t LineWith(COstrelView* view, const QByteArray& what, std::int64_t from)
{
    const QByteArray text = TestSupport::TextOf(view);
    const qsizetype at = text.indexOf(what, LineStart(view, from));
    return at < 0 ? -1 : view->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(at));
}

const HighlightRule ErrorRule{"ERROR", false, true, 0xFFFFFF, 0xC62828};
const HighlightRule IdRule{"id=\\z+", true, false, 0x000000, 0x8BE28B};

} // namespace

class TestRuleHighlighter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void wholeFileMarksEveryOccurrenceOnScreenOnly();
    void expressionsMarkEveryMatchAndTheFirstRuleWins();
    void filterOutputIsMarkedOverTheFiltersMarks();
    void pagedWindowIsMarkedOnScreenOnly();
    void faultyOrTooComplexExpressionsMarkNothing();
    void noRulesLeaveTheViewAsItWas();

private:
    COstrelView* Open(const QByteArray& bytes, const QString& name = u"app.log"_s);
    // Checks the rule's colours lie on exactly [start, start + length) of the view.
    static bool MarkedExactly(COstrelView* view, long start, long length, const HighlightRule& rule);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestSupport::TestWorkspace> m_pWorkspace;
};

void TestRuleHighlighter::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestSupport::TestWorkspace>();
}

void TestRuleHighlighter::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

COstrelView* TestRuleHighlighter::Open(const QByteArray& bytes, const QString& name)
{
    const QString path = m_pDir->filePath(name);
    if (!TestSupport::WriteFile(path, bytes))
        return nullptr;
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    if (!document)
        return nullptr;
    COstrelView* view = document->GetView();
    view->resize(800, 400);
    view->show();
    if (!QTest::qWaitForWindowExposed(view))
        return nullptr;
    return QTest::qWaitFor([view] { return !view->IsLoading(); }, 20000) ? view : nullptr;
}

bool TestRuleHighlighter::MarkedExactly(COstrelView* view, long start, long length, const HighlightRule& rule)
{
    const long fore = CRuleHighlighter::IndicatorValue(rule.Fore);
    const long back = CRuleHighlighter::IndicatorValue(rule.Back);
    for (long at = start; at < start + length; ++at)
        if (ForeAt(view, at) != fore || BackAt(view, at) != back)
            return false;
    return (start == 0 || BackAt(view, start - 1) != back) && BackAt(view, start + length) != back;
}

void TestRuleHighlighter::wholeFileMarksEveryOccurrenceOnScreenOnly()
{
    COstrelView* view = Open(NumberedLog(200'000));
    QVERIFY(view);
    m_pWorkspace->SetHighlightRules({ErrorRule});
    // "line 10 ERROR id=12 id=345 ERROR": both occurrences, nothing between them.
    const long start = LineStart(view, 9);
    QVERIFY(TestSupport::TextOf(view).mid(start, 33) == "line 10 ERROR id=12 id=345 ERROR\n");
    QTRY_VERIFY(MarkedExactly(view, start + 8, 5, ErrorRule));
    QVERIFY(MarkedExactly(view, start + 27, 5, ErrorRule));
    QCOMPARE(BackAt(view, start + 14), 0L);
    QCOMPARE(BackAt(view, start), 0L);

    // A line far below the screen is not looked at until it is shown.
    const std::int64_t below = LineWith(view, "ERROR", TopLine(view) + 4 * LinesOnScreen(view));
    QVERIFY(below > 0);
    const long belowStart = LineStart(view, below);
    const long errorBelow = belowStart + TestSupport::TextOf(view).mid(belowStart).indexOf("ERROR");
    QCOMPARE(BackAt(view, errorBelow), 0L);
    const std::int64_t examined = view->GetRuleHighlighter().GetLinesExamined();
    QVERIFY2(examined <= LinesOnScreen(view) + 2, qPrintable(QString::number(examined)));
    view->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(below - 2));
    QTRY_VERIFY(MarkedExactly(view, errorBelow, 5, ErrorRule));

    // New rules re-colour the screen at once; the old ones' marks go.
    m_pWorkspace->SetHighlightRules({IdRule});
    QTRY_VERIFY(MarkedExactly(view, errorBelow + 6, 5, IdRule)); // "id=12"
    QCOMPARE(BackAt(view, errorBelow), 0L);
}

void TestRuleHighlighter::expressionsMarkEveryMatchAndTheFirstRuleWins()
{
    COstrelView* view = Open("a id=7 b id=88 c\nline id=9\nid=1 id=2\n");
    QVERIFY(view);
    const HighlightRule anchored{"^id=\\d", true, false, 0xFFFFFF, 0x1E5BC6};
    const HighlightRule digits{"\\d", true, false, 0x000000, 0xFFAA44};
    m_pWorkspace->SetHighlightRules({IdRule, anchored});
    QTRY_VERIFY(MarkedExactly(view, 2, 4, IdRule));
    QVERIFY(MarkedExactly(view, 9, 5, IdRule));
    QVERIFY(MarkedExactly(view, 22, 4, IdRule));
    // Both rules match "id=1" at the start of the third line: the first rule's colours show;
    // '^' ties the second to the line's start, so "id=2" after it takes the first rule only.
    const long third = LineStart(view, 2);
    QVERIFY(MarkedExactly(view, third, 4, IdRule));
    m_pWorkspace->SetHighlightRules({anchored, IdRule});
    QTRY_VERIFY(MarkedExactly(view, third, 4, anchored));
    QVERIFY(MarkedExactly(view, third + 5, 4, IdRule));
    QVERIFY(MarkedExactly(view, 2, 4, IdRule)); // not at the line's start: not the anchored rule's
    // One digit a match: every digit of a line, one after another.
    m_pWorkspace->SetHighlightRules({digits});
    QTRY_VERIFY(MarkedExactly(view, 5, 1, digits));
    QVERIFY(MarkedExactly(view, 12, 2, digits));
    QCOMPARE(BackAt(view, 11), 0L);
}

void TestRuleHighlighter::filterOutputIsMarkedOverTheFiltersMarks()
{
    COstrelView* view = Open(NumberedLog(50'000));
    QVERIFY(view);
    m_pWorkspace->SetHighlightRules({IdRule});
    FilterSettings& settings = view->GetDocument()->GetFilterSettings();
    settings.AddFilter(u"ERROR"_s.toStdU16String(), 0);
    settings.SetCaseSensitive(0, true);
    QVERIFY(view->GetDocument()->ApplyOwnFilters(false));
    QTRY_VERIFY(!view->GetDocument()->IsFiltering());
    QVERIFY(view->GetShowsFilteredText());
    QVERIFY(TestSupport::TextOf(view).startsWith("line 10 ERROR id=12 id=345 ERROR\nline 20 "));
    // The filter's match keeps its mark, the rule's text has its colours.
    QTRY_VERIFY(MarkedExactly(view, 14, 5, IdRule));
    QVERIFY(MarkedExactly(view, 20, 6, IdRule));
    QVERIFY(view->SendScintilla(QsciScintillaBase::SCI_INDICATORALLONFOR, 8UL) != 0);
    QCOMPARE(BackAt(view, 8), 0L);
    // Off screen, nothing.
    const std::int64_t below = TopLine(view) + 3 * LinesOnScreen(view);
    QCOMPARE(BackAt(view, LineStart(view, below) + 14), 0L);
}

void TestRuleHighlighter::pagedWindowIsMarkedOnScreenOnly()
{
    m_pWorkspace->SetPagedViewThreshold(Megabyte);
    m_pWorkspace->SetHighlightRules({ErrorRule});
    COstrelView* view = Open(NumberedLog(3 * Megabyte), u"big.log"_s);
    QVERIFY(view && view->IsPaged());
    QVERIFY(QTest::qWaitFor([view] { return view->GetPagedText() && !view->GetPagedText()->IsMoving(); }, 10000));
    const long start = LineStart(view, 9);
    QTRY_VERIFY(MarkedExactly(view, start + 8, 5, ErrorRule));
    // In the window but below the screen: unmarked.
    const std::int64_t below = LineWith(view, "ERROR", TopLine(view) + 3 * LinesOnScreen(view));
    QVERIFY(below > 0);
    const long belowStart = LineStart(view, below);
    QCOMPARE(BackAt(view, belowStart + TestSupport::TextOf(view).mid(belowStart).indexOf("ERROR")), 0L);
    // Far into the file the window moves; what comes on screen is marked.
    view->GoToLine(60'000);
    QVERIFY(QTest::qWaitFor([view] { return !view->GetPagedText()->IsMoving(); }, 10000));
    const std::int64_t shown = LineWith(view, "ERROR", TopLine(view));
    QVERIFY(shown >= TopLine(view) && shown < TopLine(view) + LinesOnScreen(view));
    const long shownStart = LineStart(view, shown);
    const long error = shownStart + TestSupport::TextOf(view).mid(shownStart).indexOf("ERROR");
    QTRY_VERIFY(MarkedExactly(view, error, 5, ErrorRule));
}

void TestRuleHighlighter::faultyOrTooComplexExpressionsMarkNothing()
{
    const QByteArray hard = "x" + QByteArray(30, 'y');
    COstrelView* view = Open("keep " + hard + "\n" + hard + " keep\nxyx\n");
    QVERIFY(view);
    const HighlightRule faulty{"(unclosed", true, false, 0x000000, 0xFFE066};
    const HighlightRule complex{"^{x}(.+)+\\0\\n", true, false, 0xFFFFFF, 0x7B3FA0};
    const HighlightRule keep{"keep", false, false, 0x000000, 0x7FDBE8};
    m_pWorkspace->SetHighlightRules({faulty, complex, keep});
    QTRY_VERIFY(MarkedExactly(view, 0, 4, keep));
    const long second = LineStart(view, 1);
    QVERIFY(MarkedExactly(view, second + hard.size() + 1, 4, keep));
    // The expression is too complex for the second line, which it leaves unmarked, and matches
    // the third ("xyx" and its line end, shown without it).
    QVERIFY(view->GetRuleHighlighter().GetLinesTooComplex() >= 1);
    QCOMPARE(BackAt(view, second), 0L);
    const long third = LineStart(view, 2);
    QVERIFY(MarkedExactly(view, third, 3, complex));
}

void TestRuleHighlighter::noRulesLeaveTheViewAsItWas()
{
    COstrelView* view = Open(NumberedLog(20'000));
    QVERIFY(view);
    view->RefreshMarks();
    QCOMPARE(view->GetRuleHighlighter().GetLinesExamined(), 0);
    // Rules taken away again take their marks with them.
    m_pWorkspace->SetHighlightRules({ErrorRule});
    const long start = LineStart(view, 9);
    QTRY_VERIFY(MarkedExactly(view, start + 8, 5, ErrorRule));
    m_pWorkspace->SetHighlightRules({});
    QTRY_COMPARE(BackAt(view, start + 8), 0L);
    QCOMPARE(ForeAt(view, start + 8), 0L);
}

OSTREL_QT_TEST_MAIN(TestRuleHighlighter, QApplication)
#include "TestRuleHighlighter.moc"
