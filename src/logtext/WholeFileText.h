// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logtext/ShownText.h"
#include "logtext/TextLines.h"

// A file shown whole, as the editor holds it: line n is file line n + 1, the user may edit it,
// and Follow appends to it. The lines are read from where the presenter keeps them.
class WholeFileText : public ShownText
{
public:
    explicit WholeFileText(const TextLines& lines) : m_Lines(lines) {}

    std::int64_t GetLineCount() const override { return m_Lines.GetLineCount(); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override
    {
        return m_Lines.ReadLines(first, count, bytes, error);
    }
    ShownLineOrigin OriginOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return true; }
    std::int64_t GetLastNumber() const override { return GetLineCount(); }
    bool IsEditable() const override { return true; }
    bool TakesFollowedBytes() const override { return true; }

protected:
    const TextLines& Lines() const { return m_Lines; }

private:
    const TextLines& m_Lines;
};
