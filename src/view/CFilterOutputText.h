// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "filtering/OutputLineNumbers.h"

class COstrelView;
class QTemporaryFile;
struct OutputBatch;

// The output of a filtering run as a view shows it: kept lines appended batch by batch, with
// the file line of each. Output that grows past the paged view's threshold moves to a temporary
// file and is shown paged from there, still as filter output.
class CFilterOutputText
{
public:
    explicit CFilterOutputText(COstrelView& view);
    ~CFilterOutputText();
    CFilterOutputText(const CFilterOutputText&) = delete;
    CFilterOutputText& operator=(const CFilterOutputText&) = delete;

    // Empties the view for a run's output: light cyan, no undo, read-only until End.
    void Begin();
    void End();
    void Append(const OutputBatch& batch);
    // Moves the output so far, and the batch, into a temporary file shown paged.
    bool Spill(const OutputBatch& batch);
    bool IsReceiving() const { return m_bReceiving; }
    void StopReceiving() { m_bReceiving = false; }

    const OutputLineNumbers& Numbers() const { return m_Numbers; }
    // Hands the numbers over (to the text put aside for Ctrl+T); none are left.
    OutputLineNumbers TakeNumbers() { return std::move(m_Numbers); }
    // Shows output put aside before, with its numbers: light cyan, numbered by file lines.
    void ShowNumbers(OutputLineNumbers numbers);
    void ClearNumbers() { m_Numbers.Clear(); }

    // The file that output too big for the editor went to, or null.
    bool IsSpilled() const { return m_pSpillFile != nullptr; }
    std::unique_ptr<QTemporaryFile> TakeSpillFile();
    void PutSpillFile(std::unique_ptr<QTemporaryFile> file);

    // Go To in filter output takes the file's line numbers: the kept line of a file line, or the
    // next kept one. What the status bar should say when that is not the line asked for.
    QString GoToFileLine(std::int64_t number);

private:
    COstrelView& m_View;
    OutputLineNumbers m_Numbers;
    std::unique_ptr<QTemporaryFile> m_pSpillFile;
    bool m_bReceiving = false; // a filtering run is appending to the view
};
