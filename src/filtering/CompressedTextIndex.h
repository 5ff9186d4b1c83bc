// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "filtering/CompressedInput.h"
#include "filtering/FileLineIndex.h"
#include "filtering/SeekPoint.h"

class CompressedTextCursor;

// The text of a compressed log, read anywhere without decompressing it from the start. One pass
// over the file, on a thread of its own, finds both the line index of the text (the offset of
// every Stride-th line, counted as FileLineIndex counts them) and the seek points: gzip keeps a
// point about every SeekSpacing bytes of text at a deflate block boundary, with the 32 KiB window
// there deflated; zstd, xz and bzip2 keep the starts of frames, blocks and streams at least that
// far apart. A file of one zstd frame, one xz block or one bzip2 stream can only be read from its
// start; DescribeTextAccess says so for the status bar.
//
// Damaged data (a file cut short, corrupt bytes, a failed read) ends the text where it was found;
// the text before it stays readable and GetDamage says what and where.
//
// Threads: every query and ReadAt may come from any thread while the index is built. ReadAt calls
// run one at a time (they share one cursor, which goes on from where the last read ended, so
// reading on through a text that has no seek points does not start over each time); a caller that
// wants reads side by side opens an index of its own. The file is taken as it is when the index
// starts: a compressed log is not followed as it grows.
class CompressedTextIndex
{
public:
    static constexpr std::int64_t Stride = FileLineIndex::Stride;
    using Checkpoint = FileLineIndex::Checkpoint;
    // Text between two seek points, at least (zstd, xz, bzip2) or about (gzip).
    static constexpr std::uint64_t DefaultSeekSpacing = 4 * 1024 * 1024;
    // A stretch of text this many spacings long without a seek point (64 MiB by default) makes
    // reading in it slow.
    static constexpr std::uint64_t SlowStretchSpacings = 16;

    enum class TextAccess
    {
        Seeks,        // every read starts at a seek point near it
        ReadsForward, // some reads decompress a long stretch before the bytes they want
    };

    // seekSpacing: the text between seek points (DefaultSeekSpacing when 0).
    explicit CompressedTextIndex(std::string path, std::uint64_t seekSpacing = DefaultSeekSpacing);
    ~CompressedTextIndex();
    CompressedTextIndex(const CompressedTextIndex&) = delete;
    CompressedTextIndex& operator=(const CompressedTextIndex&) = delete;

    // Opens the file and starts the pass. False, with errno in error, when it cannot be opened,
    // is no regular file (EISDIR, EINVAL) or is not compressed in a known way (EILSEQ).
    bool Start(int& error);

    Compression GetCompression() const { return m_Compression; }
    // The compressed file's size, and how much of it the pass has used: the measure of progress.
    std::uint64_t GetFileSize() const { return m_nFileSize; }
    std::uint64_t GetFileBytesUsed() const { return m_nFileBytesUsed.load(std::memory_order_acquire); }
    // The text indexed so far; with IsComplete, all the text there is (up to any damage).
    std::uint64_t GetIndexedBytes() const { return m_nIndexedBytes.load(std::memory_order_acquire); }
    std::int64_t GetLineCount() const { return m_nLineFeeds.load(std::memory_order_acquire) + 1; }
    bool IsComplete() const { return m_bComplete.load(std::memory_order_acquire); }
    // Once complete: why the text ended before the file did, as a message naming the file;
    // empty when it did not.
    std::string GetDamage() const;
    // errno of a read of the file that failed, or 0.
    int GetReadError() const { return m_nReadError.load(); }

    // The last known line start at or before the given line (0-based), or text offset.
    Checkpoint Locate(std::int64_t line) const;
    Checkpoint LocateOffset(std::uint64_t offset) const;

    // Up to size bytes of the text from offset on; fewer at the end of the text, or where the
    // data is damaged or the file cannot be read (problem then says so; it is cleared otherwise).
    // Safe from any thread; calls run one at a time.
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size, std::string& problem);
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size);

    // Whether reads start near the bytes they want; empty when they do, otherwise the reason in
    // words ("This xz file has one block: reading it from the start.").
    TextAccess GetTextAccess() const;
    std::string DescribeTextAccess() const;
    // The seek points found so far, and the memory they hold.
    std::size_t GetSeekPointCount() const;
    std::size_t GetSeekPointBytes() const;

private:
    void IndexToEnd(const std::stop_token& stop);
    // The longest stretch of text without a seek point; guarded by m_mutex.
    std::uint64_t LongestStretchLocked() const;

    std::string m_strPath;
    std::uint64_t m_nSeekSpacing;
    int m_nFd = -1;
    Compression m_Compression = Compression::None;
    std::uint64_t m_nFileSize = 0;
    mutable std::mutex m_mutex;
    std::vector<std::uint64_t> m_LineStarts; // guarded by m_mutex: the offset of line i * Stride
    // guarded by m_mutex, in text order; a deque, so a point found stays where it is while the
    // pass adds more, and a reader may use it outside the lock.
    std::deque<SeekPoint> m_SeekPoints;
    std::size_t m_nSeekPointBytes = 0; // guarded by m_mutex
    std::string m_strDamage;           // guarded by m_mutex
    std::atomic<std::uint64_t> m_nFileBytesUsed{0};
    std::atomic<std::uint64_t> m_nIndexedBytes{0};
    std::atomic<std::int64_t> m_nLineFeeds{0};
    std::atomic<bool> m_bComplete{false};
    std::atomic<int> m_nReadError{0};

    std::mutex m_readMutex;
    std::unique_ptr<CompressedTextCursor> m_pReader; // guarded by m_readMutex

    std::jthread m_Thread;
};
