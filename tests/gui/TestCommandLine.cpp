// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/CCommandLine.h"
#include "app/ProgramOptions.h"
#include "support/QtTestSupport.h"

// The desktop program's command line: what the parser makes of it, and what the program itself
// prints and returns when it ends without a window.
class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void startsWithFilesAndOptions_data();
    void startsWithFilesAndOptions();
    void dashReadsStandardInput_data();
    void dashReadsStandardInput();
    void rotatedSetsAreTakenApartFromFiles();
    void mergesTakeTheFilesThatFollow();
    void wrongOptionsAreRefused_data();
    void wrongOptionsAreRefused();
    void helpAndVersionComeBeforeAnythingElse();
    void helpListsEveryOptionOnOneLine();
    void programAnswersWithoutDisplay_data();
    void programAnswersWithoutDisplay();
    void closedStandardInputIsRefused();

private:
    QTemporaryDir m_Dir;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(QFileInfo(QStringLiteral(OSTREL_EXECUTABLE)).isExecutable());
    QVERIFY(m_Dir.isValid());
}

void TestCommandLine::startsWithFilesAndOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("newInstance");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QStringList>("qtArguments");

    const QString here = QDir::currentPath() + u'/';
    QTest::newRow("nothing") << QStringList() << QStringList() << false << QString() << QStringList();
    QTest::newRow("relative and absolute, in order")
        << QStringList({QStringLiteral("b.log"), QStringLiteral("/var/log/a.log")})
        << QStringList({here + QStringLiteral("b.log"), QStringLiteral("/var/log/a.log")}) << false << QString()
        << QStringList();
    QTest::newRow("cleaned, duplicates kept")
        << QStringList({QStringLiteral("x/../a.log"), QStringLiteral("a.log")})
        << QStringList({here + QStringLiteral("a.log"), here + QStringLiteral("a.log")}) << false << QString()
        << QStringList();
    QTest::newRow("-- ends the options")
        << QStringList({QStringLiteral("--"), QStringLiteral("-x.log"), QStringLiteral("--bogus")})
        << QStringList({here + QStringLiteral("-x.log"), here + QStringLiteral("--bogus")}) << false << QString()
        << QStringList();
    QTest::newRow("an option after a file")
        << QStringList({QStringLiteral("a.log"), QStringLiteral("--new-instance")})
        << QStringList({here + QStringLiteral("a.log")}) << true << QString() << QStringList();
    QTest::newRow("settings, separate value made absolute")
        << QStringList({QStringLiteral("--settings"), QStringLiteral("own.conf"), QStringLiteral("a.log")})
        << QStringList({here + QStringLiteral("a.log")}) << false << here + QStringLiteral("own.conf") << QStringList();
    QTest::newRow("settings, attached value; the last one counts")
        << QStringList({QStringLiteral("--settings=/x/one.conf"), QStringLiteral("--settings=/y/two.conf")})
        << QStringList() << false << QStringLiteral("/y/two.conf") << QStringList();
    QTest::newRow("settings value that looks like an option")
        << QStringList({QStringLiteral("--settings"), QStringLiteral("--new-instance")}) << QStringList() << false
        << here + QStringLiteral("--new-instance") << QStringList();
    QTest::newRow("a session manager's restart")
        << QStringList({QStringLiteral("a.log"), QStringLiteral("-session"), QStringLiteral("10abc_1")})
        << QStringList({here + QStringLiteral("a.log")}) << false << QString()
        << QStringList({QStringLiteral("-session"), QStringLiteral("10abc_1")});
    QTest::newRow("-session after -- is a file")
        << QStringList({QStringLiteral("--"), QStringLiteral("-session"), QStringLiteral("s")})
        << QStringList({here + QStringLiteral("-session"), here + QStringLiteral("s")}) << false << QString()
        << QStringList();
}

