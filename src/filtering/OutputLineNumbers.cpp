// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/OutputLineNumbers.h"

#include <algorithm>

namespace {

// A difference folded so that small negative ones stay small, with the context flag below it.
std::uint64_t Encode(std::int64_t difference, bool isContext)
{
    const std::uint64_t zigzag =
        (static_cast<std::uint64_t>(difference) << 1) ^ static_cast<std::uint64_t>(difference >> 63);
    return (zigzag << 1) | (isContext ? 1U : 0U);
}

} // namespace

void OutputLineNumbers::Append(std::int64_t lineNumber, bool isContext, int filter)
{
    m_Filters.push_back(static_cast<std::uint8_t>(filter < 0 ? 0 : std::min(filter, 254) + 1));
    if (m_nSize % Stride == 0)
        m_Checkpoints.push_back({m_Bytes.size(), m_nLast});
    std::uint64_t value = Encode(lineNumber - m_nLast, isContext);
    while (value >= 0x80) {
        m_Bytes.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    m_Bytes.push_back(static_cast<std::uint8_t>(value));
    m_nLast = lineNumber;
    ++m_nSize;
}

void OutputLineNumbers::Clear()
{
    m_Bytes = {};
    m_Checkpoints = {};
    m_Filters = {};
    m_nSize = 0;
    m_nLast = 0;
}

void OutputLineNumbers::Decode(std::size_t index, std::int64_t& number, bool& isContext) const
{
    const Checkpoint& checkpoint = m_Checkpoints[index / Stride];
    std::size_t at = checkpoint.ByteOffset;
    number = checkpoint.Previous;
    for (std::size_t entry = index / Stride * Stride;; ++entry) {
        std::uint64_t value = 0;
        for (int shift = 0;; shift += 7) {
            const std::uint8_t byte = m_Bytes[at++];
            value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0)
                break;
        }
        isContext = (value & 1) != 0;
        const std::uint64_t zigzag = value >> 1;
        number += static_cast<std::int64_t>((zigzag >> 1) ^ (~(zigzag & 1) + 1));
        if (entry == index)
            return;
    }
}

std::int64_t OutputLineNumbers::LineNumber(std::size_t index) const
{
    std::int64_t number = 0;
    bool isContext = false;
    Decode(index, number, isContext);
    return number;
}

bool OutputLineNumbers::IsContext(std::size_t index) const
{
    std::int64_t number = 0;
    bool isContext = false;
    Decode(index, number, isContext);
    return isContext;
}

std::vector<std::int64_t> OutputLineNumbers::ToVector() const
{
    std::vector<std::int64_t> numbers;
    numbers.reserve(m_nSize);
    for (std::size_t i = 0; i < m_nSize; ++i)
        numbers.push_back(LineNumber(i));
    return numbers;
}

std::size_t OutputLineNumbers::FirstAtOrAfter(std::int64_t number) const
{
    // Numbers rise through the list; a probe that lands on a marker reads the numbered line after it.
    std::size_t low = 0;
    std::size_t high = m_nSize;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        std::size_t probe = middle;
        while (probe < high && LineNumber(probe) <= 0)
            ++probe;
        if (probe < high && LineNumber(probe) < number)
            low = probe + 1;
        else
            high = middle;
    }
    while (low < m_nSize && LineNumber(low) <= 0)
        ++low;
    return low;
}

std::size_t OutputLineNumbers::NearestTo(std::int64_t fileLine) const
{
    std::size_t at = FirstAtOrAfter(fileLine);
    const std::size_t end = EndOfNumbered();
    if (at >= end)
        return end > 0 ? end - 1 : 0;
    // The numbered line before it, when it is nearer.
    std::size_t before = at;
    while (before > 0 && LineNumber(before - 1) <= 0)
        --before;
    if (before > 0 && fileLine - LineNumber(before - 1) < LineNumber(at) - fileLine)
        return before - 1;
    return at;
}

std::size_t OutputLineNumbers::EndOfNumbered() const
{
    std::size_t end = m_nSize;
    while (end > 0 && LineNumber(end - 1) <= 0)
        --end;
    return end;
}

std::int64_t OutputLineNumbers::LastFileLine() const
{
    const std::size_t end = EndOfNumbered();
    return end > 0 ? LineNumber(end - 1) : 0;
}
