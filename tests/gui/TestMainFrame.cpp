// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <map>

#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CSession.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "filtering/OutputLine.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

class TestMainFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void menusFollowWhetherADocumentIsActive();
    void commandsCarryTextShortcutAndPrompt_data();
    void commandsCarryTextShortcutAndPrompt();
    void toolbarButtonsInOrder();
    void modifiedMarkerFollowsTypingAndSave();
    void closingModifiedDocumentAsks();
    void applicationLookIsStoredAndMarked_data();
    void applicationLookIsStoredAndMarked();
    void deleteAllFiltersEnabledOnlyForFilterOutput();
    void wordWrapCheckFollowsActiveView();
    void tabsShowPathsLinesAndOpenEachFileOnce();
    void rotatedSetOpensAsOneTabThatNamesItsFiles();
    void mergedLogsOpenAsOneTabThatNamesThem();
    void droppedFilesOpen();
    void manyFilesAskFirstAndLoadWhenShown();
    void geometryComesBackAtNextStart();
    void commandKeysNeverEditTheText();
    void altAndCtrlCombinationsNeverTypeText();
    void pasteAndSelectAllFollowTheEditorsRules();
    void toolbarFallsBackToItsOwnIcons();
    void disabledMenuItemsReadInTheDarkLook();
    void printPreviewLeavesNoPromptInTheStatusBar();
    void timesPaneNamesTheLayoutOfTheActiveView();

private:
    QString MakeLog(const QString& name, const QByteArray& bytes);
    static QStringList MenuTitles(CMainFrame& frame);

    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestMainFrame::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
}

QString TestMainFrame::MakeLog(const QString& name, const QByteArray& bytes)
{
    const QString path = m_pDir->filePath(name);
    TestSupport::WriteFile(path, bytes);
    return path;
}

QStringList TestMainFrame::MenuTitles(CMainFrame& frame)
{
    QStringList titles;
    for (QAction* action : frame.menuBar()->actions())
        titles.append(action->text());
    return titles;
}

void TestMainFrame::menusFollowWhetherADocumentIsActive()
{
    CMainFrame frame;
    const QStringList withoutDocument = {QStringLiteral("&File"), QStringLiteral("&View"), QStringLiteral("&Help")};
    const QStringList withDocument = {QStringLiteral("&File"), QStringLiteral("&Edit"), QStringLiteral("F&ormat"),
                                      QStringLiteral("&View"), QStringLiteral("&Help")};
    QCOMPARE(MenuTitles(frame), withoutDocument);

    COstrelDoc* document = frame.OpenDocumentFile(MakeLog(QStringLiteral("a.log"), "one\ntwo\n"));
    QVERIFY(document);
    QCOMPARE(MenuTitles(frame), withDocument);
    QVERIFY(frame.GetCommand(CommandId::FileSave)->isEnabled());
    // The search commands side by side, Replace beside Find.
    QStringList editItems;
    for (QAction* action : frame.findChild<QMenu*>(QStringLiteral("editMenu"))->actions())
        editItems.append(action->isSeparator() ? QStringLiteral("|") : action->text());
    QVERIFY2(editItems.join(u' ').contains(QStringLiteral("| &Find... F&ind Next Find Pre&vious &Replace... &Go To |")),
             qPrintable(editItems.join(u' ')));

    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(MenuTitles(frame), withoutDocument);
    QVERIFY(!frame.GetCommand(CommandId::FileSave)->isEnabled());
    QCOMPARE(frame.GetOpenDocuments().size(), 0);
}

void TestMainFrame::commandsCarryTextShortcutAndPrompt_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("statusTip");
    QTest::addColumn<QString>("toolTip");
    auto row = [](const char* name, int id, const char* text, const char* keys, const char* statusTip,
                  const char* toolTip) {
        QTest::newRow(name) << id << QString::fromLatin1(text) << QString::fromLatin1(keys)
                            << QString::fromLatin1(statusTip) << QString::fromLatin1(toolTip);
    };
    row("open", CommandId::FileOpen, "&Open...", "Ctrl+O", "Open an existing document", "Open");
    row("close", CommandId::FileClose, "&Close", "Ctrl+W, Ctrl+F4", "Close the active document", "Close");
    row("save", CommandId::FileSave, "&Save", "Ctrl+S", "Save the active document", "Save");
    row("print", CommandId::FilePrint, "&Print...", "Ctrl+P", "Print the active document", "Print");
    row("undo", CommandId::EditUndo, "&Undo", "Ctrl+Z, Alt+Backspace", "Undo the last action", "Undo");
    row("cut", CommandId::EditCut, "Cu&t", "Ctrl+X, Shift+Del", "Cut the selection and put it on the Clipboard", "Cut");
    row("paste", CommandId::EditPaste, "&Paste", "Ctrl+V, Shift+Ins", "Insert Clipboard contents", "Paste");
    row("find next", CommandId::EditRepeat, "F&ind Next", "F3", "Repeat the last action", "Repeat");
    row("find previous", CommandId::EditFindPrevious, "Find Pre&vious", "Shift+F3",
        "Repeat the last search toward the start of the text", "Find Previous");
    row("replace", CommandId::EditReplace, "&Replace...", "Ctrl+H", "Replace specific text with different text",
        "Replace");
    row("go to", CommandId::EditGoTo, "&Go To", "Ctrl+G", "Go To Specified Line in File", "Go To Line");
    row("filter settings", CommandId::FilterSettings, "Fi&lter Settings", "Ctrl+L", "Edit Filter Settings", "Filter");
    row("delete all filters", CommandId::DeleteAllFilters, "&Delete All Filters", "Ctrl+D", "Delete All Filters",
        "Delete Filters");
    row("word wrap", CommandId::WordWrap, "Word Wrap", "", "Enable/Disable Word Wrap", "Word Wrap");
    row("about", CommandId::AppAbout, "&About Ostrel...", "",
        "Display program information, version number and copyright", "About");
    row("exit", CommandId::AppExit, "E&xit", "", "Quit the application; prompts to save documents", "Exit");
}

