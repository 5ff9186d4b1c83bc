// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FilterEngine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/BlockLines.h"
#include "filtering/DescriptorReading.h"
#include "filtering/FileChangeClassifier.h"
#include "filtering/FileChangeWaiter.h"
#include "filtering/FileDescriptor.h"
#include "time/LocalTimeContext.h"

namespace {

constexpr std::size_t BatchFlushSize = 1024 * 1024;

} // namespace

FilterEngine::FilterEngine(FilterRun run, std::size_t blockSize)
    : m_Run(std::move(run)), m_nBlockSize(std::max<std::size_t>(blockSize, 1)), m_Context(256)
{
    m_Matchers.reserve(m_Run.Filters.size());
    m_FilterLiterals.resize(m_Run.Filters.size());
    m_TooComplexReported.assign(m_Run.Filters.size(), false);
    for (std::size_t i = 0; i < m_Run.Filters.size(); ++i) {
        const RunFilter& filter = m_Run.Filters[i];
        m_Matchers.emplace_back(filter);
        const LineMatcher& matcher = m_Matchers.back();
        m_nMaxBefore = std::max<std::int64_t>(m_nMaxBefore, filter.OutputBeforeMatch);
        if (matcher.GetParseError() != RegexErrorNone)
            continue;
        const RequiredLiterals& required = matcher.GetRequiredLiterals();
        if (required.Literals.empty())
            m_bEveryLineIsCandidate = true;
        for (const std::string& literal : required.Literals)
            m_FilterLiterals[i].push_back(m_Scanner.Add(literal, required.CaseSensitive));
    }
    m_Scanner.Prepare();
    m_LineHits.assign((m_Scanner.GetCount() + 63) / 64, 0);
}

EngineResult FilterEngine::Run(std::stop_token stop, FilterOutput& output)
{
    m_pOutput = &output;
    if (m_Chunk)
        return RunChunk(stop);
    if (m_pGivenInput) {
        m_Run.Follow = false;
        ReportParseErrors();
        return Decide(-1, false, 0, stop);
    }
    const std::string& path = m_Run.Path;

    // Opening a named pipe without O_NONBLOCK waits for a writer, and no stop request reaches
    // that wait; the reads below wait for a pipe in slices that look at the stop request.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) {
        output.ReportError(OpenErrorMessage(GetShownName(), errno));
        return EngineResult::Failed;
    }
    struct stat status
    {
    };
    if (::fstat(file.Get(), &status) != 0) {
        output.ReportError("Error Retrieving Size of File: \"" + GetShownName() + "\": " + std::strerror(errno));
        return EngineResult::Failed;
    }
    if (S_ISDIR(status.st_mode)) {
        output.ReportError(OpenErrorMessage(GetShownName(), EISDIR));
        return EngineResult::Failed;
    }
    ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const bool mayBlock = S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode);
    const auto fileSize = static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
    if (S_ISREG(status.st_mode)) {
        try {
            m_pDecoder = MakeInputDecoder(file.Get(), m_Run.InputEncoding);
        } catch (const std::bad_alloc&) {
            output.ReportError(OutOfMemoryMessage(GetShownName()));
            return EngineResult::OutOfMemory;
        }
        if (m_pDecoder)
            m_Run.Follow = false; // read as the text it holds, to its end: a finished archive gets nothing appended
    }
    if (m_Run.Records) {
        // Times without a year or zone are read as of when the file was last written.
        const std::time_t written = S_ISREG(status.st_mode) ? status.st_mtime : std::time(nullptr);
        m_pRecordBoundaries = std::make_unique<RecordBoundaries>(LocalTimeContext(written));
        m_pRecords = std::make_unique<RecordDecider>(m_Run, m_Batch);
    }
    ReportParseErrors();
    return Decide(file.Get(), mayBlock, fileSize, stop);
}

EngineResult FilterEngine::RunChunk(std::stop_token& stop)
{
    m_Run.Follow = false;
    m_nChunkOffset = m_Chunk->ReadBegin;
    if (m_Chunk->ReportsParseErrors)
        ReportParseErrors();
    // The share read of the piece is its progress; a piece that reads on to the file's end has none.
    const std::uint64_t size = m_Chunk->ReadEnd == UINT64_MAX ? 0 : m_Chunk->ReadEnd - m_Chunk->ReadBegin;
    return Decide(m_Chunk->Fd, false, size, stop);
}

