// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "filtering/CompressedTextIndex.h"
#include "filtering/IndexedText.h"

// A compressed file's text: its CompressedTextIndex, read from the seek point nearest each range.
// The text does not grow: a compressed log is taken as it was when it was opened.
class CompressedIndexedText : public IndexedText
{
public:
    // The memory a text's gzip seek points may take, each holding a packed 32 KiB window (about
    // PointBytes), for a text of PackingRatio times the file's size: a bigger file gets points
    // further apart rather than more of them.
    static constexpr std::uint64_t SeekPointBudget = 32 * 1024 * 1024;
    static constexpr std::uint64_t PointBytes = 16 * 1024;
    static constexpr std::uint64_t PackingRatio = 20;
    // The spacing of seek points for a file of that packing and size.
    static std::uint64_t SeekSpacingFor(Compression compression, std::uint64_t fileSize);

    explicit CompressedIndexedText(const std::string& path,
                                   std::uint64_t seekSpacing = CompressedTextIndex::DefaultSeekSpacing);
    ~CompressedIndexedText() override;

    bool Start(int& error) override;
    void Extend() override {}
    // Damaged data ends the text: the bytes before it are read, without an error.
    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override;

    // The text indexed so far: its end is known only once the pass has reached it.
    std::uint64_t GetSize() const override { return m_pIndex->GetIndexedBytes(); }
    bool IsSizeKnown() const override { return m_pIndex->IsComplete(); }
    // The text indexed so far, in proportion to the compressed bytes that made it.
    std::uint64_t GetExpectedSize() const override;
    std::uint64_t GetIndexedBytes() const override { return m_pIndex->GetIndexedBytes(); }
    std::int64_t GetLineCount() const override { return m_pIndex->GetLineCount(); }
    bool IsComplete() const override { return m_pIndex->IsComplete(); }
    int GetIndexPercent() const override;
    Checkpoint Locate(std::int64_t line) const override { return m_pIndex->Locate(line); }
    Checkpoint LocateOffset(std::uint64_t offset) const override { return m_pIndex->LocateOffset(offset); }

    bool IsFollowable() const override { return false; }
    std::string GetPackingName() const override;
    std::string DescribeAccess() const override { return m_pIndex->DescribeTextAccess(); }
    std::string GetDamage() const override { return m_pIndex->GetDamage(); }
    std::uint64_t GetReusedBytes() const override { return 0; }
    std::size_t GetIndexMemory() const override;

private:
    // The end of the last read is kept: a read that overlaps it (Find reads its blocks with a
    // few bytes of the one before) takes those bytes from here and goes on where the index's
    // cursor stopped, instead of decompressing again from a seek point, or from the start.
    static constexpr std::size_t TailBytes = 64 * 1024;

    // ReadAt changes the index's reading cursor, which its own lock guards.
    std::unique_ptr<CompressedTextIndex> m_pIndex;
    mutable std::mutex m_TailMutex;
    mutable std::string m_Tail;           // guarded by m_TailMutex: the last bytes of the last read
    mutable std::uint64_t m_nTailEnd = 0; // guarded by m_TailMutex: where they end in the text
};
