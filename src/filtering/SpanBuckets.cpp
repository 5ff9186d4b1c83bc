// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/SpanBuckets.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Beyond this width a wider span would overflow the keys: later keys are clamped instead.
constexpr std::int64_t WidestWidth = std::int64_t{1} << 52;

} // namespace

std::uint64_t SpanBuckets::Bucket::Total() const
{
    std::uint64_t total = 0;
    for (std::uint64_t lines : Lines)
        total += lines;
    return total;
}

int SpanBuckets::Bucket::Strongest() const
{
    int strongest = -1;
    std::uint64_t most = 0;
    for (int slot = 0; slot <= NoFilter; ++slot)
        if (Lines[static_cast<std::size_t>(slot)] > most) {
            most = Lines[static_cast<std::size_t>(slot)];
            strongest = slot;
        }
    return strongest;
}

void SpanBuckets::Bucket::Merge(const Bucket& other)
{
    for (std::size_t slot = 0; slot < Lines.size(); ++slot)
        Lines[slot] += other.Lines[slot];
    if (other.FirstLine > 0 && (FirstLine == 0 || other.FirstLine < FirstLine))
        FirstLine = other.FirstLine;
}

SpanBuckets::SpanBuckets(std::size_t count) : m_Buckets(std::max<std::size_t>(2, count + count % 2)) {}

void SpanBuckets::Clear()
{
    std::fill(m_Buckets.begin(), m_Buckets.end(), Bucket());
    m_nOrigin = 0;
    m_nWidth = 1;
    m_nWidthShift = 0;
    m_nMinKey = 0;
    m_nMaxKey = 0;
    m_nLines = 0;
}

void SpanBuckets::Widen(bool upwards)
{
    const std::size_t half = m_Buckets.size() / 2;
    std::vector<Bucket> merged(m_Buckets.size());
    const std::size_t base = upwards ? 0 : half;
    for (std::size_t i = 0; i < half; ++i) {
        merged[base + i] = m_Buckets[2 * i];
        merged[base + i].Merge(m_Buckets[2 * i + 1]);
    }
    if (!upwards)
        m_nOrigin -= static_cast<std::int64_t>(m_Buckets.size()) * m_nWidth;
    m_nWidth *= 2;
    ++m_nWidthShift;
    m_Buckets.swap(merged);
}

void SpanBuckets::Add(std::int64_t key, int filter, std::int64_t fileLine)
{
    if (m_nLines == 0) {
        m_nOrigin = key;
        m_nMinKey = key;
        m_nMaxKey = key;
    }
    const auto count = static_cast<std::int64_t>(m_Buckets.size());
    // The width is a power of two: a shift finds the bucket without a division per line.
    while (m_nWidth < WidestWidth && (key < m_nOrigin || ((key - m_nOrigin) >> m_nWidthShift) >= count))
        Widen(key >= m_nOrigin);
    const std::int64_t index = key < m_nOrigin ? 0 : std::min(count - 1, (key - m_nOrigin) >> m_nWidthShift);
    Bucket& bucket = m_Buckets[static_cast<std::size_t>(index)];
    ++bucket.Lines[static_cast<std::size_t>(SlotOf(filter))];
    if (fileLine > 0 && (bucket.FirstLine == 0 || fileLine < bucket.FirstLine))
        bucket.FirstLine = fileLine;
    m_nMinKey = std::min(m_nMinKey, key);
    m_nMaxKey = std::max(m_nMaxKey, key);
    ++m_nLines;
}

SpanBuckets::Bucket SpanBuckets::Sum(std::int64_t from, std::int64_t to) const
{
    Bucket sum;
    if (m_nLines == 0 || to <= from)
        return sum;
    const auto count = static_cast<std::int64_t>(m_Buckets.size());
    const std::int64_t end = m_nOrigin + count * m_nWidth;
    if (to <= m_nOrigin || from >= end)
        return sum;
    const std::int64_t first = std::max<std::int64_t>(0, (from - m_nOrigin) / m_nWidth);
    const std::int64_t last = std::min(count - 1, (std::min(to, end) - 1 - m_nOrigin) / m_nWidth);
    for (std::int64_t i = first; i <= last; ++i)
        sum.Merge(m_Buckets[static_cast<std::size_t>(i)]);
    return sum;
}

std::size_t SpanBuckets::NearestFilled(std::int64_t key) const
{
    const std::size_t count = m_Buckets.size();
    if (m_nLines == 0)
        return count;
    const auto span = static_cast<std::int64_t>(count) * m_nWidth;
    const std::int64_t offset = std::clamp<std::int64_t>(key - m_nOrigin, 0, span - 1);
    const auto at = static_cast<std::size_t>(offset / m_nWidth);
    for (std::size_t distance = 0; distance < count; ++distance) {
        if (distance <= at && m_Buckets[at - distance].Total() > 0)
            return at - distance;
        if (at + distance < count && m_Buckets[at + distance].Total() > 0)
            return at + distance;
    }
    return count;
}

std::int64_t SpanRows::RowStart(int row) const
{
    const int rows = std::max(1, Rows);
    const std::int64_t span = std::max<std::int64_t>(1, Last - First + 1);
    // In long double: a span of microseconds times the rows would overflow 64 bits.
    return First + static_cast<std::int64_t>(static_cast<long double>(span) * std::clamp(row, 0, rows) / rows);
}

int SpanRows::RowOf(std::int64_t key) const
{
    const int rows = std::max(1, Rows);
    const std::int64_t span = std::max<std::int64_t>(1, Last - First + 1);
    // The last row that starts at or before key: with more rows than keys, the rows before it are
    // empty.
    const long double offset = static_cast<long double>(key - First) + 1;
    int row = static_cast<int>(std::clamp<long double>(std::ceil(offset * rows / span) - 1, 0, rows - 1));
    while (row > 0 && RowStart(row) > key)
        --row;
    while (row + 1 < rows && RowStart(row + 1) <= key)
        ++row;
    return row;
}
