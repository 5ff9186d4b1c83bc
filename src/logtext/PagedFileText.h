// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "logtext/IndexedTextLines.h"
#include "logtext/ShownText.h"

class FileLineIndex;
class IndexedText;
class PlainIndexedText;

// A text too big for the editor, shown through a window that moves over it: a plain file, or the
// text of a compressed one. Its lines are those its line index knows so far, numbered as the
// file's lines; read-only.
class PagedFileText : public ShownText
{
public:
    // The text must outlive this object.
    explicit PagedFileText(const IndexedText& text);
    // A plain file through an index another owns.
    explicit PagedFileText(const FileLineIndex& index);
    ~PagedFileText() override;

    std::int64_t GetLineCount() const override { return m_Lines.GetLineCount(); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override
    {
        return m_Lines.ReadLines(first, count, bytes, error);
    }
    ShownLineOrigin OriginOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return true; }
    std::int64_t GetLastNumber() const override { return GetLineCount(); }
    bool IsEditable() const override { return false; }
    bool TakesFollowedBytes() const override;

    const TextLines& Lines() const { return m_Lines; }

private:
    std::unique_ptr<PlainIndexedText> m_pOwnText; // the plain file of an index, when made from one
    const IndexedText& m_Text;
    IndexedTextLines m_Lines;
};
