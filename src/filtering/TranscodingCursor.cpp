// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/TranscodingCursor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD in UTF-8
constexpr std::size_t ReplacementSize = sizeof Replacement - 1;
// UTF-8 bytes one input byte can make at most: a UTF-16 unit gives up to three, so does an
// 8-bit byte (a replacement, a CJK or euro sign).
constexpr std::size_t MostBytesPerInputByte = 3;

} // namespace

std::unique_ptr<TranscodingCursor> TranscodingCursor::Make(int fd, const FileTextEncoding& encoding,
                                                           std::uint64_t fileEnd, std::size_t inputBlock)
{
    const iconv_t converter = ::iconv_open("UTF-8", encoding.Name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return std::unique_ptr<TranscodingCursor>(new TranscodingCursor(fd, converter, encoding, fileEnd, inputBlock));
}

TranscodingCursor::TranscodingCursor(int fd, iconv_t converter, const FileTextEncoding& encoding, std::uint64_t fileEnd,
                                     std::size_t inputBlock)
    : m_nFd(fd), m_Converter(converter), m_nUnitSize(encoding.UnitSize()), m_bBigEndian(encoding.Name == "UTF-16BE"),
      m_nBomSize(encoding.BomSize), m_nFileEnd(fileEnd), m_Input(std::max<std::size_t>(inputBlock, 16))
{}

TranscodingCursor::~TranscodingCursor()
{
    ::iconv_close(m_Converter);
}

void TranscodingCursor::MoveTo(std::uint64_t textOffset, std::uint64_t fileOffset)
{
    ::iconv(m_Converter, nullptr, nullptr, nullptr, nullptr);
    m_nTextOffset = textOffset;
    m_nFileOffset = std::max(fileOffset, std::min(m_nBomSize, m_nFileEnd));
    m_bAtLineStart = true;
    m_bEnded = false;
    m_nReadError = 0;
}

bool TranscodingCursor::ReadPiece(std::size_t& size)
{
    size = 0;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(m_Input.size(), m_nFileEnd - m_nFileOffset));
    while (size < wanted) {
        const ssize_t got =
            ::pread(m_nFd, m_Input.data() + size, wanted - size, static_cast<off_t>(m_nFileOffset + size));
        if (got > 0) {
            size += static_cast<std::size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_nReadError = errno;
            return false;
        }
        break; // the file got shorter: its text ends here
    }
    return true;
}

std::size_t TranscodingCursor::CutAfterLastLineFeed(std::size_t size, bool& found) const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_Input.data());
    found = true;
    if (m_nUnitSize == 1) {
        if (const void* last = ::memrchr(bytes, '\n', size))
            return static_cast<std::size_t>(static_cast<const unsigned char*>(last) - bytes) + 1;
    } else {
        // Pieces start on a unit: the units are at the even places of the piece.
        const std::size_t low = m_bBigEndian ? 1 : 0;
        for (std::size_t end = size & ~static_cast<std::size_t>(1); end >= 2; end -= 2)
            if (bytes[end - 2 + low] == '\n' && bytes[end - 1 - low] == 0)
                return end;
    }
    found = false;
    return size;
}

bool TranscodingCursor::Step(std::string& text)
{
    text.clear();
    if (m_bEnded)
        return false;
    std::size_t size = 0;
    if (!ReadPiece(size) || size == 0) {
        m_bEnded = true;
        return false;
    }
    const bool lastPiece = m_nFileOffset + size >= m_nFileEnd;
    bool endsLine = false;
    const std::size_t cut = CutAfterLastLineFeed(size, endsLine);
    text.resize(cut * MostBytesPerInputByte + ReplacementSize);
    char* in = m_Input.data();
    std::size_t inLeft = cut;
    char* out = text.data();
    std::size_t outLeft = text.size();
    while (inLeft > 0) {
        const std::size_t result = ::iconv(m_Converter, &in, &inLeft, &out, &outLeft);
        if (result != static_cast<std::size_t>(-1))
            break;
        // Part of a character at the end of the piece: the next piece starts with it, unless
        // the file ends there.
        if (errno == EINVAL && !(lastPiece && cut == size))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break; // E2BIG cannot happen with this much room
        // No character of the encoding (a lone surrogate, a byte its code page leaves out), or
        // part of one at the very end: one replacement for each code unit.
        std::memcpy(out, Replacement, ReplacementSize);
        out += ReplacementSize;
        outLeft -= ReplacementSize;
        const std::size_t skipped = std::min(m_nUnitSize, inLeft);
        in += skipped;
        inLeft -= skipped;
    }
    const auto used = static_cast<std::size_t>(in - m_Input.data());
    text.resize(text.size() - outLeft);
    m_nFileOffset += used;
    m_nTextOffset += text.size();
    m_bAtLineStart = endsLine && used == cut;
    if (m_nFileOffset >= m_nFileEnd || (used == 0 && lastPiece))
        m_bEnded = true;
    if (m_bAtLineStart)
        ::iconv(m_Converter, nullptr, nullptr, nullptr, nullptr);
    return true;
}
