// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/Utf16Input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t InputBlock = 256 * 1024;
constexpr char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD in UTF-8
constexpr std::size_t ReplacementSize = sizeof Replacement - 1;

} // namespace

Utf16Layout DetectUtf16(const unsigned char* bytes, std::size_t size)
{
    if (size >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe)
        return {Utf16Order::LittleEndian, 2};
    if (size >= 2 && bytes[0] == 0xfe && bytes[1] == 0xff)
        return {Utf16Order::BigEndian, 2};
    // Without a mark: most characters of a log are below 256, so one byte of each pair is zero,
    // always the same one, and the other almost never.
    const std::size_t pairs = std::min(size, Utf16SampleSize) / 2;
    if (pairs < 8)
        return {};
    std::size_t zeroFirst = 0;
    std::size_t zeroSecond = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        zeroFirst += bytes[2 * i] == 0 ? 1 : 0;
        zeroSecond += bytes[2 * i + 1] == 0 ? 1 : 0;
    }
    if (zeroSecond * 10 >= pairs * 7 && zeroFirst * 100 <= pairs)
        return {Utf16Order::LittleEndian, 0};
    if (zeroFirst * 10 >= pairs * 7 && zeroSecond * 100 <= pairs)
        return {Utf16Order::BigEndian, 0};
    return {};
}

std::unique_ptr<Utf16Decoder> Utf16Decoder::Make(Utf16Layout layout)
{
    if (layout.Order == Utf16Order::None)
        return nullptr;
    const iconv_t converter = ::iconv_open("UTF-8", layout.Order == Utf16Order::LittleEndian ? "UTF-16LE" : "UTF-16BE");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return std::unique_ptr<Utf16Decoder>(new Utf16Decoder(converter, layout.BomSize));
}

Utf16Decoder::Utf16Decoder(iconv_t converter, std::size_t bomSize)
    : m_Converter(converter), m_nBomLeft(bomSize), m_Input(InputBlock)
{}

Utf16Decoder::~Utf16Decoder()
{
    ::iconv_close(m_Converter);
}

bool Utf16Decoder::Refill(int fd)
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

std::size_t Utf16Decoder::Read(int fd, char* out, std::size_t size)
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

std::size_t Utf16Decoder::TakePending(char* out, std::size_t size)
{
    const std::size_t taken = std::min(size, m_nPendingEnd - m_nPendingStart);
    std::memcpy(out, m_Pending + m_nPendingStart, taken);
    m_nPendingStart += taken;
    return taken;
}

bool Utf16Decoder::ReadInto(int fd, char* out, std::size_t size, std::size_t& total)
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
            // A lone surrogate, or an odd byte or half a pair at the very end: one replacement.
            if (toLeft < ReplacementSize)
                return true;
            std::memcpy(out + total, Replacement, ReplacementSize);
            total += ReplacementSize;
            const std::size_t skipped = std::min<std::size_t>(2, m_nEnd - m_nStart);
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
        m_strFault = std::string("cannot convert the UTF-16 text: ") + std::strerror(errno);
        m_bEnded = true;
        m_nStart = m_nEnd;
        return false;
    }
    return true;
}

std::string Utf16Decoder::TakeFaultMessage(const std::string& shownName)
{
    if (m_strFault.empty())
        return std::string();
    std::string message = "ERROR Reading " + shownName + ": " + m_strFault;
    m_strFault.clear();
    return message;
}
