// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CSingleInstance.h"

#include <cerrno>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// A connection: the starting program greets, the running one greets back; then one frame, a
// 32-bit length and the request in QDataStream form (see Request); the answer is one byte.
constexpr char Accepted = 'A';
// No request is anywhere near this: a stranger's bytes are not buffered without end.
constexpr quint32 MaxRequestSize = 1U << 20;
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;

// What is at a socket's name, seen without following a link.
enum class NameEntry
{
    Missing,
    OwnSocket,
    Other, // not a socket, a link, another user's, or not to be examined
};

// What answered at a socket's name.
enum class Peer
{
    Nobody,   // no socket there
    Stale,    // a socket of ours that nobody listens on
    Stranger, // something that is not this program of this user
    Ostrel,   // the running program, greeted: the socket is ready for the paths
};

NameEntry ExamineName(const QString& path)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT ? NameEntry::Missing : NameEntry::Other;
    return S_ISSOCK(status.st_mode) && status.st_uid == ::geteuid() ? NameEntry::OwnSocket : NameEntry::Other;
}

bool IsPrivateFolder(const QString& path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

// The socket is ours and only we may connect to it.
bool IsPrivateSocket(const QString& path)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISSOCK(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & 0177) == 0;
}

// The process at the other end of a connected socket runs as this user.
bool PeerIsThisUser(qintptr descriptor)
{
    struct ucred credentials = {};
    socklen_t size = sizeof credentials;
    return descriptor >= 0 &&
           ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           size == sizeof credentials && credentials.uid == ::geteuid();
}

// Reads the expected bytes; false as soon as what came differs from them, on a close, or when
// the time is up.
bool ReadExpected(QLocalSocket& socket, const QByteArray& expected, const QDeadlineTimer& deadline)
{
    while (true) {
        const QByteArray received = socket.peek(expected.size());
        if (!expected.startsWith(received))
            return false;
        if (received.size() == expected.size()) {
            socket.read(expected.size());
            return true;
        }
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    }
}

// Connects to the name and greets what listens there.
Peer Contact(QLocalSocket& socket, const QString& name, const QDeadlineTimer& deadline)
{
    switch (ExamineName(name)) {
    case NameEntry::Missing:
        return Peer::Nobody;
    case NameEntry::Other:
        return Peer::Stranger;
    case NameEntry::OwnSocket:
        break;
    }
    socket.connectToServer(name);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        // Refused: nobody listens on it. Anything else (a full queue, time up) may be alive.
        if (socket.error() == QLocalSocket::ConnectionRefusedError)
            return Peer::Stale;
        return socket.error() == QLocalSocket::ServerNotFoundError ? Peer::Nobody : Peer::Stranger;
    }
    // Another user's listener learns nothing, not even the greeting.
    if (!PeerIsThisUser(socket.socketDescriptor())) {
        socket.abort();
        return Peer::Stranger;
    }
    socket.write(CSingleInstance::ClientGreeting());
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())) ||
        !ReadExpected(socket, CSingleInstance::ServerGreeting(), deadline)) {
        socket.abort();
        return Peer::Stranger;
    }
    return Peer::Ostrel;
}

// A count read from the body, of things that take at least minimumSize bytes each: one that the
// rest of the body cannot hold is a lie, refused before anything is made for it.
bool ReadCount(QDataStream& stream, qint64 bodySize, qint64 minimumSize, quint32& count)
{
    stream >> count;
    return stream.status() == QDataStream::Ok && qint64(count) * minimumSize <= bodySize - stream.device()->pos();
}

// Paths: their count, then that many strings.
bool ReadPaths(QDataStream& stream, qint64 bodySize, QStringList& paths)
{
    constexpr qint64 StringSize = sizeof(quint32); // an empty one is its length alone
    quint32 count = 0;
    if (!ReadCount(stream, bodySize, StringSize, count))
        return false;
    for (quint32 i = 0; i < count; ++i) {
        QString path;
        stream >> path;
        if (stream.status() != QDataStream::Ok)
            return false;
        paths.append(path);
    }
    return true;
}

