// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FileTextSearch.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

#include "filtering/TextRangeReader.h"

namespace {

enum class ByteClass
{
    Space,
    LineEnd,
    Word,
    Punctuation,
};

ByteClass ClassOf(unsigned char byte)
{
    if (byte == '\r' || byte == '\n')
        return ByteClass::LineEnd;
    if (byte <= ' ')
        return ByteClass::Space;
    if (byte >= 0x80 || byte == '_' || (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
        (byte >= 'A' && byte <= 'Z'))
        return ByteClass::Word;
    return ByteClass::Punctuation;
}

bool StartsWord(ByteClass at, ByteClass before)
{
    return (at == ByteClass::Word || at == ByteClass::Punctuation) && at != before;
}

// The caller's descriptor, read as it is (not duplicated).
class BorrowedDescriptor : public TextRangeReader
{
public:
    explicit BorrowedDescriptor(int fd) : m_nFd(fd) {}
    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override
    {
        return DescriptorRangeReader::ReadFromDescriptor(m_nFd, offset, buffer, size, error);
    }

private:
    int m_nFd;
};

} // namespace

FileTextSearch::FileTextSearch(std::string pattern, bool matchCase, bool wholeWord)
    : m_strPattern(std::move(pattern)), m_Searcher(m_strPattern, matchCase), m_bWholeWord(wholeWord)
{}

bool FileTextSearch::IsWholeWord(const char* block, std::size_t blockSize, std::size_t start, bool hasBefore) const
{
    const std::size_t end = start + m_strPattern.size();
    const auto at = [block](std::size_t i) { return ClassOf(static_cast<unsigned char>(block[i])); };
    const ByteClass first = at(start);
    const bool wordStart = (start == 0 && !hasBefore) ? (first == ByteClass::Word || first == ByteClass::Punctuation)
                                                      : StartsWord(first, at(start - 1));
    const ByteClass last = at(end - 1);
    const bool wordEnd = end >= blockSize
                             ? (last == ByteClass::Word || last == ByteClass::Punctuation)
                             : (last == ByteClass::Word || last == ByteClass::Punctuation) && at(end) != last;
    return wordStart && wordEnd;
}

FileTextSearch::Result FileTextSearch::FindForward(int fd, std::uint64_t from, const std::stop_token& stop,
                                                   std::atomic<std::uint64_t>* searched) const
{
    return FindForward(BorrowedDescriptor(fd), from, stop, searched);
}

FileTextSearch::Result FileTextSearch::FindBackward(int fd, std::uint64_t before, const std::stop_token& stop,
                                                    std::atomic<std::uint64_t>* searched) const
{
    return FindBackward(BorrowedDescriptor(fd), before, stop, searched);
}

FileTextSearch::Result FileTextSearch::FindForward(const TextRangeReader& text, std::uint64_t from,
                                                   const std::stop_token& stop,
                                                   std::atomic<std::uint64_t>* searched) const
{
    Result result;
    const std::size_t length = m_strPattern.size();
    if (length == 0)
        return result;
    // One byte before the block for the word test, the pattern's length less one after it so that
    // an occurrence across the border is seen, and one more byte for the word test.
    const std::size_t room = m_nBlockSize + length + 1;
    auto buffer = std::make_unique<char[]>(room);
    for (std::uint64_t position = from;;) {
        if (stop.stop_requested()) {
            result.Stopped = true;
            return result;
        }
        const bool hasBefore = position > 0;
        const std::uint64_t readFrom = hasBefore ? position - 1 : 0;
        int error = 0;
        const std::int64_t got = text.ReadRange(readFrom, buffer.get(), room, error);
        if (got < 0) {
            result.Error = error;
            return result;
        }
        const auto size = static_cast<std::size_t>(got);
        const std::size_t skip = hasBefore ? 1 : 0;
        if (size < skip + length)
            return result;
        // Occurrences that start in this block's part [skip, skip + BlockSize).
        const std::size_t startsEnd = std::min(size - length + 1, skip + m_nBlockSize);
        for (std::size_t at = skip; at < startsEnd;) {
            const std::size_t hit =
                m_Searcher.Find(std::string_view(buffer.get() + at, std::min(size, startsEnd + length - 1) - at));
            if (hit == LiteralSearcher::npos)
                break;
            const std::size_t start = at + hit;
            if (start >= startsEnd)
                break;
            if (!m_bWholeWord || IsWholeWord(buffer.get(), size, start, hasBefore)) {
                result.Offset = readFrom + start;
                return result;
            }
            at = start + 1;
        }
        if (searched)
            searched->fetch_add(startsEnd - skip, std::memory_order_relaxed);
        if (size < room)
            return result; // the file's end
        position += m_nBlockSize;
    }
}

FileTextSearch::Result FileTextSearch::FindBackward(const TextRangeReader& text, std::uint64_t before,
                                                    const std::stop_token& stop,
                                                    std::atomic<std::uint64_t>* searched) const
{
    Result result;
    const std::size_t length = m_strPattern.size();
    if (length == 0)
        return result;
    const std::size_t room = m_nBlockSize + length + 1;
    auto buffer = std::make_unique<char[]>(room);
    // Occurrences that start in [blockStart, limit), last first.
    for (std::uint64_t limit = before; limit > 0;) {
        if (stop.stop_requested()) {
            result.Stopped = true;
            return result;
        }
        const std::uint64_t blockStart = limit > m_nBlockSize ? limit - m_nBlockSize : 0;
        const bool hasBefore = blockStart > 0;
        const std::uint64_t readFrom = hasBefore ? blockStart - 1 : 0;
        int error = 0;
        const std::int64_t got = text.ReadRange(readFrom, buffer.get(), room, error);
        if (got < 0) {
            result.Error = error;
            return result;
        }
        const auto size = static_cast<std::size_t>(got);
        const std::size_t skip = hasBefore ? 1 : 0;
        const std::size_t startsEnd = static_cast<std::size_t>(std::min<std::uint64_t>(limit - readFrom, size));
        std::uint64_t last = NotFound;
        for (std::size_t at = skip; at < startsEnd && at + length <= size;) {
            const std::size_t hit = m_Searcher.Find(std::string_view(buffer.get() + at, size - at));
            if (hit == LiteralSearcher::npos || at + hit >= startsEnd)
                break;
            const std::size_t start = at + hit;
            if (!m_bWholeWord || IsWholeWord(buffer.get(), size, start, hasBefore))
                last = readFrom + start;
            at = start + 1;
        }
        if (searched)
            searched->fetch_add(limit - blockStart, std::memory_order_relaxed);
        if (last != NotFound) {
            result.Offset = last;
            return result;
        }
        limit = blockStart;
    }
    return result;
}
