// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include "support/QtTestSupport.h"
#include "view/CMyFindDlg.h"
#include "view/CReplaceDlg.h"
#include "view/NavigationCommands.h"

using TestSupport::ModalWatcher;
using TestSupport::Select;
using TestSupport::SelectionOf;
using TestSupport::TextOf;

namespace {

template <typename T> T* Child(QWidget* dialog, const char* name)
{
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

// Fills the Find dialog's controls, as the user would, without pressing anything.
void SetFindControls(const QString& text, bool matchCase, bool wholeWord, bool down)
{
    Child<QLineEdit>(g_pFindDlg, "findWhatEdit")->setText(text);
    Child<QCheckBox>(g_pFindDlg, "matchCaseCheck")->setChecked(matchCase);
    Child<QCheckBox>(g_pFindDlg, "matchWholeWordCheck")->setChecked(wholeWord);
    Child<QRadioButton>(g_pFindDlg, down ? "downRadio" : "upRadio")->setChecked(true);
}

void PressFindNext()
{
    Child<QPushButton>(g_pFindDlg, "findNextButton")->click();
}

// Longer than a text searched at once: the search goes on while the window does.
QByteArray LongText(const QByteArray& end)
{
    QByteArray text;
    while (text.size() < 2 * 1024 * 1024)
        text.append("2026-12-09 06:25:00.809 [main] INFO  app.Main - nothing to see here\n");
    return text + end;
}

long ReadOnlyFlag(const COstrelView* view)
{
    return view->SendScintilla(QsciScintillaBase::SCI_GETREADONLY);
}

} // namespace

class TestFindDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    // Runs first: the Find dialog does not exist yet.
    void findNextDoesNothingUntilFindIsChosenAndPressed();
    void findNeedsText();
    void findNextButtonFollowsTheText();
    void pressesWalkToTheLastOccurrenceAndStayThere();
    void enterInTheEditSearchesOnce();
    void upFromTheStartFindsNothingAndUpWalksBack();
    void eachPressSearchesTheActiveView();
    void findNextRepeatsTheOptionsOfTheLastPress();
    void findPreviousSearchesTowardTheStart();
    void cancelHidesAndFindShowsTheSameDialog();
    void replaceDialogReplacesAndCounts();
    void replaceOpensWithTheLastSearchedText();
    void longSearchesGoOnWhileTheWindowDoes();
    void escapeCancelNewSearchesAndClosingStopALongSearch();
    void replaceAllThroughALongTextCountsLater();
    void foundTextIsNeverUnderTheDialog();

private:
    // Views of this workspace: the dialogs search the one active in it.
    std::unique_ptr<COstrelView> MakeView(const QByteArray& bytes)
    {
        return TestSupport::MakeView(bytes, true, &m_Workspace);
    }

    TestSupport::TestWorkspace m_Workspace;
};

void TestFindDialog::initTestCase()
{
    m_Workspace.Activate(static_cast<COstrelView*>(nullptr));
}

void TestFindDialog::cleanup()
{
    m_Workspace.Activate(static_cast<COstrelView*>(nullptr));
    if (g_pFindDlg)
        g_pFindDlg->hide();
    if (g_pReplaceDlg)
        g_pReplaceDlg->hide();
}

void TestFindDialog::findNextDoesNothingUntilFindIsChosenAndPressed()
{
    auto view = MakeView("alpha beta alpha");
    m_Workspace.Activate(view.get());
    Select(view.get(), 1, 1);
    ModalWatcher watcher;

    QVERIFY(!CanFindNext());
    RunFindNextCommand(view.get());
    RunFindPreviousCommand(view.get());
    QVERIFY(!g_pFindDlg);

    RunFindCommand(view.get());
    QVERIFY(g_pFindDlg);
    QVERIFY(CanFindNext());
    QVERIFY(g_pFindDlg->isVisible());
    // Opened, but no search pressed yet: F3 has nothing to repeat.
    RunFindNextCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(1L, 1L));
    QCOMPARE(watcher.BoxCount(), 0);

    // The state a new dialog starts in.
    QVERIFY(!Child<QPushButton>(g_pFindDlg, "findNextButton")->isEnabled());
    QVERIFY(Child<QRadioButton>(g_pFindDlg, "downRadio")->isChecked());
    QVERIFY(!Child<QCheckBox>(g_pFindDlg, "matchCaseCheck")->isChecked());
    QVERIFY(!Child<QCheckBox>(g_pFindDlg, "matchWholeWordCheck")->isChecked());

    // Without an active view a press remembers the search but shows nothing.
    m_Workspace.Activate(static_cast<COstrelView*>(nullptr));
    SetFindControls(QStringLiteral("alpha"), false, false, true);
    PressFindNext();
    QCOMPARE(watcher.BoxCount(), 0);
    QCOMPARE(g_pFindDlg->GetFindText(), QStringLiteral("alpha"));
    RunFindNextCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(11L, 16L));
}

