// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmarks from the desktop: the toggle and going round them in the whole file, in filter output
// and back with Ctrl+T, in the paged view, while Follow appends lines, the list, and the session.

#include <algorithm>
#include <memory>
#include <vector>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CSession.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "filterui/CFilterSettingsDlg.h"
#include "filterui/CFilteringProgressDlg.h"
#include "support/QtTestSupport.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/CViewBookmarks.h"

using namespace Qt::StringLiterals;

namespace {

using Lines = std::vector<std::int64_t>;

QByteArray NumberedLines(int first, int last)
{
    QByteArray log;
    for (int i = first; i <= last; ++i)
        log += (i % 10 == 0 ? "ERROR line " : "info line ") + QByteArray::number(i) + '\n';
    return log;
}

bool WriteFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

class TestBookmarks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void toggleAndGoRoundInTheWholeFile();
    void filterOutputShowsOnlyKeptBookmarks();
    void keepBookmarkedLinesPutsThemInTheOutput();
    void pagedViewGoesToAFarBookmark();
    void followedLinesKeepTheMarkersInPlace();
    void listGoesToALineAndClearsAll();
    void sessionKeepsTheBookmarks();

private:
    COstrelView* View() const { return m_pDoc->GetView(); }
    CViewBookmarks& Bookmarks() const { return View()->GetBookmarks(); }
    Lines Marked() const { return m_pDoc->GetBookmarks().All(); }
    void Trigger(int id) const { m_pFrame->GetCommand(id)->trigger(); }
    // Puts the caret on a 0-based editor line.
    void CaretTo(long viewLine) const { View()->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, viewLine); }
    long CaretViewLine() const
    {
        return View()->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                     View()->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
    }
    // The editor lines that show a marker, among the first `lines`.
    Lines MarkedViewLines(long lines) const
    {
        Lines marked;
        for (long line = 0; line < lines; ++line)
            if (Bookmarks().IsMarked(line))
                marked.push_back(line);
        return marked;
    }
    long SymbolMarginWidth() const
    {
        return View()->SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN,
                                     static_cast<unsigned long>(CViewBookmarks::SymbolMargin));
    }
    QString StatusMessage() const { return m_pFrame->statusBar()->currentMessage(); }
    QString Open(const QString& name, const QByteArray& bytes);
    void ApplyFilter(const QString& text);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CMainFrame> m_pFrame;
    COstrelDoc* m_pDoc = nullptr;
};

void TestBookmarks::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->resize(900, 700);
    m_pFrame->show();
}

void TestBookmarks::cleanup()
{
    TestSupport::DropPendingModalHandlers();
    m_pFrame.reset();
    m_pDoc = nullptr;
    QTRY_VERIFY(qApp->findChildren<CFilteringProgressDlg*>().isEmpty());
}

