// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

// Closes a file descriptor however the code that opened it ends.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_nFd(fd) {}
    ~FileDescriptor()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_nFd; }
    // Gives the descriptor up: the caller closes it.
    int Release()
    {
        const int fd = m_nFd;
        m_nFd = -1;
        return fd;
    }

private:
    int m_nFd;
};
