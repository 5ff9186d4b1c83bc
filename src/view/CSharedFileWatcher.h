// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

// Tells the followers of files when to look at them, for all documents of the process: one
// inotify instance with one watch per folder, whose events are handed to the followers of the
// file they name (and to all of a folder's followers when the folder itself changes or events
// were lost), and one timer that has every follower look once a second besides, since network
// file systems send no events.
class CSharedFileWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollMs = 1000;
    using Listener = std::function<void()>;

    explicit CSharedFileWatcher(QObject* parent = nullptr);
    ~CSharedFileWatcher() override;

    // The watcher of the process, made on first use and owned by the application object.
    static CSharedFileWatcher& Shared();

    // The listener is called, on this object's thread, when the file may have changed; until
    // Unsubscribe with the number returned.
    int Subscribe(const QString& path, Listener listener);
    void Unsubscribe(int subscription);

    int GetSubscriptionCount() const { return static_cast<int>(m_Subscriptions.size()); }
    // Folders watched through the kernel's events (0 when there are none, polling only).
    int GetWatchedFolderCount() const { return static_cast<int>(m_FolderWatches.size()); }
    bool HasNotifications() const { return m_nNotifyFd >= 0; }

private:
    struct Subscription
    {
        std::string Folder;
        std::string Name;
        Listener Call;
    };

    void WatchFolder(const std::string& folder);
    void ReadEvents();
    void Poll();
    // Calls the listeners the predicate picks; a listener may subscribe or unsubscribe meanwhile.
    void Notify(const std::function<bool(const Subscription&)>& picks);

    int m_nNotifyFd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
    std::map<int, Subscription> m_Subscriptions;
    std::map<std::string, int> m_FolderWatches;  // folder: watch descriptor
    std::map<int, std::string> m_WatchedFolders; // watch descriptor: folder
    std::map<std::string, int> m_FolderUsers;    // folder: subscriptions in it
    int m_nNextSubscription = 1;
    QTimer m_PollTimer;
};
