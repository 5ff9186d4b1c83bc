// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CSingleInstance.h"
#include "document/COstrelDoc.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"

namespace {

constexpr uid_t NobodyId = 65534;

using Item = CSingleInstance::Item;
using Kind = CSingleInstance::Item::Kind;

// The items of one ItemsReceived, as the spy kept them.
QList<Item> ItemsIn(const QList<QVariant>& arguments)
{
    return arguments.at(0).value<QList<Item>>();
}

// The paths of a hand-over of files alone; nothing when it holds anything else.
QStringList FilesIn(const QList<QVariant>& arguments)
{
    QStringList paths;
    for (const Item& item : ItemsIn(arguments)) {
        if (item.What != Kind::File)
            return {};
        paths += item.Paths;
    }
    return paths;
}

// Bytes in the form of the requests, written by write.
QByteArray Written(const std::function<void(QDataStream&)>& write)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_0);
    write(stream);
    return bytes;
}

// A request's body behind its length.
QByteArray Framed(const QByteArray& body)
{
    return Written([&body](QDataStream& stream) { stream << quint32(body.size()); }) + body;
}

// A listener at the name that is not this program: it keeps what each connection sent and answers
// every arrival with what Reply makes of all the connection sent so far.
struct CFakeListener
{
    struct Connection
    {
        QByteArray Received;
        bool Closed = false;
    };
    std::function<QByteArray(const QByteArray& received, QLocalServer& server)> Reply;
    QLocalServer Server;
    std::vector<std::shared_ptr<Connection>> Connections;

    bool Listen(const QString& name)
    {
        QObject::connect(&Server, &QLocalServer::newConnection, &Server, [this] {
            while (QLocalSocket* socket = Server.nextPendingConnection()) {
                auto connection = std::make_shared<Connection>();
                Connections.push_back(connection);
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, connection] {
                    connection->Received += socket->readAll();
                    if (Reply) {
                        socket->write(Reply(connection->Received, Server));
                        socket->flush();
                    }
                });
                QObject::connect(socket, &QLocalSocket::disconnected, socket, [socket, connection] {
                    connection->Closed = true;
                    socket->deleteLater();
                });
            }
        });
        return Server.listen(name);
    }
};

mode_t ModeOf(const QString& path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

uid_t OwnerOf(const QString& path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_uid : uid_t(-1);
}

bool SetMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

sockaddr_un AddressOf(const QByteArray& path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::min<std::size_t>(path.size(), sizeof address.sun_path - 1));
    return address;
}

// A socket file at the path that nobody listens on, as a program that was killed leaves it.
bool MakeDeadSocket(const QString& path)
{
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = AddressOf(QFile::encodeName(path));
    const bool bound = ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(descriptor);
    return bound;
}

} // namespace

// A second start hands its files to the running program, and to nobody else.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void serverNameFollowsTheSettings();
    void privateFolderIsChecked();
    void socketIsPrivate();
    void handOverWithoutListenerFails();
    void strangerAtTheNameLearnsNoPaths_data();
    void strangerAtTheNameLearnsNoPaths();
    void whatIsNotOurSocketStaysUntouched();
    void anotherUsersListenerGetsNothing();
    void anotherUsersConnectionIsDropped();
    void itemsArriveAsTheirKindsInOrder();
    void earlierStartsHandFilesOver();
    void malformedRequestsAreRefused_data();
    void malformedRequestsAreRefused();
    void secondStartHandsItsFileOver();
    void setsAndMergesOpenInTheRunningProgram();
    void standardInputIsNeverHandedOver();
    void startWithoutRunningProgramRunsOnItsOwn();
    void startPastAStrangerRunsOnItsOwn();
    void newInstanceNeverHandsOver();
    void otherSettingsMeanAnotherInstance();

private:
    // Starts the program as another process with this test's settings and runtime folders.
    std::unique_ptr<QProcess> StartProgram(const QStringList& arguments, const QString& folder = QString());
    QString MakeLog(const QString& name);
    // Hands over from another thread, so that this one can answer; the result once it is known.
    static bool HandOverFromAnotherThread(const QString& name, const QList<Item>& items, int timeoutMs);
    static bool HandOverFromAnotherThread(const QString& name, const QStringList& paths, int timeoutMs);
    // Plays a start from another thread that greets and then sends the bytes: what the program
    // answered by the time it hung up. With hangUp, this end hangs up after sending instead.
    static QByteArray SendFromAnotherThread(const QString& name, const QByteArray& greeting, const QByteArray& bytes,
                                            bool hangUp = false);

    QTemporaryDir m_Dir;
    QString m_strServerName;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(QFileInfo(QStringLiteral(OSTREL_EXECUTABLE)).isExecutable());
    m_strServerName = CSingleInstance::ServerName(COstrelSettings::GetFileName());
    QVERIFY(!m_strServerName.isEmpty());
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
    // file through XDG_CONFIG_HOME, and with it the same socket name in the same XDG_RUNTIME_DIR.
    const QString settingsFile = COstrelSettings::GetFileName();
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

