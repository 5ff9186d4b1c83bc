// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <functional>
#include <memory>
#include <sys/stat.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>

#include "app/CAboutDlg.h"
#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "filterui/CFilterSettingsDlg.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"

class TestApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstRunDefaultsAreWrittenAtExit();
    void fontChosenDuringRunReachesStoreOnlyAtExit();
    void recentFileListKeepsFourNewestFirst();
    void identityAndAboutBox();
    void fileNewAndUnreadableFilesOpenNothing();
    void recentFileThatNoLongerOpensLeavesTheList();
    void lastSessionComesBackAtNextStart();
    void rotatedSetComesBackAsASet();
    void startFilesOpenPastOneThatCannot();
    void settingsFileOfItsOwnTakesEverything();
    void fileOpenStartsInTheActiveDocumentsFolder();
};

void TestApplication::firstRunDefaultsAreWrittenAtExit()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("first.conf")), QSettings::IniFormat);
    COstrelApp* app = COstrelApp::GetInstance();
    app->ReadSettings(settings);
    QCOMPARE(app->GetTooltipsEnable(), 1);
    QCOMPARE(app->GetTextMask(), 0);
    QCOMPARE(app->GetTextEffects(), 0);
    QCOMPARE(app->GetTextColor(), 0u);
    QCOMPARE(app->GetTextHeight(), 0);
    QCOMPARE(app->GetTextOffset(), 0);
    QCOMPARE(app->GetTextFont(), QStringLiteral("Courier New"));
    QVERIFY2(settings.allKeys().isEmpty(), "reading must not write anything");

    app->WriteSettings(settings);
    const std::pair<const char*, QVariant> expected[] = {
        {"Settings/TooltipsEnable", 1},
        {"Settings/TextMask", 0},
        {"Settings/TextEffects", 0},
        {"Settings/TextColor", 0},
        {"Settings/TextHeight", 0},
        {"Settings/TextOffset", 0},
        {"Settings/TextFont", QStringLiteral("Courier New")},
        {"Settings/RestoreSession", 1},
    };
    for (const auto& [key, value] : expected) {
        QVERIFY2(settings.contains(QString::fromLatin1(key)), key);
        QCOMPARE(settings.value(QString::fromLatin1(key)).toString(), value.toString());
    }
}

void TestApplication::fontChosenDuringRunReachesStoreOnlyAtExit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("font.conf"));
    COstrelApp* app = COstrelApp::GetInstance();
    {
        QSettings settings(path, QSettings::IniFormat);
        app->ReadSettings(settings);
        app->WriteSettings(settings);
    }
    app->SetTextFont(QStringLiteral("DejaVu Sans Mono"));
    app->SetTextHeight(200);
    app->SetTextColor(0x0000FF);
    app->SetTooltipsEnable(0);
    {
        QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("Settings/TextFont")).toString(), QStringLiteral("Courier New"));
        QCOMPARE(settings.value(QStringLiteral("Settings/TextHeight")).toInt(), 0);
        app->WriteSettings(settings);
    }
    app->SetTextFont(QStringLiteral("Something Else"));
    {
        QSettings settings(path, QSettings::IniFormat);
        app->ReadSettings(settings);
    }
    QCOMPARE(app->GetTextFont(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(app->GetTextHeight(), 200);
    QCOMPARE(app->GetTextColor(), 0x0000FFu);
    QCOMPARE(app->GetTooltipsEnable(), 0);
}

void TestApplication::recentFileListKeepsFourNewestFirst()
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("recent.conf")), QSettings::IniFormat);
    COstrelApp* app = COstrelApp::GetInstance();
    app->ReadSettings(settings);
    for (const char* name : {"/logs/a.log", "/logs/b.log", "/logs/c.log", "/logs/d.log", "/logs/e.log", "/logs/b.log"})
        app->AddToRecentFileList(QString::fromLatin1(name));
    const QStringList expected = {QStringLiteral("/logs/b.log"), QStringLiteral("/logs/e.log"),
                                  QStringLiteral("/logs/d.log"), QStringLiteral("/logs/c.log")};
    QCOMPARE(app->GetRecentFileList(), expected);

    app->WriteSettings(settings);
    for (int i = 1; i <= 4; ++i)
        QCOMPARE(settings.value(QStringLiteral("Recent File List/File%1").arg(i)).toString(), expected.at(i - 1));
    QVERIFY(!settings.contains(QStringLiteral("Recent File List/File5")));

    QSettings fresh(dir.filePath(QStringLiteral("recent.conf")), QSettings::IniFormat);
    app->ReadSettings(fresh);
    QCOMPARE(app->GetRecentFileList(), expected);
}

