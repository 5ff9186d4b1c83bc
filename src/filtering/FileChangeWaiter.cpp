// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FileChangeWaiter.h"

#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A wait never goes longer than this without looking at the file: the poll of file systems that
// send no notifications. Stop requests are looked at every StopSliceMs.
constexpr int PollMs = 1000;
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

FileChangeWaiter::Change FileChangeWaiter::Wait(int fd, std::uint64_t offset, const std::stop_token& stop)
{
    for (;;) {
        if (stop.stop_requested())
            return Change::Stopped;
        struct stat reading
        {
        };
        if (::fstat(fd, &reading) == 0) {
            const auto size = static_cast<std::uint64_t>(reading.st_size < 0 ? 0 : reading.st_size);
            if (size > offset)
                return Change::Grew;
            struct stat named
            {
            };
            if (::stat(m_strPath.c_str(), &named) != 0) {
                if (!m_bToldMissing) {
                    m_bToldMissing = true; // gone: said once, then waited for until the name comes back
                    return Change::Missing;
                }
            } else {
                m_bToldMissing = false;
                m_bLastReplaced = named.st_ino != reading.st_ino || named.st_dev != reading.st_dev;
                if (m_bLastReplaced)
                    return Change::Replaced;
                if (size < offset)
                    return Change::Truncated;
            }
        }
        Sleep(PollMs, stop);
    }
}
