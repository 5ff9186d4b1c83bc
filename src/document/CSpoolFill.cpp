// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CSpoolFill.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

#include "files/DescriptorWriting.h"

namespace {

constexpr std::size_t ChunkBytes = 1024 * 1024;

} // namespace

CSpoolFill::CSpoolFill(QByteArray bytes, int targetFd, QObject* parent)
    : QObject(parent), m_Bytes(std::move(bytes)), m_nTargetFd(targetFd),
      m_nTotal(static_cast<std::uint64_t>(m_Bytes.size()))
{}

CSpoolFill::CSpoolFill(int sourceFd, std::uint64_t sourceSize, int targetFd, QObject* parent)
    : QObject(parent), m_nSourceFd(sourceFd), m_nTargetFd(targetFd), m_nTotal(sourceSize)
{}

CSpoolFill::~CSpoolFill()
{
    if (m_Thread.joinable()) {
        m_Thread.request_stop();
        m_Thread.join();
    }
    if (m_nSourceFd >= 0)
        ::close(m_nSourceFd);
}

void CSpoolFill::Start()
{
    m_Thread = std::jthread([this](std::stop_token stop) {
        const int error = Run(stop);
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [this, error] { Q_EMIT Finished(error); }, Qt::QueuedConnection);
    });
}

int CSpoolFill::GetPercent() const
{
    if (m_nTotal == 0)
        return 100;
    return static_cast<int>(std::min<std::uint64_t>(100, m_nDone.load(std::memory_order_relaxed) * 100 / m_nTotal));
}

int CSpoolFill::Run(const std::stop_token& stop)
{
    if (m_nSourceFd < 0) {
        const char* data = m_Bytes.constData();
        const auto size = static_cast<std::size_t>(m_Bytes.size());
        for (std::size_t at = 0; at < size && !stop.stop_requested(); at += ChunkBytes) {
            const std::size_t count = std::min(ChunkBytes, size - at);
            if (!WriteAll(m_nTargetFd, data + at, count))
                return errno;
            m_nDone.store(at + count, std::memory_order_relaxed);
        }
        return 0;
    }
    std::vector<char> buffer(ChunkBytes);
    std::uint64_t done = 0;
    while (!stop.stop_requested()) {
        const ssize_t count = ::read(m_nSourceFd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return errno;
        if (count == 0)
            break;
        if (!WriteAll(m_nTargetFd, buffer.data(), static_cast<std::size_t>(count)))
            return errno;
        done += static_cast<std::uint64_t>(count);
        m_nDone.store(done, std::memory_order_relaxed);
    }
    return 0;
}
