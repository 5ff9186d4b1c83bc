// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filtering/LiteralSearcher.h"

// Finds any of many byte strings in one pass over a block. Each string is searched
// case-sensitively or folding A to Z only, as it was added.
//
// Candidates come from the first one to three bytes of every string at once: each string
// belongs to one of eight buckets, and a position's bytes are looked up, 32 at a time, in
// tables of the bucket bits that each nibble allows at each of those offsets. Only candidates
// are compared in full. A single string goes to LiteralSearcher instead.
// Immutable after Prepare: one scanner may serve several threads.
class MultiLiteralScanner
{
public:
    MultiLiteralScanner();

    // Adds a non-empty string and returns its number; equal strings with the same case mode
    // share one. Then Prepare before searching.
    std::size_t Add(std::string_view literal, bool caseSensitive);
    void Prepare();

    std::size_t GetCount() const { return m_Literals.size(); }

    // The first position in [from, end) where a string occurs whole inside [from, end), or end.
    const char* Find(const char* from, const char* end) const;

    // Sets bit i of hits (64 strings to a word; hits has room for all) for every string i that
    // occurs whole inside [from, end).
    void Collect(const char* from, const char* end, std::uint64_t* hits) const;

private:
    struct Literal
    {
        std::string Text; // folded when the search ignores case
        bool CaseSensitive;
    };

    bool MatchesAt(const Literal& literal, const char* position, const char* end) const;
    template <int Width, bool All> const char* Scan(const char* from, const char* end, std::uint64_t* hits) const;
    template <int Width, bool All> const char* ScanAvx2(const char* from, const char* end, std::uint64_t* hits) const;
    template <bool All>
    const char* Verify(unsigned buckets, const char* position, const char* end, std::uint64_t* hits) const;

    std::vector<Literal> m_Literals;
    std::array<std::vector<std::uint32_t>, 8> m_Buckets;
    // Per offset 0 to 2: for the low and the high nibble of a byte, the buckets it allows.
    alignas(32) std::array<std::array<std::uint8_t, 16>, 3> m_Low{};
    alignas(32) std::array<std::array<std::uint8_t, 16>, 3> m_High{};
    int m_nWidth = 1; // bytes looked at per candidate: the shortest string's length, at most 3
    bool m_bUseAvx2 = false;
    std::optional<LiteralSearcher> m_Single;
};