void TestMainFrame::commandsCarryTextShortcutAndPrompt()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(QString, keys);
    QFETCH(QString, statusTip);
    QFETCH(QString, toolTip);
    CMainFrame frame;
    QAction* action = frame.GetCommand(id);
    QVERIFY(action);
    QCOMPARE(action->text(), text);
    QStringList shortcuts;
    for (const QKeySequence& key : action->shortcuts())
        shortcuts.append(key.toString());
    QCOMPARE(shortcuts.join(QStringLiteral(", ")), keys);
    QCOMPARE(action->statusTip(), statusTip);
    QCOMPARE(action->toolTip(), toolTip);
}

void TestMainFrame::toolbarButtonsInOrder()
{
    CMainFrame frame;
    auto* toolbar = frame.findChild<QToolBar*>(QStringLiteral("standardToolBar"));
    QVERIFY(toolbar);
    QList<QAction*> actions = toolbar->actions();
    QVERIFY(!actions.isEmpty());
    QCOMPARE(actions.takeLast()->objectName(), QStringLiteral("customizeButtonAction"));
    QStringList buttons;
    for (QAction* action : std::as_const(actions))
        buttons.append(action->isSeparator() ? QStringLiteral("|") : action->toolTip());
    QCOMPARE(buttons.join(u' '),
             QStringLiteral("Open Save | Filter Delete Filters Follow Cut Copy Paste | Print About"));
}

void TestMainFrame::modifiedMarkerFollowsTypingAndSave()
{
    CMainFrame frame;
    frame.LoadFrame();
    frame.show();
    const QString path = MakeLog(QStringLiteral("typed.log"), "first\nsecond\n");
    QVERIFY(frame.OpenDocumentFile(path));
    QTabWidget* tabs = frame.GetDocumentArea()->GetTabWidget();
    QCOMPARE(tabs->tabText(0), QStringLiteral("typed.log"));

    QCOMPARE(frame.windowTitle(), QStringLiteral("typed.log - Ostrel"));

    COstrelView* view = frame.GetActiveLogView();
    QTest::keyClicks(view, QStringLiteral("xy"));
    QTRY_COMPARE_WITH_TIMEOUT(tabs->tabText(0), QStringLiteral("typed.log*"), 3000);
    // The window's title carries the marker as the tab does.
    QCOMPARE(frame.windowTitle(), QStringLiteral("typed.log* - Ostrel"));

    // Each document's own state as it becomes active.
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("other.log"), "other\n")));
    QCOMPARE(frame.windowTitle(), QStringLiteral("other.log - Ostrel"));
    frame.GetDocumentArea()->SetActiveChildFrame(frame.GetDocumentArea()->GetChildFrames().constFirst());
    QCOMPARE(frame.GetActiveLogView(), view);
    QCOMPARE(frame.windowTitle(), QStringLiteral("typed.log* - Ostrel"));

    frame.GetCommand(CommandId::FileSave)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(tabs->tabText(0), QStringLiteral("typed.log"), 3000);
    QCOMPARE(frame.windowTitle(), QStringLiteral("typed.log - Ostrel"));
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("xyfirst\nsecond\n"));
}