bool TestSingleInstance::HandOverFromAnotherThread(const QString& name, const QList<Item>& items, int timeoutMs)
{
    std::future<bool> handedOver = std::async(
        std::launch::async, [name, items, timeoutMs] { return CSingleInstance::HandOver(name, items, timeoutMs); });
    // Events are processed meanwhile: the listener may be this very thread.
    while (handedOver.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return handedOver.get();
}

bool TestSingleInstance::HandOverFromAnotherThread(const QString& name, const QStringList& paths, int timeoutMs)
{
    QList<Item> items;
    for (const QString& path : paths)
        items.append({Kind::File, {path}});
    return HandOverFromAnotherThread(name, items, timeoutMs);
}

QByteArray TestSingleInstance::SendFromAnotherThread(const QString& name, const QByteArray& greeting,
                                                     const QByteArray& bytes, bool hangUp)
{
    std::future<QByteArray> answered = std::async(std::launch::async, [name, greeting, bytes, hangUp]() -> QByteArray {
        // The waits only keep a broken program from holding the test for ever.
        constexpr int GuardMs = 30000;
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(GuardMs))
            return QByteArray("not connected");
        socket.write(greeting + bytes);
        socket.waitForBytesWritten(GuardMs);
        if (hangUp) {
            socket.disconnectFromServer();
            return QByteArray();
        }
        QByteArray received;
        do
            received += socket.readAll();
        while (socket.waitForReadyRead(GuardMs));
        received += socket.readAll();
        return received;
    });
    while (answered.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return answered.get();
}

void TestSingleInstance::serverNameFollowsTheSettings()
{
    const QString name = CSingleInstance::ServerName(QStringLiteral("/home/a/.config/Quorrel/Ostrel.conf"));
    QCOMPARE(name, CSingleInstance::ServerName(QStringLiteral("/home/a/.config/Quorrel/Ostrel.conf")));
    QVERIFY(name != CSingleInstance::ServerName(QStringLiteral("/tmp/x/Quorrel/Ostrel.conf")));
    // In the user's runtime folder (a private one for these tests), never straight in /tmp.
    QCOMPARE(QFileInfo(name).absolutePath(), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    QVERIFY(QFileInfo(name).fileName().startsWith(QStringLiteral("ostrel-")));
}

void TestSingleInstance::privateFolderIsChecked()
{
    QTemporaryDir base; // 0700, ours
    const QString fallback = base.filePath(QStringLiteral("ostrel-%1").arg(::geteuid()));
    const QString runtime = base.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkdir(runtime));
    QVERIFY(SetMode(runtime, 0700));

    QCOMPARE(CSingleInstance::GetPrivateFolder(runtime, base.path()), runtime);
    QCOMPARE(CSingleInstance::GetPrivateFolder(runtime + u'/', base.path()), runtime);
    QVERIFY2(!QFileInfo::exists(fallback), "a usable runtime folder needs no other");

    // A runtime folder others may enter, a link (even to a private folder), a relative or no name:
    // the fallback instead, made 0700.
    const QString open = base.filePath(QStringLiteral("open"));
    QVERIFY(QDir().mkdir(open));
    QVERIFY(SetMode(open, 0750));
    const QString link = base.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(runtime, link));
    for (const QString& refused : QStringList({open, link, link + u'/', QStringLiteral("runtime"), QString()})) {
        QCOMPARE(CSingleInstance::GetPrivateFolder(refused, base.path()), fallback);
        QCOMPARE(ModeOf(fallback), mode_t(S_IFDIR | 0700));
        QCOMPARE(OwnerOf(fallback), ::geteuid());
    }

    // A fallback that is there already but open to others, or a link, or no folder: refused and
    // left as it is.
    QVERIFY(SetMode(fallback, 0755));
    QCOMPARE(CSingleInstance::GetPrivateFolder(open, base.path()), QString());
    QCOMPARE(ModeOf(fallback), mode_t(S_IFDIR | 0755));
    QVERIFY(QDir(fallback).removeRecursively());
    QVERIFY(QFile::link(runtime, fallback));
    QCOMPARE(CSingleInstance::GetPrivateFolder(open, base.path()), QString());
    QVERIFY(QFileInfo(fallback).isSymLink());
    QVERIFY(QFile::remove(fallback));
    QVERIFY(TestSupport::WriteFile(fallback, "x"));
    QCOMPARE(CSingleInstance::GetPrivateFolder(open, base.path()), QString());
    QCOMPARE(TestSupport::ReadFile(fallback), QByteArray("x"));
    QVERIFY(QFile::remove(fallback));

    // Somebody else's folders, private or not, are no place for ours.
    if (::geteuid() != 0)
        QSKIP("only root can give a folder to another user");
    QVERIFY(::chown(QFile::encodeName(runtime).constData(), NobodyId, NobodyId) == 0);
    QCOMPARE(CSingleInstance::GetPrivateFolder(runtime, base.path()), fallback);
    QVERIFY(QDir().rmdir(fallback));
    QVERIFY(QDir().mkdir(fallback));
    QVERIFY(SetMode(fallback, 0700));
    QVERIFY(::chown(QFile::encodeName(fallback).constData(), NobodyId, NobodyId) == 0);
    QCOMPARE(CSingleInstance::GetPrivateFolder(runtime, base.path()), QString());
    QCOMPARE(OwnerOf(fallback), NobodyId);
}

