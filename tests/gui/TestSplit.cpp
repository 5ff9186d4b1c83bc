// SPDX-License-Identifier: GPL-3.0-or-later
// View > Split in the main window: the whole file beside every tab's view, below it or at its
// right, switched off and on again, with the divider and the choice kept from one start to the next;
// the view's bookmarks and the highlight rules drawn in the pane as soon as they change.

#include <QMenu>
#include <QSplitter>

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/CRuleHighlighter.h"
#include "view/CViewBookmarks.h"
#include "view/CWholeFilePane.h"

using namespace Qt::StringLiterals;

namespace {

// Drags the splitter's divider by `by` pixels, as the mouse does.
void DragDivider(QSplitter* splitter, int by)
{
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint centre = handle->rect().center();
    const QPoint to = splitter->orientation() == Qt::Vertical ? centre + QPoint(0, by) : centre + QPoint(by, 0);
    TestSupport::SendMouse(handle, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    TestSupport::SendMouse(handle, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    TestSupport::SendMouse(handle, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace

class TestSplit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void viewMenuOffersTheSplit();
    void splitShowsTheFileInEveryTabAndGoesAway();
    void dividerAndOrientationComeBackAtNextStart();
    void thePaneDrawsTheViewsBookmarksAndNewHighlightsAtOnce();

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestSplit::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
}

void TestSplit::viewMenuOffersTheSplit()
{
    CMainFrame frame;
    QStringList items;
    for (QAction* action : frame.findChild<QMenu*>(u"viewMenu"_s)->actions())
        items.append(action->text());
    QVERIFY2(items.contains(u"S&plit"_s) && items.contains(u"Split Side by Si&de"_s), qPrintable(items.join(u' ')));
    QAction* split = frame.GetCommand(CommandId::ViewSplit);
    QVERIFY(split->isCheckable() && !split->isChecked());
    QVERIFY(frame.GetCommand(CommandId::ViewSplitSideBySide)->isCheckable());
    QCOMPARE(split->shortcut(), QKeySequence(u"Ctrl+Shift+S"_s));
    for (QAction* command : frame.GetMenuCommands())
        if (command != split)
            QVERIFY2(!command->shortcuts().contains(split->shortcut()), qPrintable(command->text()));
}

void TestSplit::splitShowsTheFileInEveryTabAndGoesAway()
{
    CMainFrame frame;
    frame.resize(900, 700);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QString first = m_pDir->filePath(u"a.log"_s);
    const QString second = m_pDir->filePath(u"b.log"_s);
    QVERIFY(TestSupport::WriteFile(first, "INFO a\nERROR b\nINFO c\n"));
    QVERIFY(TestSupport::WriteFile(second, "b one\nb two\n"));
    COstrelDoc* a = frame.OpenDocumentFile(first);
    QVERIFY(a);
    CChildFrame* frameA = frame.GetActiveChildFrame();
    QVERIFY(frameA && !frameA->GetWholeFilePane());
    QTRY_VERIFY(!a->GetView()->IsLoading());

    frame.GetCommand(CommandId::ViewSplit)->trigger();
    QVERIFY(frame.GetCommand(CommandId::ViewSplit)->isChecked());
    CWholeFilePane* pane = frameA->GetWholeFilePane();
    QVERIFY(pane);
    QCOMPARE(frameA->GetSplitter()->orientation(), Qt::Vertical);
    QTRY_COMPARE(TestSupport::TextOf(pane->GetView()), QByteArray("INFO a\nERROR b\nINFO c\n"));
    // The tab is still named by its view.
    a->GetView()->SetChildFrameTitle(u"a.log"_s, true);
    QCOMPARE(frameA->windowTitle(), u"a.log*"_s);
    a->GetView()->SetChildFrameTitle(u"a.log"_s, false);
    QCOMPARE(frame.windowTitle(), u"a.log - Ostrel"_s);

    // A tab opened while split is split too.
    COstrelDoc* b = frame.OpenDocumentFile(second);
    CChildFrame* frameB = frame.GetActiveChildFrame();
    QVERIFY(b && frameB != frameA && frameB->GetWholeFilePane());
    QTRY_COMPARE(TestSupport::TextOf(frameB->GetWholeFilePane()->GetView()), QByteArray("b one\nb two\n"));

    frame.GetCommand(CommandId::ViewSplitSideBySide)->trigger();
    QCOMPARE(frameA->GetSplitter()->orientation(), Qt::Horizontal);
    QCOMPARE(frameB->GetSplitter()->orientation(), Qt::Horizontal);
    QVERIFY(frame.GetCommand(CommandId::ViewSplit)->isChecked());

    // Off: the view is the tab's own again; on again, below, and the tab still follows its view.
    frame.GetCommand(CommandId::ViewSplit)->trigger();
    QVERIFY(!frame.GetCommand(CommandId::ViewSplit)->isChecked());
    QVERIFY(!frame.GetCommand(CommandId::ViewSplitSideBySide)->isChecked());
    QVERIFY(!frameA->GetWholeFilePane() && !frameB->GetWholeFilePane() && !frameA->GetSplitter());
    QCOMPARE(a->GetView()->parentWidget(), frameA);
    QVERIFY(a->GetView()->isVisibleTo(frameA));
    // Side by Side splits the window again; taken back, the file is below.
    frame.GetCommand(CommandId::ViewSplitSideBySide)->trigger();
    QVERIFY(frame.GetCommand(CommandId::ViewSplit)->isChecked());
    QVERIFY(frameB->GetWholeFilePane());
    QCOMPARE(frameB->GetSplitter()->orientation(), Qt::Horizontal);
    frame.GetCommand(CommandId::ViewSplitSideBySide)->trigger();
    QVERIFY(frame.GetCommand(CommandId::ViewSplit)->isChecked());
    QCOMPARE(frameB->GetSplitter()->orientation(), Qt::Vertical);
    QVERIFY(b->GetView()->isVisible());
    // Closing a split tab leaves the other as it was.
    frame.GetCommand(CommandId::FileClose)->trigger();
    QTRY_COMPARE(frame.GetActiveChildFrame(), frameA);
    QTRY_VERIFY(frameA->GetWholeFilePane() && frameA->GetWholeFilePane()->isVisible());
}

void TestSplit::dividerAndOrientationComeBackAtNextStart()
{
    const QString path = m_pDir->filePath(u"a.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "one\ntwo\nthree\n"));
    double moved = 0;
    {
        CMainFrame frame;
        frame.resize(900, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(frame.OpenDocumentFile(path));
        frame.GetCommand(CommandId::ViewSplitSideBySide)->trigger();
        CChildFrame* child = frame.GetActiveChildFrame();
        QSplitter* splitter = child->GetSplitter();
        QVERIFY(splitter);
        QTRY_VERIFY(splitter->width() > 600);
        QVERIFY(qAbs(child->GetSplitDivider() - 0.5) < 0.05);
        DragDivider(splitter, 150);
        moved = child->GetSplitDivider();
        QVERIFY2(moved > 0.6, qPrintable(QString::number(moved)));
    }
    CMainFrame next;
    next.resize(900, 700);
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    QVERIFY(next.GetCommand(CommandId::ViewSplit)->isChecked());
    QVERIFY(next.GetCommand(CommandId::ViewSplitSideBySide)->isChecked());
    QVERIFY(next.OpenDocumentFile(path));
    CChildFrame* child = next.GetActiveChildFrame();
    QVERIFY(child->GetWholeFilePane());
    QCOMPARE(child->GetSplitter()->orientation(), Qt::Horizontal);
    QTRY_VERIFY(child->GetSplitter()->width() > 600);
    QVERIFY2(qAbs(child->GetSplitDivider() - moved) < 0.03,
             qPrintable(u"%1 after %2"_s.arg(child->GetSplitDivider()).arg(moved)));
    // Off is kept too.
    next.GetCommand(CommandId::ViewSplit)->trigger();
    CMainFrame third;
    QVERIFY(!third.GetCommand(CommandId::ViewSplit)->isChecked());
}

void TestSplit::thePaneDrawsTheViewsBookmarksAndNewHighlightsAtOnce()
{
    CMainFrame frame;
    frame.resize(900, 700);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QString path = m_pDir->filePath(u"a.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "INFO a\nERROR b\nINFO c\nWARN d\n"));
    COstrelDoc* document = frame.OpenDocumentFile(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    QTRY_VERIFY(!view->IsLoading());
    frame.GetCommand(CommandId::ViewSplit)->trigger();
    CWholeFilePane* pane = frame.GetActiveChildFrame()->GetWholeFilePane();
    QVERIFY(pane);
    COstrelView* lower = pane->GetView();
    QTRY_COMPARE(TestSupport::TextOf(lower), QByteArray("INFO a\nERROR b\nINFO c\nWARN d\n"));

    // A mark set above shows below, and one set below is the document's and shows above.
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 1UL);
    view->GetBookmarks().ToggleAtCaret();
    QTRY_VERIFY(lower->GetBookmarks().IsMarked(1));
    QVERIFY(!lower->GetBookmarks().IsMarked(0));
    lower->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 3UL);
    lower->GetBookmarks().ToggleAtCaret();
    QVERIFY(document->GetBookmarks().Contains(4));
    QTRY_VERIFY(view->GetBookmarks().IsMarked(3));
    // Taken away below, it goes above too; the pane's own document never holds a mark.
    lower->GetBookmarks().ToggleAtCaret();
    QTRY_VERIFY(!view->GetBookmarks().IsMarked(3));
    QVERIFY(lower->GetDocument()->GetBookmarks().Empty());

    // A new rule colours the pane without waiting for it to scroll.
    const HighlightRule rule{"ERROR", false, true, 0xFFFFFF, 0xC62828};
    frame.SetHighlightRules({rule});
    const auto backAt = [](COstrelView* shown, long position) {
        return shown->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                    static_cast<unsigned long>(CRuleHighlighter::BackIndicator), position);
    };
    QTRY_COMPARE(backAt(lower, 7), CRuleHighlighter::IndicatorValue(rule.Back));
    QCOMPARE(backAt(lower, 0), 0L);
    frame.SetHighlightRules({});
    QTRY_COMPARE(backAt(lower, 7), 0L);
}

OSTREL_QT_TEST_MAIN(TestSplit, COstrelApp)
#include "TestSplit.moc"
