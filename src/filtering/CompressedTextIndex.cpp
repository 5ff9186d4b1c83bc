// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/CompressedTextIndex.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/CompressedTextCursor.h"
#include "filtering/LineFeedCounter.h"

namespace {

// The pass reads and decodes this much at a time: few enough bytes to stay in the cache while
// their line feeds are found.
constexpr std::size_t PassBlock = 256 * 1024;
// A read wants a few dozen KiB of text near a seek point: little input is read ahead of it.
constexpr std::size_t ReaderBlock = 64 * 1024;

// What one seek point stands in for, in the words of the format.
const char* UnitName(Compression compression)
{
    switch (compression) {
    case Compression::Zstd:
        return "frame";
    case Compression::Xz:
        return "block";
    case Compression::Bzip2:
        return "stream";
    case Compression::Gzip:
    case Compression::None:
        break;
    }
    return "member";
}

} // namespace

CompressedTextIndex::CompressedTextIndex(std::string path, std::uint64_t seekSpacing)
    : m_strPath(std::move(path)), m_nSeekSpacing(seekSpacing > 0 ? seekSpacing : DefaultSeekSpacing)
{
    m_LineStarts.push_back(0);
}

CompressedTextIndex::~CompressedTextIndex()
{
    if (m_Thread.joinable()) {
        m_Thread.request_stop();
        m_Thread.join();
    }
    m_pReader.reset();
    if (m_nFd >= 0)
        ::close(m_nFd);
}

bool CompressedTextIndex::Start(int& error)
{
    m_nFd = ::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_nFd < 0) {
        error = errno;
        return false;
    }
    struct stat status
    {
    };
    unsigned char magic[CompressionMagicSize] = {};
    ssize_t got = -1;
    if (::fstat(m_nFd, &status) != 0 || !S_ISREG(status.st_mode))
        error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    else if ((got = ::pread(m_nFd, magic, sizeof magic, 0)) < 0)
        error = errno;
    else if ((m_Compression = DetectCompression(magic, static_cast<std::size_t>(got))) == Compression::None)
        error = EILSEQ;
    if (m_Compression == Compression::None) {
        ::close(m_nFd);
        m_nFd = -1;
        return false;
    }
    m_nFileSize = static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
    m_SeekPoints.emplace_back();
    m_nSeekPointBytes = sizeof(SeekPoint);
    ::posix_fadvise(m_nFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_Thread = std::jthread([this](const std::stop_token& stop) { IndexToEnd(stop); });
    return true;
}

void CompressedTextIndex::IndexToEnd(const std::stop_token& stop)
{
    std::string damage;
    try {
        CompressedTextCursor cursor(m_nFd, m_Compression, PassBlock);
        cursor.MoveTo(SeekPoint{});
        auto text = std::make_unique<char[]>(PassBlock);
        std::vector<std::uint32_t> starts;
        std::vector<std::uint64_t> found;
        std::int64_t lineFeeds = 0;
        std::uint64_t nextPoint = m_nSeekSpacing;
        // A point is kept once text follows it: none at the very end of the text.
        std::optional<SeekPoint> pending;
        while (!cursor.HasEnded() && !stop.stop_requested()) {
            const std::uint64_t offset = cursor.GetTextOffset();
            const std::size_t got = cursor.DecodeStep(text.get(), PassBlock);
            found.clear();
            if (got > 0) {
                starts.clear();
                FindLineStarts(text.get(), got, 0, starts);
                // The line after feed number lineFeeds + j + 1 is a checkpoint when that number
                // is a multiple of Stride.
                for (auto j = static_cast<std::size_t>(Stride - 1 - lineFeeds % Stride); j < starts.size(); j += Stride)
                    found.push_back(offset + starts[j]);
                lineFeeds += static_cast<std::int64_t>(starts.size());
            }
            const bool keepsPoint = got > 0 && pending;
            if (!found.empty() || keepsPoint) {
                std::lock_guard lock(m_mutex);
                m_LineStarts.insert(m_LineStarts.end(), found.begin(), found.end());
                if (keepsPoint) {
                    m_nSeekPointBytes += sizeof(SeekPoint) + pending->PackedWindow.capacity();
                    m_SeekPoints.push_back(std::move(*pending));
                    pending.reset();
                }
            }
            m_nLineFeeds.store(lineFeeds, std::memory_order_release);
            m_nIndexedBytes.store(cursor.GetTextOffset(), std::memory_order_release);
            m_nFileBytesUsed.store(cursor.GetFileOffset(), std::memory_order_release);
            if (!pending && cursor.GetTextOffset() >= nextPoint && cursor.IsAtSeekPoint()) {
                pending = cursor.TakeSeekPoint();
                nextPoint = cursor.GetTextOffset() + m_nSeekSpacing;
            }
        }
        if (!cursor.GetFault().empty()) {
            m_nReadError.store(cursor.GetReadError());
            damage = DamagedArchiveMessage(m_strPath, m_Compression, cursor.GetFaultOffset(), cursor.GetFault());
        }
    } catch (const std::bad_alloc&) {
        damage = DamagedArchiveMessage(m_strPath, m_Compression, GetFileBytesUsed(), "out of memory");
    }
    {
        std::lock_guard lock(m_mutex);
        m_strDamage = damage;
    }
    m_bComplete.store(true, std::memory_order_release);
}