void FilterEngine::ReportParseErrors()
{
    for (std::size_t i = 0; i < m_Matchers.size(); ++i)
        if (m_Matchers[i].GetParseError() != RegexErrorNone)
            m_pOutput->ReportError(RegexParseErrorMessage(m_Matchers[i].GetParseError()));
}

EngineResult FilterEngine::Decide(int fd, bool mayBlock, std::uint64_t fileSize, std::stop_token& stop)
{
    FilterOutput& output = *m_pOutput;
    EngineResult result = EngineResult::Finished;
    try {
        result = ReadAndDecide(fd, mayBlock, fileSize, stop);
    } catch (const std::bad_alloc&) {
        // The block buffer is gone with the unwinding; hand over what was kept, if that still fits.
        m_BeforeContextLines.clear();
        try {
            FlushBatch();
        } catch (const std::bad_alloc&) {
            m_Batch = OutputBatch();
        }
        output.ReportError(OutOfMemoryMessage(GetShownName()));
        result = EngineResult::OutOfMemory;
    }
    m_BeforeContextLines.clear();
    if (result == EngineResult::Finished)
        m_nProgressPercent.store(100, std::memory_order_relaxed);
    return result;
}

std::size_t FilterEngine::ReadInput(int fd, char* buffer, std::size_t size, bool mayBlock, const std::stop_token& stop)
{
    if (m_Chunk)
        return ReadChunk(buffer, size);
    InputDecoder* const decoder = m_pGivenInput ? m_pGivenInput : m_pDecoder.get();
    if (!decoder)
        return ReadSome(fd, buffer, size, mayBlock, stop);
    const std::size_t got = decoder->Read(fd, buffer, size);
    if (got == 0) {
        const std::string fault = decoder->TakeFaultMessage(GetShownName());
        if (!fault.empty())
            m_pOutput->ReportError(fault);
    }
    return got;
}

