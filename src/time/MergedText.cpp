// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/MergedText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

#include "filtering/FileDescriptor.h"
#include "filtering/InputDecoder.h"
#include "time/MergedFilesInput.h"
#include "time/MergedLogReader.h"
#include "time/TimedLogInput.h"

namespace {

// Lines merged between two publications: readers see the merge grow in steps this small.
constexpr std::int64_t PublishLines = 1024;

} // namespace

// The lines of one log read forward from an offset of its text.
class MergedText::LineCursor
{
public:
    LineCursor(const TextRangeReader& text, std::uint64_t offset, std::size_t blockBytes)
        : m_Text(text), m_nOffset(offset), m_nBlockBytes(blockBytes)
    {}

    // The next line with its line end (the text's last line may have none), valid until the next
    // call; false at the end of the text, or with errno in error when it cannot be read.
    bool Next(std::string_view& line, int& error)
    {
        for (;;) {
            const char* start = m_Buffer.data() + m_nPos;
            const std::size_t held = m_Buffer.size() - m_nPos;
            if (const void* feed = std::memchr(start, '\n', held)) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - start) + 1;
                return Take(line, length);
            }
            m_Buffer.erase(0, m_nPos);
            m_nPos = 0;
            m_Buffer.resize(held + m_nBlockBytes);
            const std::int64_t got = m_Text.ReadRange(m_nOffset + held, m_Buffer.data() + held, m_nBlockBytes, error);
            m_Buffer.resize(held + static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
            if (got < 0)
                return false;
            if (got == 0)
                return held > 0 && Take(line, held);
        }
    }
    // The offset of the next line.
    std::uint64_t GetOffset() const { return m_nOffset; }

private:
    bool Take(std::string_view& line, std::size_t length)
    {
        line = std::string_view(m_Buffer.data() + m_nPos, length);
        m_nPos += length;
        m_nOffset += length;
        return true;
    }

    const TextRangeReader& m_Text;
    std::uint64_t m_nOffset;
    std::size_t m_nBlockBytes;
    std::string m_Buffer;
    std::size_t m_nPos = 0;
};

MergedText::MergedText(std::vector<std::string> paths) : m_Paths(std::move(paths)) {}

MergedText::~MergedText()
{
    if (m_Merger.joinable()) {
        m_Merger.request_stop();
        m_Merger.join();
    }
}

bool MergedText::Open(std::string& message)
{
    if (m_bOpened || m_Paths.empty()) {
        message = "No files to merge";
        return false;
    }
    if (m_Paths.size() > MaxInputs) {
        message = std::string{"Too many files to merge: at most "}.append(std::to_string(MaxInputs)).append(" can be");
        return false;
    }
    for (const std::string& path : m_Paths) {
        std::unique_ptr<TimedLogInput> input = OpenMergedLog(path, message);
        if (!input)
            return false;
        FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat status
        {
        };
        if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0) {
            message = std::string{"Cannot read "}.append(path).append(": ").append(std::strerror(errno));
            return false;
        }
        m_nFileBytes += static_cast<std::uint64_t>(status.st_size);
        if (IsCompressedFile(path)) {
            std::shared_ptr<IndexedText> text = MakeIndexedText(path, 0);
            int error = 0;
            if (!text->Start(error)) {
                message = std::string{"Cannot read "}.append(path).append(": ").append(std::strerror(error));
                return false;
            }
            m_Readers.push_back(text);
            m_Compressed.push_back(std::move(text));
        } else {
            if (S_ISREG(status.st_mode) && MakeInputDecoder(file.Get()) != nullptr) {
                // Its lines are decoded on the way: their bytes are not where the file has them.
                message = std::string{"Cannot merge "}.append(path).append(": a UTF-16 file cannot be merged");
                return false;
            }
            m_Readers.push_back(std::make_shared<DescriptorRangeReader>(file.Get()));
            m_Compressed.emplace_back();
        }
        m_Inputs.push_back(std::move(input));
    }
    m_bOpened = true;
    return true;
}

bool MergedText::Start(int& error)
{
    if (!m_bOpened || m_Merger.joinable()) {
        error = EINVAL;
        return false;
    }
    m_LastPlace.InputOffset.assign(m_Paths.size(), 0);
    m_Merger = std::jthread([this](const std::stop_token& stop) { Merge(stop); });
    return true;
}

