// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What a reader of a followed file knows of it: which file it holds open, how far it has read,
// and the last bytes it read before that offset. Those bytes tell a file that was emptied and
// written again to the same size or beyond apart from one that only grew.
struct FileReadState
{
    static constexpr std::size_t TailBytes = 64;

    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Offset = 0;
    std::string Tail; // up to TailBytes bytes ending at Offset

    // Reading starts again at the file's first byte.
    void StartAgain()
    {
        Offset = 0;
        Tail.clear();
    }
    // The next bytes were read.
    void Advance(std::string_view bytes);
};

// What is there now: the open file and whatever has the name.
struct FileObservation
{
    bool OpenKnown = false; // the open descriptor could be looked at
    bool OpenIsRegular = false;
    std::uint64_t OpenSize = 0;
    std::uint64_t OpenDevice = 0;
    std::uint64_t OpenInode = 0;
    bool NamePresent = false;
    bool NameIsRegular = false;
    std::uint64_t NameDevice = 0;
    std::uint64_t NameInode = 0;
    std::string BytesAtTail; // what the open file holds now where the known Tail lay
};

enum class FileChange
{
    Unchanged,
    Grew,      // the open file holds more than was read, and what was read is still there
    Rewritten, // the open file is shorter than what was read, or holds other bytes there: it starts anew
    Replaced,  // another file has the name, and the open one has nothing more
    Gone,      // no file has the name, and the open one has nothing more
    NotAFile,  // something that is not a regular file (a folder) has the name: waited for as if gone
};

// Looks at the open descriptor (fstat, and a read of the bytes where the known tail lay) and at
// the name (stat). Never blocks on a pipe; safe on any thread.
FileObservation ObserveFile(int fd, const std::string& path, const FileReadState& known);

// Decides what happened from what was known and what is there now. What the open file still
// holds comes first: a file that grew and was then rotated is read to its end before the new
// one; a rewrite of the open file wins over growth, since the bytes after the offset are not
// the ones that followed what was read.
FileChange ClassifyFileChange(const FileReadState& known, const FileObservation& now);

// The identity of the open file, for a FileReadState that starts on it; false if fd cannot be looked at.
bool IdentifyOpenFile(int fd, FileReadState& state);

// Sets the state to `offset` bytes read, its tail read from the file (shorter if the file is).
void LoadReadState(int fd, std::uint64_t offset, FileReadState& state);
