// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/SavedLineIndex.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "filtering/FileDescriptor.h"

namespace {

constexpr char Magic[8] = {'O', 'S', 'T', 'R', 'L', 'I', 'D', 'X'};
constexpr std::uint32_t Version = 1;
constexpr const char* EntrySuffix = ".idx";

// The fixed part of an entry; the log's path and the checkpoints follow it.
struct Header
{
    char Magic[8];
    std::uint32_t Version;
    std::uint32_t Stride;
    std::uint64_t Device;
    std::uint64_t Inode;
    std::uint64_t Size;
    std::int64_t ModifiedSeconds;
    std::int64_t ModifiedNanoseconds;
    std::int64_t LineFeeds;
    std::uint64_t HeadHash;
    std::uint64_t TailHash;
    std::uint64_t CheckpointCount;
    std::uint32_t PathLength;
    std::uint32_t Reserved;
    std::uint64_t Checksum; // of the whole entry with this field 0
};
static_assert(sizeof(Header) == 104, "the header has no padding");

// A 64-bit hash, eight bytes at a time: enough to tell damage and changed samples apart.
class Hash
{
public:
    void Add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        std::size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes + i, 8);
            Mix(word);
        }
        std::uint64_t tail = 0;
        if (i < size)
            std::memcpy(&tail, bytes + i, size - i);
        Mix(tail ^ (static_cast<std::uint64_t>(size - i) << 56));
        m_nLength += size;
    }
    std::uint64_t Value() const
    {
        std::uint64_t value = m_nState ^ m_nLength;
        value ^= value >> 33;
        value *= 0xFF51AFD7ED558CCDull;
        value ^= value >> 33;
        return value;
    }

private:
    void Mix(std::uint64_t word)
    {
        m_nState = (m_nState ^ word) * 0x9E3779B97F4A7C15ull;
        m_nState ^= m_nState >> 29;
    }

    std::uint64_t m_nState = 0xCBF29CE484222325ull;
    std::uint64_t m_nLength = 0;
};

// The hash of size bytes of the file from offset; false when they cannot all be read.
bool HashFileBytes(int fd, std::uint64_t offset, std::size_t size, std::uint64_t& value)
{
    char buffer[SavedLineIndex::SampleBytes];
    std::size_t got = 0;
    while (got < size) {
        const ssize_t read = ::pread(fd, buffer + got, size - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return false;
        got += static_cast<std::size_t>(read);
    }
    Hash hash;
    hash.Add(buffer, size);
    value = hash.Value();
    return true;
}

// The samples of the first size bytes of the file: its first and its last bytes.
bool HashSamples(int fd, std::uint64_t size, std::uint64_t& head, std::uint64_t& tail)
{
    const auto sample = static_cast<std::size_t>(std::min<std::uint64_t>(size, SavedLineIndex::SampleBytes));
    return HashFileBytes(fd, 0, sample, head) && HashFileBytes(fd, size - sample, sample, tail);
}

std::uint64_t EntryChecksum(Header header, const std::string& path, const std::vector<std::uint64_t>& checkpoints)
{
    header.Checksum = 0;
    Hash hash;
    hash.Add(&header, sizeof header);
    hash.Add(path.data(), path.size());
    hash.Add(checkpoints.data(), checkpoints.size() * sizeof(std::uint64_t));
    return hash.Value();
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool ReadAll(int fd, void* data, std::size_t size)
{
    auto* bytes = static_cast<char*>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t read = ::read(fd, bytes + got, size - got);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return false;
        got += static_cast<std::size_t>(read);
    }
    return true;
}

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    std::size_t written = 0;
    while (written < size) {
        const ssize_t wrote = ::write(fd, bytes + written, size - written);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        written += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Checkpoints that can stand for an index of size bytes with that many line feeds.
bool AreConsistent(const std::vector<std::uint64_t>& checkpoints, std::int64_t lineFeeds, std::int64_t stride,
                   std::uint64_t size)
{
    if (checkpoints.empty() || checkpoints.front() != 0 || lineFeeds < 0 ||
        static_cast<std::int64_t>(checkpoints.size()) != lineFeeds / stride + 1 || checkpoints.back() > size)
        return false;
    return std::adjacent_find(checkpoints.begin(), checkpoints.end(), std::greater_equal<>()) == checkpoints.end();
}

} // namespace

SavedLineIndex::SavedLineIndex(std::string folder, std::uint64_t limitBytes)
    : m_strFolder(std::move(folder)), m_nLimitBytes(limitBytes)
{}

std::string SavedLineIndex::DefaultFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/ostrel";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/ostrel";
    return {};
}

std::string SavedLineIndex::GetEntryPath(const std::string& path) const
{
    const std::string absolute = AbsolutePath(path);
    Hash hash;
    hash.Add(absolute.data(), absolute.size());
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash.Value()));
    return m_strFolder + "/" + name + EntrySuffix;
}