void TestCommandLine::startsWithFilesAndOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QFETCH(bool, newInstance);
    QFETCH(QString, settings);
    QFETCH(QStringList, qtArguments);
    arguments.prepend(QStringLiteral("/usr/bin/ostrel"));
    const CCommandLine::Result result = CCommandLine::Parse(arguments);
    QVERIFY2(result.Next == CCommandLine::Action::Run, qPrintable(result.Error));
    QCOMPARE(result.Options.Files, files);
    QCOMPARE(result.Options.NewInstance, newInstance);
    QCOMPARE(result.Options.SettingsFile, settings);
    QCOMPARE(result.Options.QtArguments, qtArguments);
}

void TestCommandLine::dashReadsStandardInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("standardInput");
    QTest::addColumn<QStringList>("files");
    const QString here = QDir::currentPath() + u'/';
    QTest::newRow("alone") << QStringList({QStringLiteral("-")}) << true << QStringList();
    QTest::newRow("among files, which keep their order")
        << QStringList({QStringLiteral("a.log"), QStringLiteral("-"), QStringLiteral("b.log")}) << true
        << QStringList({here + QStringLiteral("a.log"), here + QStringLiteral("b.log")});
    QTest::newRow("twice is one tab") << QStringList({QStringLiteral("-"), QStringLiteral("-")}) << true
                                      << QStringList();
    QTest::newRow("after -- a file of that name")
        << QStringList({QStringLiteral("--"), QStringLiteral("-")}) << false << QStringList({here + u'-'});
    QTest::newRow("both") << QStringList({QStringLiteral("-"), QStringLiteral("--"), QStringLiteral("-")}) << true
                          << QStringList({here + u'-'});
    QTest::newRow("the settings file's name")
        << QStringList({QStringLiteral("--settings"), QStringLiteral("-"), QStringLiteral("a.log")}) << false
        << QStringList({here + QStringLiteral("a.log")});
}

void TestCommandLine::dashReadsStandardInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, standardInput);
    QFETCH(QStringList, files);
    arguments.prepend(QStringLiteral("/usr/bin/ostrel"));
    const CCommandLine::Result result = CCommandLine::Parse(arguments);
    QVERIFY2(result.Next == CCommandLine::Action::Run, qPrintable(result.Error));
    QCOMPARE(result.Options.StandardInput, standardInput);
    QCOMPARE(result.Options.Files, files);
}

void TestCommandLine::rotatedSetsAreTakenApartFromFiles()
{
    const QString here = QDir::currentPath() + u'/';
    const CCommandLine::Result result =
        CCommandLine::Parse({QStringLiteral("ostrel"), QStringLiteral("--set"), QStringLiteral("logs/app.log.2.gz"),
                             QStringLiteral("b.log"), QStringLiteral("--set=/var/log/syslog"), QStringLiteral("--"),
                             QStringLiteral("--set")});
    QVERIFY2(result.Next == CCommandLine::Action::Run, qPrintable(result.Error));
    // In the order given, made absolute; after "--" it is a file's name.
    QCOMPARE(result.Options.RotatedSets,
             QStringList({here + QStringLiteral("logs/app.log.2.gz"), QStringLiteral("/var/log/syslog")}));
    QCOMPARE(result.Options.Files, QStringList({here + QStringLiteral("b.log"), here + QStringLiteral("--set")}));
    QVERIFY(CCommandLine::GetHelpText().contains(QStringLiteral("--set FILE")));
}