QString TestBookmarks::Open(const QString& name, const QByteArray& bytes)
{
    const QString path = m_pDir->filePath(name);
    if (!WriteFile(path, bytes, QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the test log");
    m_pDoc = m_pFrame->OpenDocumentFile(path);
    if (!m_pDoc)
        qFatal("cannot open the test log");
    return path;
}

void TestBookmarks::ApplyFilter(const QString& text)
{
    ShowFilterSettingsDialog(*m_pFrame);
    CFilterSettingsDlg& dlg = *g_pFilterSettingsDlg;
    dlg.findChild<QCheckBox*>(u"regExpCheck"_s)->setChecked(false);
    dlg.findChild<QCheckBox*>(u"caseSensitiveCheck"_s)->setChecked(true);
    dlg.findChild<QLineEdit*>(u"linesBeforeEdit"_s)->setText(u"0"_s);
    dlg.findChild<QLineEdit*>(u"linesAfterEdit"_s)->setText(u"0"_s);
    dlg.findChild<QLineEdit*>(u"filterStringEdit"_s)->setText(text);
    dlg.findChild<QPushButton*>(u"addFilterButton"_s)->click();
    QPushButton* apply = dlg.findChild<QPushButton*>(u"applyButton"_s);
    apply->click();
    QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled() && View()->GetShowsFilteredText(), 20000);
}

void TestBookmarks::toggleAndGoRoundInTheWholeFile()
{
    Open(u"app.log"_s, NumberedLines(1, 50));
    QTRY_VERIFY(!View()->IsLoading());
    // The keys are the bookmarks' alone.
    const QList<std::pair<int, QString>> keys = {{CommandId::EditToggleBookmark, u"Ctrl+F2"_s},
                                                 {CommandId::EditNextBookmark, u"F2"_s},
                                                 {CommandId::EditPreviousBookmark, u"Shift+F2"_s}};
    for (const auto& [id, key] : keys) {
        QCOMPARE(m_pFrame->GetCommand(id)->shortcut(), QKeySequence(key));
        for (QAction* action : m_pFrame->findChildren<QAction*>())
            QVERIFY2(action == m_pFrame->GetCommand(id) || !action->shortcuts().contains(QKeySequence(key)),
                     qPrintable(action->objectName()));
    }

    // Without a bookmark the view is as it was: no margin, and F2 says why it stays.
    QCOMPARE(SymbolMarginWidth(), 0L);
    CaretTo(7);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(CaretViewLine(), 7L);
    QVERIFY2(StatusMessage().startsWith(u"No bookmarks"_s), qPrintable(StatusMessage()));

    for (long line : {29L, 4L, 44L}) {
        CaretTo(line);
        Trigger(CommandId::EditToggleBookmark);
    }
    QCOMPARE(Marked(), (Lines{5, 30, 45}));
    QVERIFY(SymbolMarginWidth() > 0);
    QTRY_COMPARE(MarkedViewLines(51), (Lines{4, 29, 44}));

    CaretTo(0);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretLine(), 5);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretLine(), 30);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretLine(), 45);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretLine(), 5);
    QVERIFY2(StatusMessage().contains(u"first bookmark"_s), qPrintable(StatusMessage()));
    Trigger(CommandId::EditPreviousBookmark);
    QCOMPARE(View()->GetCaretLine(), 45);
    QVERIFY2(StatusMessage().contains(u"last bookmark"_s), qPrintable(StatusMessage()));
    // Between two bookmarks, Previous goes to the one above.
    CaretTo(20);
    Trigger(CommandId::EditPreviousBookmark);
    QCOMPARE(View()->GetCaretLine(), 5);

    // Toggled off, the marker goes; the last one off takes the margin away.
    CaretTo(29);
    Trigger(CommandId::EditToggleBookmark);
    QCOMPARE(Marked(), (Lines{5, 45}));
    QTRY_COMPARE(MarkedViewLines(51), (Lines{4, 44}));
    for (long line : {4L, 44L}) {
        CaretTo(line);
        Trigger(CommandId::EditToggleBookmark);
    }
    QVERIFY(Marked().empty());
    QTRY_COMPARE(SymbolMarginWidth(), 0L);
    QVERIFY(MarkedViewLines(51).empty());
    QVERIFY2(!View()->isModified(), "a bookmark is no edit");
}

void TestBookmarks::filterOutputShowsOnlyKeptBookmarks()
{
    Open(u"app.log"_s, NumberedLines(1, 50));
    QTRY_VERIFY(!View()->IsLoading());
    for (long line : {9L, 14L, 39L}) {
        CaretTo(line);
        Trigger(CommandId::EditToggleBookmark);
    }
    ApplyFilter(u"ERROR"_s); // file lines 10, 20, 30, 40, 50
    QCOMPARE(View()->GetFileLineNumbers(), (Lines{10, 20, 30, 40, 50}));
    QTRY_COMPARE(MarkedViewLines(6), (Lines{0, 3}));

    // F2 passes over line 15, which the output does not hold.
    CaretTo(0);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretFileLine(), 40);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretFileLine(), 10);
    QVERIFY2(StatusMessage().contains(u"first bookmark"_s), qPrintable(StatusMessage()));

    // A bookmark set in the output is the file line's: Ctrl+T shows it in the whole file.
    CaretTo(1);
    Trigger(CommandId::EditToggleBookmark);
    QCOMPARE(Marked(), (Lines{10, 15, 20, 40}));
    QTRY_COMPARE(MarkedViewLines(6), (Lines{0, 1, 3}));
    Trigger(CommandId::ToggleFilterOutput);
    QTRY_VERIFY(!View()->GetShowsFilteredText() && !View()->IsLoading());
    QTRY_COMPARE(MarkedViewLines(51), (Lines{9, 14, 19, 39}));
    CaretTo(10);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretLine(), 15);

    // And back: the output marks what it keeps, with line 15 still set.
    Trigger(CommandId::ToggleFilterOutput);
    QTRY_VERIFY(View()->GetShowsFilteredText());
    QTRY_COMPARE(MarkedViewLines(6), (Lines{0, 1, 3}));
    QCOMPARE(Marked(), (Lines{10, 15, 20, 40}));
    // The list greys the line the output does not hold, and Go To cannot take it.
    QStringList rows;
    QList<bool> enabled;
    bool goToOnGreyed = true;
    auto seen = TestSupport::OnNextModal([&](QWidget* dialog) {
        auto* list = dialog->findChild<QTreeWidget*>(u"bookmarkList"_s);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            rows.append(list->topLevelItem(i)->text(0) + u' ' + list->topLevelItem(i)->text(1));
            enabled.append(!list->topLevelItem(i)->isDisabled());
        }
        // A greyed row may refuse to become current; if it does become current, Go To is off.
        list->setCurrentItem(list->topLevelItem(1));
        goToOnGreyed = list->currentItem() == list->topLevelItem(1) &&
                       dialog->findChild<QPushButton*>(u"goToButton"_s)->isEnabled();
        dialog->findChild<QPushButton*>(u"closeButton"_s)->click();
    });
    Trigger(CommandId::EditBookmarks);
    QVERIFY(*seen);
    QCOMPARE(rows, (QStringList{u"10 ERROR line 10"_s, u"15 (not in the filter output) info line 15"_s,
                                u"20 ERROR line 20"_s, u"40 ERROR line 40"_s}));
    QCOMPARE(enabled, (QList<bool>{true, false, true, true}));
    QVERIFY(!goToOnGreyed);

    // The end marker line stands for no file line: nothing to toggle there.
    CaretTo(5);
    Trigger(CommandId::EditToggleBookmark);
    QCOMPARE(Marked(), (Lines{10, 15, 20, 40}));
}

