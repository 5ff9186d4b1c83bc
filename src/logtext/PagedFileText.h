// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logtext/IndexedTextLines.h"
#include "logtext/ShownText.h"

class FileLineIndex;

// A file too big for the editor, shown through a window that moves over it: its lines are those
// its line index knows so far, read from the file, numbered as the file's lines; read-only.
class PagedFileText : public ShownText
{
public:
    explicit PagedFileText(const FileLineIndex& index) : m_Lines(index) {}

    std::int64_t GetLineCount() const override { return m_Lines.GetLineCount(); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override
    {
        return m_Lines.ReadLines(first, count, bytes, error);
    }
    ShownLineOrigin OriginOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return true; }
    std::int64_t GetLastNumber() const override { return GetLineCount(); }
    bool IsEditable() const override { return false; }
    bool TakesFollowedBytes() const override { return true; }

    const TextLines& Lines() const { return m_Lines; }

private:
    IndexedTextLines m_Lines;
};
