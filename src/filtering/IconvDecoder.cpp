// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/IconvDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t InputBlock = 256 * 1024;
constexpr char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD in UTF-8
constexpr std::size_t ReplacementSize = sizeof Replacement - 1;

} // namespace

std::unique_ptr<IconvDecoder> IconvDecoder::Make(const std::string& encoding, std::size_t unitSize, std::size_t bomSize)
{
    const iconv_t converter = ::iconv_open("UTF-8", encoding.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return std::unique_ptr<IconvDecoder>(
        new IconvDecoder(converter, encoding, std::max<std::size_t>(unitSize, 1), bomSize));
}

IconvDecoder::IconvDecoder(iconv_t converter, std::string encoding, std::size_t unitSize, std::size_t bomSize)
    : m_Converter(converter), m_strEncoding(std::move(encoding)), m_nUnitSize(unitSize), m_nBomLeft(bomSize),
      m_Input(InputBlock)
{}

IconvDecoder::~IconvDecoder()
{
    ::iconv_close(m_Converter);
}

bool IconvDecoder::Refill(int fd)
{
    if (m_bEnded)
        return false;
    std::memmove(m_Input.data(), m_Input.data() + m_nStart, m_nEnd - m_nStart);
    m_nEnd -= m_nStart;
    m_nStart = 0;
    for (;;) {
        const ssize_t got = ::read(fd, m_Input.data() + m_nEnd, m_Input.size() - m_nEnd);
        if (got > 0) {
            m_nEnd += static_cast<std::size_t>(got);
            return true;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            m_strFault = std::string("cannot read the file: ") + std::strerror(errno);
        m_bEnded = true;
        return false;
    }
}

std::size_t IconvDecoder::Read(int fd, char* out, std::size_t size)
{
    std::size_t total = TakePending(out, size);
    while (total < size) {
        if (size - total < MaxCharacterSize) {
            // Too little room for one character: it goes through the small buffer, so that a
            // read never gives nothing before the end.
            std::size_t pending = 0;
            ReadInto(fd, m_Pending, MaxCharacterSize, pending);
            m_nPendingStart = 0;
            m_nPendingEnd = pending;
            if (pending == 0)
                break;
            total += TakePending(out + total, size - total);
            continue;
        }
        if (!ReadInto(fd, out, size, total))
            break;
    }
    return total;
}

std::size_t IconvDecoder::TakePending(char* out, std::size_t size)
{
    const std::size_t taken = std::min(size, m_nPendingEnd - m_nPendingStart);
    std::memcpy(out, m_Pending + m_nPendingStart, taken);
    m_nPendingStart += taken;
    return taken;
}

bool IconvDecoder::ReadInto(int fd, char* out, std::size_t size, std::size_t& total)
{
    while (total < size) {
        if (m_nStart == m_nEnd && !Refill(fd))
            return false;
        if (m_nBomLeft > 0) {
            const std::size_t skipped = std::min(m_nBomLeft, m_nEnd - m_nStart);
            m_nStart += skipped;
            m_nUsed += skipped;
            m_nBomLeft -= skipped;
            continue;
        }
        char* in = m_Input.data() + m_nStart;
        std::size_t inLeft = m_nEnd - m_nStart;
        char* to = out + total;
        std::size_t toLeft = size - total;
        const std::size_t result = ::iconv(m_Converter, &in, &inLeft, &to, &toLeft);
        const auto used = static_cast<std::size_t>(in - (m_Input.data() + m_nStart));
        m_nStart += used;
        m_nUsed += used;
        total = size - toLeft;
        if (result != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            return true;
        if (errno == EILSEQ || (errno == EINVAL && m_bEnded)) {
            // No character of the encoding (a lone surrogate, a byte its code page leaves out), or
            // part of one at the very end: one replacement for each code unit.
            if (toLeft < ReplacementSize)
                return true;
            std::memcpy(out + total, Replacement, ReplacementSize);
            total += ReplacementSize;
            const std::size_t skipped = std::min(m_nUnitSize, m_nEnd - m_nStart);
            m_nStart += skipped;
            m_nUsed += skipped;
            continue;
        }
        if (errno == EINVAL) {
            // Part of a character at the end of what was read: the rest is in the file, or, at
            // its end, the next turn replaces the part.
            Refill(fd);
            continue;
        }
        m_strFault = "cannot convert the ";
        m_strFault.append(m_strEncoding).append(" text: ").append(std::strerror(errno));
        m_bEnded = true;
        m_nStart = m_nEnd;
        return false;
    }
    return true;
}

std::string IconvDecoder::TakeFaultMessage(const std::string& shownName)
{
    if (m_strFault.empty())
        return std::string();
    std::string message = "ERROR Reading " + shownName + ": " + m_strFault;
    m_strFault.clear();
    return message;
}
