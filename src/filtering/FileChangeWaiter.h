// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

// Waits for a file to change: it grew, shrank, vanished, or another file took its name (a log
// rotated). Woken by the kernel's notifications on the file's folder where there are any, and
// in any case after about a second, since network file systems send none. Compares what the
// file holds with what the caller has read.
class FileChangeWaiter
{
public:
    enum class Change
    {
        Grew,      // more bytes than were read
        Truncated, // fewer bytes than were read: the file starts anew
        Replaced,  // another file has the name now, and the one being read has nothing more
        Missing,   // no file has the name now (said once; the next wait goes on until it comes back)
        Stopped,   // a stop request came
    };

    explicit FileChangeWaiter(std::string path);
    ~FileChangeWaiter();
    FileChangeWaiter(const FileChangeWaiter&) = delete;
    FileChangeWaiter& operator=(const FileChangeWaiter&) = delete;

    // Waits until the file behind fd, of which `offset` bytes were read, changes.
    Change Wait(int fd, std::uint64_t offset, const std::stop_token& stop);

    // Whether the last change was Replaced (Truncated otherwise), for callers that handle both alike.
    bool LastWasReplaced() const { return m_bLastReplaced; }
    // Whether the kernel's notifications are in use (false: polling only).
    bool HasNotifications() const { return m_nNotifyFd >= 0; }

private:
    // Sleeps until a notification, the stop request or the timeout.
    void Sleep(int milliseconds, const std::stop_token& stop);

    std::string m_strPath;
    int m_nNotifyFd = -1;
    bool m_bToldMissing = false;
    bool m_bLastReplaced = false;
};
