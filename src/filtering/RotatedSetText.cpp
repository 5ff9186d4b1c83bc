// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/RotatedSetText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace {

// The members' indexes say they are complete only when asked: the placer looks this often while
// it waits for the next one.
constexpr std::chrono::milliseconds PlacerLook{10};

} // namespace

RotatedSetText::RotatedSetText(std::vector<std::string> paths, std::uint64_t saveMinimumSize)
    : m_nSaveMinimumSize(saveMinimumSize), m_Paths(std::move(paths))
{}

RotatedSetText::~RotatedSetText()
{
    if (m_Placer.joinable()) {
        m_Placer.request_stop();
        m_Placer.join();
    }
}

RotatedSetText::Identity RotatedSetText::IdentityOf(const std::string& path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0)
        return {};
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino), true};
}

bool RotatedSetText::Start(int& error)
{
    std::vector<std::string> readable;
    int firstError = 0;
    std::lock_guard lock(m_mutex);
    for (const std::string& path : m_Paths) {
        std::shared_ptr<IndexedText> text = MakeIndexedText(path, m_nSaveMinimumSize);
        int memberError = 0;
        if (!text->Start(memberError)) {
            if (firstError == 0)
                firstError = memberError;
            m_Skipped.push_back({path, std::strerror(memberError)});
            continue;
        }
        readable.push_back(path);
        m_Identities.push_back(IdentityOf(path));
        m_Members.push_back(std::move(text));
    }
    m_Paths = std::move(readable);
    if (m_Members.empty()) {
        error = firstError != 0 ? firstError : ENOENT;
        return false;
    }
    m_Placer = std::jthread([this](const std::stop_token& stop) { PlaceMembers(stop); });
    return true;
}

RotatedSetText::Placed RotatedSetText::Measure(const IndexedText& member, bool isLast)
{
    Placed placed;
    placed.Bytes = member.GetIndexedBytes();
    // The last member's text ends the set as it ends the file.
    if (placed.Bytes > 0 && !isLast) {
        char last = '\n';
        int readError = 0;
        // A member that cannot be read at its end is taken as ending its last line.
        if (member.ReadRange(placed.Bytes - 1, &last, 1, readError) == 1)
            placed.AddsLineFeed = last != '\n';
    }
    const std::int64_t lines = member.GetLineCount();
    // A line feed at a member's end starts the next member's first line, not a line of its own.
    if (isLast)
        placed.Lines = lines;
    else if (placed.Bytes == 0)
        placed.Lines = 0;
    else
        placed.Lines = placed.AddsLineFeed ? lines : lines - 1;
    return placed;
}

void RotatedSetText::PlaceMembers(const std::stop_token& stop)
{
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        const std::size_t next = m_Placed.size();
        if (next >= m_Members.size()) {
            // All placed: until the set grows.
            m_Wake.wait(lock, stop, [this] { return m_Placed.size() < m_Members.size(); });
            continue;
        }
        const std::shared_ptr<IndexedText> member = m_Members[next];
        const std::uint64_t changes = m_nLayoutChanges;
        if (!member->IsComplete()) {
            m_Wake.wait_for(lock, stop, PlacerLook, [&member] { return member->IsComplete(); });
            continue;
        }
        const bool isLast = next + 1 == m_Members.size();
        // Its last byte is read without the lock, so that no query waits on the disk.
        lock.unlock();
        Placed placed = Measure(*member, isLast);
        lock.lock();
        if (changes != m_nLayoutChanges || m_Placed.size() != next || !member->IsComplete())
            continue; // the set changed meanwhile: measured again
        if (!m_Placed.empty()) {
            const Placed& before = m_Placed.back();
            placed.Offset = before.Offset + before.Bytes + (before.AddsLineFeed ? 1 : 0);
            placed.FirstLine = before.FirstLine + before.Lines;
        }
        m_Placed.push_back(placed);
    }
}

