// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FileLineIndex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t BlockSize = 4 * 1024 * 1024;

} // namespace

FileLineIndex::FileLineIndex(std::string path) : m_strPath(std::move(path))
{
    m_Checkpoints.push_back(0);
}

FileLineIndex::~FileLineIndex()
{
    if (m_Thread.joinable()) {
        m_Thread.request_stop();
        m_Thread.join();
    }
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool FileLineIndex::Start(int& error)
{
    m_nFd = ::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_nFd < 0) {
        error = errno;
        return false;
    }
    struct stat status
    {
    };
    if (::fstat(m_nFd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(m_nFd);
        m_nFd = -1;
        return false;
    }
    m_nStartSize.store(static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)), std::memory_order_release);
    ::posix_fadvise(m_nFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_Thread = std::jthread([this](const std::stop_token& stop) { IndexToEnd(stop); });
    return true;
}

void FileLineIndex::Extend()
{
    if (m_nFd < 0 || !IsComplete())
        return;
    if (m_Thread.joinable())
        m_Thread.join();
    m_bComplete.store(false, std::memory_order_release);
    m_Thread = std::jthread([this](const std::stop_token& stop) { IndexToEnd(stop); });
}

void FileLineIndex::IndexToEnd(const std::stop_token& stop)
{
    auto buffer = std::make_unique<char[]>(BlockSize);
    std::uint64_t offset = m_nIndexedBytes.load(std::memory_order_relaxed);
    std::int64_t lineFeeds = m_nLineFeeds.load(std::memory_order_relaxed);
    std::vector<std::uint64_t> found;
    while (!stop.stop_requested()) {
        const ssize_t got = ::pread(m_nFd, buffer.get(), BlockSize, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_nReadError.store(errno);
            break;
        }
        if (got == 0) {
            if (RewindIfShorter(offset, lineFeeds))
                continue;
            break;
        }
        found.clear();
        const char* const begin = buffer.get();
        const char* const end = begin + got;
        for (const char* at = begin;;) {
            const void* feed = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
            if (!feed)
                break;
            at = static_cast<const char*>(feed) + 1;
            // The line after this feed is number lineFeeds + 1 (0-based).
            if (++lineFeeds % Stride == 0)
                found.push_back(offset + static_cast<std::uint64_t>(at - begin));
        }
        offset += static_cast<std::uint64_t>(got);
        {
            std::lock_guard lock(m_mutex);
            m_Checkpoints.insert(m_Checkpoints.end(), found.begin(), found.end());
        }
        m_nLineFeeds.store(lineFeeds, std::memory_order_release);
        m_nIndexedBytes.store(offset, std::memory_order_release);
    }
    m_bComplete.store(true, std::memory_order_release);
}

bool FileLineIndex::RewindIfShorter(std::uint64_t& offset, std::int64_t& lineFeeds)
{
    struct stat status
    {
    };
    if (::fstat(m_nFd, &status) != 0)
        return false;
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
    if (size >= offset)
        return false;
    {
        std::lock_guard lock(m_mutex);
        // The first checkpoint is line 0 at offset 0, so one always remains.
        const auto after = std::upper_bound(m_Checkpoints.begin(), m_Checkpoints.end(), size);
        m_Checkpoints.erase(after, m_Checkpoints.end());
        offset = m_Checkpoints.back();
        lineFeeds = static_cast<std::int64_t>(m_Checkpoints.size() - 1) * Stride;
    }
    m_nStartSize.store(size, std::memory_order_release);
    m_nLineFeeds.store(lineFeeds, std::memory_order_release);
    m_nIndexedBytes.store(offset, std::memory_order_release);
    return true;
}

std::int64_t FileLineIndex::GetLineCount() const
{
    return m_nLineFeeds.load(std::memory_order_acquire) + 1;
}

FileLineIndex::Checkpoint FileLineIndex::Locate(std::int64_t line) const
{
    std::lock_guard lock(m_mutex);
    const std::int64_t known = static_cast<std::int64_t>(m_Checkpoints.size()) - 1;
    const std::int64_t index = std::clamp<std::int64_t>(line / Stride, 0, known);
    return Checkpoint{index * Stride, m_Checkpoints[static_cast<std::size_t>(index)]};
}

FileLineIndex::Checkpoint FileLineIndex::LocateOffset(std::uint64_t offset) const
{
    std::lock_guard lock(m_mutex);
    const auto after = std::upper_bound(m_Checkpoints.begin(), m_Checkpoints.end(), offset);
    const auto index = std::max<std::ptrdiff_t>(0, (after - m_Checkpoints.begin()) - 1);
    return Checkpoint{static_cast<std::int64_t>(index) * Stride, m_Checkpoints[static_cast<std::size_t>(index)]};
}