void TestSingleInstance::socketIsPrivate()
{
    // The folder the program uses: the user's alone.
    QCOMPARE(ModeOf(QFileInfo(m_strServerName).absolutePath()) & 07777, mode_t(0700));

    // The socket is 0600 even for a user whose mask would let the group in.
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("private.conf")));
    const mode_t previous = ::umask(002);
    CSingleInstance instance;
    const bool listening = instance.Listen(name);
    // The mask is put back: files made afterwards follow the user's own.
    QCOMPARE(::umask(previous), mode_t(002));
    QVERIFY(listening);
    QCOMPARE(ModeOf(name), mode_t(S_IFSOCK | 0600));
    QCOMPARE(OwnerOf(name), ::geteuid());
}

void TestSingleInstance::handOverWithoutListenerFails()
{
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("nobody.conf")));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!CSingleInstance::HandOver(name, {MakeLog(QStringLiteral("lost.log"))}));
    QVERIFY2(timer.elapsed() < CSingleInstance::HandOverTimeoutMs, "a start without a running program waited");
    QVERIFY(!CSingleInstance::HandOver(QString(), {MakeLog(QStringLiteral("lost.log"))}));
}

void TestSingleInstance::strangerAtTheNameLearnsNoPaths_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("answers A") << QByteArray("A");
    QTest::newRow("answers garbage") << QByteArray("HTTP/1.0 400 Bad Request\r\n\r\n");
    QTest::newRow("answers half a greeting") << CSingleInstance::ServerGreeting().left(5) + "?";
    // A running program of an earlier version would take the items for a list of files.
    QTest::newRow("answers as an earlier version") << CSingleInstance::LegacyServerGreeting() + "A";
    QTest::newRow("does not answer") << QByteArray();
}

void TestSingleInstance::strangerAtTheNameLearnsNoPaths()
{
    QFETCH(QByteArray, answer);
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("stranger.conf")));
    CFakeListener stranger;
    stranger.Reply = [answer](const QByteArray&, QLocalServer&) { return answer; };
    QVERIFY(stranger.Listen(name));

    QVERIFY(!HandOverFromAnotherThread(name, {QStringLiteral("/secret/a.log")}, 500));
    QCOMPARE(stranger.Connections.size(), std::size_t(1));
    QTRY_VERIFY(stranger.Connections.front()->Closed);
    QCOMPARE(stranger.Connections.front()->Received, CSingleInstance::ClientGreeting());

    // Such a listener is not taken for the running program either: it keeps the name, and a
    // start simply runs without one.
    CSingleInstance instance;
    QVERIFY(!instance.Listen(name));
    QVERIFY(!instance.IsListening());
    QVERIFY(stranger.Server.isListening());
    QTRY_COMPARE(stranger.Connections.size(), std::size_t(2));
}

void TestSingleInstance::whatIsNotOurSocketStaysUntouched()
{
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("untouched.conf")));
    CSingleInstance instance;

    // A plain file: never removed, never taken for a program.
    QVERIFY(TestSupport::WriteFile(name, "keep me"));
    QVERIFY(!instance.Listen(name));
    QVERIFY(!CSingleInstance::HandOver(name, {QStringLiteral("/a.log")}, 300));
    QCOMPARE(TestSupport::ReadFile(name), QByteArray("keep me"));
    QVERIFY(QFile::remove(name));

    // A link to a listening socket is not followed, by either end.
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("target"));
    QLocalServer listener;
    QVERIFY(listener.listen(target));
    QVERIFY(QFile::link(target, name));
    QVERIFY(!CSingleInstance::HandOver(name, {QStringLiteral("/a.log")}, 300));
    QVERIFY(!instance.Listen(name));
    QVERIFY(!listener.waitForNewConnection(0));
    QVERIFY(QFileInfo(name).isSymLink());
    QVERIFY(QFile::remove(name));

    // A dead socket of ours goes, and the name is ours.
    QVERIFY(MakeDeadSocket(name));
    QVERIFY(instance.Listen(name));
    QCOMPARE(ModeOf(name), mode_t(S_IFSOCK | 0600));

    // A dead socket of somebody else's stays.
    if (::geteuid() != 0)
        QSKIP("only root can give a socket to another user");
    const QString foreign = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("foreign.conf")));
    QVERIFY(MakeDeadSocket(foreign));
    QVERIFY(::chown(QFile::encodeName(foreign).constData(), NobodyId, NobodyId) == 0);
    CSingleInstance other;
    QVERIFY(!other.Listen(foreign));
    QVERIFY(S_ISSOCK(ModeOf(foreign)));
    QCOMPARE(OwnerOf(foreign), NobodyId);
    QVERIFY(QFile::remove(foreign));
}

