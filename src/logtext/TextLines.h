// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// The bytes of a text's lines, wherever they are kept: an editor's buffer, a file read through
// its line index, a string. Lines are counted as an editor counts them: one more than the line
// feeds, so an empty text has one (empty) line.
class TextLines
{
public:
    virtual ~TextLines() = default;
    virtual std::int64_t GetLineCount() const = 0;
    // Appends lines [first, first + count) (0-based, each with its line end) to bytes; lines past
    // the end are not there to read. False, with the reason in error, when they cannot be read.
    virtual bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const = 0;
};
