// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// A file of this process that a stream (standard input, a command's output) is written to while
// a view reads it as a followed log. It is created new (mode 0600, O_EXCL through mkstemp) in a
// folder of the user's own, and removed when the object goes. Its name carries the pid, so a
// later start can tell the leftovers of a process that died from the files of one that runs.
// Not thread-safe; the descriptor may be written from any one thread while the object lives.
class SpoolFile
{
public:
    SpoolFile() = default;
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // $XDG_RUNTIME_DIR/ostrel, or ~/.cache/ostrel ($XDG_CACHE_HOME/ostrel) without a runtime folder.
    static std::string DefaultFolder();
    // Creates the folder (0700) when needed and a new file in it; 0, or the errno of what failed.
    // `label` goes into the name ("stdin", "command").
    int Create(const std::string& folder, const std::string& label);
    // The path of the file, empty before Create succeeded.
    const std::string& GetPath() const { return m_strPath; }
    // Open for writing (and reading) until the object goes; -1 before Create succeeded.
    int GetDescriptor() const { return m_nFd; }
    // Closes and deletes the file now (the destructor does it otherwise).
    void Remove();

    // Deletes the spool files in the folder whose process no longer runs; returns how many.
    // Files of a running process (this one included) and files of other names stay.
    static int SweepLeftovers(const std::string& folder);

private:
    std::string m_strPath;
    int m_nFd = -1;
};
