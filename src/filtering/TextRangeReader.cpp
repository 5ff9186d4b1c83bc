// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/TextRangeReader.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

DescriptorRangeReader::DescriptorRangeReader(int fd) : m_nFd(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1) {}

DescriptorRangeReader::~DescriptorRangeReader()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
}

std::int64_t DescriptorRangeReader::ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const
{
    if (m_nFd < 0) {
        error = EBADF;
        return -1;
    }
    return ReadFromDescriptor(m_nFd, offset, buffer, size, error);
}

std::int64_t DescriptorRangeReader::ReadFromDescriptor(int fd, std::uint64_t offset, char* buffer, std::size_t size,
                                                       int& error)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = ::pread(fd, buffer + got, size - got, static_cast<off_t>(offset + got));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            error = errno;
            return -1;
        }
        if (count == 0)
            break;
        got += static_cast<std::size_t>(count);
    }
    return static_cast<std::int64_t>(got);
}