void MergedText::Merge(const std::stop_token& stop)
{
    const std::size_t count = m_Inputs.size();
    MergedLogReader reader(std::move(m_Inputs));
    std::vector<std::uint64_t> offsets(count, 0);
    std::vector<std::int64_t> lines(count, 0);
    std::int64_t merged = 0;
    std::uint64_t size = 0;
    std::uint8_t* sources = nullptr;
    const auto used = [&reader] {
        std::uint64_t bytes = 0;
        for (std::size_t i = 0; i < reader.GetInputCount(); ++i)
            bytes += reader.GetInput(i).GetFileBytesUsed();
        return bytes;
    };
    MergedLogReader::Line line;
    bool stopped = false;
    while (reader.Next(line)) {
        if (merged % Stride == 0) {
            Block block;
            block.Offset = size;
            block.InputOffset = offsets;
            block.InputLine = lines;
            block.Sources = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(Stride));
            sources = block.Sources.get();
            std::lock_guard lock(m_mutex);
            m_Blocks.push_back(std::move(block));
        }
        sources[merged % Stride] = static_cast<std::uint8_t>(line.Input);
        offsets[line.Input] += line.Text.size();
        ++lines[line.Input];
        const bool addsLineFeed = line.Text.empty() || line.Text.back() != '\n';
        size += line.Text.size() + (addsLineFeed ? 1 : 0);
        ++merged;
        if (merged % PublishLines == 0) {
            if (!WaitForTexts(offsets, stop)) {
                stopped = true;
                break;
            }
            Publish(merged, size, used());
        }
    }
    if (stopped || !WaitForTexts(offsets, stop))
        return;
    std::string damage;
    for (std::size_t i = 0; i < reader.GetInputCount(); ++i) {
        const std::string fault = reader.GetInput(i).TakeFaultMessage();
        if (fault.empty())
            continue;
        if (!damage.empty())
            damage += '\n';
        damage += fault;
    }
    {
        std::lock_guard lock(m_mutex);
        m_strDamage = std::move(damage);
    }
    Publish(merged, size, m_nFileBytes);
    m_bComplete.store(true, std::memory_order_release);
}

bool MergedText::WaitForTexts(const std::vector<std::uint64_t>& offsets, const std::stop_token& stop)
{
    // A compressed log is read through its own index, which decompresses on its own thread: the
    // merge's lines of it are published once that index has reached them.
    const auto reached = [this, &offsets] {
        for (std::size_t i = 0; i < m_Compressed.size(); ++i) {
            const IndexedText* text = m_Compressed[i].get();
            if (text && !text->IsComplete() && text->GetIndexedBytes() < offsets[i])
                return false;
        }
        return true;
    };
    std::mutex waiting;
    std::unique_lock lock(waiting);
    while (!reached()) {
        if (stop.stop_requested())
            return false;
        // The index says nothing when it moves on: it is looked at now and then.
        m_Wake.wait_for(lock, stop, std::chrono::milliseconds(5), [] { return false; });
    }
    return !stop.stop_requested();
}

void MergedText::Publish(std::int64_t lines, std::uint64_t size, std::uint64_t used)
{
    std::lock_guard lock(m_mutex);
    m_nLines = lines;
    m_nSize = size;
    m_nUsedBytes = used;
}

std::uint64_t MergedText::GetSize() const
{
    std::lock_guard lock(m_mutex);
    return m_nSize;
}

std::uint64_t MergedText::GetExpectedSize() const
{
    std::uint64_t expected = 0;
    for (std::size_t i = 0; i < m_Readers.size(); ++i) {
        if (m_Compressed[i])
            expected += m_Compressed[i]->GetExpectedSize();
    }
    std::lock_guard lock(m_mutex);
    if (m_bComplete.load(std::memory_order_acquire))
        return m_nSize;
    // The plain logs' bytes are the merge's, but for the line feeds it adds.
    return std::max(m_nSize, expected + m_nFileBytes);
}

std::int64_t MergedText::GetLineCount() const
{
    // Counted as an editor counts them: the line after the last line feed is one too.
    std::lock_guard lock(m_mutex);
    return m_nLines + 1;
}

int MergedText::GetIndexPercent() const
{
    if (IsComplete())
        return 100;
    std::lock_guard lock(m_mutex);
    if (m_nFileBytes == 0)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(99, m_nUsedBytes / std::max<std::uint64_t>(1, m_nFileBytes / 100)));
}

IndexedText::Checkpoint MergedText::Locate(std::int64_t line) const
{
    std::lock_guard lock(m_mutex);
    if (m_Blocks.empty() || line <= 0)
        return {};
    const auto block = static_cast<std::size_t>(
        std::min<std::int64_t>({line / Stride, m_nLines / Stride, static_cast<std::int64_t>(m_Blocks.size()) - 1}));
    return {static_cast<std::int64_t>(block) * Stride, m_Blocks[block].Offset};
}

IndexedText::Checkpoint MergedText::LocateOffset(std::uint64_t offset) const
{
    std::lock_guard lock(m_mutex);
    offset = std::min(offset, m_nSize);
    const auto after = std::upper_bound(m_Blocks.begin(), m_Blocks.end(), offset,
                                        [](std::uint64_t at, const Block& block) { return at < block.Offset; });
    if (after == m_Blocks.begin())
        return {};
    const auto block = static_cast<std::int64_t>(after - m_Blocks.begin()) - 1;
    return {block * Stride, m_Blocks[static_cast<std::size_t>(block)].Offset};
}

std::string MergedText::GetDamage() const
{
    std::lock_guard lock(m_mutex);
    return m_strDamage;
}

