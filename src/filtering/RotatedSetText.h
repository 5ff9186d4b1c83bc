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
// being indexed, and its lines are those that member knows so far.
//
// Followed, the set grows at its end: Extend reads on in the live file (the last member), and
// when the live file is rotated away AddMember puts the file that now has its name after it. The
// old live file stays a member through the descriptor its index holds, whatever its name now is.
//
// Threads: every query and read may come from any thread. The members are placed by a thread of
// the set's own, so a query never reads a file; the members and the layout it publishes are
// guarded by m_mutex.
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
    // Reads on in the live file, once the set is placed: the set's end is unplaced meanwhile.
    void Extend() override;
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

    // A set grows only when it is followed, and then as a set: a window at its end is read again
    // when it has grown, whichever member it grew in.
    bool IsFollowable() const override { return false; }
    // Whether the live file is one that can grow (a plain file): Extend then reads on in it.
    bool IsLiveFileFollowable() const;
    // Puts the file that now has the live file's name after the last member: the set's new live
    // file, read from its first byte. False with errno when it cannot be read (the set is unchanged).
    bool AddMember(const std::string& path, int& error);
    // Gives the members the names they have now: each of paths that is the very file of a member
    // (the same device and inode) names it. Members whose file has no name among them keep theirs.
    void RenameMembers(const std::vector<std::string>& paths);
    // The packing of the first compressed member, or empty.
    std::string GetPackingName() const override;
    std::string DescribeAccess() const override;
    // Every damaged member's message, one a line.
    std::string GetDamage() const override;
    std::uint64_t GetReusedBytes() const override;
    std::size_t GetIndexMemory() const override;

    // After Start: the members read, oldest first, and those left out.
    std::vector<std::string> GetMemberPaths() const;
    std::string GetMemberPath(int member) const;
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
    // The place of member `index`, worked out from the member alone (reads its last byte).
    static Placed Measure(const IndexedText& member, bool isLast);
    std::shared_ptr<IndexedText> MemberAt(std::size_t index) const;
    std::vector<std::shared_ptr<IndexedText>> MembersNow() const;
    // The last member is placed no longer: it grows, or stops being the last.
    void UnplaceLastLocked();
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

    struct Identity
    {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        bool Known = false;
    };
    static Identity IdentityOf(const std::string& path);

    std::vector<SkippedMember> m_Skipped; // set by Start, then only read
    std::uint64_t m_nSaveMinimumSize;

    mutable std::mutex m_mutex;
    // Guarded by m_mutex: the members, their names and files, and those placed so far, in order.
    std::vector<std::string> m_Paths;
    std::vector<Identity> m_Identities;
    std::vector<std::shared_ptr<IndexedText>> m_Members;
    std::vector<Placed> m_Placed;
    // Counts the changes of the members and their places: a place worked out before a change is
    // not published.
    std::uint64_t m_nLayoutChanges = 0;
    std::condition_variable_any m_Wake;
    std::jthread m_Placer;
};
