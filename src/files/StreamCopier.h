// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// Copies a stream (a pipe, a terminal, a file) from one descriptor to another on a thread of its
// own until the source ends, a read or write fails, or Stop. The thread waits in poll() on the
// source and on an eventfd of its own, so Stop never waits for a read that has nothing to read.
//
// Thread contract: the constructor starts the thread and the destructor stops and joins it.
// `onEnd` is called once, on the copying thread, as its last act; it must not destroy the copier.
// BytesCopied and IsEnded may be read from any thread. The descriptors stay the caller's and
// must stay open while the copier lives.
class StreamCopier
{
public:
    enum class End
    {
        SourceEnded, // end of file: the writer closed the pipe
        Stopped,
        ReadFailed,
        WriteFailed,
    };
    // How the copy ended, errno for a failure (else 0), and the bytes written.
    using EndHandler = std::function<void(End end, int error, std::uint64_t bytes)>;

    static constexpr std::size_t BufferBytes = 256 * 1024;

    StreamCopier(int sourceFd, int targetFd, EndHandler onEnd);
    ~StreamCopier();
    StreamCopier(const StreamCopier&) = delete;
    StreamCopier& operator=(const StreamCopier&) = delete;

    // Asks the thread to end; returns at once. What was read is written first.
    void Stop();
    std::uint64_t BytesCopied() const { return m_nBytes.load(std::memory_order_relaxed); }
    bool IsEnded() const { return m_bEnded.load(std::memory_order_acquire); }

private:
    void Run(std::stop_token stop);

    int m_nSource;
    int m_nTarget;
    int m_nWakeFd = -1; // eventfd that Stop writes to
    EndHandler m_OnEnd;
    std::atomic<std::uint64_t> m_nBytes{0};
    std::atomic<bool> m_bEnded{false};
    std::jthread m_Thread; // last: it starts once the rest is set up
};
