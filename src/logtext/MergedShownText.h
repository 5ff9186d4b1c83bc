// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "logtext/IndexedTextLines.h"
#include "logtext/ShownText.h"

class MergedText;

// Logs merged by time shown as one read-only text: each line is numbered by its own log's line,
// knows that log's name and which of the logs it is (for a mark of its own in the margin). Go To
// takes places in the whole merge, as the status bar counts.
class MergedShownText : public ShownText
{
public:
    explicit MergedShownText(std::shared_ptr<const MergedText> merged);

    std::int64_t GetLineCount() const override { return m_Lines.GetLineCount(); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override
    {
        return m_Lines.ReadLines(first, count, bytes, error);
    }
    ShownLineOrigin OriginOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return false; }
    std::int64_t GetLastNumber() const override { return GetLineCount(); }
    // The log's file name alone (b.log), as the status bar says it.
    std::string FileNameOf(std::int64_t line) const override;
    bool IsEditable() const override { return false; }
    bool TakesFollowedBytes() const override { return false; }

    const std::shared_ptr<const MergedText>& GetMerged() const { return m_pMerged; }

private:
    std::shared_ptr<const MergedText> m_pMerged;
    IndexedTextLines m_Lines;
};