void TestFindDialog::findNeedsText()
{
    auto empty = MakeView(QByteArray());
    auto full = MakeView("x");
    QVERIFY(!CanFind(nullptr));
    QVERIFY(!CanFind(empty.get()));
    QVERIFY(CanFind(full.get()));
    QVERIFY(!CanReplace(empty.get()));
    QVERIFY(CanReplace(full.get()));
}

void TestFindDialog::findNextButtonFollowsTheText()
{
    auto view = MakeView("text");
    RunFindCommand(view.get());
    auto* edit = Child<QLineEdit>(g_pFindDlg, "findWhatEdit");
    auto* button = Child<QPushButton>(g_pFindDlg, "findNextButton");
    edit->clear();
    QVERIFY(!button->isEnabled());
    QTest::keyClicks(edit, QStringLiteral("t"));
    QVERIFY(button->isEnabled());
    QTest::keyClick(edit, Qt::Key_Backspace);
    QVERIFY(!button->isEnabled());
}

void TestFindDialog::pressesWalkToTheLastOccurrenceAndStayThere()
{
    auto view = MakeView("log: WARN one\nWARN two\nlast WARN");
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("WARN"), true, false, true);
    ModalWatcher watcher;
    for (const long start : {5L, 14L, 28L}) {
        PressFindNext();
        QCOMPARE(SelectionOf(view.get()), std::make_pair(start, start + 4));
    }
    QCOMPARE(watcher.BoxCount(), 0);
    PressFindNext();
    QCOMPARE(watcher.BoxCount(), 1);
    QCOMPARE(watcher.BoxTitles.constFirst(), QStringLiteral("Find"));
    QCOMPARE(watcher.BoxTexts.constFirst(), QStringLiteral("Search Text Not Found"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(28L, 32L));
    // It never wraps: F3 says the same again.
    RunFindNextCommand(view.get());
    QCOMPARE(watcher.BoxCount(), 2);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(28L, 32L));
    QVERIFY(g_pFindDlg->isVisible());
}

void TestFindDialog::enterInTheEditSearchesOnce()
{
    auto view = MakeView("ab ab ab");
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("ab"), false, false, true);
    auto* edit = Child<QLineEdit>(g_pFindDlg, "findWhatEdit");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(SelectionOf(view.get()), std::make_pair(0L, 2L));
    // One search per Enter, not one from the edit and one from the default button.
    QTest::keyClick(edit, Qt::Key_Enter);
    QTRY_COMPARE(SelectionOf(view.get()), std::make_pair(3L, 5L));
    QCoreApplication::processEvents();
    QCOMPARE(SelectionOf(view.get()), std::make_pair(3L, 5L));

    // Enter works while the button is disabled: an empty text is found nowhere.
    ModalWatcher watcher;
    edit->clear();
    QVERIFY(!Child<QPushButton>(g_pFindDlg, "findNextButton")->isEnabled());
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(watcher.BoxCount(), 1);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(3L, 5L));
}

void TestFindDialog::upFromTheStartFindsNothingAndUpWalksBack()
{
    // Adjacent occurrences: going up from one must find the one right before it.
    auto view = MakeView("abcabc xabc");
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("abc"), false, false, false);
    ModalWatcher watcher;
    Select(view.get(), 11, 11);
    for (const long start : {8L, 3L, 0L}) {
        PressFindNext();
        QCOMPARE(SelectionOf(view.get()), std::make_pair(start, start + 3));
    }
    QCOMPARE(watcher.BoxCount(), 0);
    // A selection at the very start: nothing above it.
    PressFindNext();
    QCOMPARE(watcher.BoxCount(), 1);
    QCOMPARE(watcher.BoxTexts.constFirst(), QStringLiteral("Search Text Not Found"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(0L, 3L));
}

