// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// A sparse index of the line starts of a file, built on a thread of its own: the offset of every
// Stride-th line, so a file of any size costs a few bytes per thousand lines. Lines are counted
// as an editor counts them: one more than the line feeds, so an empty file has one line and a
// file that ends with a line feed has an empty last line.
//
// The index reads the file to its end, also past the size the file had when it started (a log
// that grows meanwhile), and then stops; Extend reads on from where it stopped. A file found
// shorter than what was indexed (truncated) is taken as it now is: the index drops what lies past
// the new end and counts on from its last line start before it. Every query may come from any
// thread while the index is built. Far from the end, two threads read side by side.
//
// With a save folder the index is kept between runs (SavedLineIndex): a saved index that still
// describes the file is taken at the start, and only what lies past it is read; a complete index
// is saved again once it covers much more than the saved one.
class FileLineIndex
{
public:
    static constexpr std::int64_t Stride = 64;

    // A line whose start the index knows: its number (0-based) and its offset in the file.
    struct Checkpoint
    {
        std::int64_t Line = 0;
        std::uint64_t Offset = 0;
    };

    // The line starts of the file's first Size bytes as another reader of them counted them (an
    // editor that holds the file): the offset of every Stride-th line from line 0, and the bytes
    // that began and ended those Size bytes then, to tell whether the file still starts so.
    struct KnownLines
    {
        std::uint64_t Size = 0;
        std::int64_t LineFeeds = 0;
        std::vector<std::uint64_t> Checkpoints;
        std::string Head;
        std::string Tail;
    };

    // Bytes each of the two threads reads in one round; the file is split into rounds only where
    // at least two parts remain before the size it had.
    static constexpr std::size_t DefaultPartSize = 16 * 1024 * 1024;

    explicit FileLineIndex(std::string path, std::size_t partSize = DefaultPartSize);
    ~FileLineIndex();
    FileLineIndex(const FileLineIndex&) = delete;
    FileLineIndex& operator=(const FileLineIndex&) = delete;

    // Keeps the index in the folder between runs; call before Start. Empty: not kept.
    void SetSaveFolder(std::string folder) { m_strSaveFolder = std::move(folder); }
    // Keeps the index of a file of at least minimumSize bytes in the user's cache folder
    // (SavedLineIndex::DefaultFolder); call before Start.
    void SaveInUserCache(std::uint64_t minimumSize = 0);

    // Before Start: lines the index takes instead of reading them, when no saved index is taken
    // and the file still holds Head and Tail where they were; read as ever otherwise.
    void TakeKnownLines(KnownLines lines) { m_Known = std::move(lines); }

    // Opens the file (never waiting for a pipe's writer) and starts indexing it. False, with errno
    // in error, when it cannot be opened or is no regular file.
    bool Start(int& error);
    // Indexes what was appended since the index reached the end, or what is left of the file when
    // it got shorter; nothing while it is still running.
    void Extend();

    // The size the index expects to reach: the file's size when indexing started, or when it was
    // last found shorter. The bytes indexed so far.
    std::uint64_t GetStartSize() const { return m_nStartSize.load(std::memory_order_acquire); }
    std::uint64_t GetIndexedBytes() const { return m_nIndexedBytes.load(std::memory_order_acquire); }
    // Lines known so far; with IsComplete, all the file's lines.
    std::int64_t GetLineCount() const;
    bool IsComplete() const { return m_bComplete.load(std::memory_order_acquire); }
    // The bytes of the file a saved index covered when indexing started (0: none was taken).
    std::uint64_t GetReusedBytes() const { return m_nReusedBytes.load(std::memory_order_acquire); }
    // errno of a read that failed (the index then ends there), or 0.
    int GetReadError() const { return m_nReadError.load(); }

    // The last known line start at or before the given line (0-based).
    Checkpoint Locate(std::int64_t line) const;
    // The last known line start at or before the given offset.
    Checkpoint LocateOffset(std::uint64_t offset) const;

    // The descriptor the index reads; the caller may read the file through it too (pread).
    int GetFileDescriptor() const { return m_nFd; }

private:
    void IndexToEnd(const std::stop_token& stop);
    // At the end of what can be read: whether the file is now shorter than `offset`, and if so,
    // offset and lineFeeds back at the last line start the index still holds. Indexing thread only.
    bool RewindIfShorter(std::uint64_t& offset, std::int64_t& lineFeeds);
    // Takes the saved index, if it still describes the file, before the first read. Indexing
    // thread only, like the next.
    void TakeSavedIndex();
    // Takes m_Known when it still describes the file's start. Indexing thread only.
    void TakeKnownLinesIfTheyHold();
    // Saves the complete index when the saved one covers much less of the file.
    void SaveIfWorthIt();

    std::string m_strPath;
    std::size_t m_nPartSize;
    int m_nFd = -1;
    std::atomic<std::uint64_t> m_nStartSize{0};
    mutable std::mutex m_mutex;
    std::vector<std::uint64_t> m_Checkpoints; // guarded by m_mutex: the offset of line i * Stride
    std::atomic<std::uint64_t> m_nIndexedBytes{0};
    std::atomic<std::int64_t> m_nLineFeeds{0};
    std::atomic<bool> m_bComplete{false};
    std::atomic<int> m_nReadError{0};
    std::string m_strSaveFolder;
    std::uint64_t m_nSaveMinimumSize = 0;
    std::atomic<std::uint64_t> m_nReusedBytes{0};
    KnownLines m_Known;              // indexing thread only once started
    bool m_bSavedIndexTried = false; // indexing thread only
    std::uint64_t m_nSavedBytes = 0; // indexing thread only: what the saved index covers
    std::jthread m_Thread;
};
