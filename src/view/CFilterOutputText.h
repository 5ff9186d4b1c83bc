// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "filtering/OutputLineNumbers.h"
#include "logtext/FilterOutputText.h"

class COstrelView;
class PagedFileText;
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

    // The output as a text: its lines, where each came from, Go To by file line.
    const FilterOutputText& Text() const { return *m_pText; }
    const OutputLineNumbers& Numbers() const { return m_pText->Numbers(); }
    // Hands the text over (to be put aside for Ctrl+T), reading no lines while it is aside; an
    // empty one is left.
    std::unique_ptr<FilterOutputText> TakeText();
    // Shows output put aside before, now in the editor again: light cyan, numbered by file lines.
    void ShowText(std::unique_ptr<FilterOutputText> text);
    void ClearNumbers() { m_pText->ClearNumbers(); }
    // The paged view of the spill file started or stopped: the output's lines are read from it,
    // or from the editor again.
    void ReadFromPagedFile(const PagedFileText& paged);
    void ReadFromEditor();

    // The file that output too big for the editor went to, or null.
    bool IsSpilled() const { return m_pSpillFile != nullptr; }
    // Whether the path is that file's (the paged view shows it, UTF-8 whatever the log's encoding).
    bool IsSpillFile(const QString& path) const;
    std::unique_ptr<QTemporaryFile> TakeSpillFile();
    void PutSpillFile(std::unique_ptr<QTemporaryFile> file);

private:
    COstrelView& m_View;
    std::unique_ptr<FilterOutputText> m_pText;
    std::unique_ptr<QTemporaryFile> m_pSpillFile;
    bool m_bReceiving = false; // a filtering run is appending to the view
};
