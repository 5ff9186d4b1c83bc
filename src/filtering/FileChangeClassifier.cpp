// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FileChangeClassifier.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

void FileReadState::Advance(std::string_view bytes)
{
    Offset += bytes.size();
    if (bytes.size() >= TailBytes) {
        Tail.assign(bytes.substr(bytes.size() - TailBytes));
        return;
    }
    Tail.append(bytes);
    if (Tail.size() > TailBytes)
        Tail.erase(0, Tail.size() - TailBytes);
}

namespace {

// Reads up to size bytes at from; what could be read.
std::string ReadAt(int fd, std::uint64_t from, std::size_t size)
{
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(from + got));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        got += static_cast<std::size_t>(count);
    }
    bytes.resize(got);
    return bytes;
}

} // namespace

FileObservation ObserveFile(int fd, const std::string& path, const FileReadState& known)
{
    FileObservation now;
    struct stat status
    {
    };
    if (fd >= 0 && ::fstat(fd, &status) == 0) {
        now.OpenKnown = true;
        now.OpenIsRegular = S_ISREG(status.st_mode);
        now.OpenSize = static_cast<std::uint64_t>(status.st_size < 0 ? 0 : status.st_size);
        now.OpenDevice = static_cast<std::uint64_t>(status.st_dev);
        now.OpenInode = static_cast<std::uint64_t>(status.st_ino);
        if (now.OpenIsRegular && !known.Tail.empty() && now.OpenSize >= known.Offset)
            now.BytesAtTail = ReadAt(fd, known.Offset - known.Tail.size(), known.Tail.size());
    }
    if (::stat(path.c_str(), &status) == 0) {
        now.NamePresent = true;
        now.NameIsRegular = S_ISREG(status.st_mode);
        now.NameDevice = static_cast<std::uint64_t>(status.st_dev);
        now.NameInode = static_cast<std::uint64_t>(status.st_ino);
    }
    return now;
}

FileChange ClassifyFileChange(const FileReadState& known, const FileObservation& now)
{
    const bool nameIsOpenFile = now.NamePresent && now.NameDevice == known.Device && now.NameInode == known.Inode;
    if (now.OpenKnown && now.OpenIsRegular) {
        // A short read of the tail means the file shrank between the two looks: rewritten too.
        const bool rewritten = now.OpenSize < known.Offset || now.BytesAtTail != known.Tail;
        if (rewritten && (nameIsOpenFile || !now.NamePresent))
            return FileChange::Rewritten;
        if (!rewritten && now.OpenSize > known.Offset)
            return FileChange::Grew;
    }
    if (!now.NamePresent)
        return FileChange::Gone;
    if (!now.NameIsRegular)
        return FileChange::NotAFile;
    if (!nameIsOpenFile)
        return FileChange::Replaced;
    return FileChange::Unchanged;
}

bool IdentifyOpenFile(int fd, FileReadState& state)
{
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0)
        return false;
    state.Device = static_cast<std::uint64_t>(status.st_dev);
    state.Inode = static_cast<std::uint64_t>(status.st_ino);
    return true;
}

void LoadReadState(int fd, std::uint64_t offset, FileReadState& state)
{
    const std::uint64_t from = offset > FileReadState::TailBytes ? offset - FileReadState::TailBytes : 0;
    state.Offset = offset;
    state.Tail = ReadAt(fd, from, static_cast<std::size_t>(offset - from));
    // A file already shorter than the offset keeps what it has before it: the next look finds it
    // shorter and calls it rewritten.
}