void RotatedSetText::UnplaceLastLocked()
{
    if (!m_Members.empty() && m_Placed.size() == m_Members.size())
        m_Placed.pop_back();
    ++m_nLayoutChanges;
}

void RotatedSetText::Extend()
{
    std::shared_ptr<IndexedText> live;
    {
        std::lock_guard lock(m_mutex);
        if (m_Members.empty() || m_Placed.size() != m_Members.size() || !m_Members.back()->IsFollowable())
            return;
        live = m_Members.back();
    }
    // The member reads on first: the placer then waits for it before it places it again.
    live->Extend();
    {
        std::lock_guard lock(m_mutex);
        if (m_Members.empty() || m_Members.back() != live)
            return; // a member was added meanwhile, which unplaced it already
        UnplaceLastLocked();
    }
    m_Wake.notify_all();
}

bool RotatedSetText::IsLiveFileFollowable() const
{
    const std::vector<std::shared_ptr<IndexedText>> members = MembersNow();
    // A plain file's index can read on; an archive's text is taken as it was opened.
    return !members.empty() && members.back()->IsFollowable();
}

bool RotatedSetText::AddMember(const std::string& path, int& error)
{
    std::shared_ptr<IndexedText> text = MakeIndexedText(path, m_nSaveMinimumSize);
    if (!text->Start(error))
        return false;
    std::shared_ptr<IndexedText> before;
    {
        std::lock_guard lock(m_mutex);
        before = m_Members.back();
    }
    // What the old live file got before it was rotated away is still its own.
    before->Extend();
    {
        std::lock_guard lock(m_mutex);
        UnplaceLastLocked();
        m_Paths.push_back(path);
        m_Identities.push_back(IdentityOf(path));
        m_Members.push_back(std::move(text));
    }
    m_Wake.notify_all();
    return true;
}

void RotatedSetText::RenameMembers(const std::vector<std::string>& paths)
{
    std::vector<std::pair<Identity, std::string>> found;
    for (const std::string& path : paths)
        found.emplace_back(IdentityOf(path), path);
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_Members.size(); ++i) {
        if (!m_Identities[i].Known)
            continue;
        for (const auto& [identity, path] : found) {
            if (identity.Known && identity.Device == m_Identities[i].Device && identity.Inode == m_Identities[i].Inode)
                m_Paths[i] = path;
        }
    }
}

std::vector<std::string> RotatedSetText::GetMemberPaths() const
{
    std::lock_guard lock(m_mutex);
    return m_Paths;
}

std::string RotatedSetText::GetMemberPath(int member) const
{
    std::lock_guard lock(m_mutex);
    if (member < 0 || static_cast<std::size_t>(member) >= m_Paths.size())
        return std::string();
    return m_Paths[static_cast<std::size_t>(member)];
}

std::shared_ptr<IndexedText> RotatedSetText::MemberAt(std::size_t index) const
{
    std::lock_guard lock(m_mutex);
    return index < m_Members.size() ? m_Members[index] : nullptr;
}

std::vector<std::shared_ptr<IndexedText>> RotatedSetText::MembersNow() const
{
    std::lock_guard lock(m_mutex);
    return m_Members;
}

RotatedSetText::Span RotatedSetText::SpanOfPlacedLocked(std::size_t member) const
{
    const Placed& placed = m_Placed[member];
    return {static_cast<int>(member), placed.Offset, placed.FirstLine, placed.Bytes, placed.AddsLineFeed};
}

RotatedSetText::Span RotatedSetText::NextSpanLocked() const
{
    const std::size_t next = m_Placed.size();
    if (next >= m_Members.size())
        return {};
    Span span;
    span.Member = static_cast<int>(next);
    if (!m_Placed.empty()) {
        const Placed& before = m_Placed.back();
        span.Offset = before.Offset + before.Bytes + (before.AddsLineFeed ? 1 : 0);
        span.FirstLine = before.FirstLine + before.Lines;
    }
    span.Bytes = m_Members[next]->GetSize();
    return span;
}