void TestCommandLine::mergesTakeTheFilesThatFollow()
{
    const QString here = QDir::currentPath() + u'/';
    const CCommandLine::Result result = CCommandLine::Parse(
        {QStringLiteral("ostrel"), QStringLiteral("--merge"), QStringLiteral("a.log"), QStringLiteral("/var/log/b.gz"),
         QStringLiteral("--new-instance"), QStringLiteral("c.log"), QStringLiteral("--merge"), QStringLiteral("d.log"),
         QStringLiteral("--"), QStringLiteral("--merge")});
    QVERIFY2(result.Next == CCommandLine::Action::Run, qPrintable(result.Error));
    // Each --merge takes the files up to the next option; the rest are files of their own.
    QCOMPARE(result.Options.Merges,
             (QList<QStringList>{{here + QStringLiteral("a.log"), QStringLiteral("/var/log/b.gz")},
                                 {here + QStringLiteral("d.log")}}));
    QVERIFY(result.Options.NewInstance);
    QCOMPARE(result.Options.Files, QStringList({here + QStringLiteral("c.log"), here + QStringLiteral("--merge")}));
    QVERIFY(CCommandLine::GetHelpText().contains(QStringLiteral("--merge FILE...")));
}

void TestCommandLine::wrongOptionsAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown long") << QStringList({QStringLiteral("--bogus")})
                                  << QStringLiteral("unknown option '--bogus'");
    QTest::newRow("unknown long with a value, after a file")
        << QStringList({QStringLiteral("a.log"), QStringLiteral("--bogus=1")})
        << QStringLiteral("unknown option '--bogus'");
    QTest::newRow("unknown short") << QStringList({QStringLiteral("-x")}) << QStringLiteral("unknown option '-x'");
    QTest::newRow("unknown short bundled with help")
        << QStringList({QStringLiteral("-hx")}) << QStringLiteral("unknown option '-x'");
    QTest::newRow("one dash for a long name")
        << QStringList({QStringLiteral("-style")}) << QStringLiteral("unknown option '-s'");
    QTest::newRow("settings without a value")
        << QStringList({QStringLiteral("--settings")}) << QStringLiteral("missing value after '--settings'");
    QTest::newRow("settings with an empty value")
        << QStringList({QStringLiteral("--settings=")}) << QStringLiteral("option '--settings' needs a file name");
    QTest::newRow("merge without files") << QStringList({QStringLiteral("--merge")})
                                         << QStringLiteral("option '--merge' needs the files to merge after it");
    QTest::newRow("merge followed by an option")
        << QStringList({QStringLiteral("--merge"), QStringLiteral("--new-instance"), QStringLiteral("a.log")})
        << QStringLiteral("option '--merge' needs the files to merge after it");
    QTest::newRow("set without a value") << QStringList({QStringLiteral("--set")})
                                         << QStringLiteral("missing value after '--set'");
    QTest::newRow("set with an empty value")
        << QStringList({QStringLiteral("--set=")}) << QStringLiteral("option '--set' needs a file name");
    QTest::newRow("a switch with a value") << QStringList({QStringLiteral("--new-instance=1")})
                                           << QStringLiteral("unexpected value after '--new-instance'");
    QTest::newRow("settings in a folder")
        << QStringList({QStringLiteral("--settings"), m_Dir.path()})
        << QStringLiteral("'%1' cannot hold the settings: it is not a file").arg(m_Dir.path());
}

void TestCommandLine::wrongOptionsAreRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    arguments.prepend(QStringLiteral("ostrel"));
    const CCommandLine::Result result = CCommandLine::Parse(arguments);
    QVERIFY(result.Next == CCommandLine::Action::Fail);
    QCOMPARE(result.Error, error);
}

void TestCommandLine::helpAndVersionComeBeforeAnythingElse()
{
    const auto next = [](QStringList arguments) {
        arguments.prepend(QStringLiteral("ostrel"));
        return CCommandLine::Parse(arguments).Next;
    };
    QVERIFY(next({QStringLiteral("-h")}) == CCommandLine::Action::ShowHelp);
    QVERIFY(next({QStringLiteral("a.log"), QStringLiteral("--version"), QStringLiteral("--help")}) ==
            CCommandLine::Action::ShowHelp);
    QVERIFY(next({QStringLiteral("--version"), QStringLiteral("--settings"), m_Dir.path()}) ==
            CCommandLine::Action::ShowVersion);
    // After "--" they are files like any other.
    QVERIFY(next({QStringLiteral("--"), QStringLiteral("--help")}) == CCommandLine::Action::Run);
}

