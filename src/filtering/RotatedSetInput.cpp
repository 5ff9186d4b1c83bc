// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/RotatedSetInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "filtering/FilterEngine.h"

RotatedSetInput::RotatedSetInput(std::vector<std::string> paths) : m_Paths(std::move(paths))
{
    m_Sizes.reserve(m_Paths.size());
    for (const std::string& path : m_Paths) {
        struct stat status
        {
        };
        const bool sized = ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
        m_Sizes.push_back(sized ? static_cast<std::uint64_t>(status.st_size) : 0);
        m_nBytesTotal += m_Sizes.back();
    }
}

RotatedSetInput::~RotatedSetInput() = default;

int RotatedSetInput::GetProgressPercent() const
{
    if (m_nBytesTotal == 0)
        return 0; // empty members: the run that reads them says when it is done
    return static_cast<int>(std::min<std::uint64_t>(100, GetFileBytesUsed() * 100 / m_nBytesTotal));
}

std::size_t RotatedSetInput::Read(int, char* out, std::size_t size)
{
    std::size_t total = 0;
    while (total < size) {
        if (m_bLineFeedOwed) {
            out[total++] = '\n';
            m_bLineFeedOwed = false;
            continue;
        }
        if (!m_File && !OpenNextMember())
            break;
        const std::size_t got = ReadMember(out + total, size - total);
        if (got == 0) {
            FinishMember();
            continue;
        }
        m_bMemberHasText = true;
        m_cLastByte = out[total + got - 1];
        total += got;
        NoteBytesUsed();
    }
    return total;
}

bool RotatedSetInput::OpenNextMember()
{
    while (m_nNext < m_Paths.size()) {
        const std::size_t member = m_nNext++;
        const std::string& path = m_Paths[member];
        // Not waiting for a writer should a member be a pipe by now: it is refused below.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            m_Faults.push_back(OpenErrorMessage(path, errno));
            m_nFinishedBytes += m_Sizes[member];
            continue;
        }
        m_File.emplace(fd);
        struct stat status
        {
        };
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            m_Faults.push_back(OpenErrorMessage(path, S_ISDIR(status.st_mode) ? EISDIR : EINVAL));
            m_File.reset();
            m_nFinishedBytes += m_Sizes[member];
            continue;
        }
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        m_pDecoder = MakeInputDecoder(fd);
        m_nCurrent = member;
        m_nMemberBytesRead = 0;
        m_strMemberFault.clear();
        m_bMemberHasText = false;
        m_cLastByte = '\n';
        return true;
    }
    return false;
}

std::size_t RotatedSetInput::ReadMember(char* out, std::size_t size)
{
    if (m_pDecoder)
        return m_pDecoder->Read(m_File->Get(), out, size);
    for (;;) {
        const ssize_t got = ::read(m_File->Get(), out, size);
        if (got >= 0) {
            m_nMemberBytesRead += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            m_strMemberFault =
                "ERROR Reading " + m_Paths[m_nCurrent] + ": " + std::strerror(errno) + "; the text before it was read";
            return 0;
        }
    }
}

void RotatedSetInput::FinishMember()
{
    const std::string& path = m_Paths[m_nCurrent];
    std::string fault = m_pDecoder ? m_pDecoder->TakeFaultMessage(path) : m_strMemberFault;
    if (!fault.empty())
        m_Faults.push_back(std::move(fault));
    // The member's own bytes count as used, however far it was read: the next one starts there.
    m_nFinishedBytes += std::max(m_Sizes[m_nCurrent], m_pDecoder ? m_pDecoder->GetFileBytesUsed() : m_nMemberBytesRead);
    m_nMemberBytesRead = 0;
    m_pDecoder.reset();
    m_File.reset();
    m_bLineFeedOwed = m_bMemberHasText && m_cLastByte != '\n';
    NoteBytesUsed();
}

void RotatedSetInput::NoteBytesUsed()
{
    const std::uint64_t current = !m_File ? 0 : m_pDecoder ? m_pDecoder->GetFileBytesUsed() : m_nMemberBytesRead;
    m_nBytesUsed.store(m_nFinishedBytes + current, std::memory_order_relaxed);
}

std::string RotatedSetInput::TakeFaultMessage(const std::string&)
{
    std::string message;
    for (const std::string& fault : m_Faults) {
        if (!message.empty())
            message += '\n';
        message += fault;
    }
    m_Faults.clear();
    return message;
}
