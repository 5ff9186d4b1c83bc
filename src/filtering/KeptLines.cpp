// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/KeptLines.h"

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/FileDescriptor.h"
#include "filtering/FilterRun.h"
#include "filtering/ForwardLineReader.h"
#include "filtering/RotatedSetInput.h"

namespace {

std::vector<std::int64_t> SortedWanted(std::vector<std::int64_t> lines)
{
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    lines.erase(lines.begin(), std::upper_bound(lines.begin(), lines.end(), std::int64_t{0}));
    return lines;
}

std::vector<KeptLineText> CollectLines(ForwardLineReader& reader, const std::vector<std::int64_t>& wanted,
                                       std::stop_token& stop)
{
    std::vector<KeptLineText> found;
    std::size_t next = 0;
    std::int64_t lineNumber = 0;
    std::string_view line;
    while (next < wanted.size() && reader.NextLine(line)) {
        ++lineNumber;
        if ((lineNumber & 0xFFFF) == 0 && stop.stop_requested())
            return {};
        if (lineNumber == wanted[next]) {
            found.push_back(KeptLineText{lineNumber, std::string(line)});
            ++next;
        }
    }
    return found;
}

} // namespace

std::vector<KeptLineText> ReadKeptLines(const FilterRun& run, std::stop_token stop)
{
    const std::vector<std::int64_t> wanted = SortedWanted(run.KeptLines);
    if (wanted.empty())
        return {};
    try {
        if (!run.SetMembers.empty()) {
            ForwardLineReader reader(-1, std::make_unique<RotatedSetInput>(run.SetMembers));
            return CollectLines(reader, wanted, stop);
        }
        FileDescriptor file(::open(run.Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        struct stat status
        {
        };
        if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
            return {};
        ForwardLineReader reader(file.Get(), MakeInputDecoder(file.Get()));
        return CollectLines(reader, wanted, stop);
    } catch (const std::bad_alloc&) {
        return {}; // the run itself goes on, and tells of a shortage it meets
    }
}

KeptLinesOutput::KeptLinesOutput(FilterOutput& output, std::vector<KeptLineText> lines)
    : m_Output(output), m_Lines(std::move(lines))
{}

void KeptLinesOutput::AppendKeptBefore(std::int64_t line, OutputBatch& batch)
{
    while (m_nNext < m_Lines.size() && (line == 0 || m_Lines[m_nNext].LineNumber < line)) {
        batch.Append(m_Lines[m_nNext].LineNumber, m_Lines[m_nNext].Text, false);
        ++m_nNext;
    }
}

void KeptLinesOutput::WriteLines(OutputBatch&& batch)
{
    // Line 0 is a marker between two files' lines, never a kept line's place.
    const bool reachesKept = m_nNext < m_Lines.size() && !batch.Lines.empty() &&
                             batch.Lines.back().LineNumber >= m_Lines[m_nNext].LineNumber;
    if (!reachesKept) {
        m_Output.WriteLines(std::move(batch));
        return;
    }
    OutputBatch merged;
    merged.Text.reserve(batch.Text.size());
    merged.Lines.reserve(batch.Lines.size());
    for (const OutputLine& line : batch.Lines) {
        if (line.LineNumber > 0) {
            AppendKeptBefore(line.LineNumber, merged);
            // The run keeps this one itself.
            if (m_nNext < m_Lines.size() && m_Lines[m_nNext].LineNumber == line.LineNumber)
                ++m_nNext;
        }
        merged.Append(line.LineNumber, batch.LineText(line), line.IsContext, line.Filter);
    }
    m_Output.WriteLines(std::move(merged));
}

void KeptLinesOutput::NoteFileEvent(FileEvent event)
{
    switch (event) {
    case FileEvent::CaughtUp:
        FinishCompleteLines();
        break;
    case FileEvent::Truncated:
    case FileEvent::Replaced:
        m_nNext = m_Lines.size();
        break;
    case FileEvent::Missing:
        break;
    }
    m_Output.NoteFileEvent(event);
}

void KeptLinesOutput::Finish()
{
    if (m_nNext >= m_Lines.size())
        return;
    OutputBatch rest;
    AppendKeptBefore(0, rest);
    m_Output.WriteLines(std::move(rest));
}

void KeptLinesOutput::FinishCompleteLines()
{
    // A last line without its line feed is still being written: the run decides it once it is
    // whole, so it keeps its place among the lines still to come.
    std::size_t end = m_Lines.size();
    if (end > m_nNext && !m_Lines[end - 1].Text.ends_with('\n'))
        --end;
    if (end <= m_nNext)
        return;
    OutputBatch rest;
    AppendKeptBefore(m_Lines[end - 1].LineNumber + 1, rest);
    m_Output.WriteLines(std::move(rest));
}
