// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "logtext/IndexedTextLines.h"
#include "logtext/ShownText.h"

class RotatedSetText;

// A rotated set shown as one read-only text, oldest file first: each line is numbered by its own
// file's line, and knows that file's name; the first line of every file after the first is
// marked as the start of a file. Go To takes places in the whole set, as the status bar counts.
// The names are the members' names now: a followed set's files are renamed as they rotate.
class RotatedSetShownText : public ShownText
{
public:
    // The set must outlive this object.
    explicit RotatedSetShownText(const RotatedSetText& set);

    std::int64_t GetLineCount() const override { return m_Lines.GetLineCount(); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override
    {
        return m_Lines.ReadLines(first, count, bytes, error);
    }
    ShownLineOrigin OriginOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return false; }
    std::int64_t GetLastNumber() const override { return GetLineCount(); }
    // The file name alone (app.log.2.gz), as the status bar says it.
    std::string FileNameOf(std::int64_t line) const override;
    bool IsEditable() const override { return false; }
    // Followed, bytes appended to the live file come at the set's end.
    bool TakesFollowedBytes() const override;

    const TextLines& Lines() const { return m_Lines; }

private:
    const RotatedSetText& m_Set;
    IndexedTextLines m_Lines;
};
