// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

#include "app/CChildFrame.h"
#include "app/CCommandOutputDlg.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CSession.h"
#include "app/CStreamOpener.h"
#include "app/CommandIds.h"
#include "document/COstrelDoc.h"
#include "document/CStreamCapture.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"

// Tabs that show a stream as it comes: a command's output and a pipe read like standard input.
class TestStreams : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void commandOutputShowsItsLinesAndExitStatus();
    void failingCommandsTellTheirStatusAndStandardError();
    void stopEndsACommandThatRunsOnAndClosingRemovesTheSpool();
    void pipeGrowsAsItIsWrittenAndIsReadOnlyUntilItEnds();
    void dialogKeepsTheRecentCommands();

private:
    static QString ShownText(const COstrelDoc& document);
    static QString MessagePaneText(CMainFrame& frame);
    QStringList SpoolFiles() const;

    std::unique_ptr<QTemporaryDir> m_pRuntime;
};

void TestStreams::init()
{
    COstrelSettings().clear();
    m_pRuntime = std::make_unique<QTemporaryDir>();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_pRuntime->path()));
}

void TestStreams::cleanup()
{
    m_pRuntime.reset();
}

QString TestStreams::ShownText(const COstrelDoc& document)
{
    const std::string_view bytes = document.GetView()->GetTextBytes();
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString TestStreams::MessagePaneText(CMainFrame& frame)
{
    // The permanent message pane, not a passing note.
    for (QLabel* label : frame.statusBar()->findChildren<QLabel*>()) {
        if (label->objectName() == QStringLiteral("messagePane"))
            return label->text();
    }
    return QString();
}

QStringList TestStreams::SpoolFiles() const
{
    return QDir(m_pRuntime->filePath(QStringLiteral("ostrel"))).entryList(QDir::Files);
}

void TestStreams::commandOutputShowsItsLinesAndExitStatus()
{
    CMainFrame frame;
    frame.show();
    COstrelDoc* document = frame.GetStreamOpener().OpenCommand(QStringLiteral("printf 'a\\nb\\nc\\n'"));
    QVERIFY(document);
    QVERIFY(document->IsStream());
    QCOMPARE(document->GetTitle(), QStringLiteral("printf 'a\\nb\\nc\\n'"));
    QVERIFY(document->GetView()->GetFollow());
    CStreamCapture* capture = document->GetStreamCapture();
    QTRY_VERIFY(!capture->IsRunning());
    QCOMPARE(capture->GetEndText(), QStringLiteral("Command ended with exit status 0"));
    QTRY_COMPARE(ShownText(*document), QStringLiteral("a\nb\nc\n"));
    QTRY_COMPARE(MessagePaneText(frame), QStringLiteral("Command ended with exit status 0"));
    QVERIFY(!frame.GetCommand(CommandId::FileStopCommand)->isEnabled());

    // The spool file is private to the user and lives while the tab does.
    const QStringList spools = SpoolFiles();
    QCOMPARE(spools.size(), 1);
    QVERIFY2(spools.first().startsWith(QStringLiteral("spool-%1-command-").arg(::getpid())),
             qPrintable(spools.first()));
    const QFileInfo spool(m_pRuntime->filePath(QStringLiteral("ostrel/") + spools.first()));
    QCOMPARE(spool.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
             QFile::Permissions());

    // A stream is never a recent file and never comes back with the session.
    QVERIFY(!COstrelApp::GetInstance()->GetRecentFileList().contains(document->GetPathName()));
    QVERIFY(CSession::Capture(*frame.GetDocumentArea()).GetDocuments().empty());
    // Its tooltip names the command and how it ended.
    QCOMPARE(frame.GetTabToolTip(frame.GetDocumentArea()->GetTabGroups().first(), 0),
             QStringLiteral("printf 'a\\nb\\nc\\n'\nCommand ended with exit status 0"));
}

void TestStreams::failingCommandsTellTheirStatusAndStandardError()
{
    struct Case
    {
        QString Command;
        QString Status;
        QString ErrorPart;
    };
    const Case cases[] = {
        {QStringLiteral("echo out; echo err >&2; exit 3"), QStringLiteral("Command ended with exit status 3: err"),
         QStringLiteral("err")},
        {QStringLiteral("nosuchcmd-ostrel"), QStringLiteral("Command ended with exit status 127: "),
         QStringLiteral("not found")},
        {QStringLiteral("kill -USR1 $$"), QStringLiteral("Command killed by signal 10"), QString()},
    };
    CMainFrame frame;
    frame.show();
    for (const Case& test : cases) {
        COstrelDoc* document = frame.GetStreamOpener().OpenCommand(test.Command);
        QVERIFY(document);
        CStreamCapture* capture = document->GetStreamCapture();
        QTRY_VERIFY2(!capture->IsRunning(), qPrintable(test.Command));
        QVERIFY2(capture->GetStatusText().startsWith(test.Status), qPrintable(capture->GetStatusText()));
        QVERIFY2(capture->GetErrorText().contains(test.ErrorPart), qPrintable(capture->GetErrorText()));
        QTRY_VERIFY2(MessagePaneText(frame).startsWith(test.Status), qPrintable(MessagePaneText(frame)));
    }
    QCOMPARE(frame.GetOpenDocuments().size(), 3);
    QTRY_COMPARE(ShownText(*frame.GetOpenDocuments().first()), QStringLiteral("out\n"));
}

void TestStreams::stopEndsACommandThatRunsOnAndClosingRemovesTheSpool()
{
    CMainFrame frame;
    frame.show();
    COstrelDoc* document = frame.GetStreamOpener().OpenCommand(QStringLiteral("echo started; sleep 1000"));
    QVERIFY(document);
    CStreamCapture* capture = document->GetStreamCapture();
    QTRY_COMPARE(ShownText(*document), QStringLiteral("started\n"));
    QVERIFY(capture->IsRunning());
    QAction* stop = frame.GetCommand(CommandId::FileStopCommand);
    QTRY_VERIFY(stop->isEnabled());
    QVERIFY(!frame.GetCommand(CommandId::FileSave)->isEnabled());
    stop->trigger();
    QTRY_VERIFY(!capture->IsRunning());
    QCOMPARE(capture->GetEndText(), QStringLiteral("Command stopped"));
    QTRY_VERIFY(!stop->isEnabled());
    QTRY_COMPARE(MessagePaneText(frame), QStringLiteral("Command stopped"));
    QCOMPARE(SpoolFiles().size(), 1);
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(SpoolFiles(), QStringList());

    // Closing the tab of a command that still runs stops it without waiting for it.
    document = frame.GetStreamOpener().OpenCommand(QStringLiteral("sleep 1000"));
    QVERIFY(document);
    QCOMPARE(SpoolFiles().size(), 1);
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(SpoolFiles(), QStringList());
    // The process is reaped in the background: no QProcess of it stays behind.
    QTRY_VERIFY(qApp->findChildren<QProcess*>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
}

void TestStreams::pipeGrowsAsItIsWrittenAndIsReadOnlyUntilItEnds()
{
    int fds[2] = {-1, -1};
    QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
    CMainFrame frame;
    frame.show();
    COstrelDoc* document = frame.GetStreamOpener().OpenInput(fds[0]);
    QVERIFY(document);
    QCOMPARE(document->GetTitle(), QStringLiteral("(standard input)"));
    CStreamCapture* capture = document->GetStreamCapture();
    QCOMPARE(::write(fds[1], "one\n", 4), 4);
    QTRY_COMPARE(ShownText(*document), QStringLiteral("one\n"));
    QCOMPARE(::write(fds[1], "two\nthree", 9), 9);
    QTRY_COMPARE(ShownText(*document), QStringLiteral("one\ntwo\nthree"));
    QVERIFY(capture->IsRunning());
    QVERIFY(document->GetView()->isReadOnly());
    QVERIFY(!frame.GetCommand(CommandId::EditPaste)->isEnabled());
    QVERIFY(document->GetView()->ReplaceTextRange(0, 3, "ONE") < 0);

    ::close(fds[1]);
    QTRY_VERIFY(!capture->IsRunning());
    QCOMPARE(capture->GetEndText(), QStringLiteral("Standard input ended"));
    QTRY_VERIFY(!document->GetView()->isReadOnly());
    QTRY_VERIFY(frame.GetCommand(CommandId::FileSaveAs)->isEnabled());
    QCOMPARE(ShownText(*document), QStringLiteral("one\ntwo\nthree"));
    QVERIFY(CSession::Capture(*frame.GetDocumentArea()).GetDocuments().empty());

    // Saved as a file of its own, the text is that file from then on: no stream, in the session.
    QTemporaryDir saved;
    const QString copy = saved.filePath(QStringLiteral("copy.log"));
    QVERIFY(document->GetView()->SaveAs(copy));
    QCOMPARE(TestSupport::ReadFile(copy), QByteArray("one\ntwo\nthree"));
    QVERIFY(!document->IsStream());
    QVERIFY(!document->GetStreamCapture());
    QCOMPARE(document->GetTitle(), QStringLiteral("copy.log"));
    QCOMPARE(CSession::Capture(*frame.GetDocumentArea()).GetDocuments().size(), std::size_t{1});
    QVERIFY(frame.CloseChildFrame(frame.GetActiveChildFrame()));
    QCOMPARE(SpoolFiles(), QStringList());
    ::close(fds[0]);
}

void TestStreams::dialogKeepsTheRecentCommands()
{
    QStringList recent;
    for (int i = 1; i <= CCommandOutputDlg::MaxRecentCommands; ++i)
        recent = CCommandOutputDlg::WithRecentCommand(recent, QStringLiteral("cmd %1").arg(i));
    QCOMPARE(recent.size(), CCommandOutputDlg::MaxRecentCommands);
    QCOMPARE(recent.first(), QStringLiteral("cmd 10"));
    // Run again, a command moves to the front; one more pushes out the oldest.
    recent = CCommandOutputDlg::WithRecentCommand(recent, QStringLiteral("cmd 5"));
    recent = CCommandOutputDlg::WithRecentCommand(recent, QStringLiteral("cmd 11"));
    QCOMPARE(recent.mid(0, 3),
             QStringList({QStringLiteral("cmd 11"), QStringLiteral("cmd 5"), QStringLiteral("cmd 10")}));
    QCOMPARE(recent.size(), CCommandOutputDlg::MaxRecentCommands);
    QVERIFY(!recent.contains(QStringLiteral("cmd 1")));
    QCOMPARE(recent.count(QStringLiteral("cmd 5")), 1);
    {
        COstrelSettings settings;
        CCommandOutputDlg::WriteRecentCommands(settings, recent);
    }
    COstrelSettings settings;
    QCOMPARE(CCommandOutputDlg::ReadRecentCommands(settings), recent);

    // The dialog offers them, the latest first, and takes nothing but blanks as no command.
    CCommandOutputDlg dialog(recent);
    auto* box = dialog.findChild<QComboBox*>(QStringLiteral("commandBox"));
    QVERIFY(box && box->isEditable());
    QCOMPARE(box->count(), CCommandOutputDlg::MaxRecentCommands);
    QCOMPARE(dialog.GetCommandLine(), QStringLiteral("cmd 11"));
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    box->setEditText(QStringLiteral("   "));
    QVERIFY(!ok->isEnabled());
    box->setEditText(QStringLiteral("  tail -f x.log "));
    QVERIFY(ok->isEnabled());
    QCOMPARE(dialog.GetCommandLine(), QStringLiteral("tail -f x.log"));

    // Running a command from the window notes it first.
    CMainFrame frame;
    COstrelDoc* document = frame.GetStreamOpener().OpenCommand(QStringLiteral("true"));
    QVERIFY(document);
    COstrelSettings after;
    QCOMPARE(CCommandOutputDlg::ReadRecentCommands(after).first(), QStringLiteral("true"));
    QTRY_VERIFY(!document->GetStreamCapture()->IsRunning());
}

OSTREL_QT_TEST_MAIN(TestStreams, COstrelApp)
#include "TestStreams.moc"
