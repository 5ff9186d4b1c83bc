// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/TranscodedIndexedText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/LineFeedCounter.h"
#include "filtering/TranscodingCursor.h"

namespace {

// The pass reads this much of the file at a time; a read wants a few dozen KiB near a point.
constexpr std::size_t PassBlock = 256 * 1024;
constexpr std::size_t ReaderBlock = 64 * 1024;

} // namespace

TranscodedIndexedText::TranscodedIndexedText(std::string path, FileTextEncoding encoding, std::uint64_t pointSpacing)
    : m_strPath(std::move(path)), m_Encoding(std::move(encoding)),
      m_nPointSpacing(pointSpacing > 0 ? pointSpacing : DefaultPointSpacing)
{
    m_LineStarts.push_back(0);
    m_Points.push_back(Point{});
}

TranscodedIndexedText::~TranscodedIndexedText()
{
    if (m_Thread.joinable()) {
        m_Thread.request_stop();
        m_Thread.join();
    }
    m_pReader.reset();
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool TranscodedIndexedText::Start(int& error)
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
    m_nFileSize = static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
    try {
        m_pReader = TranscodingCursor::Make(m_nFd, m_Encoding, m_nFileSize, ReaderBlock);
    } catch (const std::bad_alloc&) {
        m_pReader.reset();
    }
    if (!m_pReader) {
        error = EINVAL;
        ::close(m_nFd);
        m_nFd = -1;
        return false;
    }
    ::posix_fadvise(m_nFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_Thread = std::jthread([this](const std::stop_token& stop) { IndexToEnd(stop); });
    return true;
}

void TranscodedIndexedText::IndexToEnd(const std::stop_token& stop)
{
    std::string damage;
    try {
        // Points fall where pieces end: pieces are no longer than the spacing.
        const auto block = static_cast<std::size_t>(std::min<std::uint64_t>(PassBlock, m_nPointSpacing));
        const std::unique_ptr<TranscodingCursor> cursor =
            TranscodingCursor::Make(m_nFd, m_Encoding, m_nFileSize, block);
        if (!cursor)
            throw std::bad_alloc();
        cursor->MoveTo(0, 0);
        m_nFileBytesUsed.store(cursor->GetFileOffset(), std::memory_order_release);
        std::string text;
        std::vector<std::uint32_t> starts;
        std::vector<std::uint64_t> found;
        std::int64_t lineFeeds = 0;
        std::uint64_t nextPoint = m_nPointSpacing;
        while (!stop.stop_requested() && cursor->Step(text)) {
            const std::uint64_t offset = cursor->GetTextOffset() - text.size();
            starts.clear();
            found.clear();
            FindLineStarts(text.data(), text.size(), 0, starts);
            for (auto j = static_cast<std::size_t>(Stride - 1 - lineFeeds % Stride); j < starts.size(); j += Stride)
                found.push_back(offset + starts[j]);
            lineFeeds += static_cast<std::int64_t>(starts.size());
            // A point is kept only where text follows it: none at the very end.
            const bool takesPoint = cursor->IsAtLineStart() && cursor->GetTextOffset() >= nextPoint &&
                                    cursor->GetFileOffset() < m_nFileSize;
            if (!found.empty() || takesPoint) {
                std::lock_guard lock(m_mutex);
                m_LineStarts.insert(m_LineStarts.end(), found.begin(), found.end());
                if (takesPoint)
                    m_Points.push_back(Point{cursor->GetTextOffset(), cursor->GetFileOffset()});
            }
            if (takesPoint)
                nextPoint = cursor->GetTextOffset() + m_nPointSpacing;
            m_nLineFeeds.store(lineFeeds, std::memory_order_release);
            m_nIndexedBytes.store(cursor->GetTextOffset(), std::memory_order_release);
            m_nFileBytesUsed.store(cursor->GetFileOffset(), std::memory_order_release);
        }
        if (cursor->GetReadError() != 0)
            damage = std::string{"ERROR Reading "}.append(m_strPath).append(": ").append(
                std::strerror(cursor->GetReadError()));
    } catch (const std::bad_alloc&) {
        damage = std::string{"ERROR Reading "}.append(m_strPath).append(": out of memory");
    }
    {
        std::lock_guard lock(m_mutex);
        m_strDamage = damage;
    }
    m_bComplete.store(true, std::memory_order_release);
}

std::string TranscodedIndexedText::GetDamage() const
{
    std::lock_guard lock(m_mutex);
    return m_strDamage;
}

std::vector<TranscodedIndexedText::Point> TranscodedIndexedText::GetPoints() const
{
    std::lock_guard lock(m_mutex);
    return m_Points;
}

IndexedText::Checkpoint TranscodedIndexedText::Locate(std::int64_t line) const
{
    std::lock_guard lock(m_mutex);
    const std::int64_t known = static_cast<std::int64_t>(m_LineStarts.size()) - 1;
    const std::int64_t index = std::clamp<std::int64_t>(line / Stride, 0, known);
    return Checkpoint{index * Stride, m_LineStarts[static_cast<std::size_t>(index)]};
}

IndexedText::Checkpoint TranscodedIndexedText::LocateOffset(std::uint64_t offset) const
{
    std::lock_guard lock(m_mutex);
    const auto after = std::upper_bound(m_LineStarts.begin(), m_LineStarts.end(), offset);
    const auto index = std::max<std::ptrdiff_t>(0, (after - m_LineStarts.begin()) - 1);
    return Checkpoint{static_cast<std::int64_t>(index) * Stride, m_LineStarts[static_cast<std::size_t>(index)]};
}

std::uint64_t TranscodedIndexedText::GetExpectedSize() const
{
    const std::uint64_t indexed = GetIndexedBytes();
    const std::uint64_t used = m_nFileBytesUsed.load(std::memory_order_acquire);
    if (IsComplete() || used == 0)
        return indexed;
    const double ratio = static_cast<double>(indexed) / static_cast<double>(used);
    return std::max(indexed, static_cast<std::uint64_t>(ratio * static_cast<double>(m_nFileSize)));
}

int TranscodedIndexedText::GetIndexPercent() const
{
    if (IsComplete())
        return 100;
    const std::uint64_t size = std::max<std::uint64_t>(1, m_nFileSize);
    return static_cast<int>(std::min<std::uint64_t>(99, m_nFileBytesUsed.load() * 100 / size));
}

std::size_t TranscodedIndexedText::GetIndexMemory() const
{
    std::lock_guard lock(m_mutex);
    return m_LineStarts.capacity() * sizeof(std::uint64_t) + m_Points.capacity() * sizeof(Point);
}

bool TranscodedIndexedText::ReachLocked(std::uint64_t offset) const
{
    if (offset >= m_nPieceStart && offset < m_nPieceStart + m_Piece.size())
        return true;
    if (offset >= m_nPreviousStart && offset < m_nPreviousStart + m_PreviousPiece.size()) {
        // One piece back: both are swapped so that the piece read holds the offset.
        std::swap(m_Piece, m_PreviousPiece);
        std::swap(m_nPieceStart, m_nPreviousStart);
        return true;
    }
    Point point;
    {
        std::lock_guard lock(m_mutex);
        const auto after = std::upper_bound(m_Points.begin(), m_Points.end(), offset,
                                            [](std::uint64_t value, const Point& p) { return value < p.TextOffset; });
        point = *std::prev(after); // the first point is the text's start
    }
    // Going on from the last read is cheaper than from the point when it is past the point.
    const std::uint64_t at = m_pReader->GetTextOffset();
    if (m_pReader->HasEnded() || at > offset || at < point.TextOffset) {
        m_pReader->MoveTo(point.TextOffset, point.FileOffset);
        m_Piece.clear();
        m_PreviousPiece.clear();
        m_nPieceStart = m_nPreviousStart = point.TextOffset;
    }
    for (;;) {
        std::swap(m_Piece, m_PreviousPiece);
        m_nPreviousStart = m_nPieceStart;
        m_nPieceStart = m_pReader->GetTextOffset();
        if (!m_pReader->Step(m_Piece))
            return false;
        if (offset < m_nPieceStart + m_Piece.size())
            return true;
    }
}

std::int64_t TranscodedIndexedText::ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const
{
    if (m_nFd < 0)
        return 0;
    if (IsComplete()) {
        const std::uint64_t end = GetIndexedBytes();
        if (offset >= end)
            return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - offset));
    }
    std::lock_guard readLock(m_readMutex);
    std::size_t got = 0;
    try {
        while (got < size && ReachLocked(offset + got)) {
            const std::size_t from = static_cast<std::size_t>(offset + got - m_nPieceStart);
            const std::size_t taken = std::min(size - got, m_Piece.size() - from);
            std::memcpy(buffer + got, m_Piece.data() + from, taken);
            got += taken;
        }
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
        return -1;
    }
    if (got == 0 && m_pReader->GetReadError() != 0) {
        error = m_pReader->GetReadError();
        return -1;
    }
    return static_cast<std::int64_t>(got);
}
