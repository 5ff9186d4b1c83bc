// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Finds a byte string in a block of text, case-sensitively or folding A to Z only.
// Candidates are found many bytes at a time by comparing two of the pattern's bytes, the two
// that are likely rarest in text, then checked in full, so a rare pattern costs about one pass
// over the bytes.
// Immutable after construction: one searcher may serve several threads.
class LiteralSearcher
{
public:
    LiteralSearcher(std::string_view pattern, bool caseSensitive);

    // Offset of the first occurrence in text, or npos. An empty pattern occurs at 0.
    std::size_t Find(std::string_view text) const;

    const std::string& Pattern() const { return m_strPattern; }
    bool IsCaseSensitive() const { return m_bCaseSensitive; }

    static constexpr std::size_t npos = std::string_view::npos;

private:
    bool MatchesAt(const char* candidate) const;
    std::size_t FindScalar(const char* begin, const char* end) const;
    std::size_t FindSse2(const char* begin, const char* end) const;
    std::size_t FindAvx2(const char* begin, const char* end) const;

    std::string m_strPattern; // folded when the search ignores case
    bool m_bCaseSensitive;
    bool m_bUseAvx2;
    unsigned char m_nFirst;         // the first byte compared (folded)
    unsigned char m_nLast;          // the second byte compared (folded)
    unsigned char m_nFirstAlt;      // the first byte's other case, or the same byte
    unsigned char m_nLastAlt;       // the second byte's other case, or the same byte
    std::size_t m_nFirstOffset = 0; // where the two bytes lie in the pattern
    std::size_t m_nLastOffset = 0;
};
