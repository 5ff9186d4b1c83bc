// SPDX-License-Identifier: GPL-3.0-or-later
#include "regex/RegexDfa.h"

#include <algorithm>
#include <new>

#include "regex/Regex.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_HAVE_X86 1
#endif

namespace {

std::uint64_t HashKey(const std::uint32_t* key, std::size_t length)
{
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ length;
    for (std::size_t i = 0; i < length; ++i) {
        hash ^= key[i];
        hash *= 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    return hash;
}

} // namespace

RegexDfa::RegexDfa(const Regex& regex, std::size_t cacheBytes)
    : m_Nfa(regex, RegexNfa::Mode::Exact), m_nCacheBytes(cacheBytes)
{
    // Byte classes: two bytes that every node treats alike lead to the same state.
    const std::vector<RegexNfa::Node>& nodes = m_Nfa.GetNodes();
    std::array<std::uint32_t, 256> classOf{};
    std::uint32_t classes = 1;
    for (const RegexNfa::Node& node : nodes) {
        std::array<std::int32_t, 512> split; // (old class, in the node's set) to new class
        split.fill(-1);
        std::uint32_t count = 0;
        for (unsigned byte = 0; byte < 256; ++byte) {
            std::int32_t& target = split[classOf[byte] * 2 + (node.Has(static_cast<unsigned char>(byte)) ? 1 : 0)];
            if (target < 0)
                target = static_cast<std::int32_t>(count++);
            classOf[byte] = static_cast<std::uint32_t>(target);
        }
        classes = count;
    }
    m_nStride = classes;
    m_ClassByte.assign(classes, 0);
    for (unsigned byte = 256; byte-- > 0;) {
        m_ClassOf[byte] = static_cast<std::uint8_t>(classOf[byte]);
        m_ClassByte[classOf[byte]] = static_cast<unsigned char>(byte);
    }

    // Bytes that no start node takes leave an unanchored initial state as it is.
    if (!m_Nfa.IsAnchored()) {
        std::size_t starting = 0;
        for (unsigned byte = 0; byte < 256; ++byte) {
            for (const std::uint32_t node : m_Nfa.GetStartNodes())
                m_StartsAttempt[byte] = m_StartsAttempt[byte] || nodes[node].Has(static_cast<unsigned char>(byte));
            if (m_StartsAttempt[byte]) {
                ++starting;
                m_StartNibbles[byte >> 7][byte & 15] |= static_cast<std::uint8_t>(1u << ((byte >> 4) & 7));
            }
        }
        m_bSkipsToStarts = starting < 128; // skipping pays only when runs of other bytes are likely
    }
#ifdef OSTREL_HAVE_X86
    __builtin_cpu_init();
    m_bUseAvx2 = __builtin_cpu_supports("avx2");
#endif

    m_bAlwaysMatches = m_Nfa.StartMatches();
    const std::vector<std::uint32_t>& start = m_Nfa.GetStartNodes();
    m_bEmptySubjectMatches = m_bAlwaysMatches || AcceptsAtEnd(start.data(), start.size());
    Flush();
    m_nFlushes = 0;
}

bool RegexDfa::Matches(std::string_view subject)
{
    if (m_bAlwaysMatches)
        return true;
    if (subject.empty())
        return m_bEmptySubjectMatches;
    const auto* text = reinterpret_cast<const unsigned char*>(subject.data());
    const unsigned char* const end = text + subject.size();
    const std::uint32_t* table = m_Table.data();
    std::uint32_t state = m_nInitial;
    for (; text < end; ++text) {
        if (state == m_nInitial && m_bSkipsToStarts && !m_StartsAttempt[*text]) {
            text = SkipToStart(text, end);
            if (text == end)
                break;
        }
        const std::uint32_t byteClass = m_ClassOf[*text];
        std::uint32_t next = table[state + byteClass];
        if (next >= kDead) {
            if (next == kUnknown) {
                next = Transition(state, byteClass);
                table = m_Table.data();
            }
            if (next == kMatched)
                return true;
            if (next == kDead)
                return false;
        }
        state = next;
    }
    return m_AcceptsAtEnd[state / m_nStride] != 0;
}

// Builds the state that follows state on a byte of the class: every node of the state (and, when
// the expression is not anchored, of the attempt that starts at this byte) that takes the byte
// leads to its closure.
std::uint32_t RegexDfa::Transition(std::uint32_t state, std::uint32_t byteClass)
{
    const unsigned char byte = m_ClassByte[byteClass];
    const std::vector<RegexNfa::Node>& nodes = m_Nfa.GetNodes();
    const std::uint32_t index = state / m_nStride;
    m_Nfa.BeginRound();
    m_Next.clear();
    bool matched = false;
    const auto step = [&](std::uint32_t node) {
        if (nodes[node].Has(byte))
            matched = m_Nfa.Closure(nodes[node].Next, m_Next) || matched;
    };
    for (std::uint32_t k = m_KeyStart[index]; k < m_KeyStart[index + 1]; ++k)
        step(m_Keys[k]);
    if (!m_Nfa.IsAnchored())
        for (const std::uint32_t node : m_Nfa.GetStartNodes())
            step(node);

    std::uint32_t target;
    if (matched) {
        target = kMatched;
    } else if (m_Next.empty() && m_Nfa.IsAnchored()) {
        target = kDead;
    } else {
        std::sort(m_Next.begin(), m_Next.end());
        const std::size_t flushesBefore = m_nFlushes;
        target = Intern(m_Next);
        if (m_nFlushes != flushesBefore)
            return target; // the source state is gone with the flush
    }
    m_Table[state + byteClass] = target;
    return target;
}

std::uint32_t RegexDfa::Intern(const std::vector<std::uint32_t>& key)
{
    const std::uint64_t hash = HashKey(key.data(), key.size());
    const std::size_t mask = m_Hash.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t entry = m_Hash[slot];
        if (entry == 0)
            break;
        const std::uint32_t index = entry - 1;
        const std::uint32_t begin = m_KeyStart[index];
        const std::uint32_t length = m_KeyStart[index + 1] - begin;
        if (length == key.size() && std::equal(key.begin(), key.end(), m_Keys.begin() + begin))
            return index * m_nStride;
    }

