// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>

// Case-insensitive matching folds the letters A to Z only: every other byte stays as it is.
inline constexpr unsigned char FoldByte(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// FoldByte as a table, for loops that fold many bytes.
inline constexpr std::array<unsigned char, 256> FoldTable = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = FoldByte(static_cast<unsigned char>(i));
    return table;
}();
