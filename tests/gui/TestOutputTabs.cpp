// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COpenDocuments.h"
#include "app/COstrelApp.h"
#include "app/COutputTabs.h"
#include "app/CommandIds.h"
#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "files/SpoolFile.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/CWholeFilePane.h"
#include "view/OutputTabNumbers.h"

namespace {

constexpr int FileLines = 630;

// Line n names itself and carries a tag for each of 3, 5 and 7 that divides n.
QByteArray GeneratedLog()
{
    QByteArray log;
    for (int n = 1; n <= FileLines; ++n) {
        log += "line " + QByteArray::number(n) + " tags:";
        if (n % 3 == 0)
            log += " alpha";
        if (n % 5 == 0)
            log += " beta";
        if (n % 7 == 0)
            log += " gamma";
        log += " end\n";
    }
    return log;
}

// The number a line of the generated log names ("line 42 tags: ..."), or 0.
std::int64_t NamedNumber(const QByteArray& line)
{
    static const QRegularExpression pattern(QStringLiteral("^line (\\d+) "));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(line));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

QList<QByteArray> ViewLines(COstrelView* view)
{
    const std::string_view bytes = view->GetTextBytes();
    QList<QByteArray> lines = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray MarginText(COstrelView* view, long line)
{
    QByteArray text(32, '\0');
    const long length =
        view->SendScintilla(QsciScintillaBase::SCI_MARGINGETTEXT, static_cast<unsigned long>(line), text.data());
    text.truncate(static_cast<qsizetype>(length));
    return text;
}

QPoint PointOfLine(COstrelView* view, long line)
{
    const long position =
        view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)) + 1;
    return {static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)),
            static_cast<int>(view->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) + 2};
}

} // namespace

// Filter output opened in tabs of its own, tabs made from those, their runs, and the way back to
// the original file's lines.
class TestOutputTabs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void nestedTabsKeepTheOriginalLinesAndLeadBackToThem();
    void runsInATabWithContextOrExcludingKeepOriginalLines();
    void commandIsForFinishedOutputOnly();
    void splitShowsTheOriginalFileBesideATab();
    void cancelWhileWritingOpensNoTab();

private:
    bool Filter(COstrelDoc* document, const QStringList& literals, bool exclude = false, int context = 0);
    COstrelDoc* NewTabFrom(COstrelDoc* document);
    // Every line of the view names the original line that the tab's numbering gives it.
    static void VerifyOriginalNumbers(COstrelView* view, qsizetype expectedLines);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<QTemporaryDir> m_pRuntime;
    std::unique_ptr<CMainFrame> m_pFrame;
    QString m_strLog;
};

void TestOutputTabs::init()
{
    qRegisterMetaType<COstrelDoc*>();
    COstrelSettings().clear();
    m_pRuntime = std::make_unique<QTemporaryDir>();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_pRuntime->path()));
    m_pDir = std::make_unique<QTemporaryDir>();
    m_strLog = m_pDir->filePath(QStringLiteral("app.log"));
    QVERIFY(TestSupport::WriteFile(m_strLog, GeneratedLog()));
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->show();
}

void TestOutputTabs::cleanup()
{
    for (CChildFrame* frame : m_pFrame->GetDocumentArea()->GetChildFrames())
        frame->GetView()->SetTextUnmodified();
    m_pFrame.reset();
    m_pDir.reset();
    m_pRuntime.reset();
}

bool TestOutputTabs::Filter(COstrelDoc* document, const QStringList& literals, bool exclude, int context)
{
    FilterSettings settings;
    for (const QString& literal : literals) {
        settings.AddFilter(literal.toStdU16String(), 0);
        settings.SetOutputBeforeMatch(settings.GetCount() - 1, context);
        settings.SetOutputAfterMatch(settings.GetCount() - 1, context);
    }
    settings.SetExcludeMatches(exclude);
    document->GetFilterSettings().CopyFiltersFrom(settings);
    if (!document->ApplyFilters(settings))
        return false;
    return QTest::qWaitFor([document] { return !document->IsFiltering(); }, 20000) &&
           document->GetView()->GetShowsFilteredText();
}