namespace {

// WCAG's relative luminance and contrast ratio.
double Luminance(const QColor& color)
{
    auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast any pixel of a menu item has against the item's background (its most
// common colour): how the text of the item stands out.
double ItemContrast(const QImage& image, const QRect& rect)
{
    std::map<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ++counts[image.pixel(x, y)];
    const auto background = std::max_element(counts.begin(), counts.end(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
    double strongest = 1.0;
    for (const auto& [pixel, count] : counts)
        strongest = std::max(strongest, Contrast(QColor::fromRgb(pixel), QColor::fromRgb(background->first)));
    return strongest;
}

} // namespace

void TestMainFrame::disabledMenuItemsReadInTheDarkLook()
{
    CMainFrame frame;
    frame.SetApplicationLook(CommandId::LookOffice2007Black);
    const QPalette palette = QApplication::palette();
    // The menus are drawn on the base colour, a little lighter; other controls on the window's.
    const QColor backgrounds[] = {palette.color(QPalette::Active, QPalette::Base).lighter(108),
                                  palette.color(QPalette::Active, QPalette::Window)};
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        const QColor disabled = palette.color(QPalette::Disabled, role);
        QVERIFY2(disabled != palette.color(QPalette::Active, role), qPrintable(disabled.name()));
        for (const QColor& background : backgrounds)
            QVERIFY2(Contrast(disabled, background) >= 3.0, qPrintable(QStringLiteral("%1 on %2: %3:1")
                                                                           .arg(disabled.name(), background.name())
                                                                           .arg(Contrast(disabled, background))));
    }

    // As drawn: the disabled item readable, yet plainly dimmer than the enabled one (a light etch
    // under its text would make it shine as brightly).
    QMenu menu;
    QAction* enabled = menu.addAction(QStringLiteral("Enabled Command"));
    QAction* disabled = menu.addAction(QStringLiteral("Disabled Command"));
    disabled->setEnabled(false);
    menu.ensurePolished();
    menu.adjustSize();
    const QImage image = menu.grab().toImage();
    const double enabledContrast = ItemContrast(image, menu.actionGeometry(enabled));
    const double disabledContrast = ItemContrast(image, menu.actionGeometry(disabled));
    QVERIFY2(disabledContrast >= 3.0, qPrintable(QString::number(disabledContrast)));
    QVERIFY2(disabledContrast < enabledContrast * 0.6,
             qPrintable(QStringLiteral("disabled %1:1, enabled %2:1").arg(disabledContrast).arg(enabledContrast)));
    frame.SetApplicationLook(CommandId::LookDefault);
}

void TestMainFrame::printPreviewLeavesNoPromptInTheStatusBar()
{
    CMainFrame frame;
    frame.LoadFrame();
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("printed.log"), "one\ntwo\n")));
    QStatusBar* bar = frame.statusBar();

    // Through the menu, as the user goes: the item's prompt shows while it is highlighted.
    QMenu* fileMenu = frame.findChild<QMenu*>(QStringLiteral("fileMenu130"));
    QVERIFY(fileMenu);
    QAction* preview = frame.GetCommand(CommandId::FilePrintPreview);
    frame.menuBar()->setActiveAction(fileMenu->menuAction());
    QTRY_VERIFY(fileMenu->isVisible());
    fileMenu->setActiveAction(preview);
    QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Display full pages"));

    const auto answer = TestSupport::OnNextModal([](QWidget* modal) {
        QVERIFY(qobject_cast<QPrintPreviewDialog*>(modal));
        modal->close();
    });
    QTest::keyClick(fileMenu, Qt::Key_Return);
    QTRY_VERIFY(*answer);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY2(bar->currentMessage().isEmpty(), qPrintable(bar->currentMessage()));
    QVERIFY(frame.findChild<QLabel*>(QStringLiteral("messagePane"))->isVisibleTo(bar));
}

void TestMainFrame::closingModifiedDocumentAsks()
{
    CMainFrame frame;
    const QString path = MakeLog(QStringLiteral("asked.log"), "text\n");
    QVERIFY(frame.OpenDocumentFile(path));
    QTest::keyClicks(frame.GetActiveLogView(), QStringLiteral("z"));

    auto answer = TestSupport::AnswerNextModal(QMessageBox::Cancel);
    QVERIFY(!frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(answer->Text, QStringLiteral("Save changes to asked.log?"));
    QCOMPARE(frame.GetOpenDocuments().size(), 1);

    answer = TestSupport::AnswerNextModal(QMessageBox::No);
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QVERIFY(answer->Seen);
    QCOMPARE(frame.GetOpenDocuments().size(), 0);
    QCOMPARE(TestSupport::ReadFile(path), QByteArray("text\n"));
}

void TestMainFrame::applicationLookIsStoredAndMarked_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<unsigned>("look");
    QTest::addColumn<bool>("marked");
    QTest::newRow("nothing stored") << QVariant() << 210u << true;
    QTest::newRow("black") << QVariant(216) << 216u << true;
    QTest::newRow("classic") << QVariant(205) << 205u << true;
    QTest::newRow("zero") << QVariant(0) << 0u << false;
    QTest::newRow("211, on no menu") << QVariant(211) << 211u << false;
    QTest::newRow("219, on no menu") << QVariant(219) << 219u << false;
    QTest::newRow("far outside") << QVariant(70000) << 70000u << false;
}

