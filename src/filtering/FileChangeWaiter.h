// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "filtering/FileChangeClassifier.h"

// Waits for a file to change: it grew, was emptied or written anew, vanished, or another file
// took its name (a log rotated). Woken by the kernel's notifications on the file's folder where
// there are any, and in any case after about a second, since network file systems send none.
// What changed is decided by ClassifyFileChange from what the caller has read.
class FileChangeWaiter
{
public:
    enum class Change
    {
        Grew,      // more bytes than were read
        Truncated, // fewer bytes than were read, or others where they were: the file starts anew
        Replaced,  // another file has the name now, and the one being read has nothing more
        Missing,   // no file (or a folder) has the name now (said once; the next wait goes on until one comes)
        Stopped,   // a stop request came
    };

    explicit FileChangeWaiter(std::string path);
    ~FileChangeWaiter();
    FileChangeWaiter(const FileChangeWaiter&) = delete;
    FileChangeWaiter& operator=(const FileChangeWaiter&) = delete;

    // Waits until the file behind fd, read as `known` tells, changes. Looks at the file once
    // before it looks at the stop request, so a wait that ends Stopped has seen no change.
    Change Wait(int fd, const FileReadState& known, const std::stop_token& stop);
    // Sleeps until the folder changes (or the poll's time is up, or a stop request comes): for a
    // caller that found the name's new file not yet readable.
    void Pause(const std::stop_token& stop) { Sleep(PollMs, stop); }

    // Whether the kernel's notifications are in use (false: polling only).
    bool HasNotifications() const { return m_nNotifyFd >= 0; }

private:
    // A wait never goes longer than this without looking at the file: the poll of file systems
    // that send no notifications.
    static constexpr int PollMs = 1000;

    // Sleeps until a notification, the stop request or the timeout.
    void Sleep(int milliseconds, const std::stop_token& stop);

    std::string m_strPath;
    int m_nNotifyFd = -1;
    bool m_bToldMissing = false;
};
