// SPDX-License-Identifier: GPL-3.0-or-later
// The Highlights dialog on a stand-in workspace: editing the list, faulty rules, the file of its
// own; and Highlight Selection.

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "filterui/CHighlightsDlg.h"
#include "filterui/HighlightCommands.h"
#include "support/QtTestSupport.h"
#include "view/CRuleHighlighter.h"

using namespace Qt::StringLiterals;

class TestHighlightsDlg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void listIsEditedInPlaceAndInOrder();
    void faultyRulesAreNamedAndKeepTheDialogOpen();
    void exportThenImportGivesTheSameRules();
    void malformedFilesAreRefusedAndChangeNothing();
    void highlightSelectionAddsTheNextColour();

private:
    static std::vector<HighlightRule> TwoRules();
    QPushButton* Button(CHighlightsDlg& dialog, const char* name);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestSupport::TestWorkspace> m_pWorkspace;
};

void TestHighlightsDlg::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pWorkspace = std::make_unique<TestSupport::TestWorkspace>();
}

void TestHighlightsDlg::cleanup()
{
    m_pWorkspace.reset();
    m_pDir.reset();
}

std::vector<HighlightRule> TestHighlightsDlg::TwoRules()
{
    return {{"ERROR", false, true, 0xFFFFFF, 0xC62828}, {"id=\\z+", true, false, 0x000000, 0x8BE28B}};
}

QPushButton* TestHighlightsDlg::Button(CHighlightsDlg& dialog, const char* name)
{
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

void TestHighlightsDlg::listIsEditedInPlaceAndInOrder()
{
    CHighlightsDlg dialog(*m_pWorkspace, TwoRules(), nullptr);
    auto* table = dialog.findChild<QTableWidget*>(u"highlightRules"_s);
    QVERIFY(table);
    QCOMPARE(dialog.GetRules(), TwoRules());
    // The text in the rule's own colours.
    QCOMPARE(table->item(0, 0)->background().color(), QColor(0xC6, 0x28, 0x28));

    // Add takes the first pair of colours no rule uses, and starts editing its text.
    Button(dialog, "addHighlight")->click();
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->currentRow(), 2);
    table->item(2, 0)->setText(u"warn"_s);
    table->item(2, 2)->setCheckState(Qt::Checked);
    std::vector<HighlightRule> rules = dialog.GetRules();
    const HighlightRule added{"warn", false, true, HighlightPalette[0].Fore, HighlightPalette[0].Back};
    QCOMPARE(rules.back(), added);

    // Move Up and Down keep the rule whole; the ends cannot move past the list.
    Button(dialog, "moveHighlightUp")->click();
    QCOMPARE(dialog.GetRules().at(1), added);
    QCOMPARE(table->currentRow(), 1);
    Button(dialog, "moveHighlightUp")->click();
    QCOMPARE(dialog.GetRules().at(0), added);
    QVERIFY(!Button(dialog, "moveHighlightUp")->isEnabled());
    Button(dialog, "moveHighlightDown")->click();
    QCOMPARE(dialog.GetRules().at(1), added);

    // The colour buttons change the current rule only.
    dialog.SetCurrentColour(true, 0x123456);
    dialog.SetCurrentColour(false, 0xABCDEF);
    QCOMPARE(dialog.GetRules().at(1).Back, 0x123456u);
    QCOMPARE(dialog.GetRules().at(1).Fore, 0xABCDEFu);
    QCOMPARE(dialog.GetRules().at(0), TwoRules().at(0));

    // Remove takes the current rule out and moves on to the next.
    Button(dialog, "removeHighlight")->click();
    QCOMPARE(dialog.GetRules(), TwoRules());
    QCOMPARE(table->currentRow(), 1);
}

