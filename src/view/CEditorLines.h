// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logtext/TextLines.h"

class CEditor;

// The lines of the text an editor holds now, as the editor counts them.
class CEditorLines : public TextLines
{
public:
    explicit CEditorLines(const CEditor& editor) : m_Editor(editor) {}

    std::int64_t GetLineCount() const override;
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override;

private:
    const CEditor& m_Editor;
};
