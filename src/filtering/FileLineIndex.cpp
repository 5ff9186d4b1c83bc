// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FileLineIndex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "filtering/LineFeedCounter.h"
#include "filtering/SavedLineIndex.h"

namespace {

// Bytes a thread reads at a time: few enough to stay in its cache while they are scanned.
constexpr std::size_t ReadSize = 256 * 1024;
// A complete index is saved again when it covers at least this much more than the saved one, or
// an eighth more: a followed log is not written out on every line it gets.
constexpr std::uint64_t ResaveGrowth = 16 * 1024 * 1024;

} // namespace

FileLineIndex::FileLineIndex(std::string path, std::size_t partSize)
    : m_strPath(std::move(path)), m_nPartSize(std::clamp<std::size_t>(partSize, 1, std::size_t{1} << 30))
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

void FileLineIndex::SaveInUserCache(std::uint64_t minimumSize)
{
    SetSaveFolder(SavedLineIndex::DefaultFolder());
    m_nSaveMinimumSize = minimumSize;
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

namespace {

// One stretch of the file read by one thread: the line starts in it, relative to its offset.
struct Part
{
    std::uint64_t Offset = 0;
    std::size_t Size = 0;
    std::size_t Got = 0; // less than Size: the file ended, or a read failed
    int Error = 0;
    std::vector<std::uint32_t> Starts;
};

void ReadPart(int fd, Part& part, char* buffer, const std::stop_token& stop)
{
    part.Got = 0;
    part.Error = 0;
    part.Starts.clear();
    while (part.Got < part.Size && !stop.stop_requested()) {
        const std::size_t want = std::min(ReadSize, part.Size - part.Got);
        const ssize_t got = ::pread(fd, buffer, want, static_cast<off_t>(part.Offset + part.Got));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            part.Error = errno;
            break;
        }
        if (got == 0)
            break;
        FindLineStarts(buffer, static_cast<std::size_t>(got), static_cast<std::uint32_t>(part.Got), part.Starts);
        part.Got += static_cast<std::size_t>(got);
    }
}

} // namespace

void FileLineIndex::IndexToEnd(const std::stop_token& stop)
{
    if (!m_bSavedIndexTried) {
        m_bSavedIndexTried = true;
        TakeSavedIndex();
        if (m_nReusedBytes.load(std::memory_order_relaxed) == 0)
            TakeKnownLinesIfTheyHold();
        m_Known = KnownLines();
    }
    auto buffers = std::make_unique<char[]>(2 * ReadSize);
    Part parts[2];
    std::uint64_t offset = m_nIndexedBytes.load(std::memory_order_relaxed);
    std::int64_t lineFeeds = m_nLineFeeds.load(std::memory_order_relaxed);
    std::vector<std::uint64_t> found;
    while (!stop.stop_requested()) {
        // Far from the end the file is read on two threads, in two parts side by side, and the
        // second part's line starts are numbered once the first part's count is known.
        const std::uint64_t expected = m_nStartSize.load(std::memory_order_acquire);
        const bool split = expected > offset && (expected - offset) / 2 >= m_nPartSize;
        const std::size_t partCount = split ? 2 : 1;
        for (std::size_t i = 0; i < partCount; ++i) {
            parts[i].Offset = offset + i * m_nPartSize;
            parts[i].Size = m_nPartSize;
        }
        std::thread helper;
        if (split) {
            try {
                helper = std::thread([&] { ReadPart(m_nFd, parts[1], buffers.get() + ReadSize, stop); });
            } catch (const std::system_error&) {
                // No second thread: the same parts, one after the other.
            }
        }
        ReadPart(m_nFd, parts[0], buffers.get(), stop);
        if (helper.joinable())
            helper.join();
        else if (split)
            ReadPart(m_nFd, parts[1], buffers.get() + ReadSize, stop);
        if (stop.stop_requested())
            break;
        if (parts[0].Got == 0 && parts[0].Error == 0) {
            if (RewindIfShorter(offset, lineFeeds))
                continue;
            break;
        }
        found.clear();
        int error = 0;
        for (std::size_t i = 0; i < partCount; ++i) {
            const Part& part = parts[i];
            // The line after feed number lineFeeds + j + 1 is a checkpoint when that number is a
            // multiple of Stride.
            const std::vector<std::uint32_t>& starts = part.Starts;
            for (auto j = static_cast<std::size_t>(Stride - 1 - lineFeeds % Stride); j < starts.size(); j += Stride)
                found.push_back(part.Offset + starts[j]);
            lineFeeds += static_cast<std::int64_t>(starts.size());
            offset += part.Got;
            error = part.Error;
            // A part that ended early ends what is known: the next one may have read a file that
            // changed meanwhile.
            if (part.Got < part.Size)
                break;
        }
        {
            std::lock_guard lock(m_mutex);
            m_Checkpoints.insert(m_Checkpoints.end(), found.begin(), found.end());
        }
        m_nLineFeeds.store(lineFeeds, std::memory_order_release);
        m_nIndexedBytes.store(offset, std::memory_order_release);
        if (error != 0) {
            m_nReadError.store(error);
            break;
        }
    }
    if (!stop.stop_requested() && m_nReadError.load() == 0)
        SaveIfWorthIt();
    m_bComplete.store(true, std::memory_order_release);
}