bool SavedLineIndex::Load(const std::string& path, int fd, std::int64_t stride, Contents& contents) const
{
    if (m_strFolder.empty() || stride <= 0)
        return false;
    const std::string entryPath = GetEntryPath(path);
    FileDescriptor entry(::open(entryPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat entryStatus
    {
    };
    if (entry.Get() < 0 || ::fstat(entry.Get(), &entryStatus) != 0 || !S_ISREG(entryStatus.st_mode))
        return false;
    Header header{};
    const auto entrySize = static_cast<std::uint64_t>(entryStatus.st_size);
    if (entrySize < sizeof header || !ReadAll(entry.Get(), &header, sizeof header))
        return false;
    const std::string absolute = AbsolutePath(path);
    if (std::memcmp(header.Magic, Magic, sizeof Magic) != 0 || header.Version != Version ||
        header.Stride != static_cast<std::uint64_t>(stride) || header.PathLength != absolute.size() ||
        header.CheckpointCount == 0 || header.CheckpointCount > (entrySize - sizeof header) / sizeof(std::uint64_t) ||
        entrySize != sizeof header + header.PathLength + header.CheckpointCount * sizeof(std::uint64_t))
        return false;

    // The log first: an entry of another file, or of this one as it was, is not read further.
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_dev) != header.Device ||
        static_cast<std::uint64_t>(status.st_ino) != header.Inode)
        return false;
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
    if (size < header.Size)
        return false;
    if (size == header.Size &&
        (status.st_mtim.tv_sec != header.ModifiedSeconds || status.st_mtim.tv_nsec != header.ModifiedNanoseconds))
        return false;

    std::string savedPath(header.PathLength, '\0');
    std::vector<std::uint64_t> checkpoints(static_cast<std::size_t>(header.CheckpointCount));
    if (!ReadAll(entry.Get(), savedPath.data(), savedPath.size()) || savedPath != absolute ||
        !ReadAll(entry.Get(), checkpoints.data(), checkpoints.size() * sizeof(std::uint64_t)) ||
        EntryChecksum(header, savedPath, checkpoints) != header.Checksum ||
        !AreConsistent(checkpoints, header.LineFeeds, stride, header.Size))
        return false;
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    if (!HashSamples(fd, header.Size, head, tail) || head != header.HeadHash || tail != header.TailHash)
        return false;

    contents.Size = header.Size;
    contents.LineFeeds = header.LineFeeds;
    contents.Checkpoints = std::move(checkpoints);
    // Used now: the last to go when the folder is trimmed.
    ::futimens(entry.Get(), nullptr);
    return true;
}

bool SavedLineIndex::Save(const std::string& path, int fd, std::int64_t stride, const Contents& contents) const
{
    if (m_strFolder.empty() || stride <= 0 ||
        !AreConsistent(contents.Checkpoints, contents.LineFeeds, stride, contents.Size))
        return false;
    const std::string absolute = AbsolutePath(path);
    const std::uint64_t entrySize =
        sizeof(Header) + absolute.size() + contents.Checkpoints.size() * sizeof(std::uint64_t);
    if (entrySize > m_nLimitBytes)
        return false;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)) < contents.Size)
        return false;
    Header header{};
    std::memcpy(header.Magic, Magic, sizeof Magic);
    header.Version = Version;
    header.Stride = static_cast<std::uint32_t>(stride);
    header.Device = static_cast<std::uint64_t>(status.st_dev);
    header.Inode = static_cast<std::uint64_t>(status.st_ino);
    header.Size = contents.Size;
    header.ModifiedSeconds = status.st_mtim.tv_sec;
    header.ModifiedNanoseconds = status.st_mtim.tv_nsec;
    header.LineFeeds = contents.LineFeeds;
    header.CheckpointCount = contents.Checkpoints.size();
    header.PathLength = static_cast<std::uint32_t>(absolute.size());
    if (!HashSamples(fd, contents.Size, header.HeadHash, header.TailHash))
        return false;
    header.Checksum = EntryChecksum(header, absolute, contents.Checkpoints);

    std::error_code error;
    std::filesystem::create_directories(m_strFolder, error);
    if (error)
        return false;
    const std::string entryPath = GetEntryPath(path);
    // A name of this process's own, so two programs saving the same log never share a file.
    static std::atomic<unsigned> serial{0};
    const std::string temporary =
        entryPath + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial.fetch_add(1));
    bool written = false;
    {
        FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        written =
            file.Get() >= 0 && WriteAll(file.Get(), &header, sizeof header) &&
            WriteAll(file.Get(), absolute.data(), absolute.size()) &&
            WriteAll(file.Get(), contents.Checkpoints.data(), contents.Checkpoints.size() * sizeof(std::uint64_t));
        written = written && ::close(file.Release()) == 0;
    }
    if (!written || ::rename(temporary.c_str(), entryPath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    RemoveOldestPastLimit(entryPath);
    return true;
}

void SavedLineIndex::RemoveOldestPastLimit(const std::string& kept) const
{
    struct Entry
    {
        std::string Path;
        std::uint64_t Size = 0;
        std::int64_t Used = 0; // modification time, nanoseconds
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_strFolder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().string();
        struct stat status
        {
        };
        if (::lstat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        const auto size = static_cast<std::uint64_t>(status.st_size);
        total += size;
        if (name != kept)
            entries.push_back({name, size, status.st_mtim.tv_sec * 1000000000ll + status.st_mtim.tv_nsec});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.Used < b.Used; });
    for (const Entry& entry : entries) {
        if (total <= m_nLimitBytes)
            break;
        if (::unlink(entry.Path.c_str()) == 0)
            total -= entry.Size;
    }
}
