// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/TimedLogInput.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/FilterEngine.h"
#include "time/LineTime.h"
#include "time/TimeLayoutDetector.h"

TimeContext TimeContextOfFile(int fd)
{
    struct stat status
    {
    };
    std::time_t when = std::time(nullptr);
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        when = status.st_mtime;
    std::tm local{};
    TimeContext context;
    if (::localtime_r(&when, &local) == nullptr)
        return context;
    context.Year = local.tm_year + 1900;
    context.LatestMonth = local.tm_mon + 1;
    context.LocalOffsetSeconds = static_cast<std::int32_t>(local.tm_gmtoff);
    return context;
}

TimedLogInput::TimedLogInput(std::string path, std::string shownName)
    : m_strPath(std::move(path)), m_strShownName(std::move(shownName))
{}

TimedLogInput::OpenResult TimedLogInput::Open()
{
    m_pFile = std::make_unique<FileDescriptor>(::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status
    {
    };
    if (m_pFile->Get() < 0 || ::fstat(m_pFile->Get(), &status) != 0) {
        m_nOpenError = errno;
        return OpenResult::CannotOpen;
    }
    if (S_ISDIR(status.st_mode)) {
        m_nOpenError = EISDIR;
        return OpenResult::CannotOpen;
    }
    if (!m_Context)
        m_Context = TimeContextOfFile(m_pFile->Get());
    const bool seekable = S_ISREG(status.st_mode);
    ::posix_fadvise(m_pFile->Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // Only a regular file is looked at for an archive or UTF-16, as a filtering run does.
    m_pReader =
        std::make_unique<ForwardLineReader>(m_pFile->Get(), seekable ? MakeInputDecoder(m_pFile->Get()) : nullptr);
    if (!DetectLayout(seekable))
        return OpenResult::NoTimes;
    if (seekable) {
        // Read again from the start: what the sample read is not kept.
        if (::lseek(m_pFile->Get(), 0, SEEK_SET) != 0) {
            m_nOpenError = errno;
            return OpenResult::CannotOpen;
        }
        m_pReader = std::make_unique<ForwardLineReader>(m_pFile->Get(), MakeInputDecoder(m_pFile->Get()));
    }
    return OpenResult::Opened;
}

bool TimedLogInput::DetectLayout(bool seekable)
{
    TimeLayoutDetector detector(*m_Context);
    // The first time of each layout: the time of the lines above it, once the layout is known.
    LineTime first[std::size(RecognisedTimeLayouts)];
    bool found[std::size(RecognisedTimeLayouts)] = {};
    std::string_view line;
    for (bool more = true; more && m_pReader->NextLine(line);) {
        if (!seekable)
            m_strReplay.append(line);
        const std::string_view text = LineWithoutEnd(line);
        for (std::size_t i = 0; i < std::size(RecognisedTimeLayouts); ++i)
            if (!found[i])
                found[i] = ParseLineTime(RecognisedTimeLayouts[i], text, *m_Context, first[i]);
        more = detector.AddLine(text);
    }
    m_Layout = detector.GetLayout();
    for (std::size_t i = 0; i < std::size(RecognisedTimeLayouts); ++i)
        if (RecognisedTimeLayouts[i] == m_Layout)
            m_nTime = first[i].Micros;
    if (seekable)
        m_pReader->TakeFaultMessage(m_strShownName); // told when the second reading meets it
    return m_Layout != TimeLayout::None;
}

bool TimedLogInput::NextRawLine(std::string_view& line)
{
    if (m_nReplayOffset < m_strReplay.size()) {
        const std::size_t lineFeed = m_strReplay.find('\n', m_nReplayOffset);
        const std::size_t end = lineFeed == std::string::npos ? m_strReplay.size() : lineFeed + 1;
        line = std::string_view(m_strReplay).substr(m_nReplayOffset, end - m_nReplayOffset);
        m_nReplayOffset = end;
        return true;
    }
    if (!m_strReplay.empty()) {
        m_strReplay = std::string(); // handed out: its memory goes
        m_nReplayOffset = 0;
    }
    return m_pReader && m_pReader->NextLine(line);
}

bool TimedLogInput::Next()
{
    std::string_view line;
    if (!NextRawLine(line)) {
        m_Line = {};
        return false;
    }
    ++m_nLineNumber;
    LineTime time;
    if (ParseLineTime(m_Layout, LineWithoutEnd(line), *m_Context, time))
        m_nTime = time.Micros;
    m_Line = line;
    return true;
}

std::string TimedLogInput::TakeFaultMessage()
{
    return m_pReader ? m_pReader->TakeFaultMessage(m_strShownName) : std::string();
}

std::uint64_t TimedLogInput::GetFileBytesUsed() const
{
    return m_pReader ? m_pReader->GetFileBytesUsed() : 0;
}