template <typename Position>
RotatedSetText::Span RotatedSetText::SpanAt(Position at, Position Placed::*start, Position Placed::*extent,
                                            Position Span::*nextStart) const
{
    std::lock_guard lock(m_mutex);
    const Span next = NextSpanLocked();
    if (next.Member >= 0 && at >= next.*nextStart)
        return next;
    // The last member starting at or before the position that has some of its own; the last
    // member always counts, as its final line is there even when empty.
    Span found = next;
    for (std::size_t i = 0; i < m_Placed.size(); ++i) {
        const bool isLast = i + 1 == m_Members.size();
        if (m_Placed[i].*start > at)
            break;
        if (m_Placed[i].*extent > 0 || isLast)
            found = SpanOfPlacedLocked(i);
    }
    return found;
}

RotatedSetText::Span RotatedSetText::SpanOfLine(std::int64_t line) const
{
    return SpanAt(line, &Placed::FirstLine, &Placed::Lines, &Span::FirstLine);
}

RotatedSetText::Span RotatedSetText::SpanOfOffset(std::uint64_t offset) const
{
    return SpanAt(offset, &Placed::Offset, &Placed::Bytes, &Span::Offset);
}

std::int64_t RotatedSetText::ReadRange(std::uint64_t offset, char* buffer, std::size_t size, int& error) const
{
    std::size_t total = 0;
    while (total < size) {
        const Span span = SpanOfOffset(offset);
        if (span.Member < 0 || offset < span.Offset)
            break;
        const std::uint64_t within = offset - span.Offset;
        if (within < span.Bytes) {
            // Only what was indexed: the live file may have grown since.
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - total, span.Bytes - within));
            const std::int64_t got =
                MemberAt(static_cast<std::size_t>(span.Member))->ReadRange(within, buffer + total, want, error);
            if (got < 0)
                return total > 0 ? static_cast<std::int64_t>(total) : -1;
            total += static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
            if (static_cast<std::size_t>(got) < want)
                break; // the member ended early: damaged, or cut short
        } else if (within == span.Bytes && span.AddsLineFeed) {
            buffer[total++] = '\n';
            ++offset;
        } else {
            break; // the end of the set, or of what is placed so far
        }
    }
    return static_cast<std::int64_t>(total);
}

std::uint64_t RotatedSetText::GetSize() const
{
    std::lock_guard lock(m_mutex);
    const Span next = NextSpanLocked();
    if (next.Member >= 0)
        return next.Offset + next.Bytes;
    if (m_Placed.empty())
        return 0; // not started
    const Placed& last = m_Placed.back();
    return last.Offset + last.Bytes + (last.AddsLineFeed ? 1 : 0);
}

std::uint64_t RotatedSetText::GetExpectedSize() const
{
    std::lock_guard lock(m_mutex);
    std::uint64_t size = 0;
    if (!m_Placed.empty()) {
        const Placed& last = m_Placed.back();
        size = last.Offset + last.Bytes + (last.AddsLineFeed ? 1 : 0);
    }
    for (std::size_t i = m_Placed.size(); i < m_Members.size(); ++i)
        size += m_Members[i]->GetExpectedSize();
    return size;
}

std::uint64_t RotatedSetText::GetIndexedBytes() const
{
    std::lock_guard lock(m_mutex);
    const Span next = NextSpanLocked();
    if (next.Member >= 0)
        return next.Offset + m_Members[static_cast<std::size_t>(next.Member)]->GetIndexedBytes();
    if (m_Placed.empty())
        return 0;
    const Placed& last = m_Placed.back();
    return last.Offset + last.Bytes + (last.AddsLineFeed ? 1 : 0);
}