void TestMainFrame::applicationLookIsStoredAndMarked()
{
    QFETCH(QVariant, stored);
    QFETCH(unsigned, look);
    QFETCH(bool, marked);
    if (stored.isValid())
        COstrelSettings().setValue(QStringLiteral("Workspace/ApplicationLook"), stored);
    CMainFrame frame;
    QCOMPARE(frame.GetApplicationLook(), look);
    QCOMPARE(COstrelApp::GetInstance()->GetApplicationLook(), look);
    int checked = 0;
    for (int id = CommandId::LookFirst; id <= CommandId::LookLast; ++id) {
        if (QAction* action = frame.GetCommand(id); action && action->isChecked()) {
            ++checked;
            QCOMPARE(static_cast<unsigned>(id), look);
        }
    }
    QCOMPARE(checked, marked ? 1 : 0);

    // Choosing a look stores it at once and moves the mark.
    frame.GetCommand(CommandId::LookOffice2007Aqua)->trigger();
    QCOMPARE(COstrelSettings().value(QStringLiteral("Workspace/ApplicationLook")).toUInt(), 218u);
    QVERIFY(frame.GetCommand(CommandId::LookOffice2007Aqua)->isChecked());
    QVERIFY(!frame.GetCommand(CommandId::LookVS2008)->isChecked());
}

void TestMainFrame::deleteAllFiltersEnabledOnlyForFilterOutput()
{
    CMainFrame frame;
    QAction* deleteAll = frame.GetCommand(CommandId::DeleteAllFilters);
    QVERIFY(!deleteAll->isEnabled());
    const QString path = MakeLog(QStringLiteral("filters.log"), "a\nb\nc\n");
    QVERIFY(frame.OpenDocumentFile(path));
    QVERIFY2(!deleteAll->isEnabled(), "a freshly opened document shows the whole file");

    COstrelView* view = frame.GetActiveLogView();
    view->BeginFilterOutput();
    OutputBatch batch;
    batch.Append(2, "b\n", false);
    view->AppendOutputLines(batch);
    QVERIFY(deleteAll->isEnabled());

    deleteAll->trigger();
    QTRY_VERIFY(!view->IsLoading());
    QCOMPARE(QByteArray(view->GetTextBytes().data(), static_cast<qsizetype>(view->GetTextBytes().size())),
             QByteArray("a\nb\nc\n"));
    QVERIFY2(!deleteAll->isEnabled(), "after the reload the whole file shows again");
}

void TestMainFrame::wordWrapCheckFollowsActiveView()
{
    CMainFrame frame;
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("one.log"), "1\n")));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("two.log"), "2\n")));
    QAction* wordWrap = frame.GetCommand(CommandId::WordWrap);
    QVERIFY(!wordWrap->isChecked());
    wordWrap->trigger();
    QVERIFY(wordWrap->isChecked());
    QCOMPARE(frame.GetActiveLogView()->GetWordWrap(), 1);

    QTabWidget* tabs = frame.GetDocumentArea()->GetTabWidget();
    tabs->setCurrentIndex(0);
    QVERIFY2(!wordWrap->isChecked(), "the other view was never wrapped");
    tabs->setCurrentIndex(1);
    QVERIFY(wordWrap->isChecked());
    wordWrap->trigger();
    QCOMPARE(frame.GetActiveLogView()->GetWordWrap(), 0);
}

void TestMainFrame::tabsShowPathsLinesAndOpenEachFileOnce()
{
    CMainFrame frame;
    frame.show();
    const QString first = MakeLog(QStringLiteral("first.log"), "l1\nl2\nl3\n");
    const QString second = MakeLog(QStringLiteral("second.log"), "x\n");
    QVERIFY(frame.OpenDocumentFile(first));
    QVERIFY(frame.OpenDocumentFile(second));
    CDocumentArea* area = frame.GetDocumentArea();
    QCOMPARE(area->GetTabToolTip(0), first);
    QCOMPARE(area->GetTabToolTip(1), second);
    QCOMPARE(frame.windowTitle(), QStringLiteral("second.log - Ostrel"));

    QVERIFY(frame.OpenDocumentFile(first));
    QCOMPARE(area->GetTabWidget()->count(), 2);
    QCOMPARE(area->GetTabWidget()->currentIndex(), 0);

    auto* linePane = frame.findChild<QLabel*>(QStringLiteral("linePane"));
    QCOMPARE(linePane->text(), QStringLiteral("Line: 1"));
    frame.GetActiveLogView()->setCursorPosition(2, 1);
    QTRY_COMPARE(linePane->text(), QStringLiteral("Line: 3"));

    const QString renamed = m_pDir->filePath(QStringLiteral("renamed.log"));
    QVERIFY(frame.GetActiveLogView()->SaveAs(renamed));
    QCOMPARE(area->GetTabToolTip(0), renamed);
    QCOMPARE(area->GetTabWidget()->tabText(0), QStringLiteral("renamed.log"));
    QCOMPARE(frame.windowTitle(), QStringLiteral("renamed.log - Ostrel"));
}