void TestSingleInstance::anotherUsersListenerGetsNothing()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run a listener as another user");
    // The listener's socket file is made by root, so only the check of the peer can tell: it
    // listens as nobody, and greets exactly as the program would.
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("nobody-listens.conf")));
    const sockaddr_un address = AddressOf(QFile::encodeName(name));
    const QByteArray greeting = CSingleInstance::ServerGreeting();
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // Only system calls from here on: this is a copy of a process with threads.
        ::alarm(30);
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(10);
        if (::setuid(NobodyId) != 0 || ::listen(descriptor, 4) != 0)
            ::_exit(11);
        if (::write(ready[1], "r", 1) != 1)
            ::_exit(12);
        // Two visitors: the start handing over, then the start checking whether it may listen.
        ssize_t total = 0;
        for (int visitor = 0; visitor < 2; ++visitor) {
            const int client = ::accept(descriptor, nullptr, nullptr);
            if (client < 0)
                ::_exit(13);
            // The start may have hung up already: no SIGPIPE for that.
            ::send(client, greeting.constData(), greeting.size(), MSG_NOSIGNAL);
            char buffer[512];
            for (ssize_t count; (count = ::read(client, buffer, sizeof buffer)) > 0;)
                total += count;
            ::close(client);
        }
        ::_exit(total == 0 ? 0 : 1);
    }
    ::close(ready[1]);
    char byte = 0;
    QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
    ::close(ready[0]);

    QVERIFY(!CSingleInstance::HandOver(name, {QStringLiteral("/secret/a.log")}, 2000));
    // Alive and another user's: not a program to hand over to, nor a dead socket to clear.
    CSingleInstance instance;
    QVERIFY(!instance.Listen(name));
    QVERIFY(S_ISSOCK(ModeOf(name)));
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status), "the listener did not end by itself");
    QCOMPARE(WEXITSTATUS(status), 0); // 1: it was sent something
    QVERIFY(QFile::remove(name));
}

void TestSingleInstance::anotherUsersConnectionIsDropped()
{
    if (::geteuid() != 0)
        QSKIP("needs root to connect as another user");
    // A folder and a socket opened up on purpose, so that nobody can reach the program at all:
    // the check of the peer is what is left.
    QTemporaryDir open;
    QVERIFY(SetMode(open.path(), 0711));
    const QString name = open.filePath(QStringLiteral("s"));
    CSingleInstance instance;
    QVERIFY(instance.Listen(name));
    QVERIFY(SetMode(name, 0666));
    QSignalSpy received(&instance, &CSingleInstance::ItemsReceived);

    QByteArray request = CSingleInstance::ClientGreeting();
    {
        QByteArray body;
        QDataStream stream(&body, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_6_0);
        stream << QStringList({QStringLiteral("/etc/shadow")});
        QDataStream frame(&request, QIODevice::Append);
        frame.setVersion(QDataStream::Qt_6_0);
        frame << quint32(body.size());
        request += body;
    }
    const sockaddr_un address = AddressOf(QFile::encodeName(name));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::alarm(30);
        if (::setuid(NobodyId) != 0)
            ::_exit(10);
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(11);
        ::send(descriptor, request.constData(), request.size(), MSG_NOSIGNAL);
        // Until the program hangs up: it must not have answered a byte.
        char buffer[512];
        ssize_t total = 0;
        for (ssize_t count; (count = ::read(descriptor, buffer, sizeof buffer)) > 0;)
            total += count;
        ::_exit(total == 0 ? 0 : 1);
    }
    // Reaped once: the check is made again after it first holds.
    int status = 0;
    bool reaped = false;
    const auto childEnded = [&] {
        reaped = reaped || ::waitpid(child, &status, WNOHANG) == child;
        return reaped;
    };
    QTRY_VERIFY_WITH_TIMEOUT(childEnded(), 30000);
    QVERIFY2(WIFEXITED(status), "the other user's program was not hung up on");
    QCOMPARE(WEXITSTATUS(status), 0); // 1: answered; 11: could not reach the socket

    // The user's own start is still heard, and only its files arrive.
    QVERIFY(HandOverFromAnotherThread(name, {QStringLiteral("/x/own.log")}, CSingleInstance::HandOverTimeoutMs));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(FilesIn(received.at(0)), QStringList({QStringLiteral("/x/own.log")}));
}