void TestFindDialog::eachPressSearchesTheActiveView()
{
    auto first = MakeView("needle in the first view");
    auto second = MakeView("the second view has its needle here");
    m_Workspace.Activate(first.get());
    RunFindCommand(first.get());
    SetFindControls(QStringLiteral("needle"), false, false, true);
    // The dialog was opened from the first view; the second is active when the button is pressed.
    m_Workspace.Activate(second.get());
    PressFindNext();
    QCOMPARE(SelectionOf(second.get()), std::make_pair(24L, 30L));
    QCOMPARE(SelectionOf(first.get()), std::make_pair(0L, 0L));
    // F3 in the first view searches there, with the remembered text.
    RunFindNextCommand(first.get());
    QCOMPARE(SelectionOf(first.get()), std::make_pair(0L, 6L));
    QCOMPARE(SelectionOf(second.get()), std::make_pair(24L, 30L));
}

void TestFindDialog::findNextRepeatsTheOptionsOfTheLastPress()
{
    auto view = MakeView("Error error Error errors");
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("Error"), true, true, true);
    PressFindNext();
    QCOMPARE(SelectionOf(view.get()), std::make_pair(0L, 5L));
    // Changed, but not pressed: F3 still looks for "Error" with case and whole word, downwards.
    SetFindControls(QStringLiteral("error"), false, false, false);
    RunFindNextCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(12L, 17L));
    QCOMPARE(g_pFindDlg->GetFindText(), QStringLiteral("Error"));
    QVERIFY(g_pFindDlg->GetMatchCase());
    QVERIFY(g_pFindDlg->GetWholeWord());
    QVERIFY(g_pFindDlg->GetSearchDown());
    ModalWatcher watcher;
    RunFindNextCommand(view.get());
    QCOMPARE(watcher.BoxCount(), 1);
    // The next press takes the new options: up, any case, parts of words.
    PressFindNext();
    QCOMPARE(SelectionOf(view.get()), std::make_pair(6L, 11L));
    QVERIFY(!g_pFindDlg->GetSearchDown());
}

void TestFindDialog::findPreviousSearchesTowardTheStart()
{
    auto view = MakeView("Alpha beta alpha gamma alpha");
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("alpha"), true, false, true);
    PressFindNext();
    QCOMPARE(SelectionOf(view.get()), std::make_pair(11L, 16L));
    RunFindNextCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(23L, 28L));
    // Back up with the remembered case: "Alpha" at the start is not a match.
    RunFindPreviousCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(11L, 16L));
    ModalWatcher watcher;
    RunFindPreviousCommand(view.get());
    QCOMPARE(watcher.BoxCount(), 1);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(11L, 16L));
    // The remembered direction is still down, for F3 and the next press alike.
    QVERIFY(g_pFindDlg->GetSearchDown());
    RunFindNextCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(23L, 28L));

    // Remembered upwards, Find Previous still goes toward the start.
    SetFindControls(QStringLiteral("a"), false, false, false);
    PressFindNext();
    QCOMPARE(SelectionOf(view.get()), std::make_pair(21L, 22L));
    RunFindPreviousCommand(view.get());
    QCOMPARE(SelectionOf(view.get()), std::make_pair(18L, 19L));
}

void TestFindDialog::cancelHidesAndFindShowsTheSameDialog()
{
    auto view = MakeView("some text");
    RunFindCommand(view.get());
    CMyFindDlg* dialog = g_pFindDlg;
    SetFindControls(QStringLiteral("some"), true, true, false);
    Child<QPushButton>(g_pFindDlg, "cancelButton")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(g_pFindDlg.data(), dialog);
    QVERIFY(CanFindNext());
    // Escape hides it as well.
    RunFindCommand(view.get());
    QVERIFY(dialog->isVisible());
    QTest::keyClick(Child<QLineEdit>(dialog, "findWhatEdit"), Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());

    RunFindCommand(view.get());
    QCOMPARE(g_pFindDlg.data(), dialog);
    QVERIFY(dialog->isVisible());
    auto* edit = Child<QLineEdit>(dialog, "findWhatEdit");
    QCOMPARE(edit->text(), QStringLiteral("some"));
    QCOMPARE(edit->selectedText(), QStringLiteral("some"));
    QVERIFY(Child<QCheckBox>(dialog, "matchCaseCheck")->isChecked());
    QVERIFY(Child<QCheckBox>(dialog, "matchWholeWordCheck")->isChecked());
    QVERIFY(Child<QRadioButton>(dialog, "upRadio")->isChecked());
    QVERIFY(Child<QPushButton>(dialog, "findNextButton")->isEnabled());
}

