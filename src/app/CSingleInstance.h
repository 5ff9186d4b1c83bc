// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running program per user and settings store: the first start listens on a local socket,
// a later start with files, rotated sets or merges hands them over and ends, and the running one
// opens them.
//
// Nobody but the user reaches the running program, and a start gives its paths to nobody else:
// the socket lives in a folder that only the user may enter (checked, links are not followed),
// the socket itself is 0600, and each end checks the other's user id (SO_PEERCRED) before it
// reads or writes anything. A greeting in each direction comes before the paths, so a listener
// at the name that is not this program (a stranger, or a program of ours of another kind) is not
// taken for the running one and learns nothing.
class CSingleInstance : public QObject
{
    Q_OBJECT

public:
    // One document a start hands over.
    struct Item
    {
        enum class Kind : quint8
        {
            File = 0,
            RotatedSet = 1, // any file of the set
            Merge = 2,      // the files merged into one document
        };
        Kind What = Kind::File;
        QStringList Paths; // one for a file or a set, one or more for a merge; absolute

        bool operator==(const Item&) const = default;
    };

    // How long a start waits for the running program to take its files.
    static constexpr int HandOverTimeoutMs = 5000;
    // How long Listen waits for a listener at the name to say what it is.
    static constexpr int ProbeTimeoutMs = 1000;

    explicit CSingleInstance(QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The folder for the socket: runtimeFolder when it is a folder of this user that group and
    // others may not enter (and not a link), else <fallbackBase>/ostrel-<uid>, made 0700 when it
    // is missing and checked the same way. Empty when neither will do: no single instance then.
    static QString GetPrivateFolder(const QString& runtimeFolder, const QString& fallbackBase);
    // The socket's path for a settings file, in the private folder of $XDG_RUNTIME_DIR or /tmp:
    // the same user with the same settings file shares it. Empty when there is no private folder.
    static QString ServerName(const QString& settingsFile);
    // What each end says first, before a single path; tests play the other end with them.
    static QByteArray ClientGreeting();
    static QByteArray ServerGreeting();
    // What a start of an earlier version says and hears: it sends files only, as a bare list.
    static QByteArray LegacyClientGreeting();
    static QByteArray LegacyServerGreeting();
    // What a start sends after the greetings: a 32-bit length, then the items in QDataStream
    // form (a count, and for each its kind, a count and the paths), every string length-prefixed.
    static QByteArray Request(const QList<Item>& items);
    // The items of a request's body; false, with nothing in items, for a body that is not
    // exactly a well-formed list of one or more items.
    static bool ReadRequest(const QByteArray& body, QList<Item>& items);

    // Hands the items to this program listening under that name. True when it took them; false
    // when nobody listens, the listener belongs to another user or is not this program, or it
    // does not answer in time. Only a listener that answered the greeting ever sees the paths.
    static bool HandOver(const QString& serverName, const QList<Item>& items, int timeoutMs = HandOverTimeoutMs);
    // The same for absolute paths of files.
    static bool HandOver(const QString& serverName, const QStringList& paths, int timeoutMs = HandOverTimeoutMs);

    // Starts listening. A socket of this user that nobody listens on is left from a program that
    // ended, and goes first; anything else at the name (no socket, another user's, a link) stays
    // untouched. False when a listener holds the name already, or the socket cannot be made
    // private to the user.
    bool Listen(const QString& serverName);
    bool IsListening() const;

Q_SIGNALS:
    // Another start handed these over, in its order; the connection is answered already.
    void ItemsReceived(const QList<CSingleInstance::Item>& items);

private:
    void OnNewConnection();
    // version: 0 until this connection's greeting is answered, then the version it greeted with;
    // below 0 once its request is answered.
    void OnReadyRead(QLocalSocket* socket, int& version);

    QLocalServer* m_pServer;
};

Q_DECLARE_METATYPE(CSingleInstance::Item)
