// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "filtering/EngineMessages.h"
#include "filtering/FilterOutput.h"
#include "filtering/FilterRun.h"
#include "filtering/InputDecoder.h"
#include "filtering/LineMatcher.h"
#include "filtering/MultiLiteralScanner.h"
#include "filtering/OutputLine.h"
#include "filtering/RecordBoundaries.h"
#include "filtering/RecordDecider.h"
#include "regex/RegexMatchContext.h"

enum class EngineResult
{
    Finished,    // the whole file was read
    Stopped,     // a stop request ended the run early
    Failed,      // the file could not be opened or sized; the error was reported
    OutOfMemory, // memory ran out; the lines handed over before stay, the error was reported
};

// One piece of a regular file that a run decides on its own, beside the runs of the other pieces.
// It reads from ReadBegin, as many lines before its own first line as an after-context reaches,
// and on past its own end to ReadEnd, as many lines as a before-context reaches back: its own
// lines are then decided as in a run of the whole file. Offsets are line starts (or the end).
struct FileChunk
{
    int Fd = -1; // the open file, read with pread; it stays open for the run
    std::uint64_t ReadBegin = 0;
    std::uint64_t KeepBegin = 0;      // the piece's first line
    std::uint64_t KeepEnd = 0;        // one past its last line; UINT64_MAX: to the file's end, however far then
    std::uint64_t ReadEnd = 0;        // at least KeepEnd
    std::int64_t LinesBeforeKeep = 0; // lines in [ReadBegin, KeepBegin)
    bool ReportsParseErrors = false;  // the first piece tells of faulty expressions, once for all
    // The first line of the piece an expression was too complex for, once per filter; numbered
    // from the piece's first line, like the lines it outputs.
    std::function<void(std::size_t filter, std::int64_t lineNumber)> OnTooComplex;
    // When set, counts the bytes of the piece's own lines as they are read (from any thread).
    std::atomic<std::uint64_t>* OwnBytesRead = nullptr;
};

// Reads a log file and keeps the lines its filters select, with their context.
//
// For each line the filters are tried in list order and the first that matches decides how
// many lines before and after it are kept; in exclude mode the lines that match no filter are
// kept instead. The file is read in large blocks. The literals of all filters (literal filters'
// patterns and the literals every match of an expression holds) are searched for together, in
// one pass over a block, so lines without a possible match cost only their share of that pass;
// a line with a hit is then decided filter by filter in list order. Synchronous: the caller
// runs it on a thread of its own.
//
// A run of records (FilterRun::Records) decides records instead of lines, as RecordDecider
// tells; the layout of the times that begin records is detected from the file's first lines,
// which are held until the sample is full, the file ends or a followed file's end is reached.
// It is decided in one pass, never as pieces.
class FilterEngine
{
public:
    static constexpr std::size_t DefaultBlockSize = 512 * 1024;

    // blockSize is the size of one read; lines longer than that are read whole all the same.
    explicit FilterEngine(FilterRun run, std::size_t blockSize = DefaultBlockSize);
    FilterEngine(const FilterEngine&) = delete;
    FilterEngine& operator=(const FilterEngine&) = delete;

    // Runs once. Kept lines go to output in batches; errors are reported through it (a faulty
    // expression once per run, then it matches no line; an expression too complex for a line
    // once per filter, then such lines count as not matched by it). Checks stop after every
    // decided line, and while it waits for a pipe or reads a line longer than a block. Never
    // throws: running out of memory ends the run with OutOfMemory after one message.
    EngineResult Run(std::stop_token stop, FilterOutput& output);

    // How often a filter's expression was too complex for a line, so far (a line counts once for
    // each such filter); read on the running thread or after the run.
    std::int64_t GetTooComplexLineCount() const { return m_nTooComplexLines; }

    // The share of the file read so far, 0 to 100; safe to read from any thread.
    int GetProgressPercent() const { return m_nProgressPercent.load(std::memory_order_relaxed); }
    // How far into the file the run has read (of a followed file, since it last started anew);
    // safe to read from any thread.
    std::uint64_t GetReadOffset() const { return m_nReadOffset.load(std::memory_order_acquire); }

    // Bounds the backtracking stack of an expression match; a line that needs more ends the run
    // with OutOfMemory, as when memory runs out. Call before Run.
    void SetExpressionStackLimit(std::size_t entries) { m_Context.SetStackLimit(entries); }
    // How messages name the log when not by its path ("(standard input)" for /dev/stdin).
    void SetShownName(std::string name) { m_strShownName = std::move(name); }

