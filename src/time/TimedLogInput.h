// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "filtering/FileDescriptor.h"
#include "filtering/ForwardLineReader.h"
#include "time/LineTime.h"

// One log read forward, line by line, each line with its time: the layout is told from the
// log's first lines, a line without a time takes the time of the line above, and lines above the
// first time take that first time. Reads a plain, compressed or UTF-16 file (or a pipe) in
// blocks; holds a block and the current line, never the whole log. A file is read twice from its
// start: once for its layout, then for its lines; a pipe's sampled lines are kept for the second
// reading instead. For one thread at a time.
class TimedLogInput
{
public:
    enum class OpenResult
    {
        Opened,
        CannotOpen, // GetOpenError says why
        NoTimes,    // no line of the sample has a time in any layout
    };

    // path is opened; shownName is how messages name the log.
    TimedLogInput(std::string path, std::string shownName);
    TimedLogInput(const TimedLogInput&) = delete;
    TimedLogInput& operator=(const TimedLogInput&) = delete;

    // Lines are read against this context instead of the one the file's last change gives (the
    // year of that change, the local zone then). Call before Open.
    void SetContext(const TimeContext& context) { m_Context = context; }
    // Opens the log and tells its layout. Once.
    OpenResult Open();
    int GetOpenError() const { return m_nOpenError; }
    TimeLayout GetLayout() const { return m_Layout; }
    const std::string& GetShownName() const { return m_strShownName; }

    // Reads the next line; false at the end of the log (a read error or damage ends it too).
    bool Next();
    // The current line with its line end (the last line may have none), valid until Next.
    std::string_view GetLine() const { return m_Line; }
    // The current line's time in microseconds since the epoch, UTC, and its 1-based number.
    std::int64_t GetTime() const { return m_nTime; }
    std::int64_t GetLineNumber() const { return m_nLineNumber; }

    // What ended the log early, as a message naming it, once; empty when nothing did.
    std::string TakeFaultMessage();
    std::uint64_t GetFileBytesUsed() const;

private:
    // Reads the sample, chooses the layout and the time of the lines above the first time.
    bool DetectLayout(bool seekable);
    bool NextRawLine(std::string_view& line);

    std::string m_strPath;
    std::string m_strShownName;
    std::optional<TimeContext> m_Context;
    std::unique_ptr<FileDescriptor> m_pFile;
    std::unique_ptr<ForwardLineReader> m_pReader;
    int m_nOpenError = 0;
    TimeLayout m_Layout = TimeLayout::None;
    // A pipe's lines read for the sample, handed out again before the reader's.
    std::string m_strReplay;
    std::size_t m_nReplayOffset = 0;
    std::string_view m_Line;
    std::int64_t m_nTime = 0;
    std::int64_t m_nLineNumber = 0;
};

// The context of a file's lines: the year and month of its last change, and the local zone's
// offset then (of now when the descriptor is no regular file).
TimeContext TimeContextOfFile(int fd);
