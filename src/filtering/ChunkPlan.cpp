// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/ChunkPlan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t kScanSize = 64 * 1024;

std::size_t ReadAt(int fd, char* buffer, std::size_t size, std::uint64_t offset)
{
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return 0;
    }
}

// The offset just past the count-th line feed at or after from, or end when there are fewer.
std::uint64_t PastLineFeeds(int fd, std::uint64_t from, std::uint64_t end, std::int64_t count)
{
    if (count <= 0)
        return from;
    char buffer[kScanSize];
    for (std::uint64_t offset = from; count > 0 && offset < end;) {
        const std::size_t got =
            ReadAt(fd, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, end - offset)), offset);
        if (got == 0)
            break;
        for (const char* position = buffer; position < buffer + got;) {
            const void* lineFeed = std::memchr(position, '\n', static_cast<std::size_t>(buffer + got - position));
            if (lineFeed == nullptr)
                break;
            position = static_cast<const char*>(lineFeed) + 1;
            if (--count == 0)
                return offset + static_cast<std::uint64_t>(position - buffer);
        }
        offset += got;
    }
    return end;
}

// Where the lines before start begin, going back up to count lines from start (a line start),
// and how many lines that is.
std::pair<std::uint64_t, std::int64_t> BackLines(int fd, std::uint64_t start, std::int64_t count)
{
    if (count <= 0)
        return {start, 0};
    char buffer[kScanSize];
    std::int64_t found = 0; // line feeds before start seen so far; the first ends the line before start
    for (std::uint64_t end = start; count > 0 && end > 0;) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, end));
        const std::uint64_t offset = end - size;
        if (ReadAt(fd, buffer, size, offset) != size)
            break;
        for (std::size_t length = size; length > 0;) {
            const void* lineFeed = ::memrchr(buffer, '\n', length);
            if (lineFeed == nullptr)
                break;
            length = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - buffer);
            if (++found == count + 1)
                return {offset + length + 1, count};
        }
        end = offset;
    }
    return {0, found}; // the file's start: every line before start ends with one of the line feeds
}

} // namespace

std::vector<std::uint64_t> EvenSplits(std::uint64_t size, unsigned count)
{
    std::vector<std::uint64_t> splits;
    for (unsigned i = 1; i < count; ++i)
        splits.push_back(size / count * i + size % count * i / count);
    return splits;
}

std::vector<FileChunk> PlanFileChunks(int fd, std::uint64_t size, const std::vector<std::uint64_t>& splits,
                                      std::int64_t maxBefore, std::int64_t maxAfter)
{
    std::vector<std::uint64_t> starts{0};
    for (const std::uint64_t split : splits) {
        if (split == 0 || split >= size)
            continue;
        // The line that holds the byte before split ends at or after split.
        const std::uint64_t start = PastLineFeeds(fd, split - 1, size, 1);
        if (start > starts.back() && start < size)
            starts.push_back(start);
    }
    std::vector<FileChunk> chunks;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        FileChunk chunk;
        chunk.Fd = fd;
        chunk.KeepBegin = starts[i];
        const bool last = i + 1 == starts.size();
        chunk.KeepEnd = last ? UINT64_MAX : starts[i + 1];
        chunk.ReadEnd = last ? UINT64_MAX : PastLineFeeds(fd, chunk.KeepEnd, size, maxBefore);
        const auto [readBegin, before] = BackLines(fd, chunk.KeepBegin, maxAfter);
        chunk.ReadBegin = readBegin;
        chunk.LinesBeforeKeep = before;
        chunk.ReportsParseErrors = i == 0;
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}
