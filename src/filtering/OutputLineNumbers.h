// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// The file line number of every line of a run's output, and whether it is context, in about a
// byte per line: each number is kept as its difference to the one before, with a full number
// every Stride lines for lookups. Output lines come in file order, so the differences are small.
class OutputLineNumbers
{
public:
    static constexpr std::size_t Stride = 64;

    OutputLineNumbers() = default;
    OutputLineNumbers(const OutputLineNumbers&) = default;
    OutputLineNumbers& operator=(const OutputLineNumbers&) = default;
    // A list moved from is empty.
    OutputLineNumbers(OutputLineNumbers&& other) noexcept { Swap(other); }
    OutputLineNumbers& operator=(OutputLineNumbers&& other) noexcept
    {
        OutputLineNumbers taken;
        taken.Swap(other);
        Swap(taken);
        return *this;
    }
    void Swap(OutputLineNumbers& other) noexcept
    {
        m_Bytes.swap(other.m_Bytes);
        m_Checkpoints.swap(other.m_Checkpoints);
        std::swap(m_nSize, other.m_nSize);
        std::swap(m_nLast, other.m_nLast);
        m_Filters.swap(other.m_Filters);
    }

    // filter: the one whose match kept the line, 0-based, or -1; past the 254th they share one.
    void Append(std::int64_t lineNumber, bool isContext, int filter = -1);
    void Clear();

    std::size_t Size() const { return m_nSize; }
    bool Empty() const { return m_nSize == 0; }
    // The file line number of output line index (0-based), and whether it is context; index < Size().
    std::int64_t LineNumber(std::size_t index) const;
    bool IsContext(std::size_t index) const;
    // The filter that kept output line index, or -1.
    int Filter(std::size_t index) const { return static_cast<int>(m_Filters[index]) - 1; }
    // Every number, for tests and small outputs.
    std::vector<std::int64_t> ToVector() const;

    // Lines without a file line (a marker, number 0 or less) are skipped by these searches.
    // The kept line nearest a file line: the first at or after it, or the last before it when
    // that one is nearer; 0 for an empty list.
    std::size_t NearestTo(std::int64_t fileLine) const;
    // The first line whose file line is number or more, or Size() when every one is less.
    std::size_t FirstAtOrAfter(std::int64_t number) const;
    // The last line with a file line, plus one; 0 when no line has one.
    std::size_t EndOfNumbered() const;
    // The file line of the last line that has one, or 0.
    std::int64_t LastFileLine() const;

private:
    struct Checkpoint
    {
        std::size_t ByteOffset = 0; // where entry i * Stride starts in m_Bytes
        std::int64_t Previous = 0;  // the number before entry i * Stride
    };

    // Walks to entry index; returns its number and context flag.
    void Decode(std::size_t index, std::int64_t& number, bool& isContext) const;

    std::vector<std::uint8_t> m_Bytes;
    std::vector<Checkpoint> m_Checkpoints;
    std::size_t m_nSize = 0;
    std::int64_t m_nLast = 0;
    std::vector<std::uint8_t> m_Filters; // filter + 1 per line, 0 for none
};