void TestFindDialog::replaceOpensWithTheLastSearchedText()
{
    auto view = MakeView("alpha beta\ngamma");
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("beta"), false, false, true);
    PressFindNext();
    QCOMPARE(view->selectedText(), QStringLiteral("beta"));

    // No selection: the text Find looked for last.
    view->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, 0UL);
    RunReplaceCommand(view.get());
    auto* findEdit = Child<QLineEdit>(g_pReplaceDlg, "findWhatEdit");
    QCOMPARE(findEdit->text(), QStringLiteral("beta"));
    // A one-line selection still comes first, and Replace's own search is the last one then.
    g_pReplaceDlg->hide();
    Select(view.get(), 11, 16);
    RunReplaceCommand(view.get());
    QCOMPARE(findEdit->text(), QStringLiteral("gamma"));
    ModalWatcher watcher; // nothing after the selection: "not found" comes up
    Child<QPushButton>(g_pReplaceDlg, "findNextButton")->click();
    QTRY_VERIFY(!g_pReplaceDlg->IsSearching());
    g_pReplaceDlg->hide();
    view->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, 0UL);
    findEdit->clear();
    RunReplaceCommand(view.get());
    QCOMPARE(findEdit->text(), QStringLiteral("gamma"));
}

void TestFindDialog::replaceDialogReplacesAndCounts()
{
    auto view = MakeView("cat Cat concat\ncat");
    m_Workspace.Activate(view.get());
    // A one-line selection becomes the text to find.
    Select(view.get(), 4, 7);
    RunReplaceCommand(view.get());
    QVERIFY(g_pReplaceDlg && g_pReplaceDlg->isVisible());
    auto* findEdit = Child<QLineEdit>(g_pReplaceDlg, "findWhatEdit");
    QCOMPARE(findEdit->text(), QStringLiteral("Cat"));
    Child<QLineEdit>(g_pReplaceDlg, "replaceWithEdit")->setText(QStringLiteral("dog"));
    Child<QCheckBox>(g_pReplaceDlg, "matchCaseCheck")->setChecked(true);

    // The selection is an occurrence: replaced, and the next one (there is none) searched.
    ModalWatcher watcher;
    Child<QPushButton>(g_pReplaceDlg, "replaceButton")->click();
    QCOMPARE(TextOf(view.get()), QByteArray("cat dog concat\ncat"));
    QCOMPARE(watcher.BoxCount(), 1);
    QCOMPARE(watcher.BoxTitles.constFirst(), QStringLiteral("Replace"));

    // Any case, whole words: two left.
    Child<QCheckBox>(g_pReplaceDlg, "matchCaseCheck")->setChecked(false);
    Child<QCheckBox>(g_pReplaceDlg, "matchWholeWordCheck")->setChecked(true);
    findEdit->setText(QStringLiteral("CAT"));
    Child<QPushButton>(g_pReplaceDlg, "replaceAllButton")->click();
    QCOMPARE(g_pReplaceDlg->GetReplacedCount(), 2);
    QCOMPARE(TextOf(view.get()), QByteArray("dog dog concat\ndog"));
    QCOMPARE(watcher.BoxCount(), 1);
    // Nothing left to replace says so.
    Child<QPushButton>(g_pReplaceDlg, "replaceAllButton")->click();
    QCOMPARE(g_pReplaceDlg->GetReplacedCount(), 0);
    QCOMPARE(watcher.BoxCount(), 2);
    // Its buttons need a text to find.
    findEdit->clear();
    for (const char* name : {"findNextButton", "replaceButton", "replaceAllButton"})
        QVERIFY2(!Child<QPushButton>(g_pReplaceDlg, name)->isEnabled(), name);

    // Tab walks the fields in reading order: the replacement comes right after the text to find.
    findEdit->setText(QStringLiteral("cat"));
    QStringList order;
    QWidget* field = findEdit;
    for (int i = 0; i < 7; ++i) {
        field = field->nextInFocusChain();
        while (field->focusPolicy() == Qt::NoFocus)
            field = field->nextInFocusChain();
        order.append(field->objectName());
    }
    QCOMPARE(order, QStringList({QStringLiteral("replaceWithEdit"), QStringLiteral("matchWholeWordCheck"),
                                 QStringLiteral("matchCaseCheck"), QStringLiteral("findNextButton"),
                                 QStringLiteral("replaceButton"), QStringLiteral("replaceAllButton"),
                                 QStringLiteral("cancelButton")}));
}

