// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/MultiLiteralScanner.h"

#include <algorithm>
#include <cstring>

#include "filtering/ByteFolding.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_HAVE_X86 1
#endif

MultiLiteralScanner::MultiLiteralScanner()
{
#ifdef OSTREL_HAVE_X86
    __builtin_cpu_init();
    m_bUseAvx2 = __builtin_cpu_supports("avx2");
#endif
}

std::size_t MultiLiteralScanner::Add(std::string_view literal, bool caseSensitive)
{
    std::string text(literal);
    if (!caseSensitive)
        for (char& byte : text)
            byte = static_cast<char>(FoldTable[static_cast<unsigned char>(byte)]);
    for (std::size_t i = 0; i < m_Literals.size(); ++i)
        if (m_Literals[i].CaseSensitive == caseSensitive && m_Literals[i].Text == text)
            return i;
    m_Literals.push_back({std::move(text), caseSensitive});
    return m_Literals.size() - 1;
}

void MultiLiteralScanner::Prepare()
{
    m_Single.reset();
    for (auto& bucket : m_Buckets)
        bucket.clear();
    for (auto& table : m_Low)
        table.fill(0);
    for (auto& table : m_High)
        table.fill(0);
    if (m_Literals.size() == 1) {
        m_Single.emplace(m_Literals.front().Text, m_Literals.front().CaseSensitive);
        return;
    }
    std::size_t shortest = 3;
    for (const Literal& literal : m_Literals)
        shortest = std::min(shortest, literal.Text.size());
    m_nWidth = static_cast<int>(std::max<std::size_t>(shortest, 1));

    // Strings that share their first bytes share a bucket, so that a candidate rarely has to be
    // compared with strings of several buckets.
    std::vector<std::uint32_t> order(m_Literals.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return m_Literals[a].Text.compare(0, 3, m_Literals[b].Text, 0, 3) < 0;
    });
    const std::size_t perBucket = (order.size() + m_Buckets.size() - 1) / m_Buckets.size();
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const std::size_t bucket = rank / perBucket;
        const Literal& literal = m_Literals[order[rank]];
        m_Buckets[bucket].push_back(order[rank]);
        const auto bit = static_cast<std::uint8_t>(1u << bucket);
        for (int offset = 0; offset < m_nWidth; ++offset) {
            const auto byte = static_cast<unsigned char>(literal.Text[static_cast<std::size_t>(offset)]);
            for (const unsigned char variant :
                 {byte,
                  literal.CaseSensitive || byte < 'a' || byte > 'z' ? byte : static_cast<unsigned char>(byte - 32)}) {
                m_Low[static_cast<std::size_t>(offset)][variant & 15] |= bit;
                m_High[static_cast<std::size_t>(offset)][variant >> 4] |= bit;
            }
        }
    }
}

bool MultiLiteralScanner::MatchesAt(const Literal& literal, const char* position, const char* end) const
{
    const std::size_t length = literal.Text.size();
    if (static_cast<std::size_t>(end - position) < length)
        return false;
    if (literal.CaseSensitive)
        return std::memcmp(position, literal.Text.data(), length) == 0;
    for (std::size_t i = 0; i < length; ++i)
        if (FoldTable[static_cast<unsigned char>(position[i])] != static_cast<unsigned char>(literal.Text[i]))
            return false;
    return true;
}

template <bool All>
const char* MultiLiteralScanner::Verify(unsigned buckets, const char* position, const char* end,
                                        std::uint64_t* hits) const
{
    for (; buckets != 0; buckets &= buckets - 1) {
        for (const std::uint32_t index : m_Buckets[static_cast<std::size_t>(__builtin_ctz(buckets))]) {
            if (!MatchesAt(m_Literals[index], position, end))
                continue;
            if constexpr (!All)
                return position;
            hits[index >> 6] |= std::uint64_t(1) << (index & 63);
        }
    }
    return nullptr;
}

const char* MultiLiteralScanner::Find(const char* from, const char* end) const
{
    if (from >= end || m_Literals.empty())
        return end;
    if (m_Single) {
        const std::size_t offset = m_Single->Find(std::string_view(from, static_cast<std::size_t>(end - from)));
        return offset == LiteralSearcher::npos ? end : from + offset;
    }
    switch (m_nWidth) {
    case 1:
        return Scan<1, false>(from, end, nullptr);
    case 2:
        return Scan<2, false>(from, end, nullptr);
    default:
        return Scan<3, false>(from, end, nullptr);
    }
}