void TestApplication::identityAndAboutBox()
{
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Quorrel"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Ostrel"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.1.0.156"));
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Ostrel"));
    auto* version = about.findChild<QLabel*>(QStringLiteral("versionLabel"));
    QVERIFY(version);
    QCOMPARE(version->text(), QStringLiteral("1.1.0 Build 156"));
}

void TestApplication::fileNewAndUnreadableFilesOpenNothing()
{
    CMainFrame frame;
    COstrelApp::GetInstance()->OnFileNew();
    QCOMPARE(frame.GetOpenDocuments().size(), 0);

    // Each refusal names the file and says why.
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.log"));
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!frame.OpenDocumentFile(missing));
    QVERIFY(answer->Seen);
    QCOMPARE(answer->Text, QStringLiteral("Failed to open document.\n\n%1: No such file or directory").arg(missing));
    QCOMPARE(frame.GetOpenDocuments().size(), 0);
    QVERIFY(!frame.GetActiveLogView());

    const auto folderAnswer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!frame.OpenDocumentFile(dir.path()));
    QCOMPARE(folderAnswer->Text, QStringLiteral("Failed to open document.\n\n%1: Is a folder").arg(dir.path()));

    // A pipe with no writer would hold the window forever, and a device may never end.
    const QString pipe = dir.filePath(QStringLiteral("pipe.log"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& special : {pipe, QStringLiteral("/dev/zero")}) {
        const auto specialAnswer = TestSupport::AnswerNextModal(QMessageBox::Ok);
        QVERIFY(!frame.OpenDocumentFile(special));
        QCOMPARE(specialAnswer->Text,
                 QStringLiteral("Failed to open document.\n\n%1: Not a regular file").arg(special));
    }

    // A file that opens but cannot be read leaves no tab behind.
    const auto readAnswer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!frame.OpenDocumentFile(QStringLiteral("/proc/self/mem")));
    QVERIFY(readAnswer->Text.startsWith(QStringLiteral("Failed to open document.\n\n/proc/self/mem: ")));
    QCOMPARE(frame.GetOpenDocuments().size(), 0);
    QVERIFY(frame.GetDocumentArea()->GetChildFrames().isEmpty());
}

void TestApplication::recentFileThatNoLongerOpensLeavesTheList()
{
    CMainFrame frame;
    COstrelApp* app = COstrelApp::GetInstance();
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.log"));
    const QString gone = dir.filePath(QStringLiteral("gone.log"));
    QVERIFY(TestSupport::WriteFile(kept, "a\n"));
    app->AddToRecentFileList(gone);
    app->AddToRecentFileList(kept);
    QCOMPARE(app->GetRecentFileList().mid(0, 2), QStringList({kept, gone}));

    auto* entry = frame.findChild<QAction*>(QStringLiteral("recentFile2Action"));
    QVERIFY(entry);
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    entry->trigger();
    QVERIFY(answer->Seen);
    QVERIFY(!app->GetRecentFileList().contains(gone));
    QVERIFY(app->GetRecentFileList().contains(kept));
}