void TestBookmarks::keepBookmarkedLinesPutsThemInTheOutput()
{
    Open(u"app.log"_s, NumberedLines(1, 50));
    QTRY_VERIFY(!View()->IsLoading());
    ShowFilterSettingsDialog(*m_pFrame);
    CFilterSettingsDlg& dlg = *g_pFilterSettingsDlg;
    auto* keep = dlg.findChild<QCheckBox*>(u"keepBookmarksCheck"_s);
    auto* list = dlg.findChild<QTreeWidget*>(u"filterList"_s);
    auto* exclude = dlg.findChild<QCheckBox*>(u"excludeCheck"_s);
    const QRect listWithout = list->geometry();
    QVERIFY2(keep->isHidden(), "no bookmarks, no row: the dialog is as it always was");

    // The row comes with the first bookmark and takes its room from the list.
    for (long line : {2L, 19L, 44L}) {
        CaretTo(line);
        Trigger(CommandId::EditToggleBookmark);
    }
    QVERIFY(!keep->isHidden());
    QVERIFY(!keep->isChecked());
    QVERIFY(list->geometry().bottom() < keep->geometry().top());
    QVERIFY(keep->geometry().bottom() < exclude->geometry().top());
    QCOMPARE(list->geometry().top(), listWithout.top());

    keep->click();
    QVERIFY(m_pDoc->GetKeepBookmarkedLines());
    ApplyFilter(u"ERROR"_s);
    // Line 20 is both: it comes once.
    QCOMPARE(View()->GetFileLineNumbers(), (Lines{3, 10, 20, 30, 40, 45, 50}));
    QTRY_COMPARE(MarkedViewLines(8), (Lines{0, 2, 5}));

    // Exclude drops the matching lines, but not a bookmarked one.
    exclude->click();
    QPushButton* apply = dlg.findChild<QPushButton*>(u"applyButton"_s);
    apply->click();
    QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled() && View()->GetFileLineNumbers().size() == 46, 20000);
    const Lines excluded = View()->GetFileLineNumbers();
    QVERIFY(std::ranges::find(excluded, 20) != excluded.end());
    QVERIFY(std::ranges::find(excluded, 30) == excluded.end());

    // Off again: the filters alone decide.
    exclude->click();
    keep->click();
    QVERIFY(!m_pDoc->GetKeepBookmarkedLines());
    apply->click();
    QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled() && View()->GetFileLineNumbers().size() == 5, 20000);
    QCOMPARE(View()->GetFileLineNumbers(), (Lines{10, 20, 30, 40, 50}));

    // With every bookmark gone and the switch off, the row goes and the list has its room back.
    Trigger(CommandId::ToggleFilterOutput);
    QTRY_VERIFY(!View()->GetShowsFilteredText() && !View()->IsLoading());
    View()->GetBookmarks().Clear();
    QVERIFY(keep->isHidden());
    QCOMPARE(list->geometry(), listWithout);
}