void MultiLiteralScanner::Collect(const char* from, const char* end, std::uint64_t* hits) const
{
    if (from >= end || m_Literals.empty())
        return;
    if (m_Single) {
        if (m_Single->Find(std::string_view(from, static_cast<std::size_t>(end - from))) != LiteralSearcher::npos)
            hits[0] |= 1;
        return;
    }
    switch (m_nWidth) {
    case 1:
        Scan<1, true>(from, end, hits);
        break;
    case 2:
        Scan<2, true>(from, end, hits);
        break;
    default:
        Scan<3, true>(from, end, hits);
        break;
    }
}

template <int Width, bool All>
const char* MultiLiteralScanner::Scan(const char* from, const char* end, std::uint64_t* hits) const
{
    const char* position = from;
#ifdef OSTREL_HAVE_X86
    if (m_bUseAvx2) {
        const char* found = ScanAvx2<Width, All>(from, end, hits);
        if (!All && found != nullptr)
            return found;
        // The vector loop stops where a full vector and the bytes behind it no longer fit.
        const std::ptrdiff_t vectorEnd = (end - from) - 32 - (Width - 1);
        position = vectorEnd >= 0 ? from + (vectorEnd / 32 + 1) * 32 : from;
    }
#endif
    for (; position < end; ++position) {
        unsigned buckets = 0xFF;
        for (int offset = 0; offset < Width && buckets != 0; ++offset) {
            if (position + offset >= end) {
                buckets = 0;
                break;
            }
            const auto byte = static_cast<unsigned char>(position[offset]);
            buckets &= m_Low[static_cast<std::size_t>(offset)][byte & 15] &
                       m_High[static_cast<std::size_t>(offset)][byte >> 4];
        }
        if (buckets != 0) {
            const char* found = Verify<All>(buckets, position, end, hits);
            if (!All && found != nullptr)
                return found;
        }
    }
    return end;
}

#ifdef OSTREL_HAVE_X86

namespace {

__attribute__((target("avx2"))) inline __m256i BucketsOf(__m256i bytes, __m256i low, __m256i high)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i lowBits = _mm256_shuffle_epi8(low, _mm256_and_si256(bytes, nibble));
    const __m256i highBits = _mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
    return _mm256_and_si256(lowBits, highBits);
}

__attribute__((target("avx2"))) inline __m256i Broadcast(const std::array<std::uint8_t, 16>& table)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

} // namespace

// Returns the first verified position (or null) when All is false; with All, null after the
// last full vector.
template <int Width, bool All>
__attribute__((target("avx2"))) const char* MultiLiteralScanner::ScanAvx2(const char* from, const char* end,
                                                                          std::uint64_t* hits) const
{
    const __m256i low0 = Broadcast(m_Low[0]);
    const __m256i high0 = Broadcast(m_High[0]);
    const __m256i low1 = Broadcast(m_Low[1]);
    const __m256i high1 = Broadcast(m_High[1]);
    const __m256i low2 = Broadcast(m_Low[2]);
    const __m256i high2 = Broadcast(m_High[2]);
    const __m256i zero = _mm256_setzero_si256();
    alignas(32) std::uint8_t lanes[32];
    for (const char* position = from; end - position >= 32 + (Width - 1); position += 32) {
        __m256i buckets = BucketsOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(position)), low0, high0);
        if constexpr (Width > 1)
            buckets = _mm256_and_si256(
                buckets, BucketsOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(position + 1)), low1, high1));
        if constexpr (Width > 2)
            buckets = _mm256_and_si256(
                buckets, BucketsOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(position + 2)), low2, high2));
        auto candidates = ~static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(buckets, zero)));
        if (candidates == 0)
            continue;
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), buckets);
        for (; candidates != 0; candidates &= candidates - 1) {
            const int lane = __builtin_ctz(candidates);
            const char* found = Verify<All>(lanes[lane], position + lane, end, hits);
            if (!All && found != nullptr)
                return found;
        }
    }
    return nullptr;
}

#else

template <int Width, bool All> const char* MultiLiteralScanner::ScanAvx2(const char*, const char*, std::uint64_t*) const
{
    return nullptr;
}

#endif
