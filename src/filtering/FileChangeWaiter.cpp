// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FileChangeWaiter.h"

#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Stop requests are looked at every StopSliceMs.
constexpr int StopSliceMs = 100;

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileChangeWaiter::FileChangeWaiter(std::string path) : m_strPath(std::move(path))
{
    m_nNotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nNotifyFd < 0)
        return;
    // The folder, not the file: a new file under the name shows there, and so do writes to it.
    const std::string folder = FolderOf(m_strPath);
    if (::inotify_add_watch(m_nNotifyFd, folder.c_str(),
                            IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_CLOSE_WRITE) < 0) {
        ::close(m_nNotifyFd);
        m_nNotifyFd = -1;
    }
}

FileChangeWaiter::~FileChangeWaiter()
{
    if (m_nNotifyFd >= 0)
        ::close(m_nNotifyFd);
}

void FileChangeWaiter::Sleep(int milliseconds, const std::stop_token& stop)
{
    for (int waited = 0; waited < milliseconds && !stop.stop_requested(); waited += StopSliceMs) {
        if (m_nNotifyFd < 0) {
            ::poll(nullptr, 0, StopSliceMs);
            continue;
        }
        pollfd ready{m_nNotifyFd, POLLIN, 0};
        if (::poll(&ready, 1, StopSliceMs) > 0) {
            // What came does not matter: the caller looks at the file itself.
            char events[4096];
            while (::read(m_nNotifyFd, events, sizeof events) > 0) {
            }
            return;
        }
    }
}

FileChangeWaiter::Change FileChangeWaiter::Wait(int fd, const FileReadState& known, const std::stop_token& stop)
{
    for (;;) {
        switch (ClassifyFileChange(known, ObserveFile(fd, m_strPath, known))) {
        case FileChange::Grew:
            return Change::Grew;
        case FileChange::Rewritten:
            return Change::Truncated;
        case FileChange::Replaced:
            m_bToldMissing = false;
            return Change::Replaced;
        case FileChange::Gone:
        case FileChange::NotAFile:
            // Said once, then waited for until a file has the name again; a folder in its place
            // is waited out the same way rather than read.
            if (!m_bToldMissing) {
                m_bToldMissing = true;
                return Change::Missing;
            }
            break;
        case FileChange::Unchanged:
            m_bToldMissing = false;
            break;
        }
        if (stop.stop_requested())
            return Change::Stopped;
        Sleep(PollMs, stop);
    }
}