std::int64_t RotatedSetText::GetLineCount() const
{
    std::lock_guard lock(m_mutex);
    const Span next = NextSpanLocked();
    if (next.Member >= 0)
        return next.FirstLine + m_Members[static_cast<std::size_t>(next.Member)]->GetLineCount();
    if (m_Placed.empty())
        return 1; // as an empty text has
    return m_Placed.back().FirstLine + m_Placed.back().Lines;
}

bool RotatedSetText::IsComplete() const
{
    std::lock_guard lock(m_mutex);
    return !m_Members.empty() && m_Placed.size() == m_Members.size();
}

int RotatedSetText::GetIndexPercent() const
{
    if (IsComplete())
        return 100;
    // The members are indexed side by side: their bytes together against what they will be.
    std::uint64_t indexed = 0;
    std::uint64_t expected = 0;
    for (const auto& member : MembersNow()) {
        indexed += member->GetIndexedBytes();
        expected += member->GetExpectedSize();
    }
    return static_cast<int>(std::min<std::uint64_t>(99, indexed * 100 / std::max<std::uint64_t>(1, expected)));
}

IndexedText::Checkpoint RotatedSetText::Locate(std::int64_t line) const
{
    const Span span = SpanOfLine(std::max<std::int64_t>(0, line));
    if (span.Member < 0)
        return {};
    const Checkpoint known =
        MemberAt(static_cast<std::size_t>(span.Member))->Locate(std::max<std::int64_t>(0, line - span.FirstLine));
    return {known.Line + span.FirstLine, known.Offset + span.Offset};
}

IndexedText::Checkpoint RotatedSetText::LocateOffset(std::uint64_t offset) const
{
    const Span span = SpanOfOffset(offset);
    if (span.Member < 0)
        return {};
    const std::uint64_t within = offset > span.Offset ? std::min(offset - span.Offset, span.Bytes) : 0;
    const Checkpoint known = MemberAt(static_cast<std::size_t>(span.Member))->LocateOffset(within);
    return {known.Line + span.FirstLine, known.Offset + span.Offset};
}

RotatedSetText::MemberLine RotatedSetText::MemberOfLine(std::int64_t line) const
{
    const Span span = SpanOfLine(std::max<std::int64_t>(0, line));
    if (span.Member < 0)
        return {};
    return {span.Member, std::max<std::int64_t>(0, line - span.FirstLine)};
}

std::int64_t RotatedSetText::FirstLineOfMember(int member) const
{
    std::lock_guard lock(m_mutex);
    if (member < 0)
        return -1;
    const auto index = static_cast<std::size_t>(member);
    if (index < m_Placed.size())
        return m_Placed[index].FirstLine;
    if (index == m_Placed.size() && index < m_Members.size())
        return NextSpanLocked().FirstLine;
    return -1;
}

std::string RotatedSetText::GetPackingName() const
{
    // The set is not one packing: the view says what it is from the members.
    return std::string();
}

std::string RotatedSetText::DescribeAccess() const
{
    for (const auto& member : MembersNow()) {
        std::string access = member->DescribeAccess();
        if (!access.empty())
            return access;
    }
    return std::string();
}

std::string RotatedSetText::GetDamage() const
{
    std::string damage;
    for (const auto& member : MembersNow()) {
        const std::string own = member->GetDamage();
        if (own.empty())
            continue;
        if (!damage.empty())
            damage += '\n';
        damage += own;
    }
    return damage;
}

std::uint64_t RotatedSetText::GetReusedBytes() const
{
    std::uint64_t reused = 0;
    for (const auto& member : MembersNow())
        reused += member->GetReusedBytes();
    return reused;
}

std::size_t RotatedSetText::GetIndexMemory() const
{
    const std::vector<std::shared_ptr<IndexedText>> members = MembersNow();
    std::size_t memory = members.size() * sizeof(Placed);
    for (const auto& member : members)
        memory += member->GetIndexMemory();
    return memory;
}
