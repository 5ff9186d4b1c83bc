// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/ParallelFilterEngine.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "filtering/ChunkPlan.h"
#include "filtering/ChunkQueue.h"
#include "filtering/FileDescriptor.h"
#include "filtering/InputDecoder.h"

namespace {

// Standard input under any of its names: it may be a file, but it is read as a stream.
bool IsStandardInput(const std::string& path)
{
    return path == "/dev/stdin" || path == "/dev/fd/0" || path == "/proc/self/fd/0";
}

// Pieces of about this size keep every thread busy while a piece waits for its turn, as long as
// what a piece keeps fits in its buffer.
constexpr std::uint64_t PieceSize = 16 * 1024 * 1024;
constexpr unsigned PiecesPerThread = 16;

} // namespace

unsigned ParallelFilterEngine::PieceCount(std::uint64_t size, unsigned threads)
{
    const std::uint64_t bySize = std::min<std::uint64_t>(std::uint64_t{threads} * PiecesPerThread, size / PieceSize);
    return static_cast<unsigned>(
        std::min<std::uint64_t>(size / MinChunkSize, std::max<std::uint64_t>(threads, bySize)));
}

ParallelFilterEngine::ParallelFilterEngine(FilterRun run, unsigned threads, std::size_t blockSize)
    : m_Run(std::move(run)), m_nBlockSize(blockSize)
{
    SetThreadCount(threads);
}

void ParallelFilterEngine::SetThreadCount(unsigned threads)
{
    m_nThreads = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
}

int ParallelFilterEngine::GetProgressPercent() const
{
    if (const std::uint64_t total = m_nPieceBytesTotal.load(std::memory_order_acquire); total != 0)
        return static_cast<int>(
            std::min<std::uint64_t>(100, m_nPieceBytesRead.load(std::memory_order_relaxed) * 100 / total));
    std::lock_guard lock(m_ProgressMutex);
    if (m_pSetInput)
        return m_pSetInput->GetProgressPercent();
    return m_pOnePass ? m_pOnePass->GetProgressPercent() : m_nOnePassPercent;
}

ParallelFilterEngine::~ParallelFilterEngine() = default;

std::unique_ptr<FilterEngine> ParallelFilterEngine::MakeEngine() const
{
    auto engine = std::make_unique<FilterEngine>(m_Run, m_nBlockSize);
    engine->SetShownName(m_strShownName);
    if (m_nStackLimit != 0)
        engine->SetExpressionStackLimit(m_nStackLimit);
    return engine;
}

