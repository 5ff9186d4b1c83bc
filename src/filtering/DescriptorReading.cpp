// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/DescriptorReading.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

std::size_t ReadSome(int fd, char* buffer, std::size_t size, bool mayBlock, const std::stop_token& stop)
{
    for (;;) {
        if (mayBlock) {
            pollfd ready{fd, POLLIN, 0};
            const int result = ::poll(&ready, 1, 100);
            if (stop.stop_requested())
                return 0;
            if (result == 0 || (result < 0 && errno == EINTR))
                continue;
        }
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        // The descriptor does not block: a pipe with nothing to give yet is waited for above.
        if (errno == EINTR || (mayBlock && (errno == EAGAIN || errno == EWOULDBLOCK)))
            continue;
        return 0;
    }
}
