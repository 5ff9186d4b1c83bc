// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "filtering/OutputLineNumbers.h"
#include "logtext/ShownText.h"
#include "logtext/TextLines.h"

class MergedShownText;
struct OutputLine;
class RotatedSetText;

// The output of a filtering run: the kept lines in file order, each numbered by the file line it
// was kept from, with its context flag and filter. The lines are read from the editor while the
// output fits in it, and from the file it spilled to once it outgrew it (ReadFrom); the numbers
// stay here either way. Numbers can be handed over and back (the toggle keeps them aside).
// The output of a rotated set is numbered by the set's lines; each line also says which file of
// the set it comes from, and its line there.
class FilterOutputText : public ShownText
{
public:
    explicit FilterOutputText(const TextLines& lines) : m_pLines(&lines) {}

    // The lines are now read from there; inFile: a file (read-only), else the editor.
    void ReadFrom(const TextLines& lines, bool inFile);
    bool ReadsFrom(const TextLines& lines) const { return m_pLines == &lines; }
    bool IsSpilled() const { return m_bInFile; }

    void Append(const std::vector<OutputLine>& lines);
    const OutputLineNumbers& Numbers() const { return m_Numbers; }
    // Hands the numbers over; none are left.
    OutputLineNumbers TakeNumbers() { return std::move(m_Numbers); }
    void SetNumbers(OutputLineNumbers numbers) { m_Numbers = std::move(numbers); }
    // No numbers, and no set: the output of a new run, or none.
    void ClearNumbers()
    {
        m_Numbers.Clear();
        m_pSet.reset();
        m_pMerged.reset();
    }
    // The rotated set the output is made from (shared with whoever shows the set), or null.
    void SetRotatedSet(std::shared_ptr<const RotatedSetText> set) { m_pSet = std::move(set); }
    const std::shared_ptr<const RotatedSetText>& GetRotatedSet() const { return m_pSet; }
    // The logs merged by time the output is made from (shared with whoever shows them), or null:
    // the output is numbered by places in the merge, and each line tells its log and line there.
    void SetMerged(std::shared_ptr<const MergedShownText> merged) { m_pMerged = std::move(merged); }
    const std::shared_ptr<const MergedShownText>& GetMerged() const { return m_pMerged; }

    std::int64_t GetLineCount() const override { return m_pLines->GetLineCount(); }
    bool ReadLines(std::int64_t first, std::int64_t count, std::string& bytes, std::string& error) const override
    {
        return m_pLines->ReadLines(first, count, bytes, error);
    }
    ShownLineOrigin OriginOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return false; }
    // The last kept file line, or the line count while no line has one.
    std::int64_t GetLastNumber() const override;
    // A file line: the line that kept it, else the next kept one, else the last.
    NumberedLineFound FindNumber(std::int64_t number) const override;
    // Of a set's output: the name of the file of the set a line was kept from (app.log.1).
    std::string FileNameOf(std::int64_t line) const override;
    // Of a set's output: the kept line's number in its own file of the set.
    std::int64_t LineInFileOf(std::int64_t line) const override;
    bool IsFilterOutput() const override { return true; }
    bool IsEditable() const override { return !m_bInFile; }
    bool TakesFollowedBytes() const override { return false; }

private:
    const TextLines* m_pLines;
    bool m_bInFile = false;
    OutputLineNumbers m_Numbers;
    std::shared_ptr<const RotatedSetText> m_pSet;
    std::shared_ptr<const MergedShownText> m_pMerged;
};
