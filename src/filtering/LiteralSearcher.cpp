// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/LiteralSearcher.h"

#include <algorithm>
#include <cstring>

#include "filtering/ByteFolding.h"
#include "regex/ByteCommonness.h"

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
        // The rarest byte and the rarest other one; ties go to the last bytes, which are the
        // least likely to repeat the first.
        const auto commonness = [&](std::size_t offset) {
            return ByteCommonness(static_cast<unsigned char>(m_strPattern[offset]), caseSensitive);
        };
        std::size_t rarest = m_strPattern.size() - 1;
        for (std::size_t i = m_strPattern.size(); i-- > 0;)
            if (commonness(i) < commonness(rarest))
                rarest = i;
        std::size_t second = rarest == 0 ? m_strPattern.size() - 1 : 0;
        for (std::size_t i = m_strPattern.size(); i-- > 0;)
            if (i != rarest && commonness(i) < commonness(second))
                second = i;
        m_nFirstOffset = std::min(rarest, second);
        m_nLastOffset = std::max(rarest, second);
        m_nFirst = static_cast<unsigned char>(m_strPattern[m_nFirstOffset]);
        m_nLast = static_cast<unsigned char>(m_strPattern[m_nLastOffset]);
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
    for (const char* p = begin; p < end; ++p) {
        const auto first = static_cast<unsigned char>(p[m_nFirstOffset]);
        const auto last = static_cast<unsigned char>(p[m_nLastOffset]);
        if ((first == m_nFirst || first == m_nFirstAlt) && (last == m_nLast || last == m_nLastAlt) && MatchesAt(p))
            return static_cast<std::size_t>(p - begin);
    }
    return npos;
}

#ifdef OSTREL_HAVE_X86

std::size_t LiteralSearcher::FindSse2(const char* begin, const char* end) const
{
    const __m128i first = _mm_set1_epi8(static_cast<char>(m_nFirst));
    const __m128i firstAlt = _mm_set1_epi8(static_cast<char>(m_nFirstAlt));
    const __m128i last = _mm_set1_epi8(static_cast<char>(m_nLast));
    const __m128i lastAlt = _mm_set1_epi8(static_cast<char>(m_nLastAlt));
    const char* p = begin;
    for (; end - p >= 16; p += 16) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m_nFirstOffset));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m_nLastOffset));
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

namespace {

struct PairAvx2
{
    __m256i First, FirstAlt, Last, LastAlt;
};

// Bit i set: the pattern's two chosen bytes lie at p + i plus their offsets.
__attribute__((target("avx2"))) inline __m256i CandidatesAvx2(const PairAvx2& pair, const char* first, const char* last)
{
    const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first));
    const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(last));
    const __m256i headHit =
        _mm256_or_si256(_mm256_cmpeq_epi8(head, pair.First), _mm256_cmpeq_epi8(head, pair.FirstAlt));
    const __m256i tailHit = _mm256_or_si256(_mm256_cmpeq_epi8(tail, pair.Last), _mm256_cmpeq_epi8(tail, pair.LastAlt));
    return _mm256_and_si256(headHit, tailHit);
}

} // namespace

__attribute__((target("avx2"))) std::size_t LiteralSearcher::FindAvx2(const char* begin, const char* end) const
{
    const PairAvx2 pair{_mm256_set1_epi8(static_cast<char>(m_nFirst)), _mm256_set1_epi8(static_cast<char>(m_nFirstAlt)),
                        _mm256_set1_epi8(static_cast<char>(m_nLast)), _mm256_set1_epi8(static_cast<char>(m_nLastAlt))};
    const std::size_t firstOffset = m_nFirstOffset;
    const std::size_t lastOffset = m_nLastOffset;
    const char* p = begin;
    // Two vectors a round: most rounds find nothing in either and cost one test.
    for (; end - p >= 32; p += 32) {
        __m256i low = CandidatesAvx2(pair, p + firstOffset, p + lastOffset);
        unsigned highMask = 0;
        if (end - p >= 64) {
            const __m256i high = CandidatesAvx2(pair, p + 32 + firstOffset, p + 32 + lastOffset);
            const __m256i either = _mm256_or_si256(low, high);
            if (_mm256_testz_si256(either, either)) {
                p += 32;
                continue;
            }
            highMask = static_cast<unsigned>(_mm256_movemask_epi8(high));
        }
        for (auto mask = static_cast<unsigned>(_mm256_movemask_epi8(low)); mask != 0; mask &= mask - 1) {
            const int bit = __builtin_ctz(mask);
            if (MatchesAt(p + bit))
                return static_cast<std::size_t>(p + bit - begin);
        }
        if (highMask != 0) {
            p += 32;
            for (; highMask != 0; highMask &= highMask - 1) {
                const int bit = __builtin_ctz(highMask);
                if (MatchesAt(p + bit))
                    return static_cast<std::size_t>(p + bit - begin);
            }
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