COstrelDoc* TestOutputTabs::NewTabFrom(COstrelDoc* document)
{
    QSignalSpy opened(&m_pFrame->GetOutputTabs(), &COutputTabs::TabOpened);
    m_pFrame->GetDocumentArea()->SetActiveChildFrame(qobject_cast<CChildFrame*>(document->GetView()->parentWidget()));
    QAction* command = m_pFrame->GetCommand(CommandId::FilterOutputInNewTab);
    if (!QTest::qWaitFor([command] { return command->isEnabled(); }, 20000))
        return nullptr;
    command->trigger();
    if (!QTest::qWaitFor([&opened] { return opened.count() == 1; }, 20000))
        return nullptr;
    auto* tab = opened.first().first().value<COstrelDoc*>();
    if (!QTest::qWaitFor([tab] { return !tab->GetView()->IsLoading(); }, 20000))
        return nullptr;
    tab->GetView()->SetLineNumbersShown(true);
    return tab;
}

void TestOutputTabs::VerifyOriginalNumbers(COstrelView* view, qsizetype expectedLines)
{
    const CDerivedOutput* derived = DerivedOutputOf(*view);
    QVERIFY(derived);
    const QList<QByteArray> lines = ViewLines(view);
    QCOMPARE(lines.size(), expectedLines);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::int64_t original = derived->OriginalLineOf(OwnLineOfViewLine(*view, i));
        QCOMPARE(original, NamedNumber(lines.at(i)));
    }
    // The margin writes those numbers for the lines on screen.
    const auto [first, last] = view->GetLinesOnScreen();
    QVERIFY(last > first);
    for (std::int64_t line = first; line <= std::min<std::int64_t>(last, lines.size() - 1); ++line)
        QCOMPARE(MarginText(view, static_cast<long>(line)), QByteArray::number(NamedNumber(lines.at(line))));
}