void TestHighlightsDlg::faultyRulesAreNamedAndKeepTheDialogOpen()
{
    std::vector<HighlightRule> rules = TwoRules();
    rules.push_back({"(unclosed", true, false, 0x000000, 0xFFE066});
    CHighlightsDlg dialog(*m_pWorkspace, rules, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* problem = dialog.findChild<QLabel*>(u"highlightProblem"_s);
    QVERIFY(problem);
    const QString fault = u"Rule 3: Regular Expression Parser Error: A closing parenthesis was expected"_s;
    QCOMPARE(dialog.GetProblem(), fault);
    QCOMPARE(problem->text(), fault);
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    auto* table = dialog.findChild<QTableWidget*>(u"highlightRules"_s);
    QCOMPARE(table->currentRow(), 2);

    // As a literal the same text is fine; an empty text is not.
    table->item(2, 1)->setCheckState(Qt::Unchecked);
    QCOMPARE(dialog.GetProblem(), QString());
    QCOMPARE(problem->text(), QString());
    table->item(0, 0)->setText(QString());
    QCOMPARE(dialog.GetProblem(), u"Rule 1: The text to highlight is empty."_s);
    table->item(0, 0)->setText(u"ERROR"_s);
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestHighlightsDlg::exportThenImportGivesTheSameRules()
{
    const QString path = m_pDir->filePath(u"mine.highlights"_s);
    CHighlightsDlg source(*m_pWorkspace, TwoRules(), nullptr);
    QVERIFY(source.ExportFile(path));
    QVERIFY(TestSupport::ReadFile(path).startsWith("# Ostrel highlights 1\n"));
    CHighlightsDlg target(*m_pWorkspace, {}, nullptr);
    QVERIFY(target.ImportFile(path));
    QCOMPARE(target.GetRules(), TwoRules());
    QVERIFY(m_pWorkspace->GetReports().empty());

    // A rule without text is not written: the old file stays.
    CHighlightsDlg empty(*m_pWorkspace, {{"", false, false, 0, 0xFFFFFF}}, nullptr);
    QVERIFY(!empty.ExportFile(path));
    QCOMPARE(m_pWorkspace->TakeReports(),
             QStringList{u"Highlights: Nothing was exported. Rule 1: The text to highlight is empty."_s});
    QVERIFY(target.ImportFile(path));
    QCOMPARE(target.GetRules(), TwoRules());
}

void TestHighlightsDlg::malformedFilesAreRefusedAndChangeNothing()
{
    CHighlightsDlg dialog(*m_pWorkspace, TwoRules(), nullptr);
    const QString path = m_pDir->filePath(u"bad.highlights"_s);
    QVERIFY(TestSupport::WriteFile(path, "# Ostrel highlights 1\nliteral case #000000 #FFFFFF fine\nregex maybe x\n"));
    QVERIFY(!dialog.ImportFile(path));
    QCOMPARE(m_pWorkspace->TakeReports(),
             QStringList{u"Highlights: \""_s + path +
                         u"\" was not imported. Line 3: unknown case \"maybe\"; expected \"case\" or \"nocase\"."_s});
    QCOMPARE(dialog.GetRules(), TwoRules());

    QVERIFY(TestSupport::WriteFile(path, "some other file\n"));
    QVERIFY(!dialog.ImportFile(path));
    const QStringList reports = m_pWorkspace->TakeReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.at(0).contains(u"This is not a highlights file"_s), qPrintable(reports.at(0)));
    QCOMPARE(dialog.GetRules(), TwoRules());

    QVERIFY(!dialog.ImportFile(m_pDir->filePath(u"missing.highlights"_s)));
    QCOMPARE(m_pWorkspace->TakeReports().size(), 1);
    QCOMPARE(dialog.GetRules(), TwoRules());
}

void TestHighlightsDlg::highlightSelectionAddsTheNextColour()
{
    const QString path = m_pDir->filePath(u"app.log"_s);
    QVERIFY(TestSupport::WriteFile(path, "alpha beta alpha\ngamma\n"));
    COstrelDoc* document = m_pWorkspace->OpenDocumentFile(path);
    QVERIFY(document);
    COstrelView* view = document->GetView();
    view->resize(600, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QTRY_VERIFY(!view->IsLoading());

    // Nothing selected: a note, no rule.
    RunHighlightSelectionCommand(view);
    QVERIFY(m_pWorkspace->GetHighlightRules().empty());
    QCOMPARE(m_pWorkspace->GetStatusNotes().size(), 1);

    TestSupport::Select(view, 0, 5);
    RunHighlightSelectionCommand(view);
    TestSupport::Select(view, 6, 10);
    RunHighlightSelectionCommand(view);
    const std::vector<HighlightRule> expected = {
        {"alpha", false, true, HighlightPalette[0].Fore, HighlightPalette[0].Back},
        {"beta", false, true, HighlightPalette[1].Fore, HighlightPalette[1].Back},
    };
    QCOMPARE(m_pWorkspace->GetHighlightRules(), expected);
    // Every occurrence on screen takes the colours at once.
    QTRY_COMPARE(view->SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                     static_cast<unsigned long>(CRuleHighlighter::BackIndicator), 12L),
                 long(CRuleHighlighter::IndicatorValue(HighlightPalette[0].Back)));

    // The same text again, or text over two lines, adds nothing.
    TestSupport::Select(view, 11, 16);
    RunHighlightSelectionCommand(view);
    TestSupport::Select(view, 12, 20);
    RunHighlightSelectionCommand(view);
    QCOMPARE(m_pWorkspace->GetHighlightRules(), expected);
    QCOMPARE(m_pWorkspace->GetStatusNotes().size(), 5);

    // A colour freed by the dialog is the next one taken.
    m_pWorkspace->SetHighlightRules({expected.at(1)});
    TestSupport::Select(view, 17, 22);
    RunHighlightSelectionCommand(view);
    QCOMPARE(m_pWorkspace->GetHighlightRules().back().Pattern, "gamma");
    QCOMPARE(m_pWorkspace->GetHighlightRules().back().Back, HighlightPalette[0].Back);
}

OSTREL_QT_TEST_MAIN(TestHighlightsDlg, QApplication)
#include "TestHighlightsDlg.moc"
