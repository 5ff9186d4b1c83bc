// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstring>

// How common a byte is in logs and other text, roughly: the lower, the rarer. Searches look for
// a pattern's rarest bytes first, and prefer rarer literals, so that few places need a full
// comparison. Ignoring case, a letter counts for both its cases (the byte is the lower case).
inline int ByteCommonness(unsigned char byte, bool caseSensitive)
{
    static constexpr char kLetters[] = "etaoinsrhldcumfpgwybvkxjqz"; // most common first
    if (byte >= 'a' && byte <= 'z') {
        const auto rank = static_cast<int>(std::strchr(kLetters, byte) - kLetters);
        return 60 - rank * 2 + (caseSensitive ? 0 : 10);
    }
    if (byte >= 'A' && byte <= 'Z')
        return 22;
    if (byte >= '0' && byte <= '9')
        return 40;
    if (byte == ' ')
        return 70;
    if (byte != 0 && std::strchr(".:-/_=,[]()", byte) != nullptr)
        return 30;
    if (byte >= 0x20 && byte < 0x7F)
        return 12;
    return 5;
}
