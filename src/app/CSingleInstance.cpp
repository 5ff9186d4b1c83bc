// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CSingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// A hand-over is one frame: a 32-bit length, then the path list in QDataStream form. The
// answer is one byte.
constexpr char Accepted = 'A';
// No request is anywhere near this: a stranger's bytes are not buffered without end.
constexpr quint32 MaxRequestSize = 1U << 20;
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;

} // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent), m_pServer(new QLocalServer(this))
{
    connect(m_pServer, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::ServerName(const QString& settingsFile)
{
    const QByteArray hash = QCryptographicHash::hash(settingsFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("ostrel-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool CSingleInstance::HandOver(const QString& serverName, const QStringList& paths, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
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
    socket.write(frame + body);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.read(1) == QByteArray(1, Accepted);
}

bool CSingleInstance::Listen(const QString& serverName)
{
    // Somebody answers: that one is the running program. Nobody: at most a socket left behind
    // by a program that did not end normally, which goes.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(1000))
        return false;
    QLocalServer::removeServer(serverName);
    return m_pServer->listen(serverName);
}

bool CSingleInstance::IsListening() const
{
    return m_pServer->isListening();
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_pServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    }
}

void CSingleInstance::OnReadyRead(QLocalSocket* socket)
{
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
