// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "logtext/FilterOutputText.h"

class COstrelView;

// Ctrl+T between a document's filter output and its whole file: the text not shown is put
// aside in an editor document of its own, with the stamp of the file it was read from, and comes
// back at once while the file is still that. Also what the text shown was read from.
class CTextToggle
{
public:
    // What identifies the file's content as it was read: it is the same while these are.
    struct FileStamp
    {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        std::int64_t Size = -1;
        std::int64_t ModifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
        bool IsValid() const { return Size >= 0; }
    };
    enum class Result
    {
        Done,
        NeedsRun,
        Busy, // a load or a filtering run is under way
    };

    explicit CTextToggle(COstrelView& view) : m_View(view) {}
    CTextToggle(const CTextToggle&) = delete;
    CTextToggle& operator=(const CTextToggle&) = delete;

    static FileStamp StampOf(const QString& path);

    Result Toggle();
    // The text shown is now one read from the file as stamped; linesAreFileLines: no lone CR.
    void SetShownText(const FileStamp& stamp, bool linesAreFileLines);
    // The text shown now stands for the file as stamped (filter output made from it).
    void SetShownStamp(const FileStamp& stamp) { m_ShownStamp = stamp; }
    const FileStamp& GetShownStamp() const { return m_ShownStamp; }
    bool ShownLinesAreFileLines() const { return m_bShownLinesAreFileLines; }
    void SetShownLinesAreFileLines(bool same) { m_bShownLinesAreFileLines = same; }
    // The editor position where a 1-based file line starts in a whole file shown.
    std::int64_t PositionOfFileLine(std::int64_t line);

    // The whole file shown goes aside, while it is as it was read (before filter output replaces it).
    void KeepWholeFileIfPristine();
    // Finished filter output shown goes aside as a text, with its numbers (before the whole file replaces it).
    void KeepOutput();
    bool HasKeptOutput() const { return m_OutputStash.Document != 0; }
    void ReleaseWholeFile() { Release(m_WholeStash); }
    void ReleaseOutput() { Release(m_OutputStash); }

private:
    // A text put aside: an editor document we hold a reference to.
    struct StashedText
    {
        long Document = 0;
        FileStamp Stamp;
        bool EditorLinesAreFileLines = false;
        std::int64_t Length = 0;
        std::unique_ptr<FilterOutputText> Output; // the output's numbers, with the output put aside
    };
    // Whether the text shown is the whole file, unchanged, as it was read.
    bool ShowsPristineWholeFile() const;
    void Keep(StashedText& stash);
    void Show(StashedText& stash);
    void Release(StashedText& stash);
    Result ToWholeFile();
    Result ToOutput();

    COstrelView& m_View;
    FileStamp m_ShownStamp;                 // of the file as the text shown was read
    bool m_bShownLinesAreFileLines = false; // no lone CR: the editor's lines are the file's
    StashedText m_WholeStash;
    StashedText m_OutputStash;
};