void TestCommandLine::helpListsEveryOptionOnOneLine()
{
    const QStringList lines = CCommandLine::GetHelpText().split(u'\n');
    QCOMPARE(lines.first(), QStringLiteral("Usage: ostrel [OPTION]... [FILE]..."));
    QVERIFY(CCommandLine::GetHelpText().endsWith(u'\n'));
    for (const ProgramOption& option : ProgramOptions) {
        const QString longName = QStringLiteral("--") + QString::fromLatin1(option.LongName);
        const QString description = QString::fromLatin1(option.Description);
        QStringList found;
        for (const QString& line : lines) {
            if (line.contains(description))
                found.append(line);
        }
        QVERIFY2(found.size() == 1, option.LongName);
        const QString& line = found.first();
        // "  -h, --help" or "      --version", the description in its column, nothing after it.
        const QString prefix = option.ShortName != '\0'
                                   ? QStringLiteral("  -%1, %2").arg(QChar::fromLatin1(option.ShortName)).arg(longName)
                                   : QStringLiteral("      ") + longName;
        QVERIFY2(line.startsWith(prefix), qPrintable(line));
        QCOMPARE(line.indexOf(description), 28);
        QVERIFY2(line.endsWith(description), qPrintable(line));
        if (option.ValueName)
            QVERIFY2(line.startsWith(prefix + u' ' + QString::fromLatin1(option.ValueName)), qPrintable(line));
    }
}

void TestCommandLine::programAnswersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<int>("exitCode");

    const QByteArray usage = "Usage: ostrel [OPTION]... [FILE]...\n";
    QTest::newRow("--help") << QStringList({QStringLiteral("--help")}) << CCommandLine::GetHelpText().toUtf8()
                            << QByteArray() << 0;
    QTest::newRow("-h, with a file") << QStringList({QStringLiteral("-h"), QStringLiteral("a.log")})
                                     << CCommandLine::GetHelpText().toUtf8() << QByteArray() << 0;
    QTest::newRow("--version") << QStringList({QStringLiteral("--version")}) << QByteArray("Ostrel 1.1.0 Build 156\n")
                               << QByteArray() << 0;
    QTest::newRow("--bogus") << QStringList({QStringLiteral("--bogus")}) << QByteArray()
                             << QByteArray("ostrel: unknown option '--bogus'\n") + usage << 2;
    QTest::newRow("a file and a wrong option")
        << QStringList({QStringLiteral("a.log"), QStringLiteral("-q")}) << QByteArray()
        << QByteArray("ostrel: unknown option '-q'\n") + usage << 2;
    QTest::newRow("settings without a value") << QStringList({QStringLiteral("--settings")}) << QByteArray()
                                              << QByteArray("ostrel: missing value after '--settings'\n") + usage << 2;
}

void TestCommandLine::programAnswersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(int, exitCode);
    // No display at all: a program that made a window, or even connected to one, would fail.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), QString());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(m_Dir.path());
    program.start(QStringLiteral(OSTREL_EXECUTABLE), arguments);
    QVERIFY(program.waitForStarted());
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.readAllStandardOutput(), out);
    QCOMPARE(program.readAllStandardError(), err);
    QCOMPARE(program.exitCode(), exitCode);
}

void TestCommandLine::closedStandardInputIsRefused()
{
    // Whatever the program opened first would take descriptor 0 and be read as the input.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec \"$0\" - <&-"), QStringLiteral(OSTREL_EXECUTABLE)});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.readAllStandardError(), QByteArray("ostrel: standard input is closed\n"));
    QCOMPARE(program.exitCode(), 1);
}

OSTREL_QT_TEST_MAIN(TestCommandLine, QApplication)
#include "TestCommandLine.moc"
