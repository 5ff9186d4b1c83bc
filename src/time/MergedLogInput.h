// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "filtering/InputDecoder.h"
#include "time/MergedLogReader.h"

// The merge of several logs as the text of one, for a filtering run to read in place of a file:
// their lines in merged order, each ending in a line feed (a log's last line without one gets
// one, so that it does not run into the next line). Which log a line of the text came from, and
// its number there, is kept for the lines a run can still output: those from the last
// retainedLines complete lines before its latest read on (a run hands out what it decided before
// it reads again, but for the lines its before-context may still want).
class MergedLogInput final : public InputDecoder
{
public:
    struct Origin
    {
        std::size_t Input = 0;
        std::int64_t LineNumber = 0; // 1-based, in its own log
    };

    MergedLogInput(MergedLogReader& reader, std::int64_t retainedLines);

    // The fd is not used: the logs are read through the reader.
    std::size_t Read(int fd, char* out, std::size_t size) override;
    // The faults of every log that ended early, a line each, naming the log.
    std::string TakeFaultMessage(const std::string& shownName) override;
    std::uint64_t GetFileBytesUsed() const override;

    // Where the 1-based line of the merged text came from; a line forgotten already, or not read
    // yet, has none (false).
    bool FindOrigin(std::int64_t mergedLine, Origin& origin) const;
    // How many origins are held now: the measure of the memory kept for them.
    std::size_t GetHeldOrigins() const { return m_Origins.size(); }

private:
    MergedLogReader& m_Reader;
    std::int64_t m_nRetainedLines;
    std::string_view m_Rest;       // of the current line, not handed out yet
    bool m_bLineFeedOwed = false;  // the current line has none of its own
    bool m_bInsideLine = false;    // the current line is not handed out whole yet
    std::int64_t m_nCompleted = 0; // lines handed out whole
    std::deque<Origin> m_Origins;
    std::int64_t m_nFirstOrigin = 1; // the merged line of m_Origins.front()
};
