// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Line indexes of big logs kept between runs, one file per log in a cache folder (the name is a
// hash of the log's absolute path). A saved index is taken for a log only while it describes it:
// the same device and inode, and the same bytes at the start and at the end of what it covers;
// of the same size, also the same modification time. A log that grew keeps its saved part, and
// only the rest is read again. An entry that is damaged, cut short or written by anything else
// (its header has a magic, a version and a checksum) is ignored and later written anew.
//
// Entries are written to a temporary file that is then renamed over the old one; writing is best
// effort (a full disk or an unwritable folder is no error of the caller's). The folder is kept
// under a byte limit: the entries used longest ago go first. Thread-safe: every call stands alone.
class SavedLineIndex
{
public:
    static constexpr std::uint64_t DefaultLimitBytes = 256ull * 1024 * 1024;
    // Bytes at the start and at the end of the covered part compared before an entry is trusted.
    static constexpr std::size_t SampleBytes = 4096;

    // What an index knows of its file: the offset of every Stride-th line start, from line 0.
    struct Contents
    {
        std::uint64_t Size = 0; // bytes of the file it covers
        std::int64_t LineFeeds = 0;
        std::vector<std::uint64_t> Checkpoints;
    };

    explicit SavedLineIndex(std::string folder, std::uint64_t limitBytes = DefaultLimitBytes);

    // $XDG_CACHE_HOME/ostrel, or ~/.cache/ostrel when that is unset or not absolute; empty when
    // neither can be told.
    static std::string DefaultFolder();

    // The saved index of the log at path, open as fd, when it still describes the log. Its Size may
    // be less than the log's (what was appended since is not in it).
    bool Load(const std::string& path, int fd, std::int64_t stride, Contents& contents) const;
    // Saves the index of the log at path, open as fd; false when it could not be saved.
    bool Save(const std::string& path, int fd, std::int64_t stride, const Contents& contents) const;

    // The file that holds the log's entry.
    std::string GetEntryPath(const std::string& path) const;

private:
    void RemoveOldestPastLimit(const std::string& kept) const;

    std::string m_strFolder;
    std::uint64_t m_nLimitBytes;
};
