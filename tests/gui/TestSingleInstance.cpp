// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <future>

#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CSingleInstance.h"
#include "document/COstrelDoc.h"
#include "support/QtTestSupport.h"

// A second start hands its file to the running program: two real processes.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void serverNameFollowsTheSettings();
    void commandLineNamesEveryFile();
    void handOverWithoutListenerFails();
    void secondStartHandsItsFileOver();
    void startWithoutRunningProgramRunsOnItsOwn();

private:
    // Starts the program as another process with this test's settings folder.
    std::unique_ptr<QProcess> StartProgram(const QStringList& arguments, const QString& folder = QString());
    QString MakeLog(const QString& name);

    QTemporaryDir m_Dir;
    QString m_strServerName;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(QFileInfo(QStringLiteral(OSTREL_EXECUTABLE)).isExecutable());
    m_strServerName = CSingleInstance::ServerName(QSettings().fileName());
}

QString TestSingleInstance::MakeLog(const QString& name)
{
    const QString path = m_Dir.filePath(name);
    TestSupport::WriteFile(path, "line one\nline two\n");
    return path;
}

std::unique_ptr<QProcess> TestSingleInstance::StartProgram(const QStringList& arguments, const QString& folder)
{
    // The settings of this test live in <folder>/Quorrel/Ostrel.conf: the program finds the same
    // file through XDG_CONFIG_HOME, and with it the same socket name.
    const QString settingsFile = QSettings().fileName();
    const QString configHome = QFileInfo(settingsFile).absolutePath().section(u'/', 0, -2);
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setWorkingDirectory(folder);
    process->start(QStringLiteral(OSTREL_EXECUTABLE), arguments);
    return process;
}

void TestSingleInstance::serverNameFollowsTheSettings()
{
    const QString name = CSingleInstance::ServerName(QStringLiteral("/home/a/.config/Quorrel/Ostrel.conf"));
    QCOMPARE(name, CSingleInstance::ServerName(QStringLiteral("/home/a/.config/Quorrel/Ostrel.conf")));
    QVERIFY(name != CSingleInstance::ServerName(QStringLiteral("/tmp/x/Quorrel/Ostrel.conf")));
    QVERIFY(name.startsWith(QStringLiteral("ostrel-")));
}

void TestSingleInstance::commandLineNamesEveryFile()
{
    const QString here = QDir::currentPath();
    // The program's own name and the switches are no files; the rest are, in order, made absolute.
    QCOMPARE(COstrelApp::GetCommandLineFiles({QStringLiteral("ostrel")}), QStringList());
    QCOMPARE(COstrelApp::GetCommandLineFiles({QStringLiteral("ostrel"), QStringLiteral("b.log"),
                                              QStringLiteral("-style"), QStringLiteral("/var/log/a.log")}),
             QStringList({here + QStringLiteral("/b.log"), QStringLiteral("/var/log/a.log")}));
    QCOMPARE(COstrelApp::GetCommandLineFiles(
                 {QStringLiteral("ostrel"), QStringLiteral("x/../a.log"), QStringLiteral("a.log")}),
             QStringList({here + QStringLiteral("/a.log"), here + QStringLiteral("/a.log")}));
}

void TestSingleInstance::handOverWithoutListenerFails()
{
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("nobody.conf")));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!CSingleInstance::HandOver(name, {MakeLog(QStringLiteral("lost.log"))}));
    QVERIFY2(timer.elapsed() < CSingleInstance::HandOverTimeoutMs, "a start without a running program waited");

    // A listener that never answers is given up on, and the start goes on alone.
    QLocalServer silent;
    QVERIFY(silent.listen(name));
    QVERIFY(!CSingleInstance::HandOver(name, {MakeLog(QStringLiteral("lost.log"))}, 300));
}

void TestSingleInstance::secondStartHandsItsFileOver()
{
    COstrelApp* app = COstrelApp::GetInstance();
    QVERIFY(app->InitInstance());
    CMainFrame* frame = app->GetMainFrame();
    const QString first = MakeLog(QStringLiteral("first.log"));
    QVERIFY(app->OpenDocumentFile(first));
    frame->showMinimized();

    const QString second = MakeLog(QStringLiteral("second.log"));
    std::unique_ptr<QProcess> start = StartProgram({second});
    QVERIFY(start->waitForStarted());
    // This process must go on answering while the other one waits for it.
    QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
    QCOMPARE(start->exitStatus(), QProcess::NormalExit);
    QCOMPARE(start->exitCode(), 0);

    QTRY_COMPARE(frame->GetOpenDocuments().size(), 2);
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), second);
    QCOMPARE(frame->GetOpenDocuments().at(0)->GetPathName(), first);
    QVERIFY(!frame->isMinimized());

    // A file named relative to the second start's folder is found from there.
    const QString third = MakeLog(QStringLiteral("third.log"));
    std::unique_ptr<QProcess> relative = StartProgram({QStringLiteral("third.log")}, m_Dir.path());
    QVERIFY(relative->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(relative->state() == QProcess::NotRunning, 30000);
    QCOMPARE(relative->exitCode(), 0);
    QTRY_COMPARE(frame->GetOpenDocuments().size(), 3);
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), third);

    // Several files: all of them, in their order, the last one active.
    const QString fourth = MakeLog(QStringLiteral("fourth.log"));
    const QString fifth = MakeLog(QStringLiteral("fifth.log"));
    std::unique_ptr<QProcess> several = StartProgram({fourth, QStringLiteral("fifth.log")}, m_Dir.path());
    QVERIFY(several->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(several->state() == QProcess::NotRunning, 30000);
    QCOMPARE(several->exitCode(), 0);
    QTRY_COMPARE(frame->GetOpenDocuments().size(), 5);
    QCOMPARE(frame->GetOpenDocuments().at(3)->GetPathName(), fourth);
    QCOMPARE(frame->GetOpenDocuments().at(4)->GetPathName(), fifth);
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), fifth);
    app->ExitInstance(0);
}

void TestSingleInstance::startWithoutRunningProgramRunsOnItsOwn()
{
    // Nobody listens now: the start runs as the program and takes later hand-overs itself.
    std::unique_ptr<QProcess> program = StartProgram({MakeLog(QStringLiteral("alone.log"))});
    QVERIFY(program->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(CSingleInstance::HandOver(m_strServerName, {MakeLog(QStringLiteral("later.log"))}, 1000),
                             30000);
    QCOMPARE(program->state(), QProcess::Running);

    // Killed, it leaves its socket behind; the next program clears it and listens.
    program->kill();
    QVERIFY(program->waitForFinished());
    CSingleInstance next;
    QVERIFY(next.Listen(m_strServerName));
    QVERIFY(next.IsListening());
    QSignalSpy received(&next, &CSingleInstance::FilesReceived);
    // From another thread: this one must be free to answer.
    std::future<bool> handedOver = std::async(std::launch::async, [this] {
        return CSingleInstance::HandOver(m_strServerName, {QStringLiteral("/x/y.log")});
    });
    QTRY_VERIFY(handedOver.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(handedOver.get());
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).toStringList(), QStringList({QStringLiteral("/x/y.log")}));

    // A second listener under the same name is refused while the first one answers.
    CSingleInstance other;
    QVERIFY(!other.Listen(m_strServerName));
}

OSTREL_QT_TEST_MAIN(TestSingleInstance, COstrelApp)
#include "TestSingleInstance.moc"