EngineResult ParallelFilterEngine::Run(std::stop_token stop, FilterOutput& output)
{
    m_nChunkCount = 1;
    if (!m_Run.SetMembers.empty())
        return RunSet(std::move(stop), output);
    if (m_Run.MakeInput)
        return RunMadeInput(std::move(stop), output);
    // Records are decided in one pass: a piece would have to start where a record does, and
    // reach as many records past its edges as the context does.
    if (m_Run.Follow || m_Run.Records || IsStandardInput(m_Run.Path) || (m_nThreads < 2 && !m_bSplitsGiven))
        return RunOnePass(stop, output);
    FileDescriptor file(::open(m_Run.Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status
    {
    };
    // What cannot be opened, sized or cut is left to one pass, which tells why as it always does.
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return RunOnePass(stop, output);
    try {
        if (MakeInputDecoder(file.Get(), m_Run.InputEncoding) != nullptr)
            return RunOnePass(stop, output);
    } catch (const std::bad_alloc&) {
        return RunOnePass(stop, output);
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    return RunChunks(file.Get(), size, stop, output);
}

EngineResult ParallelFilterEngine::RunOnePass(std::stop_token stop, FilterOutput& output)
{
    std::unique_ptr<FilterEngine> engine = MakeEngine();
    {
        std::lock_guard lock(m_ProgressMutex);
        m_pOnePass = engine.get();
    }
    const EngineResult result = engine->Run(std::move(stop), output);
    m_nTooComplexLines = engine->GetTooComplexLineCount();
    m_nReadLines = engine->GetChunkLineCount();
    std::lock_guard lock(m_ProgressMutex);
    m_nOnePassPercent = engine->GetProgressPercent();
    m_pOnePass = nullptr;
    return result;
}

EngineResult ParallelFilterEngine::RunSet(std::stop_token stop, FilterOutput& output)
{
    // One text made of several files, some of them packed: nothing to cut, nothing to follow.
    m_Run.Follow = false;
    m_Run.Records = false;
    RotatedSetInput input(m_Run.SetMembers);
    std::unique_ptr<FilterEngine> engine = MakeEngine();
    if (m_strShownName.empty())
        engine->SetShownName("the rotated set " + m_Run.Path);
    engine->SetInput(input);
    {
        std::lock_guard lock(m_ProgressMutex);
        m_pSetInput = &input;
    }
    const EngineResult result = engine->Run(std::move(stop), output);
    m_nTooComplexLines = engine->GetTooComplexLineCount();
    m_nReadLines = engine->GetChunkLineCount();
    std::lock_guard lock(m_ProgressMutex);
    m_nOnePassPercent = result == EngineResult::Finished ? 100 : input.GetProgressPercent();
    m_pSetInput = nullptr;
    return result;
}

EngineResult ParallelFilterEngine::RunMadeInput(std::stop_token stop, FilterOutput& output)
{
    m_Run.Follow = false;
    m_Run.Records = false;
    std::string error;
    const std::unique_ptr<InputDecoder> input = m_Run.MakeInput(error);
    if (!input) {
        output.ReportError(error);
        return EngineResult::Failed;
    }
    std::unique_ptr<FilterEngine> engine = MakeEngine();
    engine->SetInput(*input);
    const EngineResult result = engine->Run(std::move(stop), output);
    m_nTooComplexLines = engine->GetTooComplexLineCount();
    std::lock_guard lock(m_ProgressMutex);
    m_nOnePassPercent = result == EngineResult::Finished ? 100 : 0;
    return result;
}

EngineResult ParallelFilterEngine::RunChunks(int fd, std::uint64_t size, std::stop_token stop, FilterOutput& output)
{
    std::int64_t maxBefore = 0;
    std::int64_t maxAfter = 0;
    for (const RunFilter& filter : m_Run.Filters) {
        maxBefore = std::max<std::int64_t>(maxBefore, filter.OutputBeforeMatch);
        maxAfter = std::max<std::int64_t>(maxAfter, filter.OutputAfterMatch);
    }
    const unsigned count = PieceCount(size, m_nThreads);
    std::vector<FileChunk> chunks =
        PlanFileChunks(fd, size, m_bSplitsGiven ? m_SplitOffsets : EvenSplits(size, count), maxBefore, maxAfter);
    if (chunks.size() < 2)
        return RunOnePass(stop, output);
    m_nChunkCount = chunks.size();
    m_nPieceBytesRead.store(0, std::memory_order_relaxed);
    m_nPieceBytesTotal.store(std::max<std::uint64_t>(size, 1), std::memory_order_release);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // The pieces stop when the caller stops, and when the writer ends early.
    std::stop_source ending;
    std::stop_callback forward(stop, [&] { ending.request_stop(); });
    std::vector<std::unique_ptr<ChunkQueue>> queues;
    for (std::size_t i = 0; i < chunks.size(); ++i)
        queues.push_back(std::make_unique<ChunkQueue>(m_nBufferLimit, ending.get_token()));
    // A few threads decide the pieces in file order: each takes the next piece when it is done
    // with one, never more than a few pieces ahead of the writer, so the pieces that wait for
    // their turn hold a bounded share of kept lines while every thread keeps working.
    std::mutex turnMutex;
    std::condition_variable_any turnChanged;
    std::size_t nextPiece = 0; // guarded by turnMutex
    std::size_t written = 0;   // guarded by turnMutex: the pieces the writer is done with
    const std::size_t threads = std::min<std::size_t>(m_nThreads, chunks.size());
    const std::size_t ahead = 2 * threads;
    const auto decidePiece = [this, &chunks, &queues](std::size_t index, const std::stop_token& token) {
        ChunkQueue& queue = *queues[index];
        ChunkQueue::Ending end;
        try {
            std::unique_ptr<FilterEngine> engine = MakeEngine();
            engine->SetChunk(std::move(chunks[index]));
            end.Result = engine->Run(token, queue);
            end.LineCount = engine->GetChunkLineCount();
            end.ReachedEnd = engine->ReachedChunkEnd();
            end.TooComplexLines = engine->GetTooComplexLineCount();
        } catch (const std::bad_alloc&) {
            end.Result = EngineResult::OutOfMemory;
            try {
                queue.ReportError(OutOfMemoryMessage(m_strShownName.empty() ? m_Run.Path : m_strShownName));
            } catch (const std::bad_alloc&) {
            }
        }
        queue.Finish(end);
    };
    const auto decidePieces = [&, token = ending.get_token()] {
        for (;;) {
            std::unique_lock lock(turnMutex);
            turnChanged.wait(lock, token, [&] { return nextPiece >= chunks.size() || nextPiece < written + ahead; });
            if (token.stop_requested()) {
                // The pieces no thread took end at once, so that the writer never waits for one.
                ChunkQueue::Ending stopped;
                stopped.Result = EngineResult::Stopped;
                for (; nextPiece < chunks.size(); ++nextPiece)
                    queues[nextPiece]->Finish(stopped);
                return;
            }
            if (nextPiece >= chunks.size())
                return;
            const std::size_t piece = nextPiece++;
            lock.unlock();
            decidePiece(piece, token);
        }
    };
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        ChunkQueue& queue = *queues[i];
        chunks[i].OnTooComplex = [&queue](std::size_t filter, std::int64_t line) {
            queue.ReportTooComplex(filter, line);
        };
        chunks[i].OwnBytesRead = &m_nPieceBytesRead;
    }
    std::vector<std::jthread> workers; // joined before the queues go
    workers.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        try {
            workers.emplace_back(decidePieces);
        } catch (const std::system_error&) {
            // Not every thread could be started: the pieces begun stop unseen, and one pass decides all.
            ending.request_stop();
            workers.clear();
            m_nPieceBytesTotal.store(0, std::memory_order_release);
            m_nChunkCount = 1;
            return RunOnePass(stop, output);
        }
    }

    const std::string& shownName = m_strShownName.empty() ? m_Run.Path : m_strShownName;
    std::vector<bool> tooComplexReported(m_Run.Filters.size(), false);
    std::int64_t lineOffset = 0;
    EngineResult result = EngineResult::Finished;
    m_nTooComplexLines = 0;
    std::deque<ChunkQueue::Item> items;
    for (std::size_t i = 0; i < queues.size(); ++i) {
        ChunkQueue::Ending end;
        while (queues[i]->Take(items, end)) {
            for (ChunkQueue::Item& item : items) {
                switch (item.What) {
                case ChunkQueue::Item::Kind::Lines:
                    for (OutputLine& line : item.Batch.Lines)
                        line.LineNumber += lineOffset;
                    output.WriteLines(std::move(item.Batch));
                    break;
                case ChunkQueue::Item::Kind::Error:
                    output.ReportError(item.Message);
                    break;
                case ChunkQueue::Item::Kind::TooComplex:
                    if (!tooComplexReported[item.Filter]) {
                        tooComplexReported[item.Filter] = true;
                        output.ReportError(TooComplexMessage(lineOffset + item.LineNumber, shownName));
                    }
                    break;
                }
            }
            items.clear();
        }
        {
            std::lock_guard lock(turnMutex);
            written = i + 1;
        }
        turnChanged.notify_all();
        m_nTooComplexLines += end.TooComplexLines;
        lineOffset += end.LineCount;
        result = end.Result;
        // A piece that ended short (a stop, no memory, a file cut short under the run) ends the
        // run there, as one pass would have ended.
        if (result != EngineResult::Finished || (!end.ReachedEnd && i + 1 < queues.size()))
            break;
    }
    m_nReadLines = lineOffset;
    ending.request_stop();
    workers.clear();
    for (const std::unique_ptr<ChunkQueue>& queue : queues)
        m_nPeakBufferedBytes = std::max(m_nPeakBufferedBytes, queue->GetPeakBytes());
    return result;
}