void TestFindDialog::longSearchesGoOnWhileTheWindowDoes()
{
    const QByteArray text = LongText("the last WARN\n");
    auto view = MakeView(text);
    m_Workspace.Activate(view.get());
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("warn"), false, true, true);
    ModalWatcher watcher;
    QSignalSpy finished(g_pFindDlg, &CMyFindDlg::SearchFinished);
    PressFindNext();
    // Nothing found yet: the window is free, the text held for the search.
    QVERIFY(g_pFindDlg->IsSearching());
    QVERIFY(finished.isEmpty());
    QCOMPARE(ReadOnlyFlag(view.get()), 1L);
    const long warn = static_cast<long>(text.size()) - 5;
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(warn, warn + 4));
    QVERIFY(!g_pFindDlg->IsSearching());
    QCOMPARE(ReadOnlyFlag(view.get()), 0L);
    QCOMPARE(watcher.BoxCount(), 0);
    // F3 goes the same way; nothing after the last one says so, later.
    RunFindNextCommand(view.get());
    QVERIFY(g_pFindDlg->IsSearching());
    QTRY_COMPARE(finished.count(), 2);
    QCOMPARE(watcher.BoxCount(), 1);
    QCOMPARE(watcher.BoxTitles.constFirst(), QStringLiteral("Find"));
    QCOMPARE(watcher.BoxTexts.constFirst(), QStringLiteral("Search Text Not Found"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(warn, warn + 4));
    // Up, back to the top: nothing above the caret.
    Select(view.get(), 300, 300);
    SetFindControls(QStringLiteral("nothing to see"), true, false, false);
    PressFindNext();
    QTRY_COMPARE(finished.count(), 3);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(252L, 266L));
}

void TestFindDialog::escapeCancelNewSearchesAndClosingStopALongSearch()
{
    auto view = MakeView(LongText("end\n"));
    m_Workspace.Activate(view.get());
    Select(view.get(), 7, 7);
    RunFindCommand(view.get());
    SetFindControls(QStringLiteral("needle"), true, false, true);
    auto* edit = Child<QLineEdit>(g_pFindDlg, "findWhatEdit");
    ModalWatcher watcher;
    QSignalSpy finished(g_pFindDlg, &CMyFindDlg::SearchFinished);

    // Escape stops the search and keeps the dialog; the next Escape hides it as ever.
    PressFindNext();
    QVERIFY(g_pFindDlg->IsSearching());
    QTest::keyClick(edit, Qt::Key_Escape);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!g_pFindDlg->IsSearching());
    QVERIFY(g_pFindDlg->isVisible());
    QCOMPARE(ReadOnlyFlag(view.get()), 0L);
    // Escape in the view stops it as well.
    PressFindNext();
    QTest::keyClick(view.get(), Qt::Key_Escape);
    QCOMPARE(finished.count(), 2);
    QVERIFY(!g_pFindDlg->IsSearching());

    // A new search takes the place of the running one: one answer only, the new one's.
    PressFindNext();
    RunFindNextCommand(view.get());
    QCOMPARE(finished.count(), 3);
    QVERIFY(g_pFindDlg->IsSearching());
    QTRY_COMPARE(finished.count(), 4);
    QCOMPARE(watcher.BoxCount(), 1);

    // Cancel stops it and hides the dialog; closing the view stops it too.
    PressFindNext();
    Child<QPushButton>(g_pFindDlg, "cancelButton")->click();
    QVERIFY(!g_pFindDlg->isVisible());
    QCOMPARE(finished.count(), 5);
    RunFindNextCommand(view.get());
    QVERIFY(g_pFindDlg->IsSearching());
    m_Workspace.Activate(static_cast<COstrelView*>(nullptr));
    view.reset();
    QCOMPARE(finished.count(), 6);
    QVERIFY(!g_pFindDlg->IsSearching());
    QCOMPARE(watcher.BoxCount(), 1);
}

