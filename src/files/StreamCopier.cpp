// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/StreamCopier.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

#include "files/DescriptorWriting.h"

StreamCopier::StreamCopier(int sourceFd, int targetFd, EndHandler onEnd)
    : m_nSource(sourceFd), m_nTarget(targetFd), m_nWakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_OnEnd(std::move(onEnd)), m_Thread([this](std::stop_token stop) { Run(std::move(stop)); })
{}

StreamCopier::~StreamCopier()
{
    Stop();
    if (m_Thread.joinable())
        m_Thread.join();
    if (m_nWakeFd >= 0)
        ::close(m_nWakeFd);
}

void StreamCopier::Stop()
{
    m_Thread.request_stop();
    if (m_nWakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_nWakeFd, &one, sizeof one);
    }
}

void StreamCopier::Run(std::stop_token stop)
{
    std::vector<char> buffer(BufferBytes);
    End end = End::SourceEnded;
    int error = 0;
    if (m_nWakeFd < 0) {
        end = End::ReadFailed;
        error = errno != 0 ? errno : EMFILE;
    }
    while (error == 0) {
        if (stop.stop_requested()) {
            end = End::Stopped;
            break;
        }
        pollfd fds[2] = {{m_nSource, POLLIN, 0}, {m_nWakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            end = End::ReadFailed;
            error = errno;
            break;
        }
        if (fds[1].revents != 0 || stop.stop_requested()) {
            end = End::Stopped;
            break;
        }
        if (fds[0].revents & POLLNVAL) {
            end = End::ReadFailed;
            error = EBADF;
            break;
        }
        // POLLHUP with bytes still in the pipe reads them first; the read of 0 is the end.
        const ssize_t got = ::read(m_nSource, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            end = End::ReadFailed;
            error = errno;
            break;
        }
        if (got == 0)
            break;
        if (!WriteAll(m_nTarget, buffer.data(), static_cast<std::size_t>(got))) {
            end = End::WriteFailed;
            error = errno;
        } else {
            m_nBytes.fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
        }
    }
    m_bEnded.store(true, std::memory_order_release);
    if (m_OnEnd)
        m_OnEnd(end, error, m_nBytes.load(std::memory_order_relaxed));
}
