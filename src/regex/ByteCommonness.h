// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstring>

// How often a byte turns up in logs and other text, roughly, in occurrences per million bytes:
// the lower, the rarer. Searches look for a pattern's rarest bytes first, and prefer rarer
// literals, so that few places need a full comparison. Ignoring case, a letter counts for both
// its cases (the byte is the lower case).
inline int ByteCommonness(unsigned char byte, bool caseSensitive)
{
    // Lower-case letters, a to z: English text, somewhat diluted by the digits and signs of logs.
    static constexpr int kLower[26] = {50000, 8000,  20000, 22000, 70000, 12000, 10000, 20000, 45000,
                                       1000,  4000,  25000, 15000, 42000, 45000, 12000, 1000,  36000,
                                       38000, 55000, 17000, 6000,  10000, 2000,  10000, 500};
    static constexpr char kCommonCapitals[] = "EIORNTASDCLPGMFUBW";
    if (byte >= 'A' && byte <= 'Z') {
        const int upper = byte != 0 && std::strchr(kCommonCapitals, byte) != nullptr ? 3000 : 800;
        return caseSensitive ? upper : upper + kLower[byte - 'A'];
    }
    if (byte >= 'a' && byte <= 'z') {
        const int lower = kLower[byte - 'a'];
        if (caseSensitive)
            return lower;
        const auto upper = static_cast<unsigned char>(byte - 'a' + 'A');
        return lower + (std::strchr(kCommonCapitals, upper) != nullptr ? 3000 : 800);
    }
    if (byte >= '0' && byte <= '9')
        return 20000; // timestamps, counters, addresses
    switch (byte) {
    case ' ':
        return 140000;
    case ':':
    case '.':
        return 15000;
    case '-':
        return 12000;
    case '/':
        return 6000;
    case ',':
        return 5000;
    case '_':
    case '=':
    case '[':
    case ']':
        return 4000;
    case '\t':
    case '"':
        return 3000;
    case '(':
    case ')':
    case '\'':
        return 2000;
    default:
        break;
    }
    if (byte >= 0x20 && byte < 0x7F)
        return 500;
    return byte == 0 ? 50 : 200;
}