void TestApplication::lastSessionComesBackAtNextStart()
{
    COstrelSettings().clear();
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.log"));
    const QString b = dir.filePath(QStringLiteral("b.log"));
    const QString c = dir.filePath(QStringLiteral("c.log"));
    const QString d = dir.filePath(QStringLiteral("d.log"));
    const QString e = dir.filePath(QStringLiteral("e.log"));
    for (const QString& path : {a, b, c, d, e})
        QVERIFY(TestSupport::WriteFile(path, "ERROR one\nWarning x\n"));
    COstrelApp* app = COstrelApp::GetInstance();
    app->setQuitOnLastWindowClosed(false);
    const auto childOf = [](CMainFrame* frame, const QString& path) -> CChildFrame* {
        for (CChildFrame* child : frame->GetDocumentArea()->GetChildFrames()) {
            if (child->GetDocument()->GetPathName() == path)
                return child;
        }
        return nullptr;
    };

    QVERIFY(app->InitInstance());
    QVERIFY(app->GetRestoreSession());
    CMainFrame* frame = app->GetMainFrame();
    for (const QString& path : {a, b, d, e, c})
        QVERIFY(app->OpenDocumentFile(path));
    FilterSettings& filters = childOf(frame, b)->GetDocument()->GetFilterSettings();
    filters.AddFilter(u"ERROR", 0);
    filters.SetCaseSensitive(0, true);
    filters.SetOutputBeforeMatch(0, 2);
    filters.SetOutputAfterMatch(0, 1);
    filters.AddFilter(u"^W.*x$", 1);
    filters.SetExcludeMatches(true);
    // c in a group of its own below the others, b active.
    QVERIFY(frame->GetDocumentArea()->CreateTabGroup(Qt::Vertical));
    frame->GetDocumentArea()->SetActiveChildFrame(childOf(frame, b));
    // b's lines are filtered as records, through its menu item.
    QAction* records = frame->GetCommand(CommandId::ViewRecords);
    QTRY_VERIFY(records->isEnabled());
    QVERIFY(!records->isChecked());
    records->trigger();
    QVERIFY(childOf(frame, b)->GetDocument()->GetRecords());
    QVERIFY(records->isChecked());
    QVERIFY(frame->close());
    app->ExitInstance(0);

    // a is gone by the next start, a folder has d's name and a pipe e's: the rest comes back as
    // it was, with a note that says what became of each.
    QVERIFY(QFile::remove(a));
    QVERIFY(QFile::remove(d) && QDir().mkdir(d));
    QVERIFY(QFile::remove(e));
    QCOMPARE(::mkfifo(QFile::encodeName(e).constData(), 0600), 0);
    QVERIFY(app->InitInstance());
    frame = app->GetMainFrame();
    CDocumentArea* area = frame->GetDocumentArea();
    QCOMPARE(frame->GetOpenDocuments().size(), 2);
    QCOMPARE(area->GetTabGroups().size(), 2);
    QCOMPARE(area->GetGroupOrientation(), Qt::Vertical);
    QCOMPARE(area->GetTabGroupOf(childOf(frame, b)), area->GetTabGroups().at(0));
    QCOMPARE(area->GetTabGroupOf(childOf(frame, c)), area->GetTabGroups().at(1));
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), b);
    QCOMPARE(frame->statusBar()->currentMessage(),
             QStringLiteral("Not reopened, no longer there: a.log; d.log (a folder), e.log (a named pipe)"));
    const FilterSettings& restored = childOf(frame, b)->GetDocument()->GetFilterSettings();
    QCOMPARE(restored.GetCount(), 2);
    QCOMPARE(restored.GetFilterString(0), std::u16string(u"ERROR"));
    QCOMPARE(restored.GetRegExp(0), 0);
    QVERIFY(restored.GetCaseSensitive(0));
    QCOMPARE(restored.GetOutputBeforeMatch(0), 2);
    QCOMPARE(restored.GetOutputAfterMatch(0), 1);
    QCOMPARE(restored.GetFilterString(1), std::u16string(u"^W.*x$"));
    QCOMPARE(restored.GetRegExp(1), 1);
    QVERIFY(!restored.GetCaseSensitive(1));
    QVERIFY(restored.GetExcludeMatches());
    QCOMPARE(childOf(frame, c)->GetDocument()->GetFilterSettings().GetCount(), 0);
    QVERIFY(childOf(frame, b)->GetDocument()->GetRecords());
    QVERIFY(!childOf(frame, c)->GetDocument()->GetRecords());
    QTRY_VERIFY(frame->GetCommand(CommandId::ViewRecords)->isChecked());
    frame->GetDocumentArea()->SetActiveChildFrame(childOf(frame, c));
    QTRY_VERIFY2(!frame->GetCommand(CommandId::ViewRecords)->isChecked(), "the switch is the active document's");
    QVERIFY(!childOf(frame, c)->GetDocument()->GetFilterSettings().GetExcludeMatches());
    QVERIFY(frame->close());
    app->ExitInstance(0);

    // Switched off, a start opens nothing of the last session.
    COstrelSettings().setValue(QStringLiteral("Settings/RestoreSession"), 0);
    QVERIFY(app->InitInstance());
    QVERIFY(!app->GetRestoreSession());
    QVERIFY(app->GetMainFrame()->GetOpenDocuments().isEmpty());
    app->ExitInstance(0);
    app->setQuitOnLastWindowClosed(true);
}