void TestOutputTabs::nestedTabsKeepTheOriginalLinesAndLeadBackToThem()
{
    COstrelDoc* root = m_pFrame->OpenDocumentFile(m_strLog);
    QVERIFY(root);
    QTRY_VERIFY(!root->GetView()->IsLoading());
    QVERIFY(Filter(root, {QStringLiteral("alpha")}));

    // Depth 1: the lines of n % 3 == 0; its own run keeps n % 15 == 0.
    COstrelDoc* first = NewTabFrom(root);
    QVERIFY(first);
    QCOMPARE(first->GetTitle(), QStringLiteral("app.log (output 1)"));
    QVERIFY(first->GetView()->IsStreamReadOnly());
    VerifyOriginalNumbers(first->GetView(), FileLines / 3);
    QVERIFY(Filter(first, {QStringLiteral("beta")}));
    VerifyOriginalNumbers(first->GetView(), FileLines / 15);

    // Depth 2 from that run; its run keeps n % 105 == 0.
    COstrelDoc* second = NewTabFrom(first);
    QVERIFY(second);
    QCOMPARE(second->GetTitle(), QStringLiteral("app.log (output 2)"));
    VerifyOriginalNumbers(second->GetView(), FileLines / 15);
    QVERIFY(Filter(second, {QStringLiteral("gamma")}));
    VerifyOriginalNumbers(second->GetView(), FileLines / 105);

    COstrelDoc* third = NewTabFrom(second);
    QVERIFY(third);
    COstrelView* view = third->GetView();
    VerifyOriginalNumbers(view, FileLines / 105);
    QCOMPARE(third->GetToolTip().section(u'\n', 0, 0), QStringLiteral("app.log > alpha > beta > gamma"));
    QCOMPARE(DerivedOutputOf(*view)->GetLastOriginalLine(), 630);

    // Go To takes original lines: one the tab has, one between, one past its last.
    QVERIFY(GoToOriginalLine(*view, *DerivedOutputOf(*view), 315).isEmpty());
    QCOMPARE(OriginalCaretLine(*view, *DerivedOutputOf(*view)), 315);
    QVERIFY(!GoToOriginalLine(*view, *DerivedOutputOf(*view), 400).isEmpty());
    QCOMPARE(OriginalCaretLine(*view, *DerivedOutputOf(*view)), 420);
    QVERIFY(!GoToOriginalLine(*view, *DerivedOutputOf(*view), 5000).isEmpty());
    QCOMPARE(OriginalCaretLine(*view, *DerivedOutputOf(*view)), 630);

    // Ctrl+T shows the tab's own lines and its output in turn, still numbered so.
    QVERIFY(Filter(third, {QStringLiteral("line 3")}, true));
    VerifyOriginalNumbers(view, FileLines / 105 - 1); // all but line 315
    third->ToggleFilterOutput(false);
    QTRY_VERIFY(!view->GetShowsFilteredText() && !view->IsLoading());
    VerifyOriginalNumbers(view, FileLines / 105);

    // Ctrl+double-click on line 315 of the whole text (its third line): the origin tab, whole, there.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, PointOfLine(view, 2));
    QTRY_COMPARE(m_pFrame->GetActiveLogDocument(), root);
    QTRY_VERIFY(!root->GetView()->GetShowsFilteredText() && !root->GetView()->IsLoading());
    QCOMPARE(root->GetView()->GetCaretLine(), 315);
    QVERIFY(root->GetView()->selectedText().startsWith(QStringLiteral("line 315 tags:")));

    // With the origin tab closed, the file opens again at the line (from the tab's output).
    QVERIFY(m_pFrame->CloseChildFrame(qobject_cast<CChildFrame*>(root->GetView()->parentWidget())));
    third->ToggleFilterOutput(false);
    QTRY_VERIFY(view->GetShowsFilteredText());
    m_pFrame->GetDocumentArea()->SetActiveChildFrame(qobject_cast<CChildFrame*>(view->parentWidget()));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, PointOfLine(view, 2));
    QTRY_VERIFY(m_pFrame->GetActiveLogDocument() && m_pFrame->GetActiveLogDocument()->GetPathName() == m_strLog);
    COstrelView* reopened = m_pFrame->GetActiveLogView();
    QTRY_VERIFY(!reopened->IsLoading());
    QTRY_COMPARE(reopened->GetCaretLine(), 420); // the output has 105, 210, 420, 525, 630

    // The original file gone: a message that names it, and the tabs stay as they are.
    QVERIFY(m_pFrame->CloseChildFrame(qobject_cast<CChildFrame*>(reopened->parentWidget())));
    QVERIFY(QFile::remove(m_strLog));
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, PointOfLine(view, 0));
    QTRY_VERIFY(answer->Seen);
    QVERIFY2(answer->Text.contains(m_strLog), qPrintable(answer->Text));
    QVERIFY(view->GetShowsFilteredText());

    // Each spool file goes with its tab.
    const QString spool = DerivedOutputOf(*view)->GetSpoolPath();
    QVERIFY(QFile::exists(spool));
    QVERIFY(m_pFrame->CloseChildFrame(qobject_cast<CChildFrame*>(view->parentWidget())));
    QTRY_VERIFY(!QFile::exists(spool));
    for (COstrelDoc* document : {first, second}) {
        const QString path = document->GetPathName();
        QVERIFY(QFile::exists(path));
        QVERIFY(m_pFrame->CloseChildFrame(qobject_cast<CChildFrame*>(document->GetView()->parentWidget())));
        QTRY_VERIFY(!QFile::exists(path));
    }
}

