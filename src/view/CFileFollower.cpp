// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileFollower.h"

#include <algorithm>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "view/CFileRangeReader.h"
#include "view/CSharedFileWatcher.h"

CFileFollower::CFileFollower(QString path, std::uint64_t offset, QObject* parent, CSharedFileWatcher* watcher)
    : QObject(parent), m_strPath(std::move(path)), m_strNativePath(QFile::encodeName(m_strPath).toStdString()),
      m_pWatcher(watcher ? watcher : &CSharedFileWatcher::Shared())
{
    m_Known.Offset = offset;
    if (OpenFile())
        LoadReadState(m_nFd, offset, m_Known);
    // The folder is watched, not the file: a rotated log's new file shows there too.
    m_nSubscription = m_pWatcher->Subscribe(m_strPath, [this] { Check(); });
}

CFileFollower::~CFileFollower()
{
    m_pWatcher->Unsubscribe(m_nSubscription);
    delete m_pReader; // leaves a read that hangs behind
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool CFileFollower::OpenFile()
{
    // Never waits: a name that has become a pipe must not hold the window.
    const int fd = ::open(m_strNativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
    IdentifyOpenFile(m_nFd, m_Known);
    delete m_pReader;
    m_pReader = new CFileRangeReader(m_nFd, this);
    connect(m_pReader, &CFileRangeReader::RangeRead, this, &CFileFollower::OnRangeRead);
    m_nPendingTag = 0;
    return true;
}

void CFileFollower::SetFollowing(bool following)
{
    m_bFollowing = following;
    m_bToldChanged = false;
    if (following)
        Check();
}

void CFileFollower::StartAgain(bool replaced)
{
    m_Known.StartAgain();
    m_nPendingTag = 0; // a read of the old bytes is of no use now
    Q_EMIT FileRestarted(replaced);
    Check();
}

void CFileFollower::Check()
{
    if (m_nFd < 0) {
        if (!OpenFile()) {
            if (!m_bMissing) {
                m_bMissing = true;
                Q_EMIT FileMissingChanged(true);
            }
            return;
        }
        m_Known.StartAgain(); // a file that was missing from the start is read from its first byte
    }
    const FileObservation now = ObserveFile(m_nFd, m_strNativePath, m_Known);
    const bool present = now.NamePresent && now.NameIsRegular;
    if (present == m_bMissing) {
        m_bMissing = !present;
        Q_EMIT FileMissingChanged(m_bMissing);
    }
    const FileChange change = ClassifyFileChange(m_Known, now);
    if (change == FileChange::Unchanged || change == FileChange::Gone || change == FileChange::NotAFile)
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
    switch (change) {
    case FileChange::Grew: {
        // The bytes last handed over are read again with what follows them: if they are no
        // longer there, the file was written anew before the read, and what follows is not ours.
        const std::uint64_t from = m_Known.Offset - m_Known.Tail.size();
        const std::uint64_t size = std::min<std::uint64_t>(now.OpenSize - m_Known.Offset, ChunkBytes);
        m_nPendingTag = m_nNextTag++;
        m_pReader->Request(from, static_cast<std::size_t>(size + m_Known.Tail.size()), m_nPendingTag);
        return;
    }
    case FileChange::Rewritten:
        StartAgain(false);
        return;
    case FileChange::Replaced:
        // What the old file still had was read first (it counts as growth); the new one starts now.
        if (!OpenFile())
            return;
        StartAgain(true);
        return;
    case FileChange::Unchanged:
    case FileChange::Gone:
    case FileChange::NotAFile:
        return;
    }
}

void CFileFollower::OnRangeRead(std::uint64_t tag, std::uint64_t offset, const QByteArray& bytes, int error)
{
    if (tag != m_nPendingTag)
        return;
    m_nPendingTag = 0;
    const std::size_t tail = m_Known.Tail.size();
    if (error != 0 || offset != m_Known.Offset - tail || !m_bFollowing)
        return;
    const auto read = static_cast<std::size_t>(bytes.size());
    if (read < tail || std::string_view(bytes.constData(), tail) != m_Known.Tail) {
        StartAgain(false);
        return;
    }
    if (read > tail) {
        m_Known.Advance(std::string_view(bytes.constData() + tail, read - tail));
        Q_EMIT BytesAppended(bytes.sliced(static_cast<qsizetype>(tail)));
    }
    Check(); // more may have come meanwhile
}
