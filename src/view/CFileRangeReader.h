// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include <QByteArray>
#include <QObject>

// Reads ranges of a file on a thread of its own, so the window never waits for the disk or a
// slow mount. One request at a time: a new one replaces a request that has not started yet.
// A thread stuck in a read is left behind when the reader goes; it reaches nothing afterwards.
class CFileRangeReader : public QObject
{
    Q_OBJECT

public:
    // fd is duplicated: the reader has a descriptor of its own.
    explicit CFileRangeReader(int fd, QObject* parent = nullptr);
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
        std::condition_variable Wake;
        bool bHasRequest = false; // guarded by Mutex
        bool bStopped = false;    // guarded by Mutex
        RangeRequest Pending;     // guarded by Mutex
        CFileRangeReader* pOwner; // guarded by Mutex; null once the reader is gone
        int Fd = -1;
    };

    static void ThreadMain(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_pState;
    std::thread m_Thread;
};