    // Decide one piece of the file instead of the whole (not followed, not decoded, not a run of
    // records); call before Run. Its kept lines are numbered from the piece's first line.
    void SetChunk(FileChunk chunk) { m_Chunk = std::move(chunk); }
    // Read the text from input instead of opening the run's file, which then only names the log
    // in messages; not followed. The input is not owned and must outlive the run. Call before Run.
    void SetInput(InputDecoder& input) { m_pGivenInput = &input; }
    // After Run: whether the piece was read to its end (not cut short by a stop, an error or a
    // file truncated meanwhile), and how many of its own lines were read.
    bool ReachedChunkEnd() const { return m_bChunkEndReached; }
    std::int64_t GetChunkLineCount() const;

private:
    // The name messages give the log.
    const std::string& GetShownName() const { return m_strShownName.empty() ? m_Run.Path : m_strShownName; }
    // A compressed or UTF-16 file is read through its decoder; what it cannot read is told once.
    std::size_t ReadInput(int fd, char* buffer, std::size_t size, bool mayBlock, const std::stop_token& stop);
    EngineResult RunChunk(std::stop_token& stop);
    void ReportParseErrors();
    EngineResult Decide(int fd, bool mayBlock, std::uint64_t fileSize, std::stop_token& stop);
    EngineResult ReadAndDecide(int fd, bool mayBlock, std::uint64_t fileSize, std::stop_token& stop);
    std::size_t ReadChunk(char* buffer, std::size_t size);
    void NoteChunkEnd(std::size_t carried);
    bool IsInChunk(std::int64_t lineNumber) const;
    void TrimBatchToChunk();
    bool ProcessBlock(const char* begin, const char* end, std::stop_token& stop);
    int DecideLine(const char* lineStart, const char* lineEnd, std::stop_token& stop);
    void KeepNonMatchingLines(const char* begin, const char* end);
    void CountDroppedLines(const char* upTo);
    void KeepMatch(const char* lineStart, const char* lineEnd);
    void KeepLine(const char* lineStart, const char* lineEnd, std::int64_t lineNumber, bool isContext, int filter = -1);
    void RememberBeforeContext(const char* blockEnd);
    bool ProcessRecordBlock(const char* begin, const char* end, std::stop_token& stop);
    // Whether the lines read so far, [begin, end), are too few to tell the layout of their times
    // yet; once they are not, the layout is known.
    bool AwaitsTimeLayout(const char* begin, const char* end, bool final);
    void FlushBatch();
    // A followed file that was truncated or replaced: line 1 comes next, nothing carries over.
    void StartFileAgain();

    FilterRun m_Run;
    std::size_t m_nBlockSize;
    std::vector<LineMatcher> m_Matchers;
    MultiLiteralScanner m_Scanner;
    std::vector<std::vector<std::size_t>> m_FilterLiterals; // per filter: its literals' numbers in m_Scanner
    bool m_bEveryLineIsCandidate = false;
    std::int64_t m_nMaxBefore = 0;

    // State of the current run.
    FilterOutput* m_pOutput = nullptr;
    const char* m_pBlockBegin = nullptr;
    const char* m_pBlockEnd = nullptr;
    const char* m_pLastKeptEnd = nullptr;         // end of the last line kept in this block, or null
    std::vector<std::uint64_t> m_LineHits;        // bit per literal of m_Scanner: found in the current line
    std::deque<std::string> m_BeforeContextLines; // lines of earlier blocks not kept since the last kept line
    std::int64_t m_nLineNumber = 0;               // lines decided so far, but for those from m_pUncounted on
    const char* m_pUncounted = nullptr;           // start of dropped lines not counted yet, or null
    std::int64_t m_nAfterCount = 0;
    std::size_t m_nMatchedIndex = 0;
    std::vector<const char*> m_LineStarts; // scratch for collecting context lines
    std::string m_strLineScratch;          // a CR LF line with its ending read as LF
    RegexMatchContext m_Context;
    OutputBatch m_Batch;
    std::atomic<int> m_nProgressPercent{0};
    bool m_bCaughtUp = false;               // a followed file's end was reached once
    std::vector<bool> m_TooComplexReported; // per filter
    std::int64_t m_nTooComplexLines = 0;
    std::atomic<std::uint64_t> m_nReadOffset{0};
    std::unique_ptr<InputDecoder> m_pDecoder; // a compressed or UTF-16 file's, or null
    InputDecoder* m_pGivenInput = nullptr;    // read instead of the file when set
    std::string m_strShownName;
    std::optional<FileChunk> m_Chunk;
    std::uint64_t m_nChunkOffset = 0; // where the next read of the piece starts
    bool m_bChunkEndReached = false;
    std::int64_t m_nChunkLastLine = 0; // the number of the piece's last line, once reached
    // A run of records: where they begin, and how they are decided; null otherwise.
    std::unique_ptr<RecordBoundaries> m_pRecordBoundaries;
    std::unique_ptr<RecordDecider> m_pRecords;
};
