// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/LiteralSearcher.h"

#include "filtering/ByteFolding.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_HAVE_X86 1
#endif

namespace {

unsigned char OtherCase(unsigned char folded)
{
    return (folded >= 'a' && folded <= 'z') ? static_cast<unsigned char>(folded - ('a' - 'A')) : folded;
}

} // namespace

LiteralSearcher::LiteralSearcher(std::string_view pattern, bool caseSensitive)
    : m_strPattern(pattern), m_bCaseSensitive(caseSensitive), m_bUseAvx2(false), m_nFirst(0), m_nLast(0),
      m_nFirstAlt(0), m_nLastAlt(0)
{
    if (!caseSensitive)
        for (char& byte : m_strPattern)
            byte = static_cast<char>(FoldTable[static_cast<unsigned char>(byte)]);
    if (!m_strPattern.empty()) {
        m_nFirst = static_cast<unsigned char>(m_strPattern.front());
        m_nLast = static_cast<unsigned char>(m_strPattern.back());
        m_nFirstAlt = caseSensitive ? m_nFirst : OtherCase(m_nFirst);
        m_nLastAlt = caseSensitive ? m_nLast : OtherCase(m_nLast);
    }
#ifdef OSTREL_HAVE_X86
    __builtin_cpu_init();
    m_bUseAvx2 = __builtin_cpu_supports("avx2");
#endif
}

bool LiteralSearcher::MatchesAt(const char* candidate) const
{
    const std::size_t length = m_strPattern.size();
    if (m_bCaseSensitive)
        return std::memcmp(candidate, m_strPattern.data(), length) == 0;
    for (std::size_t i = 0; i < length; ++i)
        if (FoldTable[static_cast<unsigned char>(candidate[i])] != static_cast<unsigned char>(m_strPattern[i]))
            return false;
    return true;
}

std::size_t LiteralSearcher::Find(std::string_view text) const
{
    const std::size_t length = m_strPattern.size();
    if (length == 0)
        return 0;
    if (text.size() < length)
        return npos;
    const char* begin = text.data();
    // Candidate starts lie in [begin, end): the whole pattern fits behind each of them.
    const char* end = begin + (text.size() - length + 1);
    if (m_bCaseSensitive && length == 1) {
        const void* hit = std::memchr(begin, m_nFirst, text.size());
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - begin) : npos;
    }
#ifdef OSTREL_HAVE_X86
    if (m_bUseAvx2)
        return FindAvx2(begin, end);
    return FindSse2(begin, end);
#else
    return FindScalar(begin, end);
#endif
}

std::size_t LiteralSearcher::FindScalar(const char* begin, const char* end) const
{
    const std::size_t lastOffset = m_strPattern.size() - 1;
    for (const char* p = begin; p < end; ++p) {
        const auto first = static_cast<unsigned char>(*p);
        const auto last = static_cast<unsigned char>(p[lastOffset]);
        if ((first == m_nFirst || first == m_nFirstAlt) && (last == m_nLast || last == m_nLastAlt) && MatchesAt(p))
            return static_cast<std::size_t>(p - begin);
    }
    return npos;
}

#ifdef OSTREL_HAVE_X86

std::size_t LiteralSearcher::FindSse2(const char* begin, const char* end) const
{
    const std::size_t lastOffset = m_strPattern.size() - 1;
    const __m128i first = _mm_set1_epi8(static_cast<char>(m_nFirst));
    const __m128i firstAlt = _mm_set1_epi8(static_cast<char>(m_nFirstAlt));
    const __m128i last = _mm_set1_epi8(static_cast<char>(m_nLast));
    const __m128i lastAlt = _mm_set1_epi8(static_cast<char>(m_nLastAlt));
    const char* p = begin;
    for (; end - p >= 16; p += 16) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + lastOffset));
        const __m128i headHit = _mm_or_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(head, firstAlt));
        const __m128i tailHit = _mm_or_si128(_mm_cmpeq_epi8(tail, last), _mm_cmpeq_epi8(tail, lastAlt));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(headHit, tailHit)));
        while (mask != 0) {
            const int bit = __builtin_ctz(mask);
            if (MatchesAt(p + bit))
                return static_cast<std::size_t>(p + bit - begin);
            mask &= mask - 1;
        }
    }
    const std::size_t rest = FindScalar(p, end);
    return rest == npos ? npos : static_cast<std::size_t>(p - begin) + rest;
}

__attribute__((target("avx2"))) std::size_t LiteralSearcher::FindAvx2(const char* begin, const char* end) const
{
    const std::size_t lastOffset = m_strPattern.size() - 1;
    const __m256i first = _mm256_set1_epi8(static_cast<char>(m_nFirst));
    const __m256i firstAlt = _mm256_set1_epi8(static_cast<char>(m_nFirstAlt));
    const __m256i last = _mm256_set1_epi8(static_cast<char>(m_nLast));
    const __m256i lastAlt = _mm256_set1_epi8(static_cast<char>(m_nLastAlt));
    const char* p = begin;
    for (; end - p >= 32; p += 32) {
        const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + lastOffset));
        const __m256i headHit = _mm256_or_si256(_mm256_cmpeq_epi8(head, first), _mm256_cmpeq_epi8(head, firstAlt));
        const __m256i tailHit = _mm256_or_si256(_mm256_cmpeq_epi8(tail, last), _mm256_cmpeq_epi8(tail, lastAlt));
        auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(headHit, tailHit)));
        while (mask != 0) {
            const int bit = __builtin_ctz(mask);
            if (MatchesAt(p + bit))
                return static_cast<std::size_t>(p + bit - begin);
            mask &= mask - 1;
        }
    }
    const std::size_t rest = FindScalar(p, end);
    return rest == npos ? npos : static_cast<std::size_t>(p - begin) + rest;
}

#else

std::size_t LiteralSearcher::FindSse2(const char* begin, const char* end) const
{
    return FindScalar(begin, end);
}

std::size_t LiteralSearcher::FindAvx2(const char* begin, const char* end) const
{
    return FindScalar(begin, end);
}

#endif
