// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filtering/InputDecoder.h"
#include "time/MergedLogInput.h"
#include "time/MergedLogReader.h"

class TimedLogInput;

// A log opened for a merge, its layout told; null, with a message naming it, when it cannot be
// read or none of its first lines has a time.
std::unique_ptr<TimedLogInput> OpenMergedLog(const std::string& path, std::string& message);

// Logs merged by time as the text a filtering run reads in place of a file, its lines numbered
// by their places in the merge (as MergedText shows the merge).
class MergedFilesInput final : public InputDecoder
{
public:
    // Null, with the message of the first log that cannot be merged.
    static std::unique_ptr<MergedFilesInput> Open(const std::vector<std::string>& paths, std::string& message);

    std::size_t Read(int fd, char* out, std::size_t size) override { return m_Input.Read(fd, out, size); }
    std::string TakeFaultMessage(const std::string& shownName) override { return m_Input.TakeFaultMessage(shownName); }
    std::uint64_t GetFileBytesUsed() const override { return m_Input.GetFileBytesUsed(); }

private:
    explicit MergedFilesInput(std::vector<std::unique_ptr<TimedLogInput>> inputs);

    MergedLogReader m_Reader;
    MergedLogInput m_Input;
};
