// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "filtering/IndexedText.h"

// The files of a rotated set read as one text, oldest first: each member is a text of its own
// (MakeIndexedText: plain or compressed), indexed side by side on their own threads, and the set
// lays them end to end. A member whose text does not end with a line feed gets one, so its last
// line stays a line of its own; an empty member adds nothing.
//
// A member's place in the set (its first offset and first line) is known once every member
// before it is completely indexed: until then the set's text ends with the first member still
// being indexed, and its lines are those that member knows so far. The set does not grow: the
// live file is taken as it is when its index reaches its end.
//
// Threads: every query and read may come from any thread. The members are placed by a thread of
// the set's own, so a query never reads a file; the layout it publishes is guarded by m_mutex.
class RotatedSetText : public IndexedText
{
public:
    // Where a line of the set comes from: the member (an index into GetMemberPaths) and the
    // member's own 0-based line.
    struct MemberLine
    {
        int Member = -1;
        std::int64_t Line = 0;
        bool operator==(const MemberLine&) const = default;
    };
    // A member that could not be read, and why (strerror's words).
    struct SkippedMember
    {
        std::string Path;
        std::string Reason;
    };

    // The members' paths, oldest first; saveMinimumSize as for MakeIndexedText.
    explicit RotatedSetText(std::vector<std::string> paths, std::uint64_t saveMinimumSize = 0);
    ~RotatedSetText() override;
    RotatedSetText(const RotatedSetText&) = delete;
    RotatedSetText& operator=(const RotatedSetText&) = delete;

    // Starts every member's index. A member that cannot be read is left out of the set and
    // listed by GetSkippedMembers; false, with the first member's errno, only when none can be.
    bool Start(int& error) override;
    void Extend() override {}
    // Reads across members, with the line feed a member lacks where it ends.
    std::int64_t ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const override;

    std::uint64_t GetSize() const override;
    bool IsSizeKnown() const override { return IsComplete(); }
    std::uint64_t GetExpectedSize() const override;
    std::uint64_t GetIndexedBytes() const override;
    std::int64_t GetLineCount() const override;
    bool IsComplete() const override;
    int GetIndexPercent() const override;
    Checkpoint Locate(std::int64_t line) const override;
    Checkpoint LocateOffset(std::uint64_t offset) const override;

    bool IsFollowable() const override { return false; }
    // The packing of the first compressed member, or empty.
    std::string GetPackingName() const override;
    std::string DescribeAccess() const override;
    // Every damaged member's message, one a line.
    std::string GetDamage() const override;
    std::uint64_t GetReusedBytes() const override;
    std::size_t GetIndexMemory() const override;

    // After Start: the members read, oldest first, and those left out.
    const std::vector<std::string>& GetMemberPaths() const { return m_Paths; }
    const std::vector<SkippedMember>& GetSkippedMembers() const { return m_Skipped; }
    // The member of a line of the set, and its line there. A line past what is placed so far
    // belongs to the member being indexed (or, once all are placed, the last one).
    MemberLine MemberOfLine(std::int64_t line) const;
    // The set's first line of a member (0-based), or -1 while its place is not known.
    std::int64_t FirstLineOfMember(int member) const;

private:
    // A member's place, once every member before it is complete.
    struct Placed
    {
        std::uint64_t Offset = 0;   // where its text starts in the set
        std::uint64_t Bytes = 0;    // its text's bytes, without the line feed added
        bool AddsLineFeed = false;  // its text did not end with one
        std::int64_t FirstLine = 0; // the set's line its first line is
        std::int64_t Lines = 0;     // the set's lines that start in it
    };
    // Where a member lies, placed or not.
    struct Span
    {
        int Member = -1;
        std::uint64_t Offset = 0;
        std::int64_t FirstLine = 0;
        std::uint64_t Bytes = 0; // what reads of it may reach
        bool AddsLineFeed = false;
    };

    void PlaceMembers(const std::stop_token& stop);
    // The member holding a line, or an offset, of the set; Member -1 when there is none.
    Span SpanOfLine(std::int64_t line) const;
    Span SpanOfOffset(std::uint64_t offset) const;
    // The span of the member after the placed ones, at the end of the placed text.
    Span NextSpanLocked() const;
    Span SpanOfPlacedLocked(std::size_t member) const;
    // The member holding a position of the set (start and extent: the placed member's line or
    // offset fields, nextStart the span's) under the lock.
    template <typename Position>
    Span SpanAt(Position at, Position Placed::*start, Position Placed::*extent, Position Span::*nextStart) const;

    std::vector<std::string> m_Paths;
    std::vector<SkippedMember> m_Skipped;
    std::uint64_t m_nSaveMinimumSize;
    std::vector<std::shared_ptr<IndexedText>> m_Members; // set by Start, then only read

    mutable std::mutex m_mutex;
    std::vector<Placed> m_Placed; // guarded by m_mutex: the members placed so far, in order
    std::condition_variable_any m_Wake;
    std::jthread m_Placer;
};