void TestMainFrame::rotatedSetOpensAsOneTabThatNamesItsFiles()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QString older = MakeLog(QStringLiteral("app.log.1"), "old 1\nold 2\nold 3");
    const QString live = MakeLog(QStringLiteral("app.log"), "new 1\nnew 2\n");
    QAction* openSet = frame.GetCommand(CommandId::FileOpenRotatedSet);
    QVERIFY(openSet->isEnabled());
    QCOMPARE(openSet->text(), QStringLiteral("Open Rotated &Set..."));

    COstrelDoc* set = frame.OpenRotatedSet(older);
    QVERIFY(set && set->IsRotatedSet());
    CDocumentArea* area = frame.GetDocumentArea();
    QCOMPARE(area->GetTabWidget()->tabText(0), QStringLiteral("app.log (set)"));
    const QString tip = area->GetTabToolTip(0);
    QVERIFY2(tip.contains(older + u'\n' + live), qPrintable(tip));
    // The same set from its other file; the live file alone is a document of its own.
    QCOMPARE(frame.OpenRotatedSet(live), set);
    QCOMPARE(area->GetTabWidget()->count(), 1);
    COstrelDoc* alone = frame.OpenDocumentFile(live);
    QVERIFY(alone && alone != set && !alone->IsRotatedSet());
    QCOMPARE(area->GetTabWidget()->count(), 2);
    QCOMPARE(frame.OpenRotatedSet(older), set);

    // The status bar names the file of the caret's line and its line there.
    COstrelView* view = frame.GetActiveLogView();
    QCOMPARE(view, set->GetView());
    QTRY_VERIFY(view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving());
    auto* linePane = frame.findChild<QLabel*>(QStringLiteral("linePane"));
    view->GoToLine(5);
    QTRY_COMPARE(linePane->text(), QStringLiteral("app.log: line 2 (set line 5)"));
    view->GoToLine(3);
    QTRY_COMPARE(linePane->text(), QStringLiteral("app.log.1: line 3 (set line 3)"));
    // A set shown whole follows its live file; with no run yet there is no output to toggle to.
    QTRY_VERIFY(frame.GetCommand(CommandId::ViewFollow)->isEnabled());
    frame.GetCommand(CommandId::ViewFollow)->trigger();
    QVERIFY(view->GetFollow());
    QVERIFY(frame.GetCommand(CommandId::ViewFollow)->isChecked());
    QVERIFY(!frame.GetCommand(CommandId::ToggleFilterOutput)->isEnabled());
}

void TestMainFrame::mergedLogsOpenAsOneTabThatNamesThem()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QString a = MakeLog(QStringLiteral("a.log"), "2026-12-01T10:00:00Z a 1\n2026-12-01T10:00:02Z a 2\n");
    const QString b = MakeLog(QStringLiteral("b.log"), "2026-12-01T10:00:01Z b 1\n2026-12-01T10:00:03Z b 2\n");
    QAction* openMerged = frame.GetCommand(CommandId::FileOpenMerged);
    QVERIFY(openMerged->isEnabled());
    QCOMPARE(openMerged->text(), QStringLiteral("Open &Merged..."));

    COstrelDoc* merged = frame.OpenMerged({a, b});
    QVERIFY(merged && merged->IsMerged());
    CDocumentArea* area = frame.GetDocumentArea();
    QCOMPARE(area->GetTabWidget()->tabText(0), QStringLiteral("a.log (merged)"));
    const QString tip = area->GetTabToolTip(0);
    QVERIFY2(tip.contains(a + u'\n' + b), qPrintable(tip));
    // The same merge again is the same tab; its first log alone is a document of its own.
    QCOMPARE(frame.OpenMerged({a, b}), merged);
    COstrelDoc* alone = frame.OpenDocumentFile(a);
    QVERIFY(alone && alone != merged && !alone->IsMerged());
    QCOMPARE(area->GetTabWidget()->count(), 2);
    QCOMPARE(frame.OpenMerged({a, b}), merged);

    // The status bar names the log of the caret's line and its line there.
    COstrelView* view = frame.GetActiveLogView();
    QCOMPARE(view, merged->GetView());
    QTRY_VERIFY(view->GetPagedText() && view->GetPagedText()->IsIndexComplete() && !view->GetPagedText()->IsMoving());
    auto* linePane = frame.findChild<QLabel*>(QStringLiteral("linePane"));
    view->GoToLine(2);
    QTRY_COMPARE(linePane->text(), QStringLiteral("b.log: line 1 (merged line 2)"));
    view->GoToLine(3);
    QTRY_COMPARE(linePane->text(), QStringLiteral("a.log: line 2 (merged line 3)"));
    QTRY_VERIFY(!frame.GetCommand(CommandId::ViewFollow)->isEnabled());

    // The session keeps the merge as one: the next start opens it as it was.
    const QString settingsPath = m_pDir->filePath(QStringLiteral("session.ini"));
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        CSession::Capture(*area).Write(settings);
    }
    QSettings settings(settingsPath, QSettings::IniFormat);
    const CSession read = CSession::Read(settings);
    QCOMPARE(read.GetDocuments().size(), std::size_t(2));
    QCOMPARE(read.GetDocuments().at(0).MergedFiles, QStringList({a, b}));
    QVERIFY(read.GetDocuments().at(1).MergedFiles.isEmpty());
    CMainFrame restored;
    restored.show();
    QVERIFY(read.Restore(restored).isEmpty());
    QCOMPARE(restored.GetOpenDocuments().size(), 2);
    const COstrelDoc* again = restored.GetDocumentArea()->GetChildFrames().at(0)->GetDocument();
    QVERIFY(again->IsMerged());
    QCOMPARE(again->GetMergedFiles(), QStringList({a, b}));
    QVERIFY(!restored.GetDocumentArea()->GetChildFrames().at(1)->GetDocument()->IsMerged());

    // A log without times: no tab, and the message names it.
    const QString untimed = MakeLog(QStringLiteral("notes.txt"), "no times\n");
    auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!frame.OpenMerged({a, untimed}));
    QTRY_VERIFY(answer->Seen);
    QVERIFY2(answer->Text.contains(QStringLiteral("No times were recognised in ") + untimed), qPrintable(answer->Text));
    QCOMPARE(area->GetTabWidget()->count(), 2);
}