void TestSingleInstance::itemsArriveAsTheirKindsInOrder()
{
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("kinds.conf")));
    CSingleInstance instance;
    QVERIFY(instance.Listen(name));
    QSignalSpy received(&instance, &CSingleInstance::ItemsReceived);

    // Newlines, non-ASCII letters and what looks like the framing are only parts of names.
    const QList<Item> items = {
        {Kind::Merge, {QStringLiteral("/logs/a\n/logs/b.log"), QString::fromUtf8("/logs/\u65e5\u5fd7 \u00e9.log")}},
        {Kind::File, {QStringLiteral("/logs/one.log")}},
        {Kind::RotatedSet, {QStringLiteral("/var/log/syslog\n")}},
        {Kind::File, {QString::fromUtf8("/logs/\u00e9\u0000\u0002.log", 13)}},
        {Kind::Merge, {QStringLiteral("/logs/single.log")}},
        {Kind::File, {QStringLiteral("/logs/one.log")}},
    };
    QVERIFY(HandOverFromAnotherThread(name, items, CSingleInstance::HandOverTimeoutMs));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(ItemsIn(received.at(0)), items);

    // What arrives is exactly what was framed, and its body reads back as the items.
    QList<Item> read;
    const QByteArray request = CSingleInstance::Request(items);
    QVERIFY(CSingleInstance::ReadRequest(request.mid(4), read));
    QCOMPARE(read, items);
    // Nothing to hand over is not handed over.
    QVERIFY(!CSingleInstance::HandOver(name, QList<Item>()));
}

void TestSingleInstance::earlierStartsHandFilesOver()
{
    // A start of the version before this one greets with its own words and sends a bare list of
    // paths: they open as files, and it is answered as it expects.
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("earlier.conf")));
    CSingleInstance instance;
    QVERIFY(instance.Listen(name));
    QSignalSpy received(&instance, &CSingleInstance::ItemsReceived);
    const QStringList paths = {QStringLiteral("/x/a.log"), QStringLiteral("/x/b\n.log")};
    const QByteArray answer = SendFromAnotherThread(name, CSingleInstance::LegacyClientGreeting(),
                                                    Framed(Written([&paths](QDataStream& s) { s << paths; })));
    QCOMPARE(answer, CSingleInstance::LegacyServerGreeting() + "A");
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(ItemsIn(received.at(0)), QList<Item>({{Kind::File, {paths.at(0)}}, {Kind::File, {paths.at(1)}}}));
}

void TestSingleInstance::malformedRequestsAreRefused_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hangUp");
    const QByteArray greeting = CSingleInstance::ClientGreeting();
    const QString path = QStringLiteral("/x/a.log");
    const auto file = [path](QDataStream& s) { s << quint8(Kind::File) << quint32(1) << path; };
    const auto row = [&](const char* name, const std::function<void(QDataStream&)>& write) {
        QTest::newRow(name) << greeting << Framed(Written(write)) << false;
    };

    row("no items", [](QDataStream& s) { s << quint32(0); });
    row("no count", [](QDataStream&) {});
    row("a count of more items than there are", [&](QDataStream& s) {
        s << quint32(2);
        file(s);
    });
    row("a count of every item there could be", [&](QDataStream& s) {
        s << quint32(0xffffffff);
        file(s);
    });
    row("a count of fewer items than there are", [&](QDataStream& s) {
        s << quint32(1);
        file(s);
        file(s);
    });
    row("bytes after the last item", [&](QDataStream& s) {
        s << quint32(1);
        file(s);
        s << quint8(0);
    });
    row("a good item, then one of an unknown kind", [&](QDataStream& s) {
        s << quint32(2);
        file(s);
        s << quint8(3) << quint32(1) << path;
    });
    row("a merge of no files", [&](QDataStream& s) { s << quint32(1) << quint8(Kind::Merge) << quint32(0); });
    row("a merge of more files than there are",
        [&](QDataStream& s) { s << quint32(1) << quint8(Kind::Merge) << quint32(0xffffffff) << path << path; });
    row("a file of two paths",
        [&](QDataStream& s) { s << quint32(1) << quint8(Kind::File) << quint32(2) << path << path; });
    row("a set of no path", [&](QDataStream& s) { s << quint32(1) << quint8(Kind::RotatedSet) << quint32(0); });
    row("an item without its paths", [&](QDataStream& s) { s << quint32(1) << quint8(Kind::File); });
    row("a path longer than the request", [&](QDataStream& s) {
        s << quint32(1) << quint8(Kind::File) << quint32(1) << quint32(0x7ffffffe);
        s.writeRawData("/x/a", 4);
    });
    row("a path of half a letter", [&](QDataStream& s) {
        s << quint32(1) << quint8(Kind::File) << quint32(1) << quint32(3);
        s.writeRawData("/x/", 3);
    });
    QTest::newRow("a request longer than any can be")
        << greeting << Written([](QDataStream& s) { s << quint32(0xffffffff) << quint32(1); }) << false;
    QTest::newRow("a request cut short") << greeting << Framed(Written([&](QDataStream& s) {
                                                            s << quint32(1);
                                                            file(s);
                                                        })).chopped(3)
                                         << true;
    QTest::newRow("an earlier start's list of every path there could be")
        << CSingleInstance::LegacyClientGreeting()
        << Framed(Written([&](QDataStream& s) { s << quint32(0xffffffff) << path; })) << false;
    QTest::newRow("an earlier start's empty list")
        << CSingleInstance::LegacyClientGreeting() << Framed(Written([](QDataStream& s) { s << QStringList(); }))
        << false;
}