// Read into one reused buffer, block by block: on a hot page cache that is much faster than a
// mapping, whose page faults cost more than the copy a read makes, and a file truncated under the
// run just ends where it now ends.
EngineResult FilterEngine::ReadAndDecide(int fd, bool mayBlock, std::uint64_t fileSize, std::stop_token& stop)
{
    std::size_t capacity = m_nBlockSize;
    std::unique_ptr<char[]> buffer(new char[capacity]);
    std::size_t carried = 0; // bytes of an unfinished line kept at the start of the buffer
    std::uint64_t bytesRead = 0;
    std::optional<FileChangeWaiter> waiter;
    // A followed regular file: what was read of it tells a rewrite from growth.
    const bool watching = m_Run.Follow && !mayBlock;
    FileReadState known;
    if (m_Run.Follow)
        waiter.emplace(m_Run.Path);
    if (watching)
        IdentifyOpenFile(fd, known);
    // The file starts anew from its first byte: so do its lines, and nothing before carries over.
    const auto forgetFile = [&](FilterOutput::FileEvent event) {
        StartFileAgain();
        carried = 0;
        bytesRead = 0;
        IdentifyOpenFile(fd, known);
        known.StartAgain();
        m_pOutput->NoteFileEvent(event);
    };
    // The old file's unfinished last line will get no line feed: it is decided and kept as a
    // line of its own, with a line feed, so the next file's first line starts a line too.
    const auto finishLastLine = [&]() {
        if (carried == 0)
            return;
        if (carried == capacity) {
            std::unique_ptr<char[]> larger(new char[capacity + 1]);
            std::memcpy(larger.get(), buffer.get(), carried);
            buffer = std::move(larger);
            capacity += 1;
        }
        buffer[carried] = '\n';
        ProcessBlock(buffer.get(), buffer.get() + carried + 1, stop);
        carried = 0;
    };
    enum class Restart
    {
        Done,
        NotOpened, // another file had the name but could not be opened (or is no file): waited for anew
        Failed,    // the file cannot be read from its start
    };
    const auto startAgain = [&](bool replaced) {
        if (replaced) {
            const int reopened = ::open(m_Run.Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (reopened < 0)
                return Restart::NotOpened;
            struct stat status
            {
            };
            if (::fstat(reopened, &status) != 0 || !S_ISREG(status.st_mode)) {
                ::close(reopened);
                return Restart::NotOpened;
            }
            finishLastLine();
            ::dup2(reopened, fd);
            ::close(reopened);
        } else {
            finishLastLine();
            if (::lseek(fd, 0, SEEK_SET) < 0)
                return Restart::Failed;
        }
        forgetFile(replaced ? FilterOutput::FileEvent::Replaced : FilterOutput::FileEvent::Truncated);
        return Restart::Done;
    };
    for (bool endOfFile = false; !endOfFile;) {
        if (carried == capacity) {
            // A line longer than the buffer: grow it, keeping the part already read.
            std::unique_ptr<char[]> larger(new char[capacity * 2]);
            std::memcpy(larger.get(), buffer.get(), carried);
            buffer = std::move(larger);
            capacity *= 2;
        }
        char* const data = buffer.get();
        const std::size_t got = ReadInput(fd, data + carried, capacity - carried, mayBlock, stop);
        bytesRead += got;
        if (got == 0 && stop.stop_requested()) {
            FlushBatch();
            return EngineResult::Stopped; // a stop while waiting for a pipe: the unfinished line is not a line
        }
        bool restartAfterBlock = false;
        if (got > 0 && watching) {
            // Emptied and written again since the last read, maybe while the output was backed
            // up: what this read gave may be the middle of the new file, not what follows.
            const FileObservation now = ObserveFile(fd, m_Run.Path, known);
            if (ClassifyFileChange(known, now) == FileChange::Rewritten) {
                if (now.OpenSize >= known.Offset) {
                    bytesRead -= got; // not the old file's: read again from the new one's start
                    if (startAgain(false) == Restart::Failed)
                        return EngineResult::Finished;
                    continue;
                }
                // Shorter than where this read began: it was emptied after the read, so what
                // the read gave is the old file's, and is decided before the new one starts.
                restartAfterBlock = true;
            }
            known.Advance(std::string_view(data + carried, got));
        }
        if (got == 0 && watching) {
            if (m_pRecords && carried > 0 && !m_pRecordBoundaries->IsLayoutKnown()) {
                // The lines so far are all there is for now: they tell the layout.
                const void* lastLineFeed = ::memrchr(data, '\n', carried);
                if (lastLineFeed) {
                    const char* linesEnd = static_cast<const char*>(lastLineFeed) + 1;
                    AwaitsTimeLayout(data, linesEnd, true);
                    ProcessBlock(data, linesEnd, stop);
                    carried = static_cast<std::size_t>(data + carried - linesEnd);
                    std::memmove(data, linesEnd, carried);
                }
            }
            // At the end of a followed file: an unfinished last line waits for its line feed.
            FlushBatch();
            m_nReadOffset.store(bytesRead, std::memory_order_release);
            if (!m_bCaughtUp) {
                m_bCaughtUp = true;
                m_nProgressPercent.store(100, std::memory_order_relaxed);
                m_pOutput->NoteFileEvent(FilterOutput::FileEvent::CaughtUp);
            }
            const FileChangeWaiter::Change change = waiter->Wait(fd, known, stop);
            switch (change) {
            case FileChangeWaiter::Change::Grew:
                continue;
            case FileChangeWaiter::Change::Missing:
                m_pOutput->NoteFileEvent(FilterOutput::FileEvent::Missing);
                continue;
            case FileChangeWaiter::Change::Stopped:
                return EngineResult::Stopped;
            case FileChangeWaiter::Change::Truncated:
            case FileChangeWaiter::Change::Replaced:
                switch (startAgain(change == FileChangeWaiter::Change::Replaced)) {
                case Restart::Done:
                    break;
                case Restart::NotOpened:
                    waiter->Pause(stop); // until the name changes again, not round and round
                    break;
                case Restart::Failed:
                    return EngineResult::Finished;
                }
                continue;
            }
        }
        endOfFile = got == 0;
        const char* blockEnd = data + carried + got;
        if (!endOfFile) {
            const void* lastLineFeed = ::memrchr(data + carried, '\n', got);
            if (!lastLineFeed ||
                (m_pRecords && AwaitsTimeLayout(data, static_cast<const char*>(lastLineFeed) + 1, false))) {
                carried += got;
                if (stop.stop_requested()) {
                    FlushBatch();
                    return EngineResult::Stopped;
                }
                if (restartAfterBlock && startAgain(false) == Restart::Failed)
                    return EngineResult::Finished;
                continue;
            }
            blockEnd = static_cast<const char*>(lastLineFeed) + 1;
        }
        const bool stopped = !ProcessBlock(data, blockEnd, stop);
        const std::size_t rest = static_cast<std::size_t>(data + carried + got - blockEnd);
        std::memmove(data, blockEnd, rest);
        carried = rest;
        NoteChunkEnd(carried);
        const std::uint64_t fileBytesUsed = m_pDecoder ? m_pDecoder->GetFileBytesUsed() : bytesRead;
        if (fileSize > 0)
            m_nProgressPercent.store(static_cast<int>(std::min<std::uint64_t>(100, fileBytesUsed * 100 / fileSize)),
                                     std::memory_order_relaxed);
        if (stopped) {
            FlushBatch();
            return EngineResult::Stopped;
        }
        if (restartAfterBlock && startAgain(false) == Restart::Failed)
            return EngineResult::Finished;
    }
    if (m_pRecords)
        m_pRecords->Finish();
    FlushBatch();
    return EngineResult::Finished;
}

// A piece is read up to its own end first, so that a block ends there and the number of its last
// line is known before any line after it is decided; then on to where reading stops.
std::size_t FilterEngine::ReadChunk(char* buffer, std::size_t size)
{
    const std::uint64_t limit = m_nChunkOffset < m_Chunk->KeepEnd ? m_Chunk->KeepEnd : m_Chunk->ReadEnd;
    if (m_nChunkOffset >= limit)
        return 0;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, limit - m_nChunkOffset));
    for (;;) {
        const ssize_t got = ::pread(m_Chunk->Fd, buffer, size, static_cast<off_t>(m_nChunkOffset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return 0; // a read error ends the file, as in a run of the whole file
        const std::uint64_t from = m_nChunkOffset;
        m_nChunkOffset += static_cast<std::uint64_t>(got);
        if (m_Chunk->OwnBytesRead) {
            const std::uint64_t ownFrom = std::max(from, m_Chunk->KeepBegin);
            const std::uint64_t ownTo = std::min(m_nChunkOffset, m_Chunk->KeepEnd);
            if (ownTo > ownFrom)
                m_Chunk->OwnBytesRead->fetch_add(ownTo - ownFrom, std::memory_order_relaxed);
        }
        return static_cast<std::size_t>(got);
    }
}

void FilterEngine::NoteChunkEnd(std::size_t carried)
{
    if (!m_Chunk || m_bChunkEndReached || carried != 0 || m_nChunkOffset < m_Chunk->KeepEnd)
        return;
    m_bChunkEndReached = true;
    m_nChunkLastLine = m_nLineNumber;
}

bool FilterEngine::IsInChunk(std::int64_t lineNumber) const
{
    return !m_Chunk ||
           (lineNumber > m_Chunk->LinesBeforeKeep && (!m_bChunkEndReached || lineNumber <= m_nChunkLastLine));
}

std::int64_t FilterEngine::GetChunkLineCount() const
{
    if (!m_Chunk)
        return m_nLineNumber;
    return std::max<std::int64_t>(0,
                                  (m_bChunkEndReached ? m_nChunkLastLine : m_nLineNumber) - m_Chunk->LinesBeforeKeep);
}

// Only the piece's own lines leave it, numbered from its first line.
void FilterEngine::TrimBatchToChunk()
{
    const std::int64_t before = m_Chunk->LinesBeforeKeep;
    const bool allInside = IsInChunk(m_Batch.Lines.front().LineNumber) && IsInChunk(m_Batch.Lines.back().LineNumber);
    if (allInside) {
        for (OutputLine& line : m_Batch.Lines)
            line.LineNumber -= before;
        return;
    }
    OutputBatch inside;
    for (const OutputLine& line : m_Batch.Lines)
        if (IsInChunk(line.LineNumber))
            inside.Append(line.LineNumber - before, m_Batch.LineText(line), line.IsContext, line.Filter);
    m_Batch = std::move(inside);
}

void FilterEngine::StartFileAgain()
{
    if (m_pRecords) {
        // The old file's last record is complete: it is decided before the new file's lines.
        m_pRecords->Finish();
        FlushBatch();
        m_pRecords->Reset();
        m_pRecordBoundaries->Forget();
    }
    m_nLineNumber = 0;
    m_nAfterCount = 0;
    m_nMatchedIndex = 0;
    m_BeforeContextLines.clear();
    m_pUncounted = nullptr;
    m_pLastKeptEnd = nullptr;
}

bool FilterEngine::ProcessBlock(const char* begin, const char* end, std::stop_token& stop)
{
    if (m_pRecords)
        return ProcessRecordBlock(begin, end, stop);
    m_pBlockBegin = begin;
    m_pBlockEnd = end;
    m_pLastKeptEnd = nullptr;

    const char* position = begin;
    while (position < end) {
        const char* hit = position;
        if (!m_bEveryLineIsCandidate) {
            hit = m_Scanner.Find(position, end);
            const char* lineStart = hit >= end ? end : FindLineStart(position, hit);
            if (lineStart > position) {
                KeepNonMatchingLines(position, lineStart);
                position = lineStart;
                if (stop.stop_requested())
                    return false;
                if (position >= end)
                    break;
            }
        }
        const char* lineEnd = FindLineEnd(position, end);
        if (!m_LineHits.empty()) {
            std::fill(m_LineHits.begin(), m_LineHits.end(), 0);
            if (m_Scanner.GetCount() == 1 && !m_bEveryLineIsCandidate)
                m_LineHits[0] = 1; // the hit that found the line is the only literal there is
            else
                m_Scanner.Collect(hit, lineEnd, m_LineHits.data());
        }
        CountDroppedLines(position);
        ++m_nLineNumber;
        const int matched = DecideLine(position, lineEnd, stop);
        if (matched >= 0) {
            m_nMatchedIndex = static_cast<std::size_t>(matched);
            m_nAfterCount = std::max<std::int64_t>(0, m_Run.Filters[m_nMatchedIndex].OutputAfterMatch);
            if (!m_Run.ExcludeMatches)
                KeepMatch(position, lineEnd);
        } else {
            --m_nLineNumber; // KeepNonMatchingLines counts the line itself
            KeepNonMatchingLines(position, lineEnd);
        }
        position = lineEnd;
        if (stop.stop_requested())
            return false;
    }
    RememberBeforeContext(end);
    CountDroppedLines(end); // the buffer is about to be reused
    FlushBatch();
    return true;
}

void FilterEngine::CountDroppedLines(const char* upTo)
{
    if (m_pUncounted == nullptr)
        return;
    m_nLineNumber += CountLines(m_pUncounted, upTo);
    m_pUncounted = nullptr;
}

// The first filter in list order that matches the line, or -1. A filter whose literals the line
// lacks cannot match; one whose literal hit is a match needs no further test.
int FilterEngine::DecideLine(const char* lineStart, const char* lineEnd, std::stop_token& stop)
{
    std::string_view line(lineStart, static_cast<std::size_t>(lineEnd - lineStart));
    bool normalised = false;
    for (std::size_t i = 0; i < m_Matchers.size(); ++i) {
        LineMatcher& matcher = m_Matchers[i];
        if (matcher.GetParseError() != RegexErrorNone)
            continue;
        const std::vector<std::size_t>& literals = m_FilterLiterals[i];
        if (!literals.empty()) {
            const bool held = std::any_of(literals.begin(), literals.end(), [&](std::size_t literal) {
                return (m_LineHits[literal >> 6] >> (literal & 63)) & 1;
            });
            if (!held)
                continue;
            if (matcher.GetRequiredLiterals().IsMatch)
                return static_cast<int>(i);
        }
        if (!normalised) {
            // A CR LF ending reads as LF, so "$" and the newline abbreviation see one kind of line.
            if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n') {
                m_strLineScratch.assign(line.data(), line.size() - 2);
                m_strLineScratch.push_back('\n');
                line = m_strLineScratch;
            }
            normalised = true;
        }
        switch (matcher.Matches(line, m_Context, stop)) {
        case LineMatch::Match:
            return static_cast<int>(i);
        case LineMatch::OutOfMemory:
            // Not knowing the answer is no answer: the run ends with its out-of-memory report.
            throw std::bad_alloc();
        case LineMatch::TooComplex:
            // Not known either, but bounded: the user hears of it once per filter, and the line
            // goes on as not matched by this filter. A piece tells only of its own lines.
            if (!IsInChunk(m_nLineNumber))
                break;
            ++m_nTooComplexLines;
            if (!m_TooComplexReported[i]) {
                m_TooComplexReported[i] = true;
                if (m_Chunk)
                    m_Chunk->OnTooComplex(i, m_nLineNumber - m_Chunk->LinesBeforeKeep);
                else
                    m_pOutput->ReportError(TooComplexMessage(m_nLineNumber, GetShownName()));
            }
            break;
        case LineMatch::NoMatch:
            break;
        }
    }
    return -1;
}