void TestMainFrame::droppedFilesOpen()
{
    CMainFrame frame;
    QVERIFY(frame.acceptDrops());
    const QString path = MakeLog(QStringLiteral("dropped.log"), "dropped\n");
    frame.OpenDroppedUrls({QUrl::fromLocalFile(path), QUrl(QStringLiteral("https://example.org/remote.log"))});
    QCOMPARE(frame.GetOpenDocuments().size(), 1);
    QCOMPARE(frame.GetActiveLogDocument()->GetPathName(), path);
    QCOMPARE(COstrelApp::GetInstance()->GetRecentFileList().value(0), path);

    // A file dropped on a view opens too.
    const QString second = MakeLog(QStringLiteral("second.log"), "second\n");
    Q_EMIT frame.GetActiveLogView()->FileDropped(second);
    QCOMPARE(frame.GetOpenDocuments().size(), 2);
    QCOMPARE(frame.GetActiveLogDocument()->GetPathName(), second);
}

void TestMainFrame::manyFilesAskFirstAndLoadWhenShown()
{
    CMainFrame frame;
    frame.show();
    QStringList paths;
    for (int i = 0; i < CMainFrame::ManyFiles + 10; ++i)
        paths.append(MakeLog(QStringLiteral("many-%1.log").arg(i), QByteArray("line of ") + QByteArray::number(i)));

    // Past the bound the user is asked first; No opens nothing.
    auto answer = TestSupport::AnswerNextModal(QMessageBox::No);
    QList<COstrelDoc*> documents = frame.OpenDocumentFiles(paths, true);
    QVERIFY(answer->Seen);
    QCOMPARE(answer->Text, QStringLiteral("Open all 60 files?"));
    QVERIFY(frame.GetOpenDocuments().isEmpty());
    QCOMPARE(documents.count(nullptr), paths.size());

    // Yes opens them all: the last is active and loaded, the others wait to be shown.
    answer = TestSupport::AnswerNextModal(QMessageBox::Yes);
    documents = frame.OpenDocumentFiles(paths, true);
    QVERIFY(answer->Seen);
    QCOMPARE(frame.GetOpenDocuments().size(), paths.size());
    QCOMPARE(documents.count(nullptr), 0);
    QCOMPARE(frame.GetActiveLogDocument(), documents.last());
    QTRY_COMPARE(TestSupport::TextOf(documents.last()->GetView()), QByteArray("line of 59"));
    for (qsizetype i = 0; i + 1 < documents.size(); ++i) {
        QVERIFY2(documents.at(i)->IsLoadPending(), qPrintable(paths.at(i)));
        QVERIFY(TestSupport::TextOf(documents.at(i)->GetView()).isEmpty());
    }
    // Each tab is named though: the tabs were named once, at the end.
    CDocumentArea* area = frame.GetDocumentArea();
    QCOMPARE(area->GetTabWidget()->tabText(0), QStringLiteral("many-0.log"));

    // A tab reads its file when it is first shown.
    area->SetActiveChildFrame(area->GetChildFrames().at(3));
    QTRY_COMPARE(TestSupport::TextOf(documents.at(3)->GetView()), QByteArray("line of 3"));
    QVERIFY(!documents.at(3)->IsLoadPending());

    // A file gone by then says so, and its tab goes.
    QVERIFY(QFile::remove(paths.at(7)));
    answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    area->SetActiveChildFrame(area->GetChildFrames().at(7));
    QTRY_VERIFY(answer->Seen);
    QVERIFY2(answer->Text.startsWith(QStringLiteral("Failed to open document.")), qPrintable(answer->Text));
    QTRY_COMPARE(frame.GetOpenDocuments().size(), paths.size() - 1);

    // Without asking, and a few files never ask.
    for (CChildFrame* child : area->GetChildFrames())
        frame.CloseChildFrame(child);
    QTRY_VERIFY(frame.GetOpenDocuments().isEmpty());
    answer = TestSupport::AnswerNextModal(QMessageBox::Ok); // for the one removed above
    QCOMPARE(frame.OpenDocumentFiles(paths, false).count(nullptr), 1);
    QVERIFY(answer->Seen);
    QCOMPARE(frame.GetOpenDocuments().size(), paths.size() - 1);
}

