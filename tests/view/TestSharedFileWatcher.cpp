// SPDX-License-Identifier: GPL-3.0-or-later
// Many followed files share one watcher: one kernel watch per folder, no thread while idle, and
// each follower still hears of its own file only.

#include <algorithm>
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "view/CFileFollower.h"
#include "view/CSharedFileWatcher.h"

using namespace Qt::StringLiterals;

namespace {

bool Append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size() && file.flush();
}

// Threads of the process now, from the kernel's list of them.
int ThreadCount()
{
    return static_cast<int>(QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Descriptors of the process that are inotify instances.
int InotifyInstanceCount()
{
    int count = 0;
    const QDir fds(u"/proc/self/fd"_s);
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget().contains(u"inotify"_s) || QFile::symLinkTarget(fd.filePath()).contains(u"inotify"_s))
            ++count;
    return count;
}

} // namespace

class TestSharedFileWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manyFollowersShareOneWatcher();
};

void TestSharedFileWatcher::manyFollowersShareOneWatcher()
{
    constexpr int Folders = 4;
    constexpr int FilesPerFolder = 50;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::vector<QString> paths;
    for (int folder = 0; folder < Folders; ++folder) {
        const QString sub = dir.filePath(u"f"_s + QString::number(folder));
        QVERIFY(QDir().mkpath(sub));
        for (int file = 0; file < FilesPerFolder; ++file) {
            paths.push_back(sub + u"/log"_s + QString::number(file) + u".log"_s);
            QVERIFY(Append(paths.back(), "first\n"));
        }
    }
    const int threadsBefore = ThreadCount();
    const int inotifyBefore = InotifyInstanceCount();
    CSharedFileWatcher watcher;
    QVERIFY(watcher.HasNotifications());
    std::vector<std::unique_ptr<CFileFollower>> followers;
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const QString& path : paths) {
        followers.push_back(std::make_unique<CFileFollower>(path, 6, nullptr, &watcher));
        followers.back()->SetFollowing(true);
        spies.push_back(std::make_unique<QSignalSpy>(followers.back().get(), &CFileFollower::BytesAppended));
    }
    QCOMPARE(watcher.GetSubscriptionCount(), Folders * FilesPerFolder);
    QCOMPARE(watcher.GetWatchedFolderCount(), Folders);
    QCOMPARE(InotifyInstanceCount(), inotifyBefore + 1);
    // Idle followers hold no thread of their own.
    QVERIFY2(ThreadCount() < threadsBefore + 4, qPrintable(QString::number(ThreadCount() - threadsBefore)));

    // Each hears of its own file, and of nothing but its file.
    const std::vector<std::size_t> written = {0, 7, FilesPerFolder + 3, paths.size() - 1};
    for (const std::size_t index : written)
        QVERIFY(Append(paths[index], "more of " + QFile::encodeName(paths[index]) + '\n'));
    for (const std::size_t index : written) {
        QTRY_COMPARE(spies[index]->count(), 1);
        QCOMPARE(spies[index]->at(0).at(0).toByteArray(), "more of " + QFile::encodeName(paths[index]) + '\n');
        QCOMPARE(followers[index]->GetOffset(), static_cast<std::uint64_t>(QFileInfo(paths[index]).size()));
    }
    // The poll passes once more: still nothing for the files nobody wrote.
    QSignalSpy polled(followers.front().get(), &CFileFollower::FileMissingChanged);
    QFile::remove(paths.front());
    QTRY_COMPARE(polled.count(), 1);
    for (std::size_t index = 0; index < paths.size(); ++index)
        if (std::find(written.begin(), written.end(), index) == written.end())
            QCOMPARE(spies[index]->count(), 0);

    followers.clear();
    QCOMPARE(watcher.GetSubscriptionCount(), 0);
    QCOMPARE(watcher.GetWatchedFolderCount(), 0);
}

QTEST_GUILESS_MAIN(TestSharedFileWatcher)
#include "TestSharedFileWatcher.moc"