// An earlier start's body: the paths of files, as a QStringList.
bool ReadLegacyRequest(const QByteArray& body, QList<CSingleInstance::Item>& items)
{
    QDataStream stream(body);
    stream.setVersion(StreamVersion);
    QStringList paths;
    if (!ReadPaths(stream, body.size(), paths) || !stream.atEnd() || paths.isEmpty())
        return false;
    for (const QString& path : paths)
        items.append({CSingleInstance::Item::Kind::File, {path}});
    return true;
}

} // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent), m_pServer(new QLocalServer(this))
{
    connect(m_pServer, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() = default;

QByteArray CSingleInstance::ClientGreeting()
{
    return QByteArrayLiteral("OSTREL HAND-OVER 2\n");
}

QByteArray CSingleInstance::ServerGreeting()
{
    return QByteArrayLiteral("OSTREL RUNNING 2\n");
}

QByteArray CSingleInstance::LegacyClientGreeting()
{
    return QByteArrayLiteral("OSTREL HAND-OVER 1\n");
}

QByteArray CSingleInstance::LegacyServerGreeting()
{
    return QByteArrayLiteral("OSTREL RUNNING 1\n");
}

QByteArray CSingleInstance::Request(const QList<Item>& items)
{
    QByteArray body;
    {
        QDataStream stream(&body, QIODevice::WriteOnly);
        stream.setVersion(StreamVersion);
        stream << quint32(items.size());
        for (const Item& item : items)
            stream << quint8(item.What) << item.Paths;
    }
    QByteArray frame;
    {
        QDataStream stream(&frame, QIODevice::WriteOnly);
        stream.setVersion(StreamVersion);
        stream << quint32(body.size());
    }
    return frame + body;
}

bool CSingleInstance::ReadRequest(const QByteArray& body, QList<Item>& items)
{
    items.clear();
    QDataStream stream(body);
    stream.setVersion(StreamVersion);
    // The least an item takes: its kind, its count and one empty path.
    constexpr qint64 ItemSize = sizeof(quint8) + 2 * sizeof(quint32);
    quint32 count = 0;
    if (!ReadCount(stream, body.size(), ItemSize, count) || count == 0)
        return false;
    QList<Item> read;
    for (quint32 i = 0; i < count; ++i) {
        quint8 kind = 0;
        Item item;
        stream >> kind;
        if (stream.status() != QDataStream::Ok || !ReadPaths(stream, body.size(), item.Paths))
            return false;
        item.What = static_cast<Item::Kind>(kind);
        switch (item.What) {
        case Item::Kind::File:
        case Item::Kind::RotatedSet:
            if (item.Paths.size() != 1)
                return false;
            break;
        case Item::Kind::Merge:
            if (item.Paths.isEmpty())
                return false;
            break;
        default: // a kind this program does not know
            return false;
        }
        read.append(item);
    }
    // Whatever follows the last item makes the count a lie as well.
    if (!stream.atEnd())
        return false;
    items = read;
    return true;
}

QString CSingleInstance::GetPrivateFolder(const QString& runtimeFolder, const QString& fallbackBase)
{
    // Cleaned first: "folder/" would make lstat follow a link.
    if (!runtimeFolder.isEmpty() && QDir::isAbsolutePath(runtimeFolder)) {
        const QString folder = QDir::cleanPath(runtimeFolder);
        if (IsPrivateFolder(folder))
            return folder;
    }
    const QString folder = QDir::cleanPath(fallbackBase) + QStringLiteral("/ostrel-%1").arg(::geteuid());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    // Someone else's, or ours but open to others: not a place for the socket, and not ours to mend.
    if (!IsPrivateFolder(folder)) {
        qWarning("ostrel: %s is not a private folder of this user; this start runs on its own", qUtf8Printable(folder));
        return QString();
    }
    return folder;
}

QString CSingleInstance::ServerName(const QString& settingsFile)
{
    const QString folder = GetPrivateFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/tmp"));
    if (folder.isEmpty())
        return QString();
    const QByteArray hash = QCryptographicHash::hash(settingsFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return folder + QStringLiteral("/ostrel-") + QString::fromLatin1(hash);
}

bool CSingleInstance::HandOver(const QString& serverName, const QList<Item>& items, int timeoutMs)
{
    if (serverName.isEmpty() || items.isEmpty())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    if (Contact(socket, serverName, deadline) != Peer::Ostrel)
        return false;
    socket.write(Request(items));
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    return ReadExpected(socket, QByteArray(1, Accepted), deadline);
}

bool CSingleInstance::HandOver(const QString& serverName, const QStringList& paths, int timeoutMs)
{
    QList<Item> items;
    for (const QString& path : paths)
        items.append({Item::Kind::File, {path}});
    return HandOver(serverName, items, timeoutMs);
}

bool CSingleInstance::Listen(const QString& serverName)
{
    if (serverName.isEmpty() || m_pServer->isListening())
        return false;
    {
        QLocalSocket probe;
        switch (Contact(probe, serverName, QDeadlineTimer(ProbeTimeoutMs))) {
        case Peer::Ostrel:   // the running program
        case Peer::Stranger: // not ours to take over
            return false;
        case Peer::Stale:
            // Checked again right before: only a socket of ours ever goes.
            if (ExamineName(serverName) != NameEntry::OwnSocket ||
                ::unlink(QFile::encodeName(serverName).constData()) != 0)
                return false;
            break;
        case Peer::Nobody:
            break;
        }
    }
    // The mask makes the socket private from its first moment; binding to the name (no
    // QLocalServer socket options, which would rename a socket over whatever is there) fails
    // when anything appeared there meanwhile. The mask is the process's: a file another thread
    // makes in between gets a narrower mode, never a wider one.
    const mode_t previousMask = ::umask(077);
    const bool listening = m_pServer->listen(serverName);
    ::umask(previousMask);
    if (!listening)
        return false;
    // Connecting needs write permission, nothing needs execute.
    if (::chmod(QFile::encodeName(serverName).constData(), 0600) != 0 || !IsPrivateSocket(serverName)) {
        m_pServer->close();
        return false;
    }
    return true;
}

bool CSingleInstance::IsListening() const
{
    return m_pServer->isListening();
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_pServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Another user's program is dropped unread.
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto version = std::make_shared<int>(0);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, version] { OnReadyRead(socket, *version); });
    }
}