void TestMainFrame::geometryComesBackAtNextStart()
{
    {
        CMainFrame frame;
        frame.LoadFrame();
        frame.show();
        frame.setGeometry(40, 50, 777, 555);
        frame.findChild<QToolBar*>(QStringLiteral("standardToolBar"))->hide();
        frame.GetCommand(CommandId::ViewStatusBar)->trigger();
        QVERIFY(frame.close());
    }
    CMainFrame frame;
    frame.LoadFrame();
    frame.show();
    QCOMPARE(frame.size(), QSize(777, 555));
    QVERIFY(!frame.findChild<QToolBar*>(QStringLiteral("standardToolBar"))->isVisible());
    QVERIFY(!frame.statusBar()->isVisible());
    QVERIFY(!frame.GetCommand(CommandId::ViewStatusBar)->isChecked());
}

void TestMainFrame::commandKeysNeverEditTheText()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("keys.log"), "one\ntwo\n")));
    COstrelView* view = frame.GetActiveLogView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Return, Qt::AltModifier);
    QTest::keyClick(view, Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
    // Delete All Filters is off for a whole file; its key must not reach the editor either,
    // whose own map would duplicate the line. Nor Filter Settings' key, which would cut it.
    QVERIFY(!frame.GetCommand(CommandId::DeleteAllFilters)->isEnabled());
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
    frame.GetCommand(CommandId::FilterSettings)->setEnabled(false);
    QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(view->text(), QStringLiteral("one\ntwo\n"));
    QVERIFY(!view->IsTextModified());
    QCOMPARE(frame.GetActiveLogView(), view);

    // Without an X server nobody tells the lock states: the panes stay empty.
    for (const char* name : {"capsPane", "numPane", "scrollPane"})
        QVERIFY2(frame.findChild<QLabel*>(QString::fromLatin1(name))->text().isEmpty(), name);
}

void TestMainFrame::altAndCtrlCombinationsNeverTypeText()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("alt.log"), "abc\n")));
    COstrelView* view = frame.GetActiveLogView();
    view->setFocus();
    const struct
    {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
    } combinations[] = {
        {Qt::Key_O, Qt::AltModifier},
        {Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier},
        {Qt::Key_5, Qt::AltModifier},
        {Qt::Key_E, Qt::ControlModifier},
        {Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_Space, Qt::AltModifier},
    };
    for (const auto& combination : combinations) {
        QTest::keyClick(view, combination.Key, combination.Modifiers);
        const QString name = QKeySequence(combination.Key | combination.Modifiers).toString();
        QVERIFY2(view->text() == QStringLiteral("abc\n"), qPrintable(name + QStringLiteral(" typed text")));
        QVERIFY2(!view->IsTextModified(), qPrintable(name));
    }
    // Plain keys still type, and the editor's own Ctrl commands still work.
    QTest::keyClick(view, Qt::Key_O);
    QTest::keyClick(view, 'O', Qt::ShiftModifier);
    QCOMPARE(view->text(), QStringLiteral("oOabc\n"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(view->text(), QStringLiteral("abc\n"));
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), 4L);

    // Format has a mnemonic of its own: no two menus of the bar share one.
    QStringList mnemonics;
    for (QAction* menu : frame.menuBar()->actions()) {
        const QString text = menu->text();
        const qsizetype amp = text.indexOf(u'&');
        QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
        const QString key = text.mid(amp + 1, 1).toLower();
        QVERIFY2(!mnemonics.contains(key), qPrintable(text));
        mnemonics.append(key);
    }
    QVERIFY(MenuTitles(frame).contains(QStringLiteral("F&ormat")));
}