void TestBookmarks::pagedViewGoesToAFarBookmark()
{
    COstrelApp* app = COstrelApp::GetInstance();
    const std::int64_t threshold = app->GetPagedViewThresholdMB();
    app->SetPagedViewThresholdMB(1);
    const int lines = 400000;
    Open(u"big.log"_s, NumberedLines(1, lines));
    QVERIFY(View()->IsPaged());
    CPagedText* paged = View()->GetPagedText();
    QTRY_VERIFY(paged->IsIndexComplete() && !paged->IsMoving());

    // One bookmark near the start, set with the caret; one far off, in no window yet.
    CaretTo(2);
    Trigger(CommandId::EditToggleBookmark);
    m_pDoc->GetBookmarks().Toggle(380001);
    QCOMPARE(Marked(), (Lines{3, 380001}));
    const long editorLines = View()->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    QVERIFY2(editorLines < lines / 2, "the editor holds only a window");
    QTRY_COMPARE(MarkedViewLines(editorLines).size(), std::size_t(1));

    Trigger(CommandId::EditNextBookmark);
    QTRY_VERIFY(!paged->IsMoving() && View()->GetCaretLine() == 380001);
    QTRY_VERIFY(Bookmarks().IsMarked(CaretViewLine()));
    // Only that line of the window is marked.
    const long windowLines = View()->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    QTRY_COMPARE(MarkedViewLines(windowLines), (Lines{CaretViewLine()}));

    Trigger(CommandId::EditNextBookmark);
    QTRY_VERIFY(!paged->IsMoving() && View()->GetCaretLine() == 3);
    QVERIFY2(StatusMessage().contains(u"first bookmark"_s), qPrintable(StatusMessage()));
    Trigger(CommandId::EditPreviousBookmark);
    QTRY_VERIFY(!paged->IsMoving() && View()->GetCaretLine() == 380001);
    app->SetPagedViewThresholdMB(threshold);
}

void TestBookmarks::followedLinesKeepTheMarkersInPlace()
{
    const QString path = Open(u"app.log"_s, NumberedLines(1, 50));
    QTRY_VERIFY(!View()->IsLoading());
    CaretTo(47);
    Trigger(CommandId::EditToggleBookmark);
    CaretTo(2);
    Trigger(CommandId::EditToggleBookmark);
    Trigger(CommandId::ViewFollow);
    QVERIFY(View()->GetFollow());

    QVERIFY(WriteFile(path, NumberedLines(51, 60), QIODevice::Append));
    QTRY_VERIFY(View()->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) == 61);
    CaretTo(59);
    QTRY_COMPARE(MarkedViewLines(61), (Lines{2, 47}));
    Trigger(CommandId::EditToggleBookmark); // line 60, one of the new ones
    QCOMPARE(Marked(), (Lines{3, 48, 60}));
    QVERIFY(WriteFile(path, NumberedLines(61, 70), QIODevice::Append));
    QTRY_VERIFY(View()->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) == 71);
    QTRY_COMPARE(MarkedViewLines(71), (Lines{2, 47, 59}));
    CaretTo(50);
    Trigger(CommandId::EditNextBookmark);
    QCOMPARE(View()->GetCaretLine(), 60);
}

