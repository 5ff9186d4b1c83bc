// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/LineFeedCounter.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_HAVE_X86 1
#endif

namespace {

std::uint64_t CountScalar(const char* data, std::size_t size)
{
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < size; ++i)
        count += data[i] == '\n';
    return count;
}

void FindScalar(const char* data, std::size_t size, std::uint32_t base, std::vector<std::uint32_t>& starts)
{
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == '\n')
            starts.push_back(base + static_cast<std::uint32_t>(i) + 1);
}

#ifdef OSTREL_HAVE_X86

std::uint64_t CountSse2(const char* data, std::size_t size)
{
    const __m128i lineFeed = _mm_set1_epi8('\n');
    std::uint64_t count = 0;
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        count += static_cast<unsigned>(
            __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)))));
    }
    return count + CountScalar(data + i, size - i);
}

// Sums byte-wise compare results in 8-bit lanes for up to 255 rounds, then folds them with
// a sum of absolute differences: one add per 32 bytes in the hot loop.
__attribute__((target("avx2"))) std::uint64_t CountAvx2(const char* data, std::size_t size)
{
    const __m256i lineFeed = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    std::uint64_t count = 0;
    std::size_t i = 0;
    while (i + 32 <= size) {
        __m256i lanes = zero;
        const std::size_t rounds = ((size - i) / 32) < 255 ? ((size - i) / 32) : 255;
        for (std::size_t r = 0; r < rounds; ++r, i += 32) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
            lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(bytes, lineFeed));
        }
        const __m256i sums = _mm256_sad_epu8(lanes, zero);
        count += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
    }
    return count + CountScalar(data + i, size - i);
}

void PushBits(std::uint64_t mask, std::uint32_t at, std::vector<std::uint32_t>& starts)
{
    for (; mask != 0; mask &= mask - 1)
        starts.push_back(at + static_cast<std::uint32_t>(__builtin_ctzll(mask)) + 1);
}

void FindSse2(const char* data, std::size_t size, std::uint32_t base, std::vector<std::uint32_t>& starts)
{
    const __m128i lineFeed = _mm_set1_epi8('\n');
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        std::uint64_t mask = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + part * 16));
            const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
            mask |= static_cast<std::uint64_t>(bits) << (part * 16);
        }
        PushBits(mask, base + static_cast<std::uint32_t>(i), starts);
    }
    FindScalar(data + i, size - i, base + static_cast<std::uint32_t>(i), starts);
}

__attribute__((target("avx2"))) void FindAvx2(const char* data, std::size_t size, std::uint32_t base,
                                              std::vector<std::uint32_t>& starts)
{
    const __m256i lineFeed = _mm256_set1_epi8('\n');
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 32));
        const auto lowBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lineFeed)));
        const auto highBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lineFeed)));
        PushBits(lowBits | (static_cast<std::uint64_t>(highBits) << 32), base + static_cast<std::uint32_t>(i), starts);
    }
    FindScalar(data + i, size - i, base + static_cast<std::uint32_t>(i), starts);
}

bool HasAvx2()
{
    static const bool hasAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return hasAvx2;
}

#endif

} // namespace

std::uint64_t CountLineFeeds(const char* data, std::size_t size)
{
#ifdef OSTREL_HAVE_X86
    return HasAvx2() ? CountAvx2(data, size) : CountSse2(data, size);
#else
    return CountScalar(data, size);
#endif
}

void FindLineStarts(const char* data, std::size_t size, std::uint32_t base, std::vector<std::uint32_t>& starts)
{
#ifdef OSTREL_HAVE_X86
    if (HasAvx2())
        FindAvx2(data, size, base, starts);
    else
        FindSse2(data, size, base, starts);
#else
    FindScalar(data, size, base, starts);
#endif
}