void TestSingleInstance::malformedRequestsAreRefused()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hangUp);
    const QString name = CSingleInstance::ServerName(m_Dir.filePath(QStringLiteral("malformed.conf")));
    CSingleInstance instance;
    QVERIFY(instance.Listen(name));
    QSignalSpy received(&instance, &CSingleInstance::ItemsReceived);

    const QByteArray answer = SendFromAnotherThread(name, greeting, bytes, hangUp);
    if (!hangUp) {
        // Greeted, then hung up on without the answer that would have told the start to end.
        const QByteArray greeted = greeting == CSingleInstance::ClientGreeting()
                                       ? CSingleInstance::ServerGreeting()
                                       : CSingleInstance::LegacyServerGreeting();
        QVERIFY2(greeted.startsWith(answer), answer.constData());
    }
    // The program goes on taking good requests, and only the good one has arrived.
    const QList<Item> good = {{Kind::Merge, {QStringLiteral("/x/m1.log"), QStringLiteral("/x/m2.log")}}};
    QVERIFY(HandOverFromAnotherThread(name, good, CSingleInstance::HandOverTimeoutMs));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(ItemsIn(received.at(0)), good);

    // Read directly, the body is refused as well and leaves no items behind.
    QList<Item> read = good;
    QVERIFY(!CSingleInstance::ReadRequest(bytes.mid(4), read));
    QVERIFY(read.isEmpty());
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

    // Several files: all of them, in their order, the last one active; after "--" a name that
    // starts with a dash is a file too.
    const QString fourth = MakeLog(QStringLiteral("fourth.log"));
    const QString fifth = MakeLog(QStringLiteral("-x.log"));
    std::unique_ptr<QProcess> several =
        StartProgram({fourth, QStringLiteral("--"), QStringLiteral("-x.log")}, m_Dir.path());
    QVERIFY(several->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(several->state() == QProcess::NotRunning, 30000);
    QCOMPARE(several->exitCode(), 0);
    QTRY_COMPARE(frame->GetOpenDocuments().size(), 5);
    QCOMPARE(frame->GetOpenDocuments().at(3)->GetPathName(), fourth);
    QCOMPARE(frame->GetOpenDocuments().at(4)->GetPathName(), fifth);
    QCOMPARE(frame->GetActiveLogDocument()->GetPathName(), fifth);
    app->ExitInstance(0);
}

