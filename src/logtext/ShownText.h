// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// Where a line a document shows comes from: the file line it stands for (1-based; 0 for a line
// of no file, such as a marker), whether a filter kept it as context, and which filter kept it.
// In a text made of several files (a rotated set), whether the line is the first of a file after
// the first one; in a text of several files merged by time, which of them it comes from.
struct ShownLineOrigin
{
    std::int64_t FileLine = 0;
    bool IsContext = false;
    int Filter = -1;
    bool StartsFile = false;
    int Source = -1;
    bool operator==(const ShownLineOrigin&) const = default;
};

// Where Go To lands for a number typed in a text's own numbering.
struct NumberedLineFound
{
    enum class Reach
    {
        Exact,   // the line of that number
        Next,    // no line has it: the next line that has a greater one
        PastEnd, // past the last numbered line: the last one
    };
    std::int64_t Line = 0;   // 0-based line of the text
    std::int64_t Number = 0; // the number of that line
    Reach How = Reach::Exact;
    bool ByFileLine = false; // the numbers are file lines (filter output), not places
};

// The text a document shows, of one kind: the file as the editor holds it, a file too big for
// the editor read through its line index, a filter run's output (in memory or spilled to a
// file), a followed file that started anew. Each kind numbers its lines its own way; the view
// asks this interface instead of testing which kind it shows. Lines are 0-based lines of the
// whole text (a paged view maps its window onto them).
class ShownText
{
public:
    virtual ~ShownText() = default;

    // The lines known so far (a text still arriving, or still indexed, grows).
    virtual std::int64_t GetLineCount() const = 0;
    // The bytes of lines [first, first + count), each with its line end; false with the reason.
    virtual bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const = 0;

    // The file line a line stands for, and how it was kept.
    virtual ShownLineOrigin OriginOf(std::int64_t line) const = 0;
    // The number the status bar gives a line: its place in the text, unless the kind says
    // otherwise (a followed file's line counts from its last restart).
    virtual std::int64_t PlaceNumberOf(std::int64_t line) const { return line + 1; }
    // Whether every line is numbered by its place (1, 2, 3 …), so that a margin can count for itself.
    virtual bool IsNumberedByPlace() const = 0;
    // The largest number a margin shows and Go To offers.
    virtual std::int64_t GetLastNumber() const = 0;
    // The line of a number in this text's numbering (Go To); numbers below 1 go to the first line.
    virtual NumberedLineFound FindNumber(std::int64_t number) const;

    // The name of the file a line comes from, for a text made of several files (a rotated set);
    // empty for a text of one file, whose name the document gives.
    virtual std::string FileNameOf(std::int64_t) const { return std::string(); }
    // The line's number in the file FileNameOf names (1-based; 0 for none): the file line, unless
    // the kind numbers the text's lines otherwise (filter output of a rotated set by set lines).
    virtual std::int64_t LineInFileOf(std::int64_t line) const { return OriginOf(line).FileLine; }

    // Filter output: its lines are the file lines a run kept; Ctrl+T and Ctrl+double-click lead
    // from them to the whole file.
    virtual bool IsFilterOutput() const { return false; }
    // Whether the user may edit the text.
    virtual bool IsEditable() const = 0;
    // Whether bytes appended to the file on disk belong at the end of this text (Follow).
    virtual bool TakesFollowedBytes() const = 0;
};