void FileLineIndex::TakeSavedIndex()
{
    if (m_strSaveFolder.empty() || m_nStartSize.load(std::memory_order_acquire) < m_nSaveMinimumSize)
        return;
    SavedLineIndex::Contents saved;
    try {
        if (!SavedLineIndex(m_strSaveFolder).Load(m_strPath, m_nFd, Stride, saved))
            return;
    } catch (const std::bad_alloc&) {
        return; // read from the start instead
    }
    {
        std::lock_guard lock(m_mutex);
        m_Checkpoints = std::move(saved.Checkpoints);
    }
    m_nLineFeeds.store(saved.LineFeeds, std::memory_order_release);
    m_nIndexedBytes.store(saved.Size, std::memory_order_release);
    m_nReusedBytes.store(saved.Size, std::memory_order_release);
    m_nSavedBytes = saved.Size;
}

namespace {

// Whether the file holds `expected` at `offset`.
bool HoldsBytes(int fd, std::uint64_t offset, const std::string& expected)
{
    std::string found(expected.size(), '\0');
    std::size_t got = 0;
    while (got < found.size()) {
        const ssize_t read = ::pread(fd, found.data() + got, found.size() - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return false;
        got += static_cast<std::size_t>(read);
    }
    return found == expected;
}

} // namespace

void FileLineIndex::TakeKnownLinesIfTheyHold()
{
    KnownLines& known = m_Known;
    const std::uint64_t size = m_nStartSize.load(std::memory_order_acquire);
    const auto expectedCheckpoints = static_cast<std::size_t>(known.LineFeeds / Stride + 1);
    // Lines that do not add up, or a file that no longer starts and ends with the bytes counted,
    // are read instead.
    if (known.Size == 0 || known.Size > size || known.Checkpoints.size() != expectedCheckpoints ||
        known.Checkpoints.front() != 0 || known.Head.size() > known.Size || known.Tail.size() > known.Size ||
        !HoldsBytes(m_nFd, 0, known.Head) || !HoldsBytes(m_nFd, known.Size - known.Tail.size(), known.Tail))
        return;
    {
        std::lock_guard lock(m_mutex);
        m_Checkpoints = std::move(known.Checkpoints);
    }
    m_nLineFeeds.store(known.LineFeeds, std::memory_order_release);
    m_nIndexedBytes.store(known.Size, std::memory_order_release);
}

void FileLineIndex::SaveIfWorthIt()
{
    const std::uint64_t indexed = m_nIndexedBytes.load(std::memory_order_acquire);
    if (m_strSaveFolder.empty() || indexed < m_nSaveMinimumSize || indexed == m_nSavedBytes ||
        (m_nSavedBytes != 0 && indexed < m_nSavedBytes + std::max(ResaveGrowth, m_nSavedBytes / 8)))
        return;
    try {
        SavedLineIndex::Contents contents;
        {
            std::lock_guard lock(m_mutex);
            contents.Checkpoints = m_Checkpoints;
        }
        contents.Size = indexed;
        contents.LineFeeds = m_nLineFeeds.load(std::memory_order_acquire);
        if (SavedLineIndex(m_strSaveFolder).Save(m_strPath, m_nFd, Stride, contents))
            m_nSavedBytes = indexed;
    } catch (const std::exception&) {
        // Not saved: the next run reads the file again.
    }
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
