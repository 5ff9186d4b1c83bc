// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <stop_token>
#include <string>

#include "filtering/LiteralSearcher.h"

class TextRangeReader;

// Finds a byte string in a file by reading it a block at a time: the first occurrence at or
// after an offset, or the last one that starts before it. Ignoring case folds A to Z only. A
// whole-word search takes an occurrence only where it begins and ends a word, with the bytes
// classed as the editor classes them (letters, digits, "_" and bytes above 127 make words; blanks
// and line ends separate them; the rest is punctuation). Synchronous and stoppable: the caller
// runs it on a thread of its own. Immutable once made: one search may serve several threads.
class FileTextSearch
{
public:
    static constexpr std::uint64_t NotFound = std::numeric_limits<std::uint64_t>::max();

    FileTextSearch(std::string pattern, bool matchCase, bool wholeWord);

    // How one search ended.
    struct Result
    {
        std::uint64_t Offset = NotFound; // the occurrence's start, or NotFound
        bool Stopped = false;            // a stop request ended it early
        int Error = 0;                   // errno of a read that failed (the search ends there)
    };

    // Searches the file behind fd, through its current end. `searched` (optional) counts the
    // bytes looked at so far, for a progress display.
    Result FindForward(int fd, std::uint64_t from, const std::stop_token& stop,
                       std::atomic<std::uint64_t>* searched = nullptr) const;
    Result FindBackward(int fd, std::uint64_t before, const std::stop_token& stop,
                        std::atomic<std::uint64_t>* searched = nullptr) const;
    // The same through any reader of a text (a compressed file's text, say).
    Result FindForward(const TextRangeReader& text, std::uint64_t from, const std::stop_token& stop,
                       std::atomic<std::uint64_t>* searched = nullptr) const;
    Result FindBackward(const TextRangeReader& text, std::uint64_t before, const std::stop_token& stop,
                        std::atomic<std::uint64_t>* searched = nullptr) const;

    std::size_t GetPatternSize() const { return m_strPattern.size(); }

    // Bytes read at a time; tests make it small to put occurrences across block borders.
    void SetBlockSize(std::size_t size)
    {
        m_nBlockSize = size > m_strPattern.size() + 2 ? size : m_strPattern.size() + 2;
    }

private:
    // Whether an occurrence at [start, start + size) of a block holds a whole word; the block
    // has one byte of context on each side where the file has one.
    bool IsWholeWord(const char* block, std::size_t blockSize, std::size_t start, bool hasBefore) const;

    std::string m_strPattern;
    LiteralSearcher m_Searcher;
    bool m_bWholeWord;
    std::size_t m_nBlockSize = 8 * 1024 * 1024;
};