void CSingleInstance::OnReadyRead(QLocalSocket* socket, int& version)
{
    if (version < 0) // answered: one request a connection
        return;
    if (version == 0) {
        // Both greetings are as long; an earlier start's is answered in its own words.
        struct Greeting
        {
            QByteArray Heard;
            QByteArray Answer;
            int Version;
        };
        const Greeting greetings[] = {{ClientGreeting(), ServerGreeting(), 2},
                                      {LegacyClientGreeting(), LegacyServerGreeting(), 1}};
        const QByteArray received = socket->peek(greetings[0].Heard.size());
        const Greeting* heard = nullptr;
        bool possible = false;
        for (const Greeting& greeting : greetings) {
            possible = possible || greeting.Heard.startsWith(received);
            if (greeting.Heard == received)
                heard = &greeting;
        }
        if (!possible) {
            socket->abort();
            return;
        }
        if (!heard)
            return;
        socket->read(received.size());
        socket->write(heard->Answer);
        socket->flush();
        version = heard->Version;
    }
    if (socket->bytesAvailable() < qint64(sizeof(quint32)))
        return;
    QDataStream sizeStream(socket->peek(sizeof(quint32)));
    sizeStream.setVersion(StreamVersion);
    quint32 size = 0;
    sizeStream >> size;
    if (size > MaxRequestSize) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(sizeof(quint32)) + size)
        return;
    socket->read(sizeof(quint32));
    const QByteArray body = socket->read(size);
    // All or nothing: a request that is wrong anywhere opens none of it.
    QList<Item> items;
    if (!(version == 1 ? ReadLegacyRequest(body, items) : ReadRequest(body, items))) {
        socket->abort();
        return;
    }
    // Answer first: the starting program may end while this one opens the files.
    version = -1;
    socket->write(QByteArray(1, Accepted));
    socket->flush();
    socket->disconnectFromServer();
    // Later: opening may ask questions in message boxes, which must not run inside this handler.
    QMetaObject::invokeMethod(
        this, [this, items] { Q_EMIT ItemsReceived(items); }, Qt::QueuedConnection);
}
