// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/DescriptorWriting.h"

#include <cerrno>
#include <unistd.h>

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void WriteMessage(int fd, const std::string& message)
{
    const std::string line = message + "\n";
    WriteAll(fd, line.data(), line.size());
}
