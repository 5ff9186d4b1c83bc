// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QPointer>
#include <QTabWidget>
#include <QWidget>
#include <QtTest>

#include "app/COpenDocuments.h"
#include "app/COstrelApp.h"
#include "app/CRecentFileActions.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "support/QtTestSupport.h"

using namespace Qt::Literals::StringLiterals;

// The pieces of the main window on their own: the recent-file entries and the tab places kept
// by the list of open documents.
class TestMainFrameParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recentFileEntryText_data();
    void recentFileEntryText();
    void recentFileEntriesOpenTheirPathsAndGoWhenRebuilt();
    void tabMovesShiftTheDocumentsBetween();
    void tabMovesOfUnknownOrUnplacedDocumentsChangeNothing();

private:
    static int TabIndex(const COstrelDoc& document);
    static QWidget* TabGroup(const COstrelDoc& document);
};

int TestMainFrameParts::TabIndex(const COstrelDoc& document)
{
    int index = -1;
    QWidget* group = nullptr;
    document.GetTabPosition(index, group);
    return index;
}

QWidget* TestMainFrameParts::TabGroup(const COstrelDoc& document)
{
    int index = -1;
    QWidget* group = nullptr;
    document.GetTabPosition(index, group);
    return group;
}

void TestMainFrameParts::recentFileEntryText_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    const QString longName = QString(40, u'n') + u".log"_s;
    QTest::newRow("short path as it is") << 1 << u"/var/log/a.log"_s << u"&1 /var/log/a.log"_s;
    QTest::newRow("ampersand shown as one") << 2 << u"/tmp/R&D/x.log"_s << u"&2 /tmp/R&&D/x.log"_s;
    QTest::newRow("thirty characters fit")
        << 3 << u"/var/log/services/app-2026.log"_s << u"&3 /var/log/services/app-2026.log"_s;
    QTest::newRow("long path keeps its name")
        << 3 << u"/very/long/folder/name/that/goes/on/app.log"_s << u"&3 /very/long/folder/n.../app.log"_s;
    QTest::newRow("long name keeps no folder") << 4 << u"/a/"_s + longName << u"&4 .../"_s + longName;
}

void TestMainFrameParts::recentFileEntryText()
{
    QFETCH(int, number);
    QFETCH(QString, path);
    QFETCH(QString, text);
    QCOMPARE(CRecentFileActions::EntryText(number, path), text);
}

void TestMainFrameParts::recentFileEntriesOpenTheirPathsAndGoWhenRebuilt()
{
    QWidget window;
    QStringList opened;
    CRecentFileActions entries(window, [&opened](const QString& path) { opened.append(path); });
    entries.Rebuild({u"/logs/one.log"_s, u"/logs/two.log"_s});
    QCOMPARE(entries.GetActions().size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QAction* action = entries.GetActions().at(i);
        QCOMPARE(action->objectName(), u"recentFile%1Action"_s.arg(i + 1));
        QCOMPARE(action->data().toInt(), CommandId::FileMruFirst + i);
        QCOMPARE(action->statusTip(), u"Open this document"_s);
    }
    entries.GetActions().at(1)->trigger();
    QCOMPARE(opened, QStringList{u"/logs/two.log"_s});

    const QPointer<QAction> old = entries.GetActions().at(0);
    entries.Rebuild({u"/logs/three.log"_s});
    QCOMPARE(entries.GetActions().size(), 1);
    QCOMPARE(entries.GetActions().at(0)->text(), u"&1 /logs/three.log"_s);
    // The old entries leave the window at once and go once the event under way is over.
    QCOMPARE(window.findChildren<QAction*>().size(), 1);
    QVERIFY(old);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!old);
    entries.GetActions().at(0)->trigger();
    QCOMPARE(opened, (QStringList{u"/logs/two.log"_s, u"/logs/three.log"_s}));
}

void TestMainFrameParts::tabMovesShiftTheDocumentsBetween()
{
    QTabWidget left;
    QTabWidget right;
    COstrelDoc documents[5];
    COpenDocuments open;
    for (int i = 0; i < 4; ++i) {
        documents[i].SetTabPosition(i, &left);
        open.Add(&documents[i]);
    }
    documents[4].SetTabPosition(1, &right);
    open.Add(&documents[4]);

    // The first tab dragged to the third place: the two it passed move up.
    open.NoteTabMoved(&documents[0], 0, 2);
    const QList<int> afterRight = {TabIndex(documents[0]), TabIndex(documents[1]), TabIndex(documents[2]),
                                   TabIndex(documents[3])};
    QCOMPARE(afterRight, (QList<int>{2, 0, 1, 3}));
    QCOMPARE(TabIndex(documents[4]), 1); // another group's tabs stay
    QCOMPARE(TabGroup(documents[4]), &right);

    // And from the last place to the first: every tab before it moves down.
    open.NoteTabMoved(&documents[3], 3, 0);
    const QList<int> afterLeft = {TabIndex(documents[0]), TabIndex(documents[1]), TabIndex(documents[2]),
                                  TabIndex(documents[3])};
    QCOMPARE(afterLeft, (QList<int>{3, 1, 2, 0}));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(TabGroup(documents[i]), &left);

    // A tab moved to the other group keeps its index there until it is activated.
    COpenDocuments::NoteMovedToGroup(&documents[2], &right);
    QCOMPARE(TabGroup(documents[2]), &right);
    QCOMPARE(TabIndex(documents[2]), 2);
    COpenDocuments::NoteMovedToGroup(nullptr, &right);
}

void TestMainFrameParts::tabMovesOfUnknownOrUnplacedDocumentsChangeNothing()
{
    QTabWidget group;
    COstrelDoc listed;
    COstrelDoc unlisted;
    COstrelDoc unplaced;
    listed.SetTabPosition(0, &group);
    unlisted.SetTabPosition(1, &group);
    COpenDocuments open;
    open.Add(&listed);
    open.Add(&unplaced);

    open.NoteTabMoved(&unlisted, 1, 0);
    QCOMPARE(TabIndex(listed), 0);
    open.NoteTabMoved(nullptr, 1, 0);
    QCOMPARE(TabIndex(listed), 0);
    open.NoteTabMoved(&unplaced, 1, 0);
    QCOMPARE(TabIndex(listed), 0);
    QVERIFY(!TabGroup(unplaced));

    QVERIFY(open.Contains(&listed));
    open.Remove(&listed);
    QVERIFY(!open.Contains(&listed));
    QCOMPARE(open.Get(), QList<COstrelDoc*>{&unplaced});
}

OSTREL_QT_TEST_MAIN(TestMainFrameParts, COstrelApp)
#include "TestMainFrameParts.moc"
