// SPDX-License-Identifier: GPL-3.0-or-later
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "app/TabTitles.h"
#include "document/COstrelDoc.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"

namespace {

// Takes the URLs the desktop would open.
class CUrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> m_Urls;

public Q_SLOTS:
    void Open(const QUrl& url) { m_Urls.append(url); }
};

} // namespace

// Tab groups, tab moves and the tooltips that must follow every move.
class TestTabGroups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void tooltipsFollowDragsGroupMovesAndCloses();
    void contextMenuOffersWhatIsPossible();
    void contextMenuClosesCopiesAndOpensTheFolder();
    void closeKeysCloseTheActiveTab();
    void distinguishingFoldersTellSameNamesApart_data();
    void distinguishingFoldersTellSameNamesApart();
    void sameNamedFilesShowTheirFolder();
    void manyTabsEllipsizeInTheMiddleAndScroll();
    void emptiedGroupDisappearsAndActiveDocumentFollowsFocus();
    void nextPaneGoesRoundTheGroups();
    void documentMenuListsItsGroupsTabs();

private:
    QString MakeLog(const QString& name);
    // Every tab of every group, hovered: the tooltip must be that tab's own document's path.
    static void VerifyToolTips(CMainFrame& frame);
    static QStringList Titles(QTabWidget* group);

    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestTabGroups::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
}

QString TestTabGroups::MakeLog(const QString& name)
{
    const QString path = m_pDir->filePath(name);
    TestSupport::WriteFile(path, name.toUtf8() + "\n");
    return path;
}

void TestTabGroups::VerifyToolTips(CMainFrame& frame)
{
    for (QTabWidget* group : frame.GetDocumentArea()->GetTabGroups()) {
        for (int index = 0; index < group->count(); ++index) {
            const auto* tab = qobject_cast<CChildFrame*>(group->widget(index));
            QVERIFY(tab);
            const QString expected = tab->GetDocument()->GetPathName();
            QVERIFY2(frame.GetDocumentArea()->GetTabToolTip(group, index) == expected,
                     qPrintable(QStringLiteral("tab %1 of a group shows \"%2\", not \"%3\"")
                                    .arg(index)
                                    .arg(frame.GetDocumentArea()->GetTabToolTip(group, index), expected)));
        }
    }
}

QStringList TestTabGroups::Titles(QTabWidget* group)
{
    QStringList titles;
    for (int i = 0; i < group->count(); ++i)
        titles.append(group->tabText(i));
    return titles;
}

void TestTabGroups::tooltipsFollowDragsGroupMovesAndCloses()
{
    CMainFrame frame;
    frame.show();
    for (const char* name : {"a.log", "b.log", "c.log", "d.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));
    CDocumentArea* area = frame.GetDocumentArea();
    QTabWidget* first = area->GetTabWidget();
    VerifyToolTips(frame);

    // Dragging the third tab to the front renumbers the two it passed.
    first->setCurrentIndex(2);
    first->tabBar()->moveTab(2, 0);
    QCOMPARE(Titles(first), QStringList({QStringLiteral("c.log"), QStringLiteral("a.log"), QStringLiteral("b.log"),
                                         QStringLiteral("d.log")}));
    VerifyToolTips(frame);
    first->setCurrentIndex(0);
    first->tabBar()->moveTab(0, 3);
    VerifyToolTips(frame);

    // a.log, now first, goes to a new group to the right.
    first->setCurrentIndex(0);
    QVERIFY(area->CreateTabGroup(Qt::Horizontal));
    QCOMPARE(area->GetTabGroups().size(), 2);
    QTabWidget* second = area->GetTabGroups().at(1);
    QCOMPARE(Titles(first), QStringList({QStringLiteral("b.log"), QStringLiteral("d.log"), QStringLiteral("c.log")}));
    QCOMPARE(Titles(second), QStringList({QStringLiteral("a.log")}));
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("a.log"));
    int index = -1;
    QWidget* window = nullptr;
    frame.GetActiveLogDocument()->GetTabPosition(index, window);
    QCOMPARE(index, 0);
    QCOMPARE(window, second);
    VerifyToolTips(frame);

    // Closing a tab at the front of a group shifts the ones behind it.
    QVERIFY(frame.CloseChildFrame(qobject_cast<CChildFrame*>(first->widget(0))));
    QCOMPARE(Titles(first), QStringList({QStringLiteral("d.log"), QStringLiteral("c.log")}));
    VerifyToolTips(frame);

    // d.log joins a.log; c.log is left alone in the first group.
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(first->widget(0)));
    QVERIFY(area->MoveToTabGroup(1));
    QCOMPARE(Titles(second), QStringList({QStringLiteral("a.log"), QStringLiteral("d.log")}));
    QCOMPARE(Titles(first), QStringList({QStringLiteral("c.log")}));
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("d.log"));
    VerifyToolTips(frame);
    second->tabBar()->moveTab(1, 0);
    VerifyToolTips(frame);
}