void TestBookmarks::listGoesToALineAndClearsAll()
{
    Open(u"app.log"_s, NumberedLines(1, 50));
    QTRY_VERIFY(!View()->IsLoading());
    for (long line : {29L, 4L}) {
        CaretTo(line);
        Trigger(CommandId::EditToggleBookmark);
    }
    CaretTo(0);
    QStringList rows;
    bool goToEnabled = false;
    auto seen = TestSupport::OnNextModal([&](QWidget* dialog) {
        auto* list = dialog->findChild<QTreeWidget*>(u"bookmarkList"_s);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows.append(list->topLevelItem(i)->text(0) + u' ' + list->topLevelItem(i)->text(1));
        list->setCurrentItem(list->topLevelItem(1));
        auto* goTo = dialog->findChild<QPushButton*>(u"goToButton"_s);
        goToEnabled = goTo->isEnabled();
        goTo->click();
    });
    Trigger(CommandId::EditBookmarks);
    QVERIFY(*seen);
    QCOMPARE(rows, (QStringList{u"5 info line 5"_s, u"30 ERROR line 30"_s}));
    QVERIFY(goToEnabled);
    QCOMPARE(View()->GetCaretLine(), 30);

    // Enter goes to the line chosen, as the default button does.
    seen = TestSupport::OnNextModal([](QWidget* dialog) {
        auto* list = dialog->findChild<QTreeWidget*>(u"bookmarkList"_s);
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Return);
    });
    Trigger(CommandId::EditBookmarks);
    QVERIFY(*seen);
    QCOMPARE(View()->GetCaretLine(), 5);

    int rowsAfterClear = -1;
    seen = TestSupport::OnNextModal([&rowsAfterClear](QWidget* dialog) {
        dialog->findChild<QPushButton*>(u"clearAllButton"_s)->click();
        rowsAfterClear = dialog->findChild<QTreeWidget*>(u"bookmarkList"_s)->topLevelItemCount();
        dialog->findChild<QPushButton*>(u"closeButton"_s)->click();
    });
    Trigger(CommandId::EditBookmarks);
    QVERIFY(*seen);
    QCOMPARE(rowsAfterClear, 0);
    QVERIFY(Marked().empty());
    QTRY_COMPARE(SymbolMarginWidth(), 0L);
    QVERIFY(MarkedViewLines(51).empty());
}

void TestBookmarks::sessionKeepsTheBookmarks()
{
    const QString path = Open(u"app.log"_s, NumberedLines(1, 50));
    QTRY_VERIFY(!View()->IsLoading());
    for (long line : {41L, 6L}) {
        CaretTo(line);
        Trigger(CommandId::EditToggleBookmark);
    }
    const CSession captured = CSession::Capture(*m_pFrame->GetDocumentArea());
    QCOMPARE(captured.GetDocuments().size(), std::size_t(1));
    QCOMPARE(captured.GetDocuments().front().Bookmarks, (Lines{7, 42}));

    const QString settingsPath = m_pDir->filePath(u"session.ini"_s);
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        captured.Write(settings);
    }
    QSettings settings(settingsPath, QSettings::IniFormat);
    const CSession read = CSession::Read(settings);
    QCOMPARE(read.GetDocuments().size(), std::size_t(1));
    QCOMPARE(read.GetDocuments().front().Path, path);
    QCOMPARE(read.GetDocuments().front().Bookmarks, (Lines{7, 42}));

    // Restored in a new window, the bookmarks are marked once the text is there.
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->show();
    QVERIFY(read.Restore(*m_pFrame).isEmpty());
    m_pDoc = m_pFrame->GetActiveLogDocument();
    QVERIFY(m_pDoc);
    QCOMPARE(Marked(), (Lines{7, 42}));
    QTRY_VERIFY(View() && !m_pDoc->IsLoadPending() && !View()->IsLoading());
    QTRY_COMPARE(View()->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT), 51L);
    // Each marked as it comes on screen.
    CaretTo(6);
    QTRY_VERIFY(Bookmarks().IsMarked(6));
    CaretTo(41);
    QTRY_VERIFY(Bookmarks().IsMarked(41));
    QCOMPARE(MarkedViewLines(51), (Lines{6, 41}));

    // A session written before bookmarks, and a hand-spoiled value, read without them.
    const QString oldPath = m_pDir->filePath(u"old.ini"_s);
    {
        QSettings old(oldPath, QSettings::IniFormat);
        old.beginGroup(u"Session"_s);
        old.beginWriteArray(u"Documents"_s, 2);
        old.setArrayIndex(0);
        old.setValue(u"Path"_s, path);
        old.setValue(u"Group"_s, 0);
        old.setArrayIndex(1);
        old.setValue(u"Path"_s, path);
        old.setValue(u"Bookmarks"_s, u"12,x,-3,,9"_s);
        old.endArray();
        old.endGroup();
    }
    QSettings old(oldPath, QSettings::IniFormat);
    const CSession oldSession = CSession::Read(old);
    QCOMPARE(oldSession.GetDocuments().size(), std::size_t(2));
    QCOMPARE(oldSession.GetDocuments().at(0).Path, path);
    QVERIFY(oldSession.GetDocuments().at(0).Bookmarks.empty());
    QCOMPARE(oldSession.GetDocuments().at(1).Bookmarks, (Lines{12, 9}));
}

OSTREL_QT_TEST_MAIN(TestBookmarks, COstrelApp)

#include "TestBookmarks.moc"
