// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/CompressedIndexedText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

CompressedIndexedText::CompressedIndexedText(const std::string& path, std::uint64_t seekSpacing)
    : m_pIndex(std::make_unique<CompressedTextIndex>(path, seekSpacing))
{}

CompressedIndexedText::~CompressedIndexedText() = default;

std::uint64_t CompressedIndexedText::SeekSpacingFor(Compression compression, std::uint64_t fileSize)
{
    // Only gzip points carry a window; the others are a few dozen bytes each.
    if (compression != Compression::Gzip)
        return CompressedTextIndex::DefaultSeekSpacing;
    constexpr std::uint64_t points = SeekPointBudget / PointBytes;
    const std::uint64_t text = fileSize > UINT64_MAX / PackingRatio ? UINT64_MAX : fileSize * PackingRatio;
    return std::max(CompressedTextIndex::DefaultSeekSpacing, text / points + 1);
}

bool CompressedIndexedText::Start(int& error)
{
    return m_pIndex->Start(error);
}

std::int64_t CompressedIndexedText::ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int&) const
{
    // Damage, or a failed read of the compressed file, ends the text there; the pass reports it.
    std::lock_guard lock(m_TailMutex);
    std::size_t got = 0;
    const std::uint64_t tailStart = m_nTailEnd - m_Tail.size();
    if (offset >= tailStart && offset < m_nTailEnd) {
        got = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_nTailEnd - offset));
        std::memcpy(buffer, m_Tail.data() + (offset - tailStart), got);
        if (got == size)
            return static_cast<std::int64_t>(got);
    }
    got += m_pIndex->ReadAt(offset + got, buffer + got, size - got);
    const std::size_t kept = std::min(got, TailBytes);
    m_Tail.assign(buffer + got - kept, kept);
    m_nTailEnd = offset + got;
    return static_cast<std::int64_t>(got);
}

std::uint64_t CompressedIndexedText::GetExpectedSize() const
{
    const std::uint64_t indexed = m_pIndex->GetIndexedBytes();
    const std::uint64_t used = m_pIndex->GetFileBytesUsed();
    if (m_pIndex->IsComplete() || used == 0)
        return indexed;
    // Scaled in two steps so that a big file does not overflow.
    const double ratio = static_cast<double>(indexed) / static_cast<double>(used);
    return std::max(indexed, static_cast<std::uint64_t>(ratio * static_cast<double>(m_pIndex->GetFileSize())));
}

int CompressedIndexedText::GetIndexPercent() const
{
    if (m_pIndex->IsComplete())
        return 100;
    const std::uint64_t size = std::max<std::uint64_t>(1, m_pIndex->GetFileSize());
    return static_cast<int>(std::min<std::uint64_t>(99, m_pIndex->GetFileBytesUsed() * 100 / size));
}

std::string CompressedIndexedText::GetPackingName() const
{
    return CompressionName(m_pIndex->GetCompression());
}

std::size_t CompressedIndexedText::GetIndexMemory() const
{
    const auto lineStarts =
        static_cast<std::size_t>(m_pIndex->GetLineCount() / CompressedTextIndex::Stride + 1) * sizeof(std::uint64_t);
    return lineStarts + m_pIndex->GetSeekPointBytes();
}