std::size_t MergedText::GetIndexMemory() const
{
    std::lock_guard lock(m_mutex);
    const std::size_t perBlock = sizeof(Block) + static_cast<std::size_t>(Stride) +
                                 m_Paths.size() * (sizeof(std::uint64_t) + sizeof(std::int64_t));
    return m_Blocks.size() * perBlock;
}

MergedText::SourceLine MergedText::SourceOfLine(std::int64_t line) const
{
    std::unique_lock lock(m_mutex);
    if (line < 0 || line >= m_nLines)
        return {};
    const Block& block = m_Blocks[static_cast<std::size_t>(line / Stride)];
    const std::uint8_t* sources = block.Sources.get();
    const auto within = static_cast<std::size_t>(line % Stride);
    const std::uint8_t input = sources[within];
    const std::int64_t first = block.InputLine[input];
    lock.unlock();
    // The bytes of published lines do not change: they are counted without the lock.
    const auto before = std::count(sources, sources + within, input);
    return {input, first + before};
}

const std::uint8_t* MergedText::SourcesOfBlock(std::size_t block) const
{
    std::lock_guard lock(m_mutex);
    return m_Blocks[block].Sources.get();
}

MergedText::Place MergedText::PlaceBefore(std::uint64_t offset) const
{
    Place place;
    {
        std::lock_guard lock(m_mutex);
        const auto after = std::upper_bound(m_Blocks.begin(), m_Blocks.end(), offset,
                                            [](std::uint64_t at, const Block& block) { return at < block.Offset; });
        if (after == m_Blocks.begin()) {
            place.InputOffset.assign(m_Paths.size(), 0);
        } else {
            const Block& block = *(after - 1);
            place.Line = static_cast<std::int64_t>(after - m_Blocks.begin() - 1) * Stride;
            place.Offset = block.Offset;
            place.InputOffset = block.InputOffset;
        }
    }
    // A read that goes on from where the last one ended starts there rather than at the block.
    std::lock_guard lock(m_PlaceMutex);
    if (m_LastPlace.Offset <= offset && m_LastPlace.Line > place.Line)
        return m_LastPlace;
    return place;
}

std::int64_t MergedText::ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const
{
    std::int64_t lines = 0;
    {
        std::lock_guard lock(m_mutex);
        if (offset >= m_nSize || size == 0)
            return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_nSize - offset));
        lines = m_nLines;
    }
    const Place place = PlaceBefore(offset);
    const std::size_t blockBytes = std::clamp<std::size_t>((1u << 20) / m_Readers.size(), 4096, 64 * 1024);
    std::vector<std::unique_ptr<LineCursor>> cursors(m_Readers.size());
    std::int64_t line = place.Line;
    std::uint64_t at = place.Offset;
    std::size_t copied = 0;
    const std::uint8_t* sources = nullptr;
    std::int64_t sourcesBlock = -1;
    // The start of the last line read, to read on from there next time.
    Place last;
    std::size_t lastInput = 0;
    std::uint64_t lastInputOffset = 0;
    while (copied < size && line < lines) {
        if (line / Stride != sourcesBlock) {
            sourcesBlock = line / Stride;
            sources = SourcesOfBlock(static_cast<std::size_t>(sourcesBlock));
        }
        const std::uint8_t input = sources[line % Stride];
        std::unique_ptr<LineCursor>& cursor = cursors[input];
        if (!cursor)
            cursor = std::make_unique<LineCursor>(*m_Readers[input], place.InputOffset[input], blockBytes);
        last.Line = line;
        last.Offset = at;
        lastInput = input;
        lastInputOffset = cursor->GetOffset();
        std::string_view text;
        int readError = 0;
        if (!cursor->Next(text, readError)) {
            if (readError != 0) {
                error = readError;
                return -1;
            }
            break; // the log got shorter than it was when merged
        }
        const bool addsLineFeed = text.empty() || text.back() != '\n';
        const std::uint64_t length = text.size() + (addsLineFeed ? 1 : 0);
        if (at + length > offset) {
            std::size_t from = offset > at ? static_cast<std::size_t>(offset - at) : 0;
            if (from < text.size()) {
                const std::size_t part = std::min(text.size() - from, size - copied);
                std::memcpy(buffer + copied, text.data() + from, part);
                copied += part;
                from += part;
            }
            if (addsLineFeed && from == text.size() && copied < size)
                buffer[copied++] = '\n';
        }
        at += length;
        ++line;
    }
    if (last.Line > place.Line) {
        last.InputOffset = place.InputOffset;
        for (std::size_t i = 0; i < cursors.size(); ++i)
            if (cursors[i])
                last.InputOffset[i] = cursors[i]->GetOffset();
        last.InputOffset[lastInput] = lastInputOffset;
        std::lock_guard lock(m_PlaceMutex);
        m_LastPlace = std::move(last);
    }
    return static_cast<std::int64_t>(copied);
}