void TestTabGroups::contextMenuOffersWhatIsPossible()
{
    CMainFrame frame;
    frame.show();
    CDocumentArea* area = frame.GetDocumentArea();
    auto enabledEntries = [area] {
        QMenu menu;
        area->FillTabContextMenu(&menu);
        QStringList names;
        for (QAction* action : menu.actions()) {
            if (action->isEnabled() && action->objectName().endsWith(QStringLiteral("TabGroupAction")))
                names.append(action->objectName());
        }
        return names.join(u' ');
    };
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("one.log"))));
    QCOMPARE(enabledEntries(), QString());

    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("two.log"))));
    QCOMPARE(enabledEntries(), QStringLiteral("newHorizontalTabGroupAction newVerticalTabGroupAction"));

    QVERIFY(area->CreateTabGroup(Qt::Vertical));
    QCOMPARE(area->GetGroupOrientation(), Qt::Vertical);
    // The new group holds one tab: it can only go back.
    QCOMPARE(enabledEntries(), QStringLiteral("moveToPreviousTabGroupAction"));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("three.log"))));
    // Groups one above the other take no group beside them.
    QCOMPARE(enabledEntries(), QStringLiteral("newHorizontalTabGroupAction moveToPreviousTabGroupAction"));
    QVERIFY(!area->CreateTabGroup(Qt::Horizontal));

    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(area->GetTabGroups().at(0)->widget(0)));
    QCOMPARE(enabledEntries(), QStringLiteral("moveToNextTabGroupAction"));

    // The menu's entries act on the active tab.
    QMenu menu;
    area->FillTabContextMenu(&menu);
    menu.findChild<QAction*>(QStringLiteral("moveToNextTabGroupAction"))->trigger();
    QTRY_COMPARE(area->GetTabGroups().size(), 1);
    QCOMPARE(area->GetTabWidget()->count(), 3);
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("one.log"));
}

