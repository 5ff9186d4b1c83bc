// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Turns the bytes a log file holds into the text its lines are decided on: an archive's
// contents, UTF-16 as UTF-8. The run reads through it in place of the file.
class InputDecoder
{
public:
    virtual ~InputDecoder() = default;

    // Up to size bytes of text into out, reading fd as needed; 0 at the end or after a fault.
    virtual std::size_t Read(int fd, char* out, std::size_t size) = 0;
    // The fault that ended the text as a message naming the log, once; empty when there is none
    // (or it was taken already).
    virtual std::string TakeFaultMessage(const std::string& shownName) = 0;
    // How many of the file's own bytes were used so far: the measure of progress.
    virtual std::uint64_t GetFileBytesUsed() const = 0;
};

// The decoder a regular file's first bytes call for: an archive's, UTF-16's, or none.
std::unique_ptr<InputDecoder> MakeInputDecoder(int fd);
// The decoder of a regular file whose text is in the given encoding (an iconv name, as the user
// chose it or the view detected it): an archive's still, none for UTF-8, else one through iconv
// that skips the file's byte order mark. An empty name picks as MakeInputDecoder(fd) does.
std::unique_ptr<InputDecoder> MakeInputDecoder(int fd, const std::string& encoding);