void FilterEngine::KeepNonMatchingLines(const char* begin, const char* end)
{
    if (m_Run.ExcludeMatches || m_nAfterCount > 0)
        CountDroppedLines(begin); // these lines are kept, with their numbers
    if (m_Run.ExcludeMatches) {
        for (const char* line = begin; line < end;) {
            const char* lineEnd = FindLineEnd(line, end);
            KeepLine(line, lineEnd, ++m_nLineNumber, false);
            line = lineEnd;
        }
        return;
    }
    const char* line = begin;
    for (; m_nAfterCount > 0 && line < end; --m_nAfterCount) {
        const char* lineEnd = FindLineEnd(line, end);
        KeepLine(line, lineEnd, ++m_nLineNumber, true, static_cast<int>(m_nMatchedIndex));
        line = lineEnd;
    }
    // The rest is dropped; the last of them may still become context before a later match. They
    // are counted only when a later line needs its number.
    if (line < end && m_pUncounted == nullptr)
        m_pUncounted = line; // else the stretch already waiting to be counted goes on here
}

void FilterEngine::KeepMatch(const char* lineStart, const char* lineEnd)
{
    const std::int64_t before = std::max<std::int64_t>(0, m_Run.Filters[m_nMatchedIndex].OutputBeforeMatch);
    if (before > 0) {
        // The lines not kept since the last kept line, newest first: this block's, then earlier blocks'.
        std::vector<const char*>& starts = m_LineStarts;
        CollectLineStartsBefore(m_pLastKeptEnd ? m_pLastKeptEnd : m_pBlockBegin, lineStart, before, starts);
        const std::size_t fromEarlierBlocks =
            std::min<std::size_t>(m_BeforeContextLines.size(), static_cast<std::size_t>(before) - starts.size());
        std::int64_t number = m_nLineNumber - static_cast<std::int64_t>(starts.size() + fromEarlierBlocks);
        for (std::size_t i = m_BeforeContextLines.size() - fromEarlierBlocks; i < m_BeforeContextLines.size(); ++i) {
            m_Batch.Append(number++, m_BeforeContextLines[i], true, static_cast<int>(m_nMatchedIndex));
        }
        for (std::size_t i = starts.size(); i-- > 0;) {
            const char* end = i == 0 ? lineStart : starts[i - 1];
            KeepLine(starts[i], end, number++, true, static_cast<int>(m_nMatchedIndex));
        }
    }
    KeepLine(lineStart, lineEnd, m_nLineNumber, false, static_cast<int>(m_nMatchedIndex));
}