void TestTabGroups::contextMenuClosesCopiesAndOpensTheFolder()
{
    CMainFrame frame;
    frame.show();
    CDocumentArea* area = frame.GetDocumentArea();
    const auto entry = [area](QMenu& menu, const char* name) {
        menu.clear();
        area->FillTabContextMenu(&menu);
        return menu.findChild<QAction*>(QString::fromLatin1(name));
    };
    QMenu menu;
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("one.log"))));
    const QStringList texts = [&menu, area] {
        area->FillTabContextMenu(&menu);
        QStringList all;
        for (QAction* action : menu.actions())
            all.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        return all;
    }();
    QCOMPARE(texts.mid(0, 5),
             QStringList({QStringLiteral("&Close"), QStringLiteral("Close &Others"), QStringLiteral("Copy &Full Path"),
                          QStringLiteral("Open Containing F&older"), QStringLiteral("-")}));
    QVERIFY2(!entry(menu, "closeOtherTabsAction")->isEnabled(), "no other tab to close");

    // Copy Full Path and Open Containing Folder take the clicked tab's document.
    const QString twoPath = MakeLog(QStringLiteral("two.log"));
    QVERIFY(frame.OpenDocumentFile(twoPath));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("three.log"))));
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(area->GetTabWidget()->widget(1)));
    QApplication::clipboard()->clear();
    entry(menu, "copyFullPathAction")->trigger();
    QTRY_COMPARE(QApplication::clipboard()->text(), twoPath);
    CUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    entry(menu, "openContainingFolderAction")->trigger();
    QTRY_COMPARE(catcher.m_Urls.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.m_Urls.at(0), QUrl::fromLocalFile(m_pDir->path()));

    // Close Others asks for each modified document; Cancel keeps it and the ones after it.
    COstrelView* two = frame.GetActiveLogView();
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("four.log"))));
    QTest::keyClicks(frame.GetActiveLogView(), QStringLiteral("z"));
    QVERIFY(frame.GetActiveLogView()->IsTextModified());
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(two->parentWidget()));
    QCOMPARE(frame.GetActiveLogView(), two);
    QVERIFY(entry(menu, "closeOtherTabsAction")->isEnabled());
    std::shared_ptr<TestSupport::ModalAnswer> asked = TestSupport::AnswerNextModal(QMessageBox::Cancel);
    entry(menu, "closeOtherTabsAction")->trigger();
    QTRY_VERIFY(asked->Seen);
    QCOMPARE(asked->Text, QStringLiteral("Save changes to four.log?"));
    QTRY_COMPARE(Titles(area->GetTabWidget()), QStringList({QStringLiteral("two.log"), QStringLiteral("four.log")}));

    asked = TestSupport::AnswerNextModal(QMessageBox::No);
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(two->parentWidget()));
    entry(menu, "closeOtherTabsAction")->trigger();
    QTRY_VERIFY(asked->Seen);
    QTRY_COMPARE(Titles(area->GetTabWidget()), QStringList({QStringLiteral("two.log")}));
    QCOMPARE(frame.GetActiveLogView(), two);

    // Close closes the clicked tab.
    entry(menu, "closeTabAction")->trigger();
    QTRY_VERIFY(frame.GetOpenDocuments().isEmpty());
    QVERIFY(!frame.GetActiveLogView());
}

void TestTabGroups::closeKeysCloseTheActiveTab()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    for (const char* name : {"a.log", "b.log", "c.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));
    CDocumentArea* area = frame.GetDocumentArea();
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(area->GetTabWidget()->widget(1)));
    frame.GetActiveLogView()->setFocus();
    QTRY_VERIFY(frame.GetActiveLogView()->hasFocus());
    QTest::keyClick(frame.GetActiveLogView(), Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(Titles(area->GetTabWidget()), QStringList({QStringLiteral("a.log"), QStringLiteral("c.log")}));
    frame.GetActiveLogView()->setFocus();
    QTRY_VERIFY(frame.GetActiveLogView()->hasFocus());
    QTest::keyClick(frame.GetActiveLogView(), Qt::Key_F4, Qt::ControlModifier);
    QTRY_COMPARE(frame.GetOpenDocuments().size(), 1);
    // The text is never touched by them.
    QCOMPARE(frame.GetActiveLogView()->IsTextModified(), false);
}

void TestTabGroups::distinguishingFoldersTellSameNamesApart_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("folders");
    const auto list = [](std::initializer_list<const char*> texts) {
        QStringList all;
        for (const char* text : texts)
            all.append(QString::fromUtf8(text));
        return all;
    };
    QTest::newRow("all names differ") << list({"/a/one.log", "/a/two.log"}) << list({"", ""});
    QTest::newRow("parents differ") << list({"/srv/a/app.log", "/srv/b/app.log", "/srv/a/other.log"})
                                    << list({"a", "b", ""});
    QTest::newRow("parents alike too") << list({"/x/logs/app.log", "/y/logs/app.log"}) << list({"x/logs", "y/logs"});
    QTest::newRow("one depth per name") << list({"/x/logs/app.log", "/y/logs/app.log", "/z/app.log"})
                                        << list({"x/logs", "y/logs", "z"});
    QTest::newRow("file at the root") << list({"/app.log", "/var/app.log"}) << list({"", "var"});
    QTest::newRow("case tells names apart") << list({"/a/App.log", "/b/app.log"}) << list({"", ""});
}

void TestTabGroups::distinguishingFoldersTellSameNamesApart()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, folders);
    QCOMPARE(DistinguishingFolders(paths), folders);
}

