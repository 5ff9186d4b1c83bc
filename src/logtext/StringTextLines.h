// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "logtext/TextLines.h"

// Lines kept in memory, with the start of each: a text that only grows at its end.
class StringTextLines : public TextLines
{
public:
    StringTextLines() = default;
    explicit StringTextLines(std::string_view bytes) { Append(bytes); }

    void Append(std::string_view bytes);
    const std::string& GetBytes() const { return m_Bytes; }

    std::int64_t GetLineCount() const override { return static_cast<std::int64_t>(m_LineStarts.size()); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override;

private:
    std::string m_Bytes;
    std::vector<std::size_t> m_LineStarts{0};
};