void FilterEngine::KeepLine(const char* lineStart, const char* lineEnd, std::int64_t lineNumber, bool isContext,
                            int filter)
{
    m_Batch.Append(lineNumber, std::string_view(lineStart, static_cast<std::size_t>(lineEnd - lineStart)), isContext,
                   filter);
    m_pLastKeptEnd = lineEnd;
    m_BeforeContextLines.clear();
    if (m_Batch.Text.size() >= BatchFlushSize)
        FlushBatch();
}

void FilterEngine::RememberBeforeContext(const char* blockEnd)
{
    if (m_nMaxBefore <= 0 || m_Run.ExcludeMatches)
        return;
    // Carry the newest lines not kept into the next block, where a match may want them.
    std::vector<const char*>& starts = m_LineStarts;
    CollectLineStartsBefore(m_pLastKeptEnd ? m_pLastKeptEnd : m_pBlockBegin, blockEnd, m_nMaxBefore, starts);
    for (std::size_t i = starts.size(); i-- > 0;) {
        const char* end = i == 0 ? blockEnd : starts[i - 1];
        m_BeforeContextLines.emplace_back(starts[i], static_cast<std::size_t>(end - starts[i]));
    }
    while (static_cast<std::int64_t>(m_BeforeContextLines.size()) > m_nMaxBefore)
        m_BeforeContextLines.pop_front();
}