void TestTabGroups::sameNamedFilesShowTheirFolder()
{
    CMainFrame frame;
    frame.LoadFrame(); // the modified marker's timer
    CDocumentArea* area = frame.GetDocumentArea();
    QVERIFY(QDir(m_pDir->path()).mkpath(QStringLiteral("east/logs")));
    QVERIFY(QDir(m_pDir->path()).mkpath(QStringLiteral("west/logs")));
    const QString east = m_pDir->filePath(QStringLiteral("east/logs/app.log"));
    const QString west = m_pDir->filePath(QStringLiteral("west/logs/app.log"));
    QVERIFY(TestSupport::WriteFile(east, "east\n"));
    QVERIFY(TestSupport::WriteFile(west, "west\n"));

    QVERIFY(frame.OpenDocumentFile(east));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("other.log"))));
    QCOMPARE(Titles(area->GetTabWidget()), QStringList({QStringLiteral("app.log"), QStringLiteral("other.log")}));
    // A second app.log: both name their folders, also across groups; the tooltip keeps the
    // full path.
    QVERIFY(frame.OpenDocumentFile(west));
    QCOMPARE(Titles(area->GetTabWidget()),
             QStringList({QStringLiteral("east/logs/app.log"), QStringLiteral("other.log"),
                          QStringLiteral("west/logs/app.log")}));
    QVERIFY(area->CreateTabGroup(Qt::Horizontal));
    QCOMPARE(Titles(area->GetTabGroups().at(1)), QStringList({QStringLiteral("west/logs/app.log")}));
    VerifyToolTips(frame);

    // Typing marks the tab as modified after its folders.
    QTest::keyClicks(frame.GetActiveLogView(), QStringLiteral("z"));
    QTRY_COMPARE_WITH_TIMEOUT(Titles(area->GetTabGroups().at(1)), QStringList({QStringLiteral("west/logs/app.log*")}),
                              3000);

    // With the other one closed the name is alone again.
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(area->GetTabGroups().at(0)->widget(0)));
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(Titles(area->GetTabGroups().at(1)), QStringList({QStringLiteral("app.log*")}));
}

void TestTabGroups::manyTabsEllipsizeInTheMiddleAndScroll()
{
    CMainFrame frame;
    frame.resize(640, 400);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CDocumentArea* area = frame.GetDocumentArea();
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("a.log"))));
    for (int i = 1; i <= 8; ++i)
        QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("service-gateway-%1-2024-01-15.log").arg(i))));
    QTabBar* bar = area->GetTabWidget()->tabBar();
    QCOMPARE(bar->elideMode(), Qt::ElideMiddle);
    QVERIFY(bar->usesScrollButtons());
    const QFontMetrics metrics(bar->font());
    // Squeezed tabs keep a readable part of their names; a short name keeps its own width.
    QTRY_VERIFY(bar->tabRect(8).width() > 0);
    for (int i = 1; i < bar->count(); ++i) {
        QVERIFY2(bar->tabRect(i).width() >= metrics.averageCharWidth() * 14,
                 qPrintable(QStringLiteral("tab %1 is %2 px wide").arg(i).arg(bar->tabRect(i).width())));
    }
    QVERIFY(bar->tabRect(0).width() < bar->tabRect(1).width());
    // They no longer fit: the bar scrolls, and the current tab is in sight.
    int shownButtons = 0;
    for (const QToolButton* button : bar->findChildren<QToolButton*>())
        shownButtons += button->isVisible() ? 1 : 0;
    QVERIFY2(shownButtons >= 2, "no scroll buttons");
    QVERIFY(bar->rect().intersects(bar->tabRect(bar->currentIndex())));
}