void TestMainFrame::pasteAndSelectAllFollowTheEditorsRules()
{
    CMainFrame frame;
    QAction* paste = frame.GetCommand(CommandId::EditPaste);
    QAction* selectAll = frame.GetCommand(CommandId::EditSelectAll);
    QApplication::clipboard()->clear();
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("empty.log"), QByteArray())));
    COstrelView* view = frame.GetActiveLogView();
    QTRY_VERIFY(!view->IsLoading());
    QTRY_VERIFY(!selectAll->isEnabled());
    QVERIFY2(!paste->isEnabled(), "nothing to paste");
    QVERIFY(!view->CanPaste());

    // Text on the clipboard enables Paste at once; text in the view enables Select All.
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTRY_VERIFY(paste->isEnabled());
    paste->trigger();
    QCOMPARE(view->text(), QStringLiteral("pasted"));
    QTRY_VERIFY(selectAll->isEnabled());
    QApplication::clipboard()->clear();
    QTRY_VERIFY(!paste->isEnabled());

    // Filter output takes no edit while it arrives.
    view->BeginFilterOutput();
    QApplication::clipboard()->setText(QStringLiteral("more"));
    QVERIFY(!view->CanPaste());
    view->EndFilterOutput();
    QVERIFY(view->CanPaste());
    QVERIFY(!view->CanSelectAll());

    // Another document with text: Select All follows the active one.
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("full.log"), "text\n")));
    QTRY_VERIFY(selectAll->isEnabled());
    QTRY_VERIFY(paste->isEnabled());
    QApplication::clipboard()->clear();
}

void TestMainFrame::toolbarFallsBackToItsOwnIcons()
{
    // No icon theme at all: every toolbar command shows the program's own drawing for it.
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    const QString fallback = QIcon::fallbackThemeName();
    QTemporaryDir noThemes;
    QIcon::setThemeSearchPaths({noThemes.path()});
    QIcon::setThemeName(QStringLiteral("none"));
    QIcon::setFallbackThemeName(QStringLiteral("none"));
    {
        CMainFrame frame;
        const std::pair<int, const char*> expected[] = {
            {CommandId::FileOpen, "open"},         {CommandId::FileSave, "save"},
            {CommandId::FilterSettings, "filter"}, {CommandId::DeleteAllFilters, "clear-filters"},
            {CommandId::EditCut, "cut"},           {CommandId::EditCopy, "copy"},
            {CommandId::EditPaste, "paste"},       {CommandId::FilePrint, "print"},
            {CommandId::AppAbout, "about"},
        };
        QSet<QByteArray> drawings;
        for (const auto& [id, name] : expected) {
            for (int size : {16, 32}) {
                const QImage own(QStringLiteral(":/toolbar/%1-%2.png").arg(QString::fromLatin1(name)).arg(size));
                QVERIFY2(!own.isNull(), name);
                const QImage shown = frame.GetCommand(id)->icon().pixmap(QSize(size, size)).toImage();
                QVERIFY2(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
                             own.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                         qPrintable(QStringLiteral("%1 at %2 px").arg(QString::fromLatin1(name)).arg(size)));
                if (size == 16)
                    drawings.insert(QByteArray(reinterpret_cast<const char*>(own.constBits()), own.sizeInBytes()));
            }
        }
        QCOMPARE(drawings.size(), qsizetype(std::size(expected))); // one drawing each, none twice
    }
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(theme);
    QIcon::setFallbackThemeName(fallback);
}

void TestMainFrame::timesPaneNamesTheLayoutOfTheActiveView()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    auto* pane = frame.findChild<QLabel*>(QStringLiteral("timesPane"));
    QVERIFY(pane);
    QVERIFY(pane->isHidden());
    const QString syslog =
        MakeLog(QStringLiteral("messages"), "Dec  9 21:01:12 host a: x\nDec  9 21:01:13 host b: y\n");
    const QString plain = MakeLog(QStringLiteral("notes.txt"), "no times\nhere\n");
    QVERIFY(frame.OpenDocumentFile(syslog));
    QTRY_VERIFY(!frame.GetActiveLogView()->IsLoading());
    QTRY_COMPARE(pane->text(), QStringLiteral("Times: syslog"));
    QVERIFY(pane->isVisibleTo(frame.statusBar()));
    QVERIFY(frame.OpenDocumentFile(plain));
    QTRY_VERIFY(!frame.GetActiveLogView()->IsLoading());
    QTRY_VERIFY(pane->isHidden());
    // Back to the first document: its layout again.
    QVERIFY(frame.OpenDocumentFile(syslog));
    QTRY_COMPARE(pane->text(), QStringLiteral("Times: syslog"));
    QVERIFY(!pane->isHidden());
}

OSTREL_QT_TEST_MAIN(TestMainFrame, COstrelApp)
#include "TestMainFrame.moc"
