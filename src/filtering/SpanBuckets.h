// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Counts of lines over a span of keys (file lines, or times), in a fixed number of buckets of
// equal width whatever the number of lines: when a key falls outside the span, neighbouring
// buckets are merged in pairs and the span doubles, towards the key. Each bucket counts its lines
// by the filter that kept them (filters share a colour every Colours filters, and lines kept by
// none count apart) and remembers the smallest file line among them.
class SpanBuckets
{
public:
    static constexpr std::size_t DefaultBucketCount = 1024;
    // The filter colours counted apart; a filter past them counts with filter % Colours.
    static constexpr int Colours = 8;
    // The slot of lines kept by no filter (context, bookmarked lines, excluding runs).
    static constexpr int NoFilter = Colours;

    struct Bucket
    {
        std::array<std::uint64_t, Colours + 1> Lines{};
        std::int64_t FirstLine = 0; // the smallest file line counted here, 0 for none

        std::uint64_t Total() const;
        // The slot (a colour, or NoFilter) with the most lines; the lower slot on a tie; -1 when empty.
        int Strongest() const;
        void Merge(const Bucket& other);
    };

    // count: how many buckets, even and at least 2.
    explicit SpanBuckets(std::size_t count = DefaultBucketCount);

    void Clear();
    // Counts a line at key, kept by filter (0-based, -1 for none), whose file line is fileLine.
    void Add(std::int64_t key, int filter, std::int64_t fileLine);

    bool Empty() const { return m_nLines == 0; }
    std::uint64_t GetLineCount() const { return m_nLines; }
    std::size_t GetBucketCount() const { return m_Buckets.size(); }
    // The span covered is [GetOrigin(), GetOrigin() + GetBucketCount() * GetWidth()).
    std::int64_t GetOrigin() const { return m_nOrigin; }
    std::int64_t GetWidth() const { return m_nWidth; }
    // The smallest and the largest key counted (0 while empty).
    std::int64_t GetMinKey() const { return m_nMinKey; }
    std::int64_t GetMaxKey() const { return m_nMaxKey; }
    const Bucket& At(std::size_t index) const { return m_Buckets[index]; }
    // The first key of bucket index.
    std::int64_t KeyOf(std::size_t index) const { return m_nOrigin + static_cast<std::int64_t>(index) * m_nWidth; }

    // The buckets that overlap the keys [from, to) merged into one.
    Bucket Sum(std::int64_t from, std::int64_t to) const;
    // The bucket nearest key that holds lines (the one holding key, else the nearer of the
    // nearest on either side, the earlier on a tie); GetBucketCount() when empty.
    std::size_t NearestFilled(std::int64_t key) const;

    // The slot a filter counts in.
    static int SlotOf(int filter) { return filter < 0 ? NoFilter : filter % Colours; }

private:
    // Doubles the width, keeping the span's start (upwards) or its end (downwards).
    void Widen(bool upwards);

    std::vector<Bucket> m_Buckets;
    std::int64_t m_nOrigin = 0;
    std::int64_t m_nWidth = 1;
    int m_nWidthShift = 0; // m_nWidth is 1 << m_nWidthShift
    std::int64_t m_nMinKey = 0;
    std::int64_t m_nMaxKey = 0;
    std::uint64_t m_nLines = 0;
};

// Where the rows of a strip of rows pixels lie over the keys [first, last]: row r covers
// [RowStart(r), RowStart(r + 1)), the last row ending past last.
struct SpanRows
{
    std::int64_t First = 1;
    std::int64_t Last = 1;
    int Rows = 1;

    std::int64_t RowStart(int row) const;
    // The row that holds key (clamped to the strip).
    int RowOf(std::int64_t key) const;
};