void FilterEngine::FlushBatch()
{
    if (m_Batch.Empty())
        return;
    if (m_Chunk)
        TrimBatchToChunk();
    if (!m_Batch.Empty())
        m_pOutput->WriteLines(std::move(m_Batch));
    m_Batch = OutputBatch();
}

bool FilterEngine::AwaitsTimeLayout(const char* begin, const char* end, bool final)
{
    if (m_pRecordBoundaries->IsLayoutKnown())
        return false;
    if (!m_pRecordBoundaries->DetectLayout(std::string_view(begin, static_cast<std::size_t>(end - begin)), final))
        return true;
    if (m_pRecordBoundaries->GetLayout() == TimeLayout::None && m_pRecordBoundaries->SawLines())
        m_pOutput->NoteNoTimesRecognised();
    return false;
}

// Every line is looked at for a time; only those with a literal hit (or every line, when a
// filter has no literal) are tried against the filters, and none once the record's decision
// cannot change.
bool FilterEngine::ProcessRecordBlock(const char* begin, const char* end, std::stop_token& stop)
{
    AwaitsTimeLayout(begin, end, true);
    m_pBlockBegin = begin;
    m_pBlockEnd = end;
    const char* hit = m_bEveryLineIsCandidate ? begin : m_Scanner.Find(begin, end);
    for (const char* position = begin; position < end;) {
        const char* lineEnd = FindLineEnd(position, end);
        ++m_nLineNumber;
        const std::string_view line(position, static_cast<std::size_t>(lineEnd - position));
        m_pRecords->AddLine(position, lineEnd, m_nLineNumber,
                            m_pRecordBoundaries->StartsRecord(line, m_nLineNumber == 1));
        if (!m_bEveryLineIsCandidate && hit < position)
            hit = m_Scanner.Find(position, end);
        const bool candidate = m_bEveryLineIsCandidate || hit < lineEnd;
        if (candidate && m_pRecords->GetRecordFilter() != 0) {
            if (!m_LineHits.empty()) {
                std::fill(m_LineHits.begin(), m_LineHits.end(), 0);
                if (m_Scanner.GetCount() == 1 && !m_bEveryLineIsCandidate)
                    m_LineHits[0] = 1; // the hit that made the line a candidate is the only literal there is
                else
                    m_Scanner.Collect(m_bEveryLineIsCandidate ? position : hit, lineEnd, m_LineHits.data());
            }
            const int matched = DecideLine(position, lineEnd, stop);
            if (matched >= 0)
                m_pRecords->NoteMatch(matched);
        }
        if (m_Batch.Text.size() >= BatchFlushSize)
            FlushBatch();
        position = lineEnd;
        if (stop.stop_requested()) {
            m_pRecords->EndBlock();
            return false;
        }
    }
    m_pRecords->EndBlock();
    FlushBatch();
    return true;
}
