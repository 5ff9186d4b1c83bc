// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileFollower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "view/CFileRangeReader.h"

CFileFollower::CFileFollower(QString path, std::uint64_t offset, QObject* parent)
    : QObject(parent), m_strPath(std::move(path)), m_nOffset(offset)
{
    OpenFile();
    Watch();
    connect(&m_Watcher, &QFileSystemWatcher::fileChanged, this, &CFileFollower::Check);
    connect(&m_Watcher, &QFileSystemWatcher::directoryChanged, this, &CFileFollower::Check);
    m_PollTimer.setInterval(PollMs);
    connect(&m_PollTimer, &QTimer::timeout, this, &CFileFollower::Check);
    m_PollTimer.start();
}

CFileFollower::~CFileFollower()
{
    delete m_pReader; // leaves a read that hangs behind
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool CFileFollower::OpenFile()
{
    // Never waits: a name that has become a pipe must not hold the window.
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = fd;
    m_nDevice = static_cast<std::uint64_t>(status.st_dev);
    m_nInode = static_cast<std::uint64_t>(status.st_ino);
    delete m_pReader;
    m_pReader = new CFileRangeReader(m_nFd, this);
    connect(m_pReader, &CFileRangeReader::RangeRead, this, &CFileFollower::OnRangeRead);
    m_nPendingTag = 0;
    return true;
}

void CFileFollower::Watch()
{
    // The folder too: a rotated log's new file shows there, and the watch on the old one ends.
    const QStringList watched = m_Watcher.files() + m_Watcher.directories();
    if (!watched.isEmpty())
        m_Watcher.removePaths(watched);
    m_Watcher.addPath(m_strPath);
    m_Watcher.addPath(QFileInfo(m_strPath).absolutePath());
}

void CFileFollower::SetFollowing(bool following)
{
    m_bFollowing = following;
    m_bToldChanged = false;
    if (following)
        Check();
}

void CFileFollower::Check()
{
    if (m_nFd < 0 && !OpenFile()) {
        if (!m_bMissing) {
            m_bMissing = true;
            Q_EMIT FileMissingChanged(true);
        }
        return;
    }
    struct stat reading
    {
    };
    struct stat named
    {
    };
    const bool readable = ::fstat(m_nFd, &reading) == 0;
    const bool present = ::stat(QFile::encodeName(m_strPath).constData(), &named) == 0;
    if (present == m_bMissing) {
        m_bMissing = !present;
        Q_EMIT FileMissingChanged(m_bMissing);
        if (present)
            Watch();
    }
    if (!readable)
        return;
    const auto size = static_cast<std::uint64_t>(reading.st_size < 0 ? 0 : reading.st_size);
    const bool replaced = present && (static_cast<std::uint64_t>(named.st_ino) != m_nInode ||
                                      static_cast<std::uint64_t>(named.st_dev) != m_nDevice);
    const bool changed = size != m_nOffset || replaced;
    if (!changed)
        return;
    if (!m_bFollowing) {
        if (!m_bToldChanged) {
            m_bToldChanged = true;
            Q_EMIT ChangedOnDisk();
        }
        return;
    }
    if (m_nPendingTag != 0)
        return; // a read is under way; its answer checks again
    if (size > m_nOffset) {
        // What the file we read still has comes first, then the file that took its name.
        m_nPendingTag = m_nNextTag++;
        m_pReader->Request(m_nOffset, static_cast<std::size_t>(std::min<std::uint64_t>(size - m_nOffset, ChunkBytes)),
                           m_nPendingTag);
        return;
    }
    if (replaced) {
        if (!OpenFile())
            return;
        Watch();
        m_nOffset = 0;
        Q_EMIT FileRestarted(true);
        Check();
        return;
    }
    if (size < m_nOffset) {
        m_nOffset = 0;
        Q_EMIT FileRestarted(false);
        Check();
    }
}

void CFileFollower::OnRangeRead(std::uint64_t tag, std::uint64_t offset, const QByteArray& bytes, int error)
{
    if (tag != m_nPendingTag)
        return;
    m_nPendingTag = 0;
    if (error != 0 || offset != m_nOffset || !m_bFollowing)
        return;
    if (!bytes.isEmpty()) {
        m_nOffset += static_cast<std::uint64_t>(bytes.size());
        Q_EMIT BytesAppended(bytes);
    }
    Check(); // more may have come meanwhile
}
