// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/ForwardLineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

ForwardLineReader::ForwardLineReader(int fd, std::unique_ptr<InputDecoder> decoder, std::size_t blockSize)
    : m_nFd(fd), m_pDecoder(std::move(decoder)), m_Buffer(std::max<std::size_t>(blockSize, 16))
{}

bool ForwardLineReader::NextLine(std::string_view& line)
{
    for (;;) {
        const char* begin = m_Buffer.data() + m_nStart;
        const std::size_t available = m_nEnd - m_nStart;
        const void* lineFeed = std::memchr(begin + m_nScanned, '\n', available - m_nScanned);
        if (lineFeed) {
            const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - begin) + 1;
            line = std::string_view(begin, length);
            m_nStart += length;
            m_nScanned = 0;
            return true;
        }
        m_nScanned = available;
        if (!Fill()) {
            if (m_nStart == m_nEnd)
                return false;
            // The last line, without a line feed.
            line = std::string_view(m_Buffer.data() + m_nStart, m_nEnd - m_nStart);
            m_nStart = m_nEnd;
            m_nScanned = 0;
            return true;
        }
    }
}

bool ForwardLineReader::Fill()
{
    if (m_bEnded)
        return false;
    if (m_nStart > 0) {
        std::memmove(m_Buffer.data(), m_Buffer.data() + m_nStart, m_nEnd - m_nStart);
        m_nEnd -= m_nStart;
        m_nStart = 0;
    }
    if (m_nEnd == m_Buffer.size())
        m_Buffer.resize(m_Buffer.size() * 2); // a line longer than the buffer: it is held whole
    const std::size_t got = ReadSome(m_Buffer.data() + m_nEnd, m_Buffer.size() - m_nEnd);
    if (got == 0) {
        m_bEnded = true;
        return false;
    }
    m_nEnd += got;
    return true;
}

std::size_t ForwardLineReader::ReadSome(char* out, std::size_t size)
{
    if (m_pDecoder)
        return m_pDecoder->Read(m_nFd, out, size);
    for (;;) {
        const ssize_t got = ::read(m_nFd, out, size);
        if (got >= 0) {
            m_nBytesRead += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A pipe opened without blocking: wait until it has something (or ends).
            pollfd ready{m_nFd, POLLIN, 0};
            ::poll(&ready, 1, -1);
            continue;
        }
        // A read error ends the file, as in a filtering run.
        m_nReadError = errno;
        return 0;
    }
}

std::string ForwardLineReader::TakeFaultMessage(const std::string& shownName)
{
    if (m_pDecoder)
        return m_pDecoder->TakeFaultMessage(shownName);
    if (m_nReadError == 0)
        return {};
    const int error = m_nReadError;
    m_nReadError = 0;
    return "ERROR Reading " + shownName + ": " + std::strerror(error);
}

std::uint64_t ForwardLineReader::GetFileBytesUsed() const
{
    return m_pDecoder ? m_pDecoder->GetFileBytesUsed() : m_nBytesRead;
}
