// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "filtering/IndexedText.h"

class TimedLogInput;

// Several logs merged by time and read as one text, without a copy of them: a thread of its own
// runs the merge (MergedLogReader) and keeps, for each line of the merge, only which log it came
// from (a byte), and every Stride lines where each log had got to. A line's bytes are read from
// its own log: from the nearest such checkpoint the j-th line after it is the next line of the
// log that line j came from. Logs may be plain or compressed. Every line ends with a line feed
// (a log's last line without one gets it, as MergedLogInput gives it to a run); the text grows
// while the merge goes on and never after.
//
// Threads: every query and read may come from any thread while the merge is built.
class MergedText : public IndexedText
{
public:
    static constexpr std::int64_t Stride = 4096;
    static constexpr std::size_t MaxInputs = 255;

    // Where a line of the merge comes from: the log (an index into the paths given) and the
    // log's own 0-based line.
    struct SourceLine
    {
        int Input = -1;
        std::int64_t Line = 0;
        bool operator==(const SourceLine&) const = default;
    };

    // The logs in the order that decides between lines of equal time.
    explicit MergedText(std::vector<std::string> paths);
    ~MergedText() override;
    MergedText(const MergedText&) = delete;
    MergedText& operator=(const MergedText&) = delete;

    // Opens every log and tells the layout of its times. False, with a message naming the log,
    // when one cannot be read or has no times the merge can go by (or there are too many logs).
    bool Open(std::string& message);
    // Starts the merge of the logs opened; false (EINVAL) when Open did not succeed.
    bool Start(int& error) override;
    void Extend() override {}
    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override;

    std::uint64_t GetSize() const override;
    bool IsSizeKnown() const override { return IsComplete(); }
    std::uint64_t GetExpectedSize() const override;
    std::uint64_t GetIndexedBytes() const override { return GetSize(); }
    std::int64_t GetLineCount() const override;
    bool IsComplete() const override { return m_bComplete.load(std::memory_order_acquire); }
    int GetIndexPercent() const override;
    Checkpoint Locate(std::int64_t line) const override;
    Checkpoint LocateOffset(std::uint64_t offset) const override;

    bool IsFollowable() const override { return false; }
    std::string GetPackingName() const override { return std::string(); }
    std::string DescribeAccess() const override { return std::string(); }
    // Once complete: every log that ended early, a line each.
    std::string GetDamage() const override;
    std::uint64_t GetReusedBytes() const override { return 0; }
    std::size_t GetIndexMemory() const override;

    const std::vector<std::string>& GetPaths() const { return m_Paths; }
    // The log of a line of the merge and its line there; Input -1 past the lines merged so far.
    SourceLine SourceOfLine(std::int64_t line) const;

private:
    // Where every log had got to at a line of the merge that is a multiple of Stride, and which
    // log each of the Stride lines from there came from.
    struct Block
    {
        std::uint64_t Offset = 0;               // the merge's offset of its first line
        std::vector<std::uint64_t> InputOffset; // each log's offset of its next line
        std::vector<std::int64_t> InputLine;    // each log's next 0-based line
        std::unique_ptr<std::uint8_t[]> Sources;
    };
    // A place in the merge to read on from: a line start and each log's next line there.
    struct Place
    {
        std::int64_t Line = 0;
        std::uint64_t Offset = 0;
        std::vector<std::uint64_t> InputOffset;
    };
    class LineCursor;

    void Merge(const std::stop_token& stop);
    // Waits until every compressed log's text reaches its offset in offsets (or is complete).
    bool WaitForTexts(const std::vector<std::uint64_t>& offsets, const std::stop_token& stop);
    void Publish(std::int64_t lines, std::uint64_t size, std::uint64_t used);
    // The nearest place at or before offset that is known.
    Place PlaceBefore(std::uint64_t offset) const;
    const std::uint8_t* SourcesOfBlock(std::size_t block) const;

    std::vector<std::string> m_Paths;
    std::vector<std::unique_ptr<TimedLogInput>> m_Inputs;    // opened, until the merge takes them
    std::vector<std::shared_ptr<TextRangeReader>> m_Readers; // each log's text, for reading lines
    std::vector<std::shared_ptr<IndexedText>> m_Compressed;  // per log: its text when compressed
    std::uint64_t m_nFileBytes = 0;                          // the logs' sizes on disk
    bool m_bOpened = false;

    mutable std::mutex m_mutex;
    std::deque<Block> m_Blocks; // guarded by m_mutex; a block's Sources bytes below m_nLines are fixed
    std::int64_t m_nLines = 0;  // guarded by m_mutex: the lines merged and published
    std::uint64_t m_nSize = 0;  // guarded by m_mutex: their bytes
    std::uint64_t m_nUsedBytes = 0;
    std::string m_strDamage;
    std::atomic<bool> m_bComplete{false};
    // The end of the last read, where a read that goes on from there starts.
    mutable std::mutex m_PlaceMutex;
    mutable Place m_LastPlace;
    std::condition_variable_any m_Wake;
    std::jthread m_Merger;
};
