// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QObject>

// Reads ranges of a file (or of any text) off the window's thread, so the window never waits for the disk or a
// slow mount. One request at a time: a new one replaces a request that has not started yet.
// The thread runs only while there is something to read, so an idle reader costs none; a
// thread stuck in a read is left behind when the reader goes, and reaches nothing afterwards.
class TextRangeReader;

class CFileRangeReader : public QObject
{
    Q_OBJECT

public:
    // fd is duplicated: the reader has a descriptor of its own.
    explicit CFileRangeReader(int fd, QObject* parent = nullptr);
    // Reads through text (a compressed file's text, say), which the reader's thread keeps alive.
    explicit CFileRangeReader(std::shared_ptr<const TextRangeReader> text, QObject* parent = nullptr);
    ~CFileRangeReader() override;

    // Asks for [offset, offset + size); the answer comes as RangeRead with the same tag.
    void Request(std::uint64_t offset, std::size_t size, std::uint64_t tag);

Q_SIGNALS:
    // What could be read: fewer bytes at the file's end, none (and error set) when reading failed.
    void RangeRead(std::uint64_t tag, std::uint64_t offset, const QByteArray& bytes, int error);

private:
    struct RangeRequest
    {
        std::uint64_t Offset = 0;
        std::size_t Size = 0;
        std::uint64_t Tag = 0;
    };
    // Shared with the thread, which may outlive the reader.
    struct State
    {
        std::mutex Mutex;
        bool bHasRequest = false;                    // guarded by Mutex
        bool bStopped = false;                       // guarded by Mutex
        bool bReading = false;                       // guarded by Mutex: a thread is serving requests
        RangeRequest Pending;                        // guarded by Mutex
        CFileRangeReader* pOwner;                    // guarded by Mutex; null once the reader is gone
        std::shared_ptr<const TextRangeReader> Text; // let go by the last of the reader and its thread
    };

    static void ThreadMain(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_pState;
};