std::string CompressedTextIndex::GetDamage() const
{
    std::lock_guard lock(m_mutex);
    return m_strDamage;
}

FileLineIndex::Checkpoint CompressedTextIndex::Locate(std::int64_t line) const
{
    std::lock_guard lock(m_mutex);
    const std::int64_t known = static_cast<std::int64_t>(m_LineStarts.size()) - 1;
    const std::int64_t index = std::clamp<std::int64_t>(line / Stride, 0, known);
    return Checkpoint{index * Stride, m_LineStarts[static_cast<std::size_t>(index)]};
}

FileLineIndex::Checkpoint CompressedTextIndex::LocateOffset(std::uint64_t offset) const
{
    std::lock_guard lock(m_mutex);
    const auto after = std::upper_bound(m_LineStarts.begin(), m_LineStarts.end(), offset);
    const auto index = std::max<std::ptrdiff_t>(0, (after - m_LineStarts.begin()) - 1);
    return Checkpoint{static_cast<std::int64_t>(index) * Stride, m_LineStarts[static_cast<std::size_t>(index)]};
}

std::size_t CompressedTextIndex::ReadAt(std::uint64_t offset, char* buffer, std::size_t size)
{
    std::string problem;
    return ReadAt(offset, buffer, size, problem);
}

std::size_t CompressedTextIndex::ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::string& problem)
{
    problem.clear();
    if (m_nFd < 0)
        return 0;
    // Once the pass is over, the text ends where it found the end (or the damage): a read
    // entering a gzip member inside cannot check its sum, and must not see past a bad one.
    if (IsComplete()) {
        const std::uint64_t end = GetIndexedBytes();
        if (offset >= end)
            return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - offset));
    }
    std::lock_guard readLock(m_readMutex);
    const SeekPoint* point;
    {
        std::lock_guard lock(m_mutex);
        const auto after =
            std::upper_bound(m_SeekPoints.begin(), m_SeekPoints.end(), offset,
                             [](std::uint64_t value, const SeekPoint& p) { return value < p.TextOffset; });
        point = &*std::prev(after); // the first point is the text's start
    }
    try {
        if (!m_pReader)
            m_pReader = std::make_unique<CompressedTextCursor>(m_nFd, m_Compression, ReaderBlock);
        // Going on from the last read is cheaper than from the point when it is past the point.
        const bool goesOn = !m_pReader->HasEnded() && m_pReader->GetTextOffset() <= offset &&
                            m_pReader->GetTextOffset() >= point->TextOffset;
        if (!goesOn)
            m_pReader->MoveTo(*point);
        std::size_t got = 0;
        if (m_pReader->Skip(offset - m_pReader->GetTextOffset()))
            got = m_pReader->Read(buffer, size);
        if (got < size && !m_pReader->GetFault().empty())
            problem =
                DamagedArchiveMessage(m_strPath, m_Compression, m_pReader->GetFaultOffset(), m_pReader->GetFault());
        return got;
    } catch (const std::bad_alloc&) {
        m_pReader.reset();
        problem = "ERROR Reading " + m_strPath + ": out of memory";
        return 0;
    }
}

std::uint64_t CompressedTextIndex::LongestStretchLocked() const
{
    std::uint64_t longest = 0;
    for (std::size_t i = 1; i < m_SeekPoints.size(); ++i)
        longest = std::max(longest, m_SeekPoints[i].TextOffset - m_SeekPoints[i - 1].TextOffset);
    const std::uint64_t end = GetIndexedBytes();
    if (end > m_SeekPoints.back().TextOffset)
        longest = std::max(longest, end - m_SeekPoints.back().TextOffset);
    return longest;
}

CompressedTextIndex::TextAccess CompressedTextIndex::GetTextAccess() const
{
    std::lock_guard lock(m_mutex);
    if (m_SeekPoints.empty())
        return TextAccess::Seeks;
    return LongestStretchLocked() > SlowStretchSpacings * m_nSeekSpacing ? TextAccess::ReadsForward : TextAccess::Seeks;
}

std::string CompressedTextIndex::DescribeTextAccess() const
{
    std::lock_guard lock(m_mutex);
    if (m_SeekPoints.empty())
        return std::string();
    const std::uint64_t longest = LongestStretchLocked();
    if (longest <= SlowStretchSpacings * m_nSeekSpacing)
        return std::string();
    const std::string kind = CompressionName(m_Compression);
    const std::string unit = UnitName(m_Compression);
    if (m_SeekPoints.size() == 1) {
        const char* article = m_Compression == Compression::Xz ? "has one " : "is one ";
        return "This " + kind + " file " + article + unit + ": reading it from the start.";
    }
    return "This " + kind + " file has " + unit + "s of up to " + std::to_string(longest >> 20) +
           " MiB: reading each from its start.";
}

std::size_t CompressedTextIndex::GetSeekPointCount() const
{
    std::lock_guard lock(m_mutex);
    return m_SeekPoints.size();
}

std::size_t CompressedTextIndex::GetSeekPointBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_nSeekPointBytes;
}
