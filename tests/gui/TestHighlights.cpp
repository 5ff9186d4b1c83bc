// SPDX-License-Identifier: GPL-3.0-or-later
// Highlight rules in the main window: the View menu's commands, every tab re-coloured at once,
// and the rules kept with the settings from one start to the next.

#include <QMenu>

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/CRuleHighlighter.h"

using namespace Qt::StringLiterals;

class TestHighlights : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void viewMenuOffersTheCommands();
    void rulesColourEveryTabAndComeBackAtNextStart();

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestHighlights::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
}

void TestHighlights::viewMenuOffersTheCommands()
{
    CMainFrame frame;
    QStringList items;
    for (QAction* action : frame.findChild<QMenu*>(u"viewMenu"_s)->actions())
        items.append(action->text());
    QVERIFY2(items.contains(u"&Highlights..."_s) && items.contains(u"Highlight S&election"_s),
             qPrintable(items.join(u' ')));
    QAction* selection = frame.GetCommand(CommandId::ViewHighlightSelection);
    QCOMPARE(selection->shortcut(), QKeySequence(u"Ctrl+Shift+H"_s));
    // No other command has its keys.
    for (QAction* command : frame.GetMenuCommands())
        if (command != selection)
            QVERIFY2(!command->shortcuts().contains(selection->shortcut()), qPrintable(command->text()));
    // Without a document there is no selection to take.
    QVERIFY(!selection->isEnabled());
    QVERIFY(frame.GetCommand(CommandId::ViewHighlights)->isEnabled());
}

void TestHighlights::rulesColourEveryTabAndComeBackAtNextStart()
{
    const HighlightRule rule{"ERROR", false, true, 0xFFFFFF, 0xC62828};
    const long value = CRuleHighlighter::IndicatorValue(rule.Back);
    const auto backAt = [](COstrelView* view, long position) {
        return view->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                   static_cast<unsigned long>(CRuleHighlighter::BackIndicator), position);
    };
    {
        CMainFrame frame;
        frame.resize(900, 600);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QString first = m_pDir->filePath(u"a.log"_s);
        const QString second = m_pDir->filePath(u"b.log"_s);
        QVERIFY(TestSupport::WriteFile(first, "x ERROR\n"));
        QVERIFY(TestSupport::WriteFile(second, "ERROR y\n"));
        COstrelView* a = frame.OpenDocumentFile(first)->GetView();
        COstrelView* b = frame.OpenDocumentFile(second)->GetView();
        QTRY_VERIFY(!a->IsLoading() && !b->IsLoading());
        frame.SetHighlightRules({rule});
        QTRY_COMPARE(backAt(b, 0), value);
        // The tab behind is marked too, at once or when it is shown.
        frame.OpenDocumentFile(first);
        QTRY_COMPARE(backAt(a, 2), value);
        QCOMPARE(backAt(a, 0), 0L);
    }
    CMainFrame next;
    QCOMPARE(next.GetHighlightRules(), std::vector<HighlightRule>{rule});
    next.SetHighlightRules({});
    CMainFrame third;
    QVERIFY(third.GetHighlightRules().empty());
}

OSTREL_QT_TEST_MAIN(TestHighlights, COstrelApp)
#include "TestHighlights.moc"
