// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "filtering/OutputLine.h"

// Where a run's results go. Called on the thread that runs the engine.
class FilterOutput
{
public:
    virtual ~FilterOutput() = default;

    // Takes a batch of kept lines, in file order; batches arrive in file order too.
    virtual void WriteLines(OutputBatch&& batch) = 0;

    // Shows an error to the user; returns once the user has seen it (the run waits meanwhile).
    virtual void ReportError(const std::string& message) = 0;

    // What happened to a followed file. CaughtUp: the run has reached the file's end (the first
    // time; what comes later is decided as it is written). Truncated, Replaced: the file starts
    // anew, and so do the line numbers. Missing: no file has the name; the run waits for one.
    enum class FileEvent
    {
        CaughtUp,
        Truncated,
        Replaced,
        Missing,
    };
    virtual void NoteFileEvent(FileEvent /*event*/) {}

    // A run deciding records found no time in the first lines of a file that has lines: each
    // of its lines is a record of its own. Told once per file (again when a followed file starts
    // anew).
    virtual void NoteNoTimesRecognised() {}
};
