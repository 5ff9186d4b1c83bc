// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "logtext/TextLines.h"

class FileLineIndex;

// The lines of a file through its sparse line index, read with pread on the index's descriptor:
// a range starts at the index's nearest known line start and reads on from there. The lines are
// those the index knows so far. Safe from any thread (each read has its own buffer).
class IndexedTextLines : public TextLines
{
public:
    explicit IndexedTextLines(const FileLineIndex& index) : m_Index(index) {}

    std::int64_t GetLineCount() const override;
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override;

private:
    const FileLineIndex& m_Index;
};
