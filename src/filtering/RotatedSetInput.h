// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filtering/FileDescriptor.h"
#include "filtering/InputDecoder.h"

// The files of a rotated set read as one text, oldest first, for a run that decides the set as
// one log: each member is opened in its turn and read through the decoder its first bytes call
// for (an archive's, UTF-16's, or none), and a member whose text does not end with a line feed
// gets one, so that its last line stays a line of its own. The lines are those of the files
// concatenated in that order, as the set is shown.
//
// A member that cannot be opened, or whose data is damaged, adds what could be read of it and the
// text goes on with the next member; each such fault is told once at the end, naming the member.
//
// Read and TakeFaultMessage belong to the run's thread; the progress may be read from any thread.
class RotatedSetInput : public InputDecoder
{
public:
    // The members' paths, oldest first. Their sizes are taken now, as the measure of progress.
    explicit RotatedSetInput(std::vector<std::string> paths);
    ~RotatedSetInput() override;
    RotatedSetInput(const RotatedSetInput&) = delete;
    RotatedSetInput& operator=(const RotatedSetInput&) = delete;

    // Up to size bytes of the set's text; the descriptor is not used (each member is opened
    // here). 0 once every member was read.
    std::size_t Read(int fd, char* out, std::size_t size) override;
    // Every member's fault, one a line, each naming its member (shownName is not used); empty
    // when there was none or they were taken already.
    std::string TakeFaultMessage(const std::string& shownName) override;
    // The members' file bytes used so far, over all members.
    std::uint64_t GetFileBytesUsed() const override { return m_nBytesUsed.load(std::memory_order_relaxed); }
    // The members' file bytes as they were when the input was made.
    std::uint64_t GetFileBytesTotal() const { return m_nBytesTotal; }
    // 0 to 100: the share of the members' bytes used (0 while they hold none); safe from any thread.
    int GetProgressPercent() const;

private:
    // Opens the next member that can be opened; false when none is left.
    bool OpenNextMember();
    // Reads from the member opened; 0 at its end or after a fault.
    std::size_t ReadMember(char* out, std::size_t size);
    // The member ended: its fault noted, its line feed owed when it lacked one.
    void FinishMember();
    void NoteBytesUsed();

    std::vector<std::string> m_Paths;
    std::vector<std::uint64_t> m_Sizes; // per member, when the input was made (0 for one not there)
    std::uint64_t m_nBytesTotal = 0;
    std::size_t m_nNext = 0;                  // the member opened next
    std::size_t m_nCurrent = 0;               // the member being read, while m_File holds it
    std::optional<FileDescriptor> m_File;     // the member being read
    std::unique_ptr<InputDecoder> m_pDecoder; // its decoder, or null for plain text
    std::uint64_t m_nMemberBytesRead = 0;     // of a plain member
    std::string m_strMemberFault;             // a read error of a plain member
    bool m_bMemberHasText = false;
    char m_cLastByte = '\n';
    bool m_bLineFeedOwed = false;
    std::uint64_t m_nFinishedBytes = 0; // the file bytes of the members read to their end
    std::atomic<std::uint64_t> m_nBytesUsed{0};
    std::vector<std::string> m_Faults;
};