void TestApplication::rotatedSetComesBackAsASet()
{
    COstrelSettings().clear();
    QTemporaryDir dir;
    const QString older = dir.filePath(QStringLiteral("app.log.1"));
    const QString live = dir.filePath(QStringLiteral("app.log"));
    QVERIFY(TestSupport::WriteFile(older, "old\n"));
    QVERIFY(TestSupport::WriteFile(live, "new\n"));
    COstrelApp* app = COstrelApp::GetInstance();
    app->setQuitOnLastWindowClosed(false);
    QVERIFY(app->InitInstance());
    QVERIFY(app->GetMainFrame()->OpenRotatedSet(older));
    QVERIFY(app->OpenDocumentFile(live));
    QVERIFY(app->GetMainFrame()->close());
    app->ExitInstance(0);

    // The set and the live file alone, each as it was; a file rotated in meanwhile joins the set.
    const QString rotated = dir.filePath(QStringLiteral("app.log.2"));
    QVERIFY(TestSupport::WriteFile(rotated, "older\n"));
    QVERIFY(app->InitInstance());
    const QList<COstrelDoc*> documents = app->GetMainFrame()->GetOpenDocuments();
    QCOMPARE(documents.size(), 2);
    const auto set = std::find_if(documents.begin(), documents.end(), [](COstrelDoc* d) { return d->IsRotatedSet(); });
    QVERIFY(set != documents.end());
    QCOMPARE((*set)->GetRotatedSetFiles(), QStringList({rotated, older, live}));
    QCOMPARE(std::count_if(documents.begin(), documents.end(), [](COstrelDoc* d) { return d->IsRotatedSet(); }), 1);
    QVERIFY(app->GetMainFrame()->close());
    app->ExitInstance(0);
    app->setQuitOnLastWindowClosed(true);
}

void TestApplication::startFilesOpenPastOneThatCannot()
{
    COstrelSettings().clear();
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.log"));
    const QString missing = dir.filePath(QStringLiteral("missing.log"));
    const QString b = dir.filePath(QStringLiteral("b.log"));
    QVERIFY(TestSupport::WriteFile(a, "a\n"));
    QVERIFY(TestSupport::WriteFile(b, "b\n"));
    COstrelApp* app = COstrelApp::GetInstance();
    CStartOptions options;
    options.Files = {a, missing, b};
    app->SetStartOptions(options);

    // The message of File > Open, over the main window, and the other files open all the same.
    const auto answer = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(app->InitInstance());
    app->SetStartOptions(CStartOptions());
    QVERIFY(answer->Seen);
    QCOMPARE(answer->Text, QStringLiteral("Failed to open document.\n\n%1: No such file or directory").arg(missing));
    CMainFrame* frame = app->GetMainFrame();
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->GetOpenDocuments().size(), 2);
    QCOMPARE(frame->GetOpenDocuments().at(0)->GetPathName(), a);
    QCOMPARE(frame->GetOpenDocuments().at(1)->GetPathName(), b);
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), b);
    QVERIFY(!app->GetRecentFileList().contains(missing));
    QVERIFY(frame->close());
    app->ExitInstance(0);
}

void TestApplication::settingsFileOfItsOwnTakesEverything()
{
    // Whatever the usual store holds stays exactly as it is while another file is in use.
    {
        COstrelSettings usual;
        usual.clear();
        usual.setValue(QStringLiteral("Settings/TextFont"), QStringLiteral("Usual Face"));
        usual.setValue(QStringLiteral("Path"), QStringLiteral("/usual/help"));
    }
    const QString usualFile = COstrelSettings::GetDefaultFileName();
    QCOMPARE(COstrelSettings::GetFileName(), usualFile);
    const QByteArray usualBytes = TestSupport::ReadFile(usualFile);
    QVERIFY(!usualBytes.isEmpty());

    QTemporaryDir dir;
    const QString ownFile = dir.filePath(QStringLiteral("own.conf"));
    const QString helpFolder = dir.filePath(QStringLiteral("helpfolder"));
    QVERIFY(QDir().mkpath(helpFolder + QStringLiteral("/help")));
    QVERIFY(TestSupport::WriteFile(helpFolder + QStringLiteral("/help/RegExpSyntax.html"), "<html/>"));
    COstrelSettings::SetFileName(ownFile);
    {
        QSettings own(ownFile, QSettings::IniFormat);
        own.setValue(QStringLiteral("Settings/TextFont"), QStringLiteral("Own Face"));
        own.setValue(QStringLiteral("Path"), helpFolder);
    }
    const QString log = dir.filePath(QStringLiteral("own.log"));
    QVERIFY(TestSupport::WriteFile(log, "x\n"));

    COstrelApp* app = COstrelApp::GetInstance();
    QVERIFY(app->InitInstance());
    QCOMPARE(app->GetTextFont(), QStringLiteral("Own Face"));
    // The filter dialog finds its help through the same store.
    QCOMPARE(CFilterSettingsDlg::FindRegExpSyntaxHelp(), helpFolder + QStringLiteral("/help/RegExpSyntax.html"));
    QVERIFY(app->OpenDocumentFile(log));
    app->GetMainFrame()->SetApplicationLook(CommandId::LookDefault);
    QVERIFY(app->GetMainFrame()->close());
    app->ExitInstance(0);
    COstrelSettings::SetFileName(QString());

    QSettings own(ownFile, QSettings::IniFormat);
    for (const char* key : {"Settings/TooltipsEnable", "Recent File List/File1", "Workspace/ApplicationLook",
                            "Workspace/Geometry", "Workspace/State"})
        QVERIFY2(own.contains(QString::fromLatin1(key)), key);
    QCOMPARE(own.value(QStringLiteral("Recent File List/File1")).toString(), log);
    QVERIFY2(own.childGroups().contains(QStringLiteral("Session")), "the session went elsewhere");
    QCOMPARE(TestSupport::ReadFile(usualFile), usualBytes);
    QCOMPARE(COstrelSettings::GetFileName(), usualFile);
}