void TestSingleInstance::setsAndMergesOpenInTheRunningProgram()
{
    COstrelApp* app = COstrelApp::GetInstance();
    QVERIFY(app->InitInstance());
    CMainFrame* frame = app->GetMainFrame();
    const qsizetype before = frame->GetOpenDocuments().size();
    frame->showMinimized();

    const QString odd = MakeLog(QString::fromUtf8("odd\nname \u00e9\u65e5.log"));
    const QString older = MakeLog(QStringLiteral("svc.log.1"));
    const QString live = MakeLog(QStringLiteral("svc.log"));
    const QString m1 = m_Dir.filePath(QStringLiteral("m1.log"));
    const QString m2 = m_Dir.filePath(QStringLiteral("m2.log"));
    QVERIFY(TestSupport::WriteFile(m1, "2026-12-01T10:00:00Z one\n"));
    QVERIFY(TestSupport::WriteFile(m2, "2026-12-01T10:00:01Z two\n"));

    // Named relative to the start's folder; they open as this program opens a start's own.
    std::unique_ptr<QProcess> start =
        StartProgram({QStringLiteral("--set"), QStringLiteral("svc.log.1"), QFileInfo(odd).fileName(),
                      QStringLiteral("--merge"), QStringLiteral("m1.log"), QStringLiteral("m2.log")},
                     m_Dir.path());
    QVERIFY(start->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
    QCOMPARE(start->exitStatus(), QProcess::NormalExit);
    QCOMPARE(start->exitCode(), 0);

    QTRY_COMPARE(frame->GetOpenDocuments().size(), before + 3);
    const QList<COstrelDoc*> documents = frame->GetOpenDocuments().mid(before);
    QCOMPARE(documents.at(0)->GetPathName(), odd);
    QVERIFY(!documents.at(0)->IsRotatedSet() && !documents.at(0)->IsMerged());
    QCOMPARE(documents.at(1)->GetRotatedSetFiles(), QStringList({older, live}));
    QCOMPARE(documents.at(2)->GetMergedFiles(), QStringList({m1, m2}));
    QCOMPARE(frame->GetActiveLogDocument(), documents.at(2));
    QVERIFY(!frame->isMinimized());

    // A set that cannot be opened is reported as File > Open Rotated Set reports it, and the
    // merge after it opens all the same.
    const QString gone = m_Dir.filePath(QStringLiteral("gone.log"));
    auto fromMenu = TestSupport::AnswerNextModal(QMessageBox::Ok);
    QVERIFY(!frame->OpenRotatedSet(gone));
    QTRY_VERIFY(fromMenu->Seen);
    QVERIFY(!fromMenu->Text.isEmpty());
    const QString m3 = m_Dir.filePath(QStringLiteral("m3.log"));
    QVERIFY(TestSupport::WriteFile(m3, "2026-12-01T10:00:02Z three\n"));
    auto handedOver = TestSupport::AnswerNextModal(QMessageBox::Ok);
    std::unique_ptr<QProcess> failing =
        StartProgram({QStringLiteral("--set"), gone, QStringLiteral("--merge"), m1, m3});
    QVERIFY(failing->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(failing->state() == QProcess::NotRunning, 30000);
    QCOMPARE(failing->exitCode(), 0);
    QTRY_VERIFY(handedOver->Seen);
    QCOMPARE(handedOver->Text, fromMenu->Text);
    QCOMPARE(handedOver->Title, fromMenu->Title);
    QTRY_COMPARE(frame->GetOpenDocuments().size(), before + 4);
    QCOMPARE(frame->GetActiveLogDocument()->GetMergedFiles(), QStringList({m1, m3}));
    app->ExitInstance(0);
}

void TestSingleInstance::standardInputIsNeverHandedOver()
{
    // A stand-in for the running program that greets like it and takes whatever it is sent.
    CFakeListener running;
    running.Reply = [](const QByteArray& received, QLocalServer&) {
        if (received == CSingleInstance::ClientGreeting())
            return CSingleInstance::ServerGreeting();
        return received.size() > CSingleInstance::ClientGreeting().size() ? QByteArray("A") : QByteArray();
    };
    QVERIFY(running.Listen(m_strServerName));
    const QString log = MakeLog(QStringLiteral("with-input.log"));
    const QString other = MakeLog(QStringLiteral("with-input-2.log"));

    // Standard input is this start's alone, so the start keeps its set and merge as well: the
    // only contact is the check whether somebody listens already, which ends with the greeting.
    std::unique_ptr<QProcess> reading =
        StartProgram({QStringLiteral("--set"), log, QStringLiteral("-"), QStringLiteral("--merge"), log, other});
    QVERIFY(reading->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!running.Connections.empty() && running.Connections.back()->Closed, 30000);
    QCOMPARE(running.Connections.size(), std::size_t(1));
    QCOMPARE(running.Connections.back()->Received, CSingleInstance::ClientGreeting());
    QCOMPARE(reading->state(), QProcess::Running);
    reading->kill();
    QVERIFY(reading->waitForFinished());

    // The same start without "-" hands all of it over.
    std::unique_ptr<QProcess> usual =
        StartProgram({QStringLiteral("--set"), log, QStringLiteral("--merge"), log, other});
    QVERIFY(usual->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(usual->state() == QProcess::NotRunning, 30000);
    QCOMPARE(usual->exitCode(), 0);
    QCOMPARE(running.Connections.size(), std::size_t(2));
    QTRY_VERIFY(running.Connections.back()->Closed);
    const QByteArray received = running.Connections.back()->Received;
    QVERIFY(received.startsWith(CSingleInstance::ClientGreeting()));
    QList<Item> items;
    QVERIFY(CSingleInstance::ReadRequest(received.mid(CSingleInstance::ClientGreeting().size() + 4), items));
    QCOMPARE(items, QList<Item>({{Kind::RotatedSet, {log}}, {Kind::Merge, {log, other}}}));
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
    QSignalSpy received(&next, &CSingleInstance::ItemsReceived);
    // From another thread: this one must be free to answer.
    QVERIFY(
        HandOverFromAnotherThread(m_strServerName, {QStringLiteral("/x/y.log")}, CSingleInstance::HandOverTimeoutMs));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(FilesIn(received.at(0)), QStringList({QStringLiteral("/x/y.log")}));

    // A second listener under the same name is refused while the first one answers.
    CSingleInstance other;
    QVERIFY(!other.Listen(m_strServerName));
}

void TestSingleInstance::startPastAStrangerRunsOnItsOwn()
{
    // Something at the program's name answers 'A' to anything, but goes away as soon as it has
    // heard the start (before it answers, so the start cannot be too quick for it).
    CFakeListener stranger;
    stranger.Reply = [](const QByteArray&, QLocalServer& server) {
        server.close();
        return QByteArray("A");
    };
    QVERIFY(stranger.Listen(m_strServerName));
    const QString log = MakeLog(QStringLiteral("not-for-strangers.log"));
    std::unique_ptr<QProcess> program = StartProgram({log});
    QVERIFY(program->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!stranger.Connections.empty() && stranger.Connections.front()->Closed, 30000);
    QCOMPARE(stranger.Connections.front()->Received, CSingleInstance::ClientGreeting());

    // The start did not end: it is the program now, and later starts reach it.
    QTRY_VERIFY_WITH_TIMEOUT(CSingleInstance::HandOver(m_strServerName, {MakeLog(QStringLiteral("later.log"))}, 1000),
                             30000);
    QCOMPARE(program->state(), QProcess::Running);
    program->kill();
    QVERIFY(program->waitForFinished());
    QCOMPARE(stranger.Connections.size(), std::size_t(1));
    QFile::remove(m_strServerName);
}

void TestSingleInstance::newInstanceNeverHandsOver()
{
    // A stand-in for the running program that greets like it and takes whatever it is sent.
    CFakeListener running;
    running.Reply = [](const QByteArray& received, QLocalServer&) {
        if (received == CSingleInstance::ClientGreeting())
            return CSingleInstance::ServerGreeting();
        return received.size() > CSingleInstance::ClientGreeting().size() ? QByteArray("A") : QByteArray();
    };
    QVERIFY(running.Listen(m_strServerName));
    const QString log = MakeLog(QStringLiteral("own-window.log"));

    // A usual start hands its file over: more than the greeting reaches the listener.
    std::unique_ptr<QProcess> usual = StartProgram({log});
    QVERIFY(usual->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(usual->state() == QProcess::NotRunning, 30000);
    QCOMPARE(usual->exitCode(), 0);
    QCOMPARE(running.Connections.size(), std::size_t(1));
    QByteArray paths;
    {
        QDataStream stream(&paths, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_6_0);
        stream << QStringList({log});
    }
    QVERIFY(running.Connections.front()->Received.startsWith(CSingleInstance::ClientGreeting()));
    QVERIFY(running.Connections.front()->Received.endsWith(paths));

    // With --new-instance the only contact is the check whether somebody listens already, which
    // ends with the greeting.
    std::unique_ptr<QProcess> separate = StartProgram({QStringLiteral("--new-instance"), log});
    QVERIFY(separate->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(running.Connections.size() == 2 && running.Connections.back()->Closed, 30000);
    QCOMPARE(running.Connections.back()->Received, CSingleInstance::ClientGreeting());
    QCOMPARE(separate->state(), QProcess::Running);
    separate->kill();
    QVERIFY(separate->waitForFinished());
    QCOMPARE(running.Connections.size(), std::size_t(2));
}

void TestSingleInstance::otherSettingsMeanAnotherInstance()
{
    // The program run with other settings listens under another name; a start with the same
    // other settings finds it there, relative paths made absolute on the way.
    const QString otherSettings = m_Dir.filePath(QStringLiteral("other.conf"));
    const QString otherName = CSingleInstance::ServerName(otherSettings);
    QVERIFY(otherName != m_strServerName);
    CSingleInstance other;
    QVERIFY(other.Listen(otherName));
    QSignalSpy received(&other, &CSingleInstance::ItemsReceived);
    const QString log = MakeLog(QStringLiteral("other.log"));
    std::unique_ptr<QProcess> start = StartProgram(
        {QStringLiteral("--settings"), QStringLiteral("other.conf"), QStringLiteral("other.log")}, m_Dir.path());
    QVERIFY(start->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(start->state() == QProcess::NotRunning, 30000);
    QCOMPARE(start->exitCode(), 0);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(FilesIn(received.at(0)), QStringList({log}));
}

OSTREL_QT_TEST_MAIN(TestSingleInstance, COstrelApp)
#include "TestSingleInstance.moc"
