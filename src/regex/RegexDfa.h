// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "regex/RegexNfa.h"

class Regex;

// Decides whether a compiled expression matches a subject in one pass over the subject, by a
// deterministic automaton whose states (sets of RegexNfa nodes) are built the first time a line
// needs them. Only for programs RegexNfa::IsExact accepts; the answer is then the backtracker's.
//
// The states live in a cache of bounded size: when it is full it is emptied and refilled as the
// subjects need, so each byte costs at most one state's construction (linear in the program) and
// memory stays near the cap. A warm cache allocates nothing. Used by one thread at a time.
class RegexDfa
{
public:
    static constexpr std::size_t DefaultCacheBytes = std::size_t(4) << 20;

    explicit RegexDfa(const Regex& regex, std::size_t cacheBytes = DefaultCacheBytes);

    // Whether the expression matches the subject (the line as the engine hands it over).
    // May throw std::bad_alloc while the cache grows.
    bool Matches(std::string_view subject);

    // How often the cache was emptied because it was full.
    std::uint64_t GetCacheFlushes() const { return m_nFlushes; }

private:
    static constexpr std::uint32_t kDead = 0xFFFFFFFDu;    // no match can follow
    static constexpr std::uint32_t kMatched = 0xFFFFFFFEu; // a match has been found
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu; // not built yet

    std::uint32_t Transition(std::uint32_t state, std::uint32_t byteClass);
    std::uint32_t Intern(const std::vector<std::uint32_t>& key);
    bool AcceptsAtEnd(const std::uint32_t* key, std::size_t length);
    std::size_t CacheBytes(std::size_t extraKey) const;
    void Flush();
    void Rehash(std::size_t buckets);

    RegexNfa m_Nfa;
    std::size_t m_nCacheBytes;
    std::array<std::uint8_t, 256> m_ClassOf{}; // byte to its class: bytes no node tells apart share one
    std::vector<unsigned char> m_ClassByte;    // one byte of each class
    std::uint32_t m_nStride = 1;               // table entries per state: one per class
    bool m_bAlwaysMatches = false;             // the empty string matches at the first attempt
    bool m_bEmptySubjectMatches = false;

    // The cache. State s has its row at s * m_nStride in m_Table; its key, the sorted node
    // numbers, in m_Keys. Table entries hold the target's row offset or one of the marks above.
    std::vector<std::uint32_t> m_Table;
    std::vector<std::uint32_t> m_Keys;
    std::vector<std::uint32_t> m_KeyStart; // per state, then one past the last
    std::vector<std::uint8_t> m_AcceptsAtEnd;
    std::vector<std::uint32_t> m_Hash; // open addressing: state + 1, 0 when free
    std::uint32_t m_nInitial = 0;      // row offset of the state a subject starts in
    std::uint64_t m_nFlushes = 0;

    // Unanchored, most bytes of most lines leave the initial state as it is; only the bytes some
    // attempt can start with do not. Runs of the others are skipped many at a time.
    const unsigned char* SkipToStart(const unsigned char* text, const unsigned char* end) const;
    std::array<bool, 256> m_StartsAttempt{};
    std::array<std::array<std::uint8_t, 16>, 2> m_StartNibbles{}; // the same set, for vector lookups
    bool m_bSkipsToStarts = false;
    bool m_bUseAvx2 = false;

    std::vector<std::uint32_t> m_Next;    // scratch: the key being built
    std::vector<std::uint32_t> m_Scratch; // scratch: closures only looked at
};
