// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "filtering/FilterOutput.h"

struct FilterRun;

// A line a run keeps whatever its filters say (a bookmarked one), with its text.
struct KeptLineText
{
    std::int64_t LineNumber = 0; // 1-based, as the run numbers its lines
    std::string Text;            // the line's bytes, line end included when it has one
};

// The text of the run's kept lines, read from its file or set as the run decodes it (an archive's
// contents, UTF-16 as UTF-8), in line order. Reads only as far as the last of them; lines past the
// end of the text are left out. Only a regular file or a set is read, so that a pipe keeps what
// it holds for the run: for anything else the result is empty. Empty too when stopped.
std::vector<KeptLineText> ReadKeptLines(const FilterRun& run, std::stop_token stop);

// Puts the kept lines among a run's output, each in its place by line number, before it goes on
// to the output it wraps. A kept line the run keeps too is not repeated. The kept lines past the
// last line written come out with Finish, or once a followed file has been read to its end; when
// a followed file starts anew, its line numbers are another file's, and the kept lines are let go.
class KeptLinesOutput final : public FilterOutput
{
public:
    KeptLinesOutput(FilterOutput& output, std::vector<KeptLineText> lines);

    void WriteLines(OutputBatch&& batch) override;
    void ReportError(const std::string& message) override { m_Output.ReportError(message); }
    void NoteFileEvent(FileEvent event) override;
    void NoteNoTimesRecognised() override { m_Output.NoteNoTimesRecognised(); }

    // The run read the whole text: the kept lines not written yet follow.
    void Finish();

private:
    // At a followed file's end: the kept lines not written yet follow, but for an unfinished last line.
    void FinishCompleteLines();
    // Appends the kept lines before `line` (all of them when line is 0) to the batch.
    void AppendKeptBefore(std::int64_t line, OutputBatch& batch);

    FilterOutput& m_Output;
    std::vector<KeptLineText> m_Lines;
    std::size_t m_nNext = 0; // the first kept line not yet written or passed
};