void TestApplication::fileOpenStartsInTheActiveDocumentsFolder()
{
    COstrelSettings().clear();
    QTemporaryDir dir;
    const QString logs = dir.filePath(QStringLiteral("logs"));
    const QString chosen = dir.filePath(QStringLiteral("chosen"));
    QVERIFY(QDir().mkpath(logs) && QDir().mkpath(chosen));
    const QString active = logs + QStringLiteral("/active.log");
    const QString picked = chosen + QStringLiteral("/picked.log");
    QVERIFY(TestSupport::WriteFile(active, "active\n") && TestSupport::WriteFile(picked, "picked\n"));
    COstrelApp* app = COstrelApp::GetInstance();
    app->setQuitOnLastWindowClosed(false);
    QVERIFY(app->InitInstance());
    CMainFrame* frame = app->GetMainFrame();

    // File Open's dialog, answered by the handler; returns the folder it started in.
    auto openThroughDialog = [app](std::function<void(QFileDialog*)> answer) {
        auto folder = std::make_shared<QString>();
        const auto seen = TestSupport::OnNextModal([folder, answer](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            *folder = dialog->directory().absolutePath();
            answer(dialog);
        });
        app->OnFileOpen();
        return *seen ? *folder : QStringLiteral("(no file dialog)");
    };
    const auto reject = [](QFileDialog* dialog) { dialog->reject(); };

    // No document yet, no folder used yet: the working folder.
    QCOMPARE(openThroughDialog(reject), QDir::currentPath());
    // A file chosen from another folder: that folder is the one used last.
    QCOMPARE(openThroughDialog([picked](QFileDialog* dialog) { TestSupport::ChooseFile(dialog, picked); }),
             QDir::currentPath());
    QTRY_VERIFY(frame->GetActiveLogDocument());
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), picked);

    // The active document's folder comes first, whichever folder was used last.
    QVERIFY(app->OpenDocumentFile(active));
    QCOMPARE(openThroughDialog(reject), logs);
    frame->GetDocumentArea()->SetActiveChildFrame(frame->GetDocumentArea()->GetChildFrames().constFirst());
    QCOMPARE(openThroughDialog(reject), chosen);

    // With no document open, the folder of the last file chosen, this run and the next.
    while (CChildFrame* child = frame->GetActiveChildFrame())
        QVERIFY(frame->CloseChildFrame(child));
    QCOMPARE(openThroughDialog(reject), chosen);
    QVERIFY(frame->close());
    app->ExitInstance(0);
    QCOMPARE(COstrelSettings().value(QStringLiteral("Settings/OpenFolder")).toString(), chosen);
    {
        COstrelSettings settings;
        settings.setValue(QStringLiteral("Settings/RestoreSession"), 0);
    }
    QVERIFY(app->InitInstance());
    QCOMPARE(openThroughDialog(reject), chosen);
    // A folder that has gone is no place to start.
    QVERIFY(QDir(chosen).removeRecursively());
    QCOMPARE(openThroughDialog(reject), QDir::currentPath());
    QVERIFY(app->GetMainFrame()->close());
    app->ExitInstance(0);
}

OSTREL_QT_TEST_MAIN(TestApplication, COstrelApp)
#include "TestApplication.moc"