    // A new state. Past the cap, start the cache afresh; the subject being read goes on from the
    // new state, and the initial state is built again first.
    const auto states = static_cast<std::uint32_t>(m_AcceptsAtEnd.size());
    if (states > 1 && CacheBytes(key.size()) > m_nCacheBytes) {
        const std::vector<std::uint32_t> kept = key;
        Flush();
        ++m_nFlushes;
        return Intern(kept);
    }
    const std::uint64_t rows = static_cast<std::uint64_t>(states + 1) * m_nStride;
    if (rows >= kDead)
        throw std::bad_alloc(); // a cache larger than row offsets can address
    m_Keys.insert(m_Keys.end(), key.begin(), key.end());
    m_KeyStart.push_back(static_cast<std::uint32_t>(m_Keys.size()));
    m_AcceptsAtEnd.push_back(AcceptsAtEnd(key.data(), key.size()) ? 1 : 0);
    m_Table.resize(m_Table.size() + m_nStride, kUnknown);
    if ((states + 1) * 2 > m_Hash.size())
        Rehash(m_Hash.size() * 2);
    else
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask)
            if (m_Hash[slot] == 0) {
                m_Hash[slot] = states + 1;
                break;
            }
    return states * m_nStride;
}

// Whether a final "$" of the state meets the end of the subject and leads to Succeed.
bool RegexDfa::AcceptsAtEnd(const std::uint32_t* key, std::size_t length)
{
    const std::vector<RegexNfa::Node>& nodes = m_Nfa.GetNodes();
    for (std::size_t i = 0; i < length; ++i) {
        if (!nodes[key[i]].ConsumesEnd)
            continue;
        m_Nfa.BeginRound();
        m_Scratch.clear();
        if (m_Nfa.Closure(nodes[key[i]].Next, m_Scratch))
            return true;
    }
    return false;
}

std::size_t RegexDfa::CacheBytes(std::size_t extraKey) const
{
    return sizeof(std::uint32_t) *
               (m_Table.size() + m_nStride + m_Keys.size() + extraKey + m_KeyStart.size() + m_Hash.size()) +
           m_AcceptsAtEnd.size();
}

void RegexDfa::Flush()
{
    m_Table.clear();
    m_Keys.clear();
    m_KeyStart.assign(1, 0);
    m_AcceptsAtEnd.clear();
    m_Hash.assign(64, 0);
    // Unanchored, a subject starts with no thread and every byte adds the attempt that starts
    // there; anchored, the only attempt is already under way.
    m_Next.clear();
    if (m_Nfa.IsAnchored())
        m_Next = m_Nfa.GetStartNodes();
    std::sort(m_Next.begin(), m_Next.end());
    m_nInitial = Intern(m_Next);
}

void RegexDfa::Rehash(std::size_t buckets)
{
    m_Hash.assign(buckets, 0);
    const std::size_t mask = buckets - 1;
    const auto states = static_cast<std::uint32_t>(m_AcceptsAtEnd.size());
    for (std::uint32_t index = 0; index < states; ++index) {
        const std::uint32_t begin = m_KeyStart[index];
        const std::uint64_t hash = HashKey(m_Keys.data() + begin, m_KeyStart[index + 1] - begin);
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask)
            if (m_Hash[slot] == 0) {
                m_Hash[slot] = index + 1;
                break;
            }
    }
}

#ifdef OSTREL_HAVE_X86

namespace {

// The first byte of [text, end) in the set, or end: 32 bytes a step, each looked up by its low
// nibble in one of two tables (chosen by the top bit) that hold a bit per value of bits 4 to 6.
__attribute__((target("avx2"))) const unsigned char*
FindInSetAvx2(const unsigned char* text, const unsigned char* end,
              const std::array<std::array<std::uint8_t, 16>, 2>& set)
{
    const __m256i low = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(set[0].data())));
    const __m256i high = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(set[1].data())));
    const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16,
                                          32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    for (; end - text >= 32; text += 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
        const __m256i lowNibbles = _mm256_and_si256(bytes, nibble);
        const __m256i rows =
            _mm256_blendv_epi8(_mm256_shuffle_epi8(low, lowNibbles), _mm256_shuffle_epi8(high, lowNibbles), bytes);
        const __m256i bit = _mm256_shuffle_epi8(bits, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
        const auto misses =
            static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(rows, bit), zero)));
        if (misses != 0xFFFFFFFFu)
            return text + __builtin_ctz(~misses);
    }
    return text;
}

} // namespace

#endif

const unsigned char* RegexDfa::SkipToStart(const unsigned char* text, const unsigned char* end) const
{
#ifdef OSTREL_HAVE_X86
    if (m_bUseAvx2)
        text = FindInSetAvx2(text, end, m_StartNibbles);
#endif
    while (text < end && !m_StartsAttempt[*text])
        ++text;
    return text;
}
