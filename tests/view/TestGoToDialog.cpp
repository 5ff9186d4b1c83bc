// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "support/QtTestSupport.h"
#include "view/CGoToDlg.h"
#include "view/NavigationCommands.h"

using TestSupport::MakeView;
using TestSupport::ModalWatcher;
using TestSupport::Select;
using TestSupport::SelectionOf;

namespace {

QByteArray NumberedLines(int count)
{
    QByteArray text;
    for (int line = 1; line <= count; ++line)
        text += "line " + QByteArray::number(line) + '\n';
    text.chop(1);
    return text;
}

long LineStart(COstrelView* view, long line)
{
    return view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
}

// What the Go To dialog showed, and what was typed into it.
struct GoToSession
{
    QString Prompt;
    QString InitialText;
    int Shown = 0;
};

// Runs Go To, typing the entries one after the other and pressing OK after each (Cancel after
// the last when `cancelAtEnd`).
GoToSession RunGoTo(COstrelView* view, ModalWatcher& watcher, QStringList entries, bool cancelAtEnd = false)
{
    GoToSession session;
    watcher.OnDialog = [&session, &entries, cancelAtEnd](QDialog* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("lineNumberEdit"));
        if (session.Shown++ == 0) {
            session.Prompt = dialog->findChild<QLabel*>(QStringLiteral("linePromptLabel"))->text();
            session.InitialText = edit->text();
        }
        if (entries.isEmpty()) {
            if (cancelAtEnd)
                dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            else
                dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            return;
        }
        edit->setText(entries.takeFirst());
        dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    };
    RunGoToCommand(view);
    watcher.OnDialog = nullptr;
    return session;
}

} // namespace

class TestGoToDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensOnTheCaretsLineWithTheLineCount();
    void badEntriesAreRefusedAndTheDialogStays_data();
    void badEntriesAreRefusedAndTheDialogStays();
    void numbersPastTheEndGoToTheLastLine();
    void emptyTextHasOneLine();
    void cancelLeavesTheCaret();
    void targetComesIntoTheMiddleAndItsLineIsMarked();
    void dialogHasAPlainFrame();
};

void TestGoToDialog::opensOnTheCaretsLineWithTheLineCount()
{
    auto view = MakeView(NumberedLines(250));
    // In the middle of line 7, with a selection.
    Select(view.get(), LineStart(view.get(), 7) + 2, LineStart(view.get(), 7) + 4);
    ModalWatcher watcher;
    const GoToSession session = RunGoTo(view.get(), watcher, {});
    QCOMPARE(session.Prompt, QStringLiteral("Line Number (1 - 250):"));
    QCOMPARE(session.InitialText, QStringLiteral("7"));
    // OK unchanged: the start of its own line, nothing selected.
    const long start = LineStart(view.get(), 7);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(start, start));
    QCOMPARE(watcher.BoxCount(), 0);

    RunGoTo(view.get(), watcher, {QStringLiteral(" 200 ")});
    QCOMPARE(SelectionOf(view.get()), std::make_pair(LineStart(view.get(), 200), LineStart(view.get(), 200)));
    QCOMPARE(view->GetCaretLine(), 200);
    // Scrolled so that the line shows.
    const long first = view->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    const long onScreen = view->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    QVERIFY2(first <= 199 && 199 < first + std::max(onScreen, 1L), qPrintable(QString::number(first)));
}

void TestGoToDialog::badEntriesAreRefusedAndTheDialogStays_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    const QString notInteger = QStringLiteral("Enter an integer.");
    const QString outOfRange = QStringLiteral("Enter an integer between 1 and 2000000000.");
    QTest::newRow("letters") << QStringLiteral("ten") << notInteger;
    QTest::newRow("empty") << QString() << notInteger;
    QTest::newRow("decimal point") << QStringLiteral("3.5") << notInteger;
    QTest::newRow("digits then letters") << QStringLiteral("12abc") << notInteger;
    QTest::newRow("zero") << QStringLiteral("0") << outOfRange;
    QTest::newRow("negative") << QStringLiteral("-5") << outOfRange;
    QTest::newRow("one past the bound") << QStringLiteral("2000000001") << outOfRange;
    QTest::newRow("beyond any integer") << QStringLiteral("99999999999999999999999") << outOfRange;
}

