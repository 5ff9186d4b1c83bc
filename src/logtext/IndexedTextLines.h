// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "logtext/TextLines.h"

class IndexedText;

// The lines of a text through its sparse line index: a range starts at the index's nearest known
// line start and reads on from there. The lines are those the index knows so far. Safe from any
// thread (each read has its own buffer).
class IndexedTextLines : public TextLines
{
public:
    explicit IndexedTextLines(const IndexedText& text) : m_Text(text) {}

    std::int64_t GetLineCount() const override;
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override;

private:
    const IndexedText& m_Text;
};