void TestTabGroups::emptiedGroupDisappearsAndActiveDocumentFollowsFocus()
{
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    CDocumentArea* area = frame.GetDocumentArea();
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("left.log"))));
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("right.log"))));
    QVERIFY(area->CreateTabGroup(Qt::Horizontal));
    QTabWidget* left = area->GetTabGroups().at(0);
    QTabWidget* right = area->GetTabGroups().at(1);

    qRegisterMetaType<COstrelView*>();
    QSignalSpy activeViews(&frame.GetSignals(), &CWorkspaceSignals::ActiveLogViewChanged);
    auto* leftFrame = qobject_cast<CChildFrame*>(left->widget(0));
    leftFrame->GetView()->setFocus();
    QTRY_COMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("left.log"));
    QCOMPARE(activeViews.size(), 1);
    QCOMPARE(activeViews.at(0).at(0).value<COstrelView*>(), leftFrame->GetView());
    QCOMPARE(frame.windowTitle(), QStringLiteral("left.log - Ostrel"));

    // A click on the other group's tab bar makes it the active one.
    QTest::mouseClick(right->tabBar(), Qt::LeftButton, {}, right->tabBar()->tabRect(0).center());
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("right.log"));

    // Closing the last tab of a group takes the group away; the other one is active.
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(area->GetTabGroups().size(), 1);
    QCOMPARE(area->GetTabWidget(), left);
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("left.log"));
    QCOMPARE(left->objectName(), QStringLiteral("documentTabs"));

    // The last group stays even when it is empty, and takes the next document.
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(area->GetTabGroups().size(), 1);
    QVERIFY(!frame.GetActiveLogView());
    QVERIFY(frame.OpenDocumentFile(MakeLog(QStringLiteral("again.log"))));
    QCOMPARE(left->count(), 1);
}

void TestTabGroups::nextPaneGoesRoundTheGroups()
{
    CMainFrame frame;
    frame.show();
    CDocumentArea* area = frame.GetDocumentArea();
    for (const char* name : {"g1.log", "g2.log", "g3.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));
    QAction* next = frame.GetCommand(CommandId::NextPane);
    QAction* previous = frame.GetCommand(CommandId::PreviousPane);
    QCOMPARE(next->shortcut(), QKeySequence(Qt::Key_F6));
    QCOMPARE(previous->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F6));

    // One group: F6 goes round its tabs.
    next->trigger();
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("g1.log"));

    // Three groups: F6 goes round the groups, Shift+F6 back, each to its current tab.
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(area->GetTabWidget()->widget(1)));
    QVERIFY(area->CreateTabGroup(Qt::Horizontal)); // g2 to the second group
    area->SetActiveChildFrame(qobject_cast<CChildFrame*>(area->GetTabGroups().at(0)->widget(1)));
    QVERIFY(area->CreateTabGroup(Qt::Horizontal)); // g3 between them
    QStringList order;
    for (QTabWidget* group : area->GetTabGroups())
        order.append(group->tabText(group->currentIndex()));
    QCOMPARE(order, QStringList({QStringLiteral("g1.log"), QStringLiteral("g3.log"), QStringLiteral("g2.log")}));
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("g3.log"));
    next->trigger();
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("g2.log"));
    next->trigger();
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("g1.log"));
    previous->trigger();
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("g2.log"));
}

void TestTabGroups::documentMenuListsItsGroupsTabs()
{
    CMainFrame frame;
    frame.show();
    CDocumentArea* area = frame.GetDocumentArea();
    for (const char* name : {"x.log", "R&D.log", "z.log"})
        QVERIFY(frame.OpenDocumentFile(MakeLog(QString::fromLatin1(name))));
    QVERIFY(area->CreateTabGroup(Qt::Horizontal)); // z.log alone on the right
    QTabWidget* left = area->GetTabGroups().at(0);
    left->setCurrentIndex(0);

    auto* button = qobject_cast<QToolButton*>(left->cornerWidget(Qt::TopRightCorner));
    QVERIFY(button);
    QCOMPARE(button->objectName(), QStringLiteral("documentMenuButton"));
    QMenu* menu = button->menu();
    Q_EMIT menu->aboutToShow();
    QStringList entries;
    for (QAction* action : menu->actions())
        entries.append(action->text() + (action->isChecked() ? QStringLiteral(" *") : QString()));
    QCOMPARE(entries, QStringList({QStringLiteral("x.log *"), QStringLiteral("R&&D.log")}));

    menu->actions().at(1)->trigger();
    QCOMPARE(frame.GetActiveLogDocument()->GetTitle(), QStringLiteral("R&D.log"));
    QCOMPARE(area->GetTabWidget(), left);
}

OSTREL_QT_TEST_MAIN(TestTabGroups, COstrelApp)
#include "TestTabGroups.moc"