void TestGoToDialog::badEntriesAreRefusedAndTheDialogStays()
{
    QFETCH(QString, entry);
    QFETCH(QString, message);
    auto view = MakeView(NumberedLines(20));
    Select(view.get(), LineStart(view.get(), 3), LineStart(view.get(), 3));
    ModalWatcher watcher;
    // The same bad entry twice: one message per OK, then a good one ends the dialog.
    const GoToSession session = RunGoTo(view.get(), watcher, {entry, entry, QStringLiteral("5")});
    QCOMPARE(session.Shown, 3);
    QCOMPARE(watcher.BoxTexts, (QStringList{message, message}));
    QCOMPARE(watcher.BoxTitles.constFirst(), QStringLiteral("Ostrel"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(LineStart(view.get(), 5), LineStart(view.get(), 5)));
}

void TestGoToDialog::numbersPastTheEndGoToTheLastLine()
{
    auto view = MakeView(NumberedLines(20) + '\n');
    ModalWatcher watcher;
    // A final line break makes an empty 21st line, the last one.
    for (const QString& entry : {QStringLiteral("22"), QStringLiteral("2000000000")}) {
        Select(view.get(), 0, 0);
        const GoToSession session = RunGoTo(view.get(), watcher, {entry});
        QCOMPARE(session.Prompt, QStringLiteral("Line Number (1 - 21):"));
        QCOMPARE(view->GetCaretLine(), 21);
        QCOMPARE(SelectionOf(view.get()), std::make_pair(LineStart(view.get(), 21), LineStart(view.get(), 21)));
    }
    QCOMPARE(watcher.BoxCount(), 0);
}

void TestGoToDialog::emptyTextHasOneLine()
{
    auto view = MakeView(QByteArray());
    ModalWatcher watcher;
    const GoToSession session = RunGoTo(view.get(), watcher, {QStringLiteral("40")});
    QCOMPARE(session.Prompt, QStringLiteral("Line Number (1 - 1):"));
    QCOMPARE(session.InitialText, QStringLiteral("1"));
    QCOMPARE(SelectionOf(view.get()), std::make_pair(0L, 0L));
}

void TestGoToDialog::cancelLeavesTheCaret()
{
    auto view = MakeView(NumberedLines(30));
    Select(view.get(), 10, 14);
    ModalWatcher watcher;
    RunGoTo(view.get(), watcher, {QStringLiteral("abc")}, true);
    QCOMPARE(watcher.BoxCount(), 1);
    QCOMPARE(SelectionOf(view.get()), std::make_pair(10L, 14L));
}

void TestGoToDialog::targetComesIntoTheMiddleAndItsLineIsMarked()
{
    auto view = MakeView(NumberedLines(1000));
    view->resize(500, 300);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    const auto first = [&view] { return view->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE); };
    const long onScreen = view->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    QVERIFY2(onScreen >= 5, qPrintable(QString::number(onScreen)));

    // The caret's line is marked in every view, also while the focus is elsewhere.
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCARETLINEVISIBLE), 1L);
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCARETLINEVISIBLEALWAYS), 1L);
    const long marked = view->SendScintilla(QsciScintillaBase::SCI_GETCARETLINEBACK);
    QVERIFY(marked != view->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK,
                                          static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT)));

    ModalWatcher watcher;
    struct Case
    {
        int Line;
        long First; // the view's first line afterwards (0-based)
    };
    // The middle of the view; near the start the view cannot scroll further up, near the end the
    // line still shows.
    for (const Case& c : {Case{500, 499 - onScreen / 2}, Case{3, 0}, Case{120, 119 - onScreen / 2}}) {
        RunGoTo(view.get(), watcher, {QString::number(c.Line)});
        QCOMPARE(view->GetCaretLine(), c.Line);
        QCOMPARE(first(), c.First);
        QCOMPARE(SelectionOf(view.get()), std::make_pair(LineStart(view.get(), c.Line), LineStart(view.get(), c.Line)));
    }
    RunGoTo(view.get(), watcher, {QStringLiteral("1000")});
    QVERIFY(first() <= 999 && 999 < first() + onScreen);
    QCOMPARE(watcher.BoxCount(), 0);
}

void TestGoToDialog::dialogHasAPlainFrame()
{
    CGoToDlg dialog;
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags & Qt::CustomizeWindowHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
}

OSTREL_QT_TEST_MAIN(TestGoToDialog, QApplication)
#include "TestGoToDialog.moc"
