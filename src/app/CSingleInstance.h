// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running program per user and settings store: the first start listens on a local socket,
// a later start with a file hands the file over and ends, and the running one opens it.
class CSingleInstance : public QObject
{
    Q_OBJECT

public:
    // How long a start waits for the running program to take its files.
    static constexpr int HandOverTimeoutMs = 5000;

    explicit CSingleInstance(QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket's name for a settings file: the same user with the same settings shares it.
    static QString ServerName(const QString& settingsFile);
    // Hands absolute paths to the program listening under that name. True when it took them;
    // false when none listens or it does not answer in time.
    static bool HandOver(const QString& serverName, const QStringList& paths, int timeoutMs = HandOverTimeoutMs);

    // Starts listening; a socket left behind by a program that ended is cleared first. False
    // when another program listens already or the socket cannot be made.
    bool Listen(const QString& serverName);
    bool IsListening() const;

Q_SIGNALS:
    // Another start handed these files over; the connection is answered already.
    void FilesReceived(const QStringList& paths);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QLocalServer* m_pServer;
};
