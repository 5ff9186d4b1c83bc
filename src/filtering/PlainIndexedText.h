// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "filtering/IndexedText.h"

// A plain file as a text: its line index and pread on the index's descriptor.
class PlainIndexedText : public IndexedText
{
public:
    // The file at path, with an index of its own (kept between runs for a file of at least
    // saveMinimumSize bytes; 0: not kept).
    explicit PlainIndexedText(const std::string& path, std::uint64_t saveMinimumSize = 0);
    // The file of an index another owns and starts; it must outlive this text.
    explicit PlainIndexedText(const FileLineIndex& index);
    ~PlainIndexedText() override;

    void TakeKnownLines(KnownLines lines) override;
    bool Start(int& error) override;
    void Extend() override;
    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override;

    std::uint64_t GetSize() const override;
    bool IsSizeKnown() const override { return true; }
    std::uint64_t GetExpectedSize() const override { return GetSize(); }
    std::uint64_t GetIndexedBytes() const override { return m_Index.GetIndexedBytes(); }
    std::int64_t GetLineCount() const override { return m_Index.GetLineCount(); }
    bool IsComplete() const override { return m_Index.IsComplete(); }
    int GetIndexPercent() const override;
    Checkpoint Locate(std::int64_t line) const override { return m_Index.Locate(line); }
    Checkpoint LocateOffset(std::uint64_t offset) const override { return m_Index.LocateOffset(offset); }

    bool IsFollowable() const override { return true; }
    std::string GetPackingName() const override { return std::string(); }
    std::string DescribeAccess() const override { return std::string(); }
    std::string GetDamage() const override { return std::string(); }
    std::uint64_t GetReusedBytes() const override { return m_Index.GetReusedBytes(); }
    std::size_t GetIndexMemory() const override;

    const FileLineIndex& GetIndex() const { return m_Index; }

private:
    std::unique_ptr<FileLineIndex> m_pOwnIndex; // null when another owns the index
    const FileLineIndex& m_Index;
};
