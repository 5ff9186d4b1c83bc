// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/PlainIndexedText.h"

#include <algorithm>
#include <cerrno>

namespace {

std::unique_ptr<FileLineIndex> MakeIndex(const std::string& path, std::uint64_t saveMinimumSize)
{
    auto index = std::make_unique<FileLineIndex>(path);
    if (saveMinimumSize > 0)
        index->SaveInUserCache(saveMinimumSize);
    return index;
}

} // namespace

PlainIndexedText::PlainIndexedText(const std::string& path, std::uint64_t saveMinimumSize)
    : m_pOwnIndex(MakeIndex(path, saveMinimumSize)), m_Index(*m_pOwnIndex)
{}

PlainIndexedText::PlainIndexedText(const FileLineIndex& index) : m_Index(index) {}

PlainIndexedText::~PlainIndexedText() = default;

void PlainIndexedText::TakeKnownLines(KnownLines lines)
{
    if (m_pOwnIndex)
        m_pOwnIndex->TakeKnownLines(std::move(lines));
}

bool PlainIndexedText::Start(int& error)
{
    return !m_pOwnIndex || m_pOwnIndex->Start(error);
}

void PlainIndexedText::Extend()
{
    if (m_pOwnIndex)
        m_pOwnIndex->Extend();
}

std::int64_t PlainIndexedText::ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const
{
    return DescriptorRangeReader::ReadFromDescriptor(m_Index.GetFileDescriptor(), offset, buffer, size, error);
}

std::uint64_t PlainIndexedText::GetSize() const
{
    return std::max(m_Index.GetStartSize(), m_Index.GetIndexedBytes());
}

int PlainIndexedText::GetIndexPercent() const
{
    if (m_Index.IsComplete())
        return 100;
    const std::uint64_t size = std::max<std::uint64_t>(1, m_Index.GetStartSize());
    return static_cast<int>(std::min<std::uint64_t>(99, m_Index.GetIndexedBytes() * 100 / size));
}

std::size_t PlainIndexedText::GetIndexMemory() const
{
    return static_cast<std::size_t>(m_Index.GetLineCount() / FileLineIndex::Stride + 1) * sizeof(std::uint64_t);
}
