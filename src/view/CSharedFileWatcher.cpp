// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CSharedFileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>

namespace {

constexpr std::uint32_t FolderEvents = IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                       IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

CSharedFileWatcher::CSharedFileWatcher(QObject* parent) : QObject(parent)
{
    m_nNotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nNotifyFd >= 0) {
        m_pNotifier = new QSocketNotifier(m_nNotifyFd, QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, &CSharedFileWatcher::ReadEvents);
    }
    m_PollTimer.setInterval(PollMs);
    connect(&m_PollTimer, &QTimer::timeout, this, &CSharedFileWatcher::Poll);
}

CSharedFileWatcher::~CSharedFileWatcher()
{
    delete m_pNotifier;
    if (m_nNotifyFd >= 0)
        ::close(m_nNotifyFd);
}

CSharedFileWatcher& CSharedFileWatcher::Shared()
{
    static QPointer<CSharedFileWatcher> shared;
    if (!shared)
        shared = new CSharedFileWatcher(QCoreApplication::instance());
    return *shared;
}

int CSharedFileWatcher::Subscribe(const QString& path, Listener listener)
{
    const QFileInfo info(path);
    Subscription subscription{QFile::encodeName(info.absolutePath()).toStdString(),
                              QFile::encodeName(info.fileName()).toStdString(), std::move(listener)};
    const std::string folder = subscription.Folder;
    const int number = m_nNextSubscription++;
    m_Subscriptions.emplace(number, std::move(subscription));
    if (m_FolderUsers[folder]++ == 0)
        WatchFolder(folder);
    if (!m_PollTimer.isActive())
        m_PollTimer.start();
    return number;
}

void CSharedFileWatcher::Unsubscribe(int subscription)
{
    const auto found = m_Subscriptions.find(subscription);
    if (found == m_Subscriptions.end())
        return;
    const std::string folder = found->second.Folder;
    m_Subscriptions.erase(found);
    if (--m_FolderUsers[folder] > 0)
        return;
    m_FolderUsers.erase(folder);
    const auto watch = m_FolderWatches.find(folder);
    if (watch != m_FolderWatches.end()) {
        ::inotify_rm_watch(m_nNotifyFd, watch->second);
        m_WatchedFolders.erase(watch->second);
        m_FolderWatches.erase(watch);
    }
    if (m_Subscriptions.empty())
        m_PollTimer.stop();
}

void CSharedFileWatcher::WatchFolder(const std::string& folder)
{
    if (m_nNotifyFd < 0 || m_FolderWatches.count(folder) != 0)
        return;
    const int watch = ::inotify_add_watch(m_nNotifyFd, folder.c_str(), FolderEvents);
    if (watch < 0)
        return; // gone, or out of watches: the poll still looks
    m_FolderWatches[folder] = watch;
    m_WatchedFolders[watch] = folder;
}

void CSharedFileWatcher::ReadEvents()
{
    alignas(inotify_event) char events[16384];
    std::vector<std::pair<std::string, std::string>> changed; // folder, name ("" for all of it)
    bool lost = false;
    for (;;) {
        const ssize_t got = ::read(m_nNotifyFd, events, sizeof events);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                lost = true;
                continue;
            }
            const auto folder = m_WatchedFolders.find(event->wd);
            if (folder == m_WatchedFolders.end())
                continue;
            changed.emplace_back(folder->second, event->len > 0 ? std::string(event->name) : std::string());
            if (event->mask & IN_IGNORED) {
                // The folder went: watched again when the poll finds it back.
                m_FolderWatches.erase(folder->second);
                m_WatchedFolders.erase(folder);
            }
        }
    }
    if (lost) {
        Notify([](const Subscription&) { return true; });
        return;
    }
    Notify([&changed](const Subscription& subscription) {
        for (const auto& [folder, name] : changed)
            if (folder == subscription.Folder && (name.empty() || name == subscription.Name))
                return true;
        return false;
    });
}

void CSharedFileWatcher::Poll()
{
    for (const auto& [folder, users] : m_FolderUsers)
        if (m_FolderWatches.count(folder) == 0)
            WatchFolder(folder);
    Notify([](const Subscription&) { return true; });
}

void CSharedFileWatcher::Notify(const std::function<bool(const Subscription&)>& picks)
{
    std::vector<int> numbers;
    for (const auto& [number, subscription] : m_Subscriptions)
        if (picks(subscription))
            numbers.push_back(number);
    for (const int number : numbers) {
        const auto found = m_Subscriptions.find(number);
        if (found == m_Subscriptions.end())
            continue;                             // unsubscribed by an earlier listener
        const Listener call = found->second.Call; // the listener may unsubscribe itself
        call();
    }
}
