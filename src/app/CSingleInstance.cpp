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
// 32-bit length and the path list in QDataStream form; the answer is one byte.
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

QByteArray Frame(const QStringList& paths)
{
    QByteArray body;
    {
        QDataStream stream(&body, QIODevice::WriteOnly);
        stream.setVersion(StreamVersion);
        stream << paths;
    }
    QByteArray frame;
    {
        QDataStream stream(&frame, QIODevice::WriteOnly);
        stream.setVersion(StreamVersion);
        stream << quint32(body.size());
    }
    return frame + body;
}

} // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent), m_pServer(new QLocalServer(this))
{
    connect(m_pServer, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() = default;

QByteArray CSingleInstance::ClientGreeting()
{
    return QByteArrayLiteral("OSTREL HAND-OVER 1\n");
}

QByteArray CSingleInstance::ServerGreeting()
{
    return QByteArrayLiteral("OSTREL RUNNING 1\n");
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

bool CSingleInstance::HandOver(const QString& serverName, const QStringList& paths, int timeoutMs)
{
    if (serverName.isEmpty())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    if (Contact(socket, serverName, deadline) != Peer::Ostrel)
        return false;
    socket.write(Frame(paths));
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    return ReadExpected(socket, QByteArray(1, Accepted), deadline);
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
        auto greeted = std::make_shared<bool>(false);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, greeted] { OnReadyRead(socket, *greeted); });
    }
}

void CSingleInstance::OnReadyRead(QLocalSocket* socket, bool& greeted)
{
    if (!greeted) {
        const QByteArray expected = ClientGreeting();
        const QByteArray received = socket->peek(expected.size());
        if (!expected.startsWith(received)) {
            socket->abort();
            return;
        }
        if (received.size() < expected.size())
            return;
        socket->read(expected.size());
        socket->write(ServerGreeting());
        socket->flush();
        greeted = true;
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
    QDataStream stream(socket->read(size));
    stream.setVersion(StreamVersion);
    QStringList paths;
    stream >> paths;
    if (stream.status() != QDataStream::Ok) {
        socket->abort();
        return;
    }
    // Answer first: the starting program may end while this one opens the files.
    socket->write(QByteArray(1, Accepted));
    socket->flush();
    socket->disconnectFromServer();
    // Later: opening may ask questions in message boxes, which must not run inside this handler.
    QMetaObject::invokeMethod(
        this, [this, paths] { Q_EMIT FilesReceived(paths); }, Qt::QueuedConnection);
}