void TestFindDialog::replaceAllThroughALongTextCountsLater()
{
    auto view = MakeView(LongText("cat and cat\n"));
    m_Workspace.Activate(view.get());
    RunReplaceCommand(view.get());
    Child<QLineEdit>(g_pReplaceDlg, "findWhatEdit")->setText(QStringLiteral("cat"));
    Child<QLineEdit>(g_pReplaceDlg, "replaceWithEdit")->setText(QStringLiteral("dog"));
    ModalWatcher watcher;
    QSignalSpy finished(g_pReplaceDlg, &CReplaceDlg::SearchFinished);
    auto* replaceAll = Child<QPushButton>(g_pReplaceDlg, "replaceAllButton");
    replaceAll->click();
    QVERIFY(g_pReplaceDlg->IsSearching());
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(g_pReplaceDlg->GetReplacedCount(), 2);
    QVERIFY(TextOf(view.get()).endsWith("dog and dog\n"));
    QCOMPARE(watcher.BoxCount(), 0);
    view->undo();
    QVERIFY(TextOf(view.get()).endsWith("cat and cat\n"));

    // Escape stops it before it replaced anything; Replace All again replaces both.
    replaceAll->click();
    QTest::keyClick(Child<QLineEdit>(g_pReplaceDlg, "findWhatEdit"), Qt::Key_Escape);
    QCOMPARE(finished.count(), 2);
    QVERIFY(g_pReplaceDlg->isVisible());
    QCOMPARE(g_pReplaceDlg->GetReplacedCount(), 0);
    QVERIFY(TextOf(view.get()).endsWith("cat and cat\n"));
    replaceAll->click();
    QTRY_COMPARE(finished.count(), 3);
    QCOMPARE(g_pReplaceDlg->GetReplacedCount(), 2);
    QCOMPARE(watcher.BoxCount(), 0);
}

void TestFindDialog::foundTextIsNeverUnderTheDialog()
{
    QWidget window;
    window.resize(800, 600);
    window.move(100, 100);
    auto view = MakeView(QByteArray(40, '\n') + "   needle here\n" + QByteArray(40, '\n') + "needle again\n");
    view->setParent(&window);
    view->setGeometry(0, 0, 800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    m_Workspace.Activate(view.get());
    Select(view.get(), 0, 0);
    RunFindCommand(view.get());
    const auto foundRect = [&view] {
        const CEditor& editor = view->GetEditor();
        const QPoint from = editor.PointFromPosition(editor.GetSelectionStart());
        const QPoint to = editor.PointFromPosition(editor.GetSelectionEnd());
        const int height = editor.GetLineHeight(editor.LineFromPosition(editor.GetSelectionStart()));
        return QRect(view->viewport()->mapToGlobal(from), view->viewport()->mapToGlobal(to + QPoint(0, height)));
    };
    for (int press = 0; press < 2; ++press) {
        // The dialog put right over the text the press will find.
        SetFindControls(QStringLiteral("needle"), false, false, true);
        const QRect before = g_pFindDlg->frameGeometry();
        const int line = press == 0 ? 40 : 81;
        const QPoint target = view->viewport()->mapToGlobal(
            view->GetEditor().PointFromPosition(view->GetEditor().PositionFromLine(line)));
        g_pFindDlg->move(g_pFindDlg->pos() + target - before.topLeft() - QPoint(0, 10));
        QVERIFY(g_pFindDlg->frameGeometry().contains(target + QPoint(5, 5)));
        PressFindNext();
        QTRY_COMPARE(view->GetEditor().LineFromPosition(view->GetEditor().GetSelectionStart()), std::int64_t(line));
        QVERIFY2(!g_pFindDlg->frameGeometry().intersects(foundRect()), "the dialog covers what it found");
    }
    // Where it covers nothing it stays.
    Select(view.get(), 0, 0);
    g_pFindDlg->move(window.pos() + QPoint(450, 0));
    const QPoint kept = g_pFindDlg->pos();
    PressFindNext();
    QTRY_COMPARE(view->GetEditor().LineFromPosition(view->GetEditor().GetSelectionStart()), std::int64_t(40));
    QVERIFY(!g_pFindDlg->frameGeometry().intersects(foundRect()));
    QCOMPARE(g_pFindDlg->pos(), kept);
    view->setParent(nullptr);
}

OSTREL_QT_TEST_MAIN(TestFindDialog, QApplication)
#include "TestFindDialog.moc"