void TestOutputTabs::runsInATabWithContextOrExcludingKeepOriginalLines()
{
    COstrelDoc* root = m_pFrame->OpenDocumentFile(m_strLog);
    QVERIFY(root);
    QTRY_VERIFY(!root->GetView()->IsLoading());
    QVERIFY(Filter(root, {QStringLiteral("beta")}));
    COstrelDoc* tab = NewTabFrom(root); // n % 5 == 0
    QVERIFY(tab);
    COstrelView* view = tab->GetView();

    // One tab line on each side of a gamma line: its neighbours by five in the file.
    QVERIFY(Filter(tab, {QStringLiteral("gamma")}, false, 1));
    const QList<QByteArray> lines = ViewLines(view);
    QList<std::int64_t> expected;
    for (int n = 5; n <= FileLines; n += 5)
        if (n % 35 == 0 || (n + 5) % 35 == 0 || (n > 5 && (n - 5) % 35 == 0))
            expected.append(n);
    QCOMPARE(lines.size(), expected.size());
    const CDerivedOutput* derived = DerivedOutputOf(*view);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QCOMPARE(NamedNumber(lines.at(i)), expected.at(i));
        const ShownLineOrigin own = view->OriginOfViewLine(i);
        const ShownLineOrigin original = derived->MapOrigin(own, true);
        QCOMPARE(original.FileLine, expected.at(i));
        QCOMPARE(original.IsContext, expected.at(i) % 35 != 0);
    }
    VerifyOriginalNumbers(view, expected.size());

    // Excluding: the beta lines without gamma.
    QVERIFY(Filter(tab, {QStringLiteral("gamma")}, true));
    VerifyOriginalNumbers(view, FileLines / 5 - FileLines / 35);
    QCOMPARE(tab->GetToolTip().section(u'\n', 0, 0), QStringLiteral("app.log > beta"));

    // Save As offers a name beside the original log and writes the tab's lines; the log stays.
    const QByteArray log = TestSupport::ReadFile(m_strLog);
    tab->ToggleFilterOutput(false);
    QTRY_VERIFY(!view->GetShowsFilteredText() && !view->IsLoading());
    const QString suggested = view->SuggestSaveAsPath();
    QCOMPARE(suggested, m_pDir->filePath(QStringLiteral("app-filtered.log")));
    const std::string_view shown = view->GetTextBytes();
    const QByteArray whole(shown.data(), static_cast<qsizetype>(shown.size()));
    QCOMPARE(whole.count('\n'), FileLines / 5);
    tab->ToggleFilterOutput(false);
    QTRY_VERIFY(view->GetShowsFilteredText());

    // A tab from the excluding run names the step so.
    COstrelDoc* next = NewTabFrom(tab);
    QVERIFY(next);
    QCOMPARE(next->GetToolTip().section(u'\n', 0, 0), QStringLiteral("app.log > beta > not gamma"));
    VerifyOriginalNumbers(next->GetView(), FileLines / 5 - FileLines / 35);

    // Its Save As writes its lines; the log stays as it was, and the tab is that file's now.
    COstrelView* nextView = next->GetView();
    const std::string_view nextText = nextView->GetTextBytes();
    const QByteArray nextLines(nextText.data(), static_cast<qsizetype>(nextText.size()));
    const QString saved = m_pDir->filePath(QStringLiteral("kept.log"));
    QVERIFY(nextView->SaveAs(saved));
    QTRY_COMPARE(TestSupport::ReadFile(saved), nextLines);
    QCOMPARE(TestSupport::ReadFile(m_strLog), log);
    QTRY_VERIFY(!next->GetDerivedOutput());
    QVERIFY(!nextView->IsStreamReadOnly());
    QCOMPARE(next->GetToolTip(), saved);
}

void TestOutputTabs::commandIsForFinishedOutputOnly()
{
    COstrelDoc* root = m_pFrame->OpenDocumentFile(m_strLog);
    QVERIFY(root);
    QTRY_VERIFY(!root->GetView()->IsLoading());
    QAction* command = m_pFrame->GetCommand(CommandId::FilterOutputInNewTab);
    QTRY_VERIFY(!command->isEnabled()); // the whole file
    QVERIFY(Filter(root, {QStringLiteral("nothing matches this")}));
    QVERIFY(!COutputTabs::CanOpen(root->GetView())); // no lines
    QVERIFY(Filter(root, {QStringLiteral("gamma")}));
    QTRY_VERIFY(command->isEnabled());

    // Output the user edited no longer matches its numbers: refused, with a message.
    COstrelView* view = root->GetView();
    view->SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, 0UL, "x\n");
    QVERIFY(view->IsTextModified());
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!m_pFrame->GetOutputTabs().OpenFromView(*view));
    QTRY_VERIFY(answer->Seen);
    QVERIFY(answer->Text.contains(QStringLiteral("edited")));
    QCOMPARE(m_pFrame->GetOpenDocuments().size(), 1);
    QVERIFY(QDir(m_pRuntime->filePath(QStringLiteral("ostrel"))).entryList(QDir::Files).isEmpty());
}

