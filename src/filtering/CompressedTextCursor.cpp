// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/CompressedTextCursor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

namespace {

// A decoder may take a step or two without input or text (a state of its own changes, an empty
// block ends); more than this in a row with input at hand means it cannot go on.
constexpr int MostStalls = 8;
constexpr std::size_t ScratchBytes = 64 * 1024;

} // namespace

CompressedTextCursor::CompressedTextCursor(int fd, Compression compression, std::size_t inputBlock)
    : m_nFd(fd), m_pDecoder(SeekingDecoder::Make(compression)), m_Input(std::max<std::size_t>(inputBlock, 4096))
{
    if (!m_pDecoder)
        throw std::bad_alloc();
}

void CompressedTextCursor::MoveTo(const SeekPoint& point)
{
    m_nInputStart = 0;
    m_nInputEnd = 0;
    m_nReadOffset = point.FileOffset;
    m_bInputEnded = false;
    m_nFileOffset = point.FileOffset;
    m_nTextOffset = point.TextOffset;
    m_nStalls = 0;
    m_bEnded = false;
    m_strFault.clear();
    m_nFaultOffset = 0;
    m_nReadError = 0;
    std::string detail;
    if (!m_pDecoder->Begin(point, detail))
        SetFault(detail);
}

void CompressedTextCursor::SetFault(const std::string& detail)
{
    m_strFault = detail;
    m_nFaultOffset = m_nFileOffset;
    m_bEnded = true;
}

bool CompressedTextCursor::FillInput()
{
    m_nInputStart = 0;
    m_nInputEnd = 0;
    for (;;) {
        const ssize_t got = ::pread(m_nFd, m_Input.data(), m_Input.size(), static_cast<off_t>(m_nReadOffset));
        if (got > 0) {
            m_nInputEnd = static_cast<std::size_t>(got);
            m_nReadOffset += static_cast<std::uint64_t>(got);
            return true;
        }
        if (got == 0) {
            m_bInputEnded = true;
            return true;
        }
        if (errno != EINTR) {
            m_nReadError = errno;
            SetFault(std::string("cannot read the file: ") + std::strerror(errno));
            return false;
        }
    }
}

std::size_t CompressedTextCursor::DecodeStep(char* out, std::size_t size)
{
    if (m_bEnded || size == 0)
        return 0;
    if (m_nInputStart == m_nInputEnd && !m_bInputEnded && !FillInput())
        return 0;
    const unsigned char* in = m_Input.data() + m_nInputStart;
    std::size_t inSize = m_nInputEnd - m_nInputStart;
    std::size_t produced = 0;
    std::string detail;
    const bool lastInput = m_bInputEnded;
    const SeekingDecoder::Step step = m_pDecoder->Decode(in, inSize, out, size, produced, detail, lastInput);
    const std::size_t used = (m_nInputEnd - m_nInputStart) - inSize;
    m_nInputStart += used;
    m_nFileOffset += used;
    m_nTextOffset += produced;
    if (step == SeekingDecoder::Step::Fault) {
        SetFault(detail);
    } else if (step == SeekingDecoder::Step::End) {
        m_bEnded = true;
    } else if (used == 0 && produced == 0) {
        if (m_nInputStart == m_nInputEnd && lastInput)
            SetFault("the file ends in the middle of the compressed data");
        else if (m_nInputStart < m_nInputEnd && ++m_nStalls > MostStalls)
            SetFault("the data cannot be decoded");
    } else {
        m_nStalls = 0;
    }
    return produced;
}

std::size_t CompressedTextCursor::Read(char* out, std::size_t size)
{
    std::size_t total = 0;
    while (total < size && !m_bEnded)
        total += DecodeStep(out + total, size - total);
    return total;
}

bool CompressedTextCursor::Skip(std::uint64_t count)
{
    if (count > 0 && m_Scratch.empty())
        m_Scratch.resize(ScratchBytes);
    while (count > 0 && !m_bEnded)
        count -= DecodeStep(m_Scratch.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, ScratchBytes)));
    return count == 0;
}

bool CompressedTextCursor::IsAtSeekPoint() const
{
    return !m_bEnded && m_pDecoder->IsAtSeekPoint();
}

SeekPoint CompressedTextCursor::TakeSeekPoint()
{
    SeekPoint point;
    point.TextOffset = m_nTextOffset;
    point.FileOffset = m_nFileOffset;
    m_pDecoder->FillSeekPoint(point);
    return point;
}
