// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "filtering/IndexedText.h"
#include "filtering/TextEncodingDetector.h"

class TranscodingCursor;

// The UTF-8 text of a file in another encoding (UTF-16 LE or BE, an 8-bit code page), read
// anywhere without decoding it from its start. One pass on a thread of its own finds the line
// index of the text (the offset of every Stride-th line, counted as FileLineIndex counts them)
// and, about every PointSpacing bytes of text, a line start with the file offset it comes from:
// a read decodes from the point at or before what it wants. The memory held is 8 bytes per
// Stride lines and 16 bytes per point.
//
// The file is taken as it is when the text starts: bytes appended later are not followed (a
// followed UTF-16 log would need its index extended through a decoder that may stand inside a
// character). Every query and ReadRange may come from any thread while the index is built;
// reads run one at a time.
class TranscodedIndexedText : public IndexedText
{
public:
    static constexpr std::int64_t Stride = FileLineIndex::Stride;
    static constexpr std::uint64_t DefaultPointSpacing = 1024 * 1024;

    // pointSpacing: the text between points (DefaultPointSpacing when 0).
    TranscodedIndexedText(std::string path, FileTextEncoding encoding, std::uint64_t pointSpacing = 0);
    ~TranscodedIndexedText() override;
    TranscodedIndexedText(const TranscodedIndexedText&) = delete;
    TranscodedIndexedText& operator=(const TranscodedIndexedText&) = delete;

    // False with EINVAL as well when iconv has no converter from the encoding.
    bool Start(int& error) override;
    void Extend() override {}
    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override;

    std::uint64_t GetSize() const override { return GetIndexedBytes(); }
    bool IsSizeKnown() const override { return IsComplete(); }
    std::uint64_t GetExpectedSize() const override;
    std::uint64_t GetIndexedBytes() const override { return m_nIndexedBytes.load(std::memory_order_acquire); }
    std::int64_t GetLineCount() const override { return m_nLineFeeds.load(std::memory_order_acquire) + 1; }
    bool IsComplete() const override { return m_bComplete.load(std::memory_order_acquire); }
    int GetIndexPercent() const override;
    Checkpoint Locate(std::int64_t line) const override;
    Checkpoint LocateOffset(std::uint64_t offset) const override;

    bool IsFollowable() const override { return false; }
    std::string GetPackingName() const override { return std::string(); }
    std::string DescribeAccess() const override { return std::string(); }
    std::string GetDamage() const override;
    std::uint64_t GetReusedBytes() const override { return 0; }
    std::size_t GetIndexMemory() const override;

    const FileTextEncoding& GetEncoding() const { return m_Encoding; }
    // The points found so far: the text offset of each and the file offset it is decoded from.
    struct Point
    {
        std::uint64_t TextOffset = 0;
        std::uint64_t FileOffset = 0;
    };
    std::vector<Point> GetPoints() const;

private:
    void IndexToEnd(const std::stop_token& stop);
    // Decodes through the reading cursor until its piece holds offset; false at the text's end.
    bool ReachLocked(std::uint64_t offset) const;

    std::string m_strPath;
    FileTextEncoding m_Encoding;
    std::uint64_t m_nPointSpacing;
    int m_nFd = -1;
    std::uint64_t m_nFileSize = 0;
    mutable std::mutex m_mutex;
    std::vector<std::uint64_t> m_LineStarts; // guarded by m_mutex: the offset of line i * Stride
    std::vector<Point> m_Points;             // guarded by m_mutex, in text order
    std::string m_strDamage;                 // guarded by m_mutex
    std::atomic<std::uint64_t> m_nFileBytesUsed{0};
    std::atomic<std::uint64_t> m_nIndexedBytes{0};
    std::atomic<std::int64_t> m_nLineFeeds{0};
    std::atomic<bool> m_bComplete{false};

    // The reading cursor and the last two pieces it decoded (a read that overlaps the one
    // before, as Find's blocks do, takes them from here); guarded by m_readMutex.
    mutable std::mutex m_readMutex;
    mutable std::unique_ptr<TranscodingCursor> m_pReader;
    mutable std::string m_Piece;
    mutable std::uint64_t m_nPieceStart = 0;
    mutable std::string m_PreviousPiece;
    mutable std::uint64_t m_nPreviousStart = 0;

    std::jthread m_Thread;
};