OSTREL_QT_TEST_MAIN(TestOutputTabs, COstrelApp)
void TestOutputTabs::splitShowsTheOriginalFileBesideATab()
{
    COstrelDoc* root = m_pFrame->OpenDocumentFile(m_strLog);
    QVERIFY(root);
    QTRY_VERIFY(!root->GetView()->IsLoading());
    QVERIFY(Filter(root, {QStringLiteral("alpha")}));
    COstrelDoc* tab = NewTabFrom(root);
    QVERIFY(tab);
    m_pFrame->GetCommand(CommandId::ViewSplit)->trigger();
    auto* frame = qobject_cast<CChildFrame*>(m_pFrame->GetDocumentArea()->GetActiveChildFrame());
    QVERIFY(frame && frame->GetDocument() == tab);
    CWholeFilePane* pane = nullptr;
    QTRY_VERIFY((pane = frame->findChild<CWholeFilePane*>()) && !pane->GetView()->IsLoading() &&
                pane->GetView()->GetEditor().GetLength() > 0);
    QCOMPARE(pane->GetView()->GetDocument()->GetPathName(), m_strLog);

    // The tab's own line 7 is the original's line 21: the pane shows the original there, both in
    // the tab's own lines and in the output of its own run.
    COstrelView* view = tab->GetView();
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 6UL);
    view->viewport()->repaint();
    QTRY_COMPARE(pane->GetMarkedFileLine(), std::int64_t{21});
    QVERIFY(Filter(tab, {QStringLiteral("beta")}));
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 2UL);
    view->viewport()->repaint();
    QTRY_COMPARE(pane->GetMarkedFileLine(), std::int64_t{45});
    m_pFrame->GetCommand(CommandId::ViewSplit)->trigger();
}

void TestOutputTabs::cancelWhileWritingOpensNoTab()
{
    COstrelDoc* root = m_pFrame->OpenDocumentFile(m_strLog);
    QVERIFY(root);
    QTRY_VERIFY(!root->GetView()->IsLoading());
    QVERIFY(Filter(root, {QStringLiteral("alpha")}));
    const QDir spoolFolder(QFile::decodeName(SpoolFile::DefaultFolder().c_str()));
    const auto spoolFiles = [&spoolFolder] { return spoolFolder.entryList(QDir::Files).size(); };
    const qsizetype filesBefore = spoolFiles();
    const qsizetype tabsBefore = m_pFrame->GetDocumentArea()->GetChildFrames().size();
    QSignalSpy opened(&m_pFrame->GetOutputTabs(), &COutputTabs::TabOpened);
    QAction* command = m_pFrame->GetCommand(CommandId::FilterOutputInNewTab);
    QTRY_VERIFY(command->isEnabled());

    // The copy has begun but its end is not seen before the event loop runs: Cancel comes first.
    command->trigger();
    QVERIFY(m_pFrame->GetOutputTabs().IsWriting());
    QCOMPARE(spoolFiles(), filesBefore + 1);
    auto* progress = m_pFrame->findChild<QProgressDialog*>(QStringLiteral("outputTabProgressDlg"));
    QVERIFY(progress);
    // Its Cancel button, as a click on it (or Escape) gives.
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel);
    cancel->click();
    QVERIFY(!m_pFrame->GetOutputTabs().IsWriting());
    QCOMPARE(spoolFiles(), filesBefore);
    QTRY_VERIFY(m_pFrame->findChild<QProgressDialog*>(QStringLiteral("outputTabProgressDlg")) == nullptr);
    QCOMPARE(opened.count(), 0);
    QCOMPARE(m_pFrame->GetDocumentArea()->GetChildFrames().size(), tabsBefore);

    // Stopped once, the command works as before.
    QCOMPARE(NewTabFrom(root) != nullptr, true);
    QCOMPARE(m_pFrame->GetDocumentArea()->GetChildFrames().size(), tabsBefore + 1);
    QTRY_VERIFY(m_pFrame->findChild<QProgressDialog*>(QStringLiteral("outputTabProgressDlg")) == nullptr);
}

#include "TestOutputTabs.moc"
