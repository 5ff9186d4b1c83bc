// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTextScanner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "filtering/LiteralSearcher.h"
#include "filtering/TextCodec.h"

CTextScanner::CTextScanner(const LiteralSearcher* prefilter, bool foldsBeyondAscii, std::int64_t sliceSize,
                           std::int64_t overlap, Notification notification)
    : m_pPrefilter(prefilter), m_bFoldsBeyondAscii(foldsBeyondAscii),
      m_nSliceSize(std::max<std::int64_t>(1, sliceSize)), m_nOverlap(overlap), m_Notification(std::move(notification))
{}

CTextScanner::~CTextScanner()
{
    Stop();
}

void CTextScanner::Start(const TextPieces& text, Direction direction, std::int64_t from)
{
    Stop();
    {
        std::lock_guard lock(m_Mutex);
        m_nPosition = from;
        m_bFinished = false;
    }
    m_Thread = std::jthread(
        [this, text, direction, from](const std::stop_token& stop) { Run(stop, text, direction, from, true); });
}

void CTextScanner::Scan(const TextPieces& text, Direction direction, std::int64_t from)
{
    Stop();
    Run(std::stop_token(), text, direction, from, false);
}

void CTextScanner::Stop()
{
    if (!m_Thread.joinable())
        return;
    m_Thread.request_stop();
    m_Thread.join();
}

void CTextScanner::Reset()
{
    Stop();
    std::lock_guard lock(m_Mutex);
    m_Candidates.clear();
    m_nPosition = 0;
    m_bFinished = false;
}

bool CTextScanner::TakeCandidate(TextRange& candidate)
{
    std::lock_guard lock(m_Mutex);
    if (m_Candidates.empty())
        return false;
    candidate = m_Candidates.front();
    m_Candidates.pop_front();
    return true;
}

void CTextScanner::DropCandidatesFrom(std::int64_t position)
{
    std::lock_guard lock(m_Mutex);
    std::erase_if(m_Candidates, [position](const TextRange& candidate) { return candidate.Start >= position; });
}

bool CTextScanner::IsFinished() const
{
    std::lock_guard lock(m_Mutex);
    return m_bFinished;
}

std::int64_t CTextScanner::GetPosition() const
{
    std::lock_guard lock(m_Mutex);
    return m_nPosition;
}

std::size_t CTextScanner::FirstPossibleStart(std::string_view bytes) const
{
    if (!m_pPrefilter)
        return bytes.empty() ? LiteralSearcher::npos : 0;
    std::size_t at = m_pPrefilter->Find(bytes);
    if (m_bFoldsBeyondAscii) {
        // A character beyond ASCII may fold into the pattern's letters; an occurrence that holds
        // one starts no further than the overlap before it.
        const std::size_t other = FindFirstNonAscii(bytes);
        const auto overlap = static_cast<std::size_t>(m_nOverlap);
        if (other != LiteralSearcher::npos)
            at = std::min(at, other > overlap ? other - overlap : 0);
    }
    return at;
}

void CTextScanner::Push(const TextRange& candidate, bool notify)
{
    bool first = false;
    {
        std::lock_guard lock(m_Mutex);
        first = m_Candidates.empty();
        m_Candidates.push_back(candidate);
    }
    if (first && notify && m_Notification)
        m_Notification();
}

void CTextScanner::Run(const std::stop_token& stop, TextPieces text, Direction direction, std::int64_t from,
                       bool notify)
{
    // A slice across the gap, copied into one piece.
    std::vector<char> joined;
    const auto bytes = [&text, &joined](std::int64_t start, std::int64_t end) {
        const auto size = static_cast<std::size_t>(end - start);
        if (end <= text.Gap)
            return std::string_view(text.Before + start, size);
        if (start >= text.Gap)
            return std::string_view(text.After + (start - text.Gap), size);
        const auto before = static_cast<std::size_t>(text.Gap - start);
        joined.resize(size);
        std::memcpy(joined.data(), text.Before + start, before);
        std::memcpy(joined.data() + before, text.After, size - before);
        return std::string_view(joined.data(), size);
    };
    const std::int64_t length = text.Length;
    std::int64_t position = std::clamp<std::int64_t>(from, 0, length);
    bool finished = false;
    if (direction == Direction::Forward) {
        for (;;) {
            if (position >= length) {
                finished = true;
                break;
            }
            // Occurrences that start in [position, sliceEnd) all end by the limit.
            const std::int64_t sliceEnd = position + m_nSliceSize;
            const std::int64_t limit = std::min(length, sliceEnd + m_nOverlap);
            const std::size_t at = FirstPossibleStart(bytes(position, limit));
            if (at != LiteralSearcher::npos && (static_cast<std::int64_t>(at) < m_nSliceSize || limit == length)) {
                // The editor looks at a slice from there; the scan goes on behind it.
                const std::int64_t start = position + static_cast<std::int64_t>(at);
                Push({start, start + m_nSliceSize}, notify);
                position = start + m_nSliceSize;
            } else {
                // Nothing can start before the slice's end (or the text's, when it reaches that).
                position = limit == length ? length : sliceEnd;
            }
            // Asked after a slice, so that every start gets one slice further.
            if (stop.stop_requested() && position < length)
                break;
        }
    } else {
        for (;;) {
            if (position <= 0) {
                finished = true;
                break;
            }
            // Occurrences that start in [sliceStart, position) all end by the limit.
            const std::int64_t sliceStart = std::max<std::int64_t>(0, position - m_nSliceSize);
            const std::int64_t limit = std::min(length, position - 1 + m_nOverlap);
            const std::size_t at = FirstPossibleStart(bytes(sliceStart, limit));
            if (at != LiteralSearcher::npos && static_cast<std::int64_t>(at) < position - sliceStart)
                Push({sliceStart, position}, notify);
            position = sliceStart;
            if (stop.stop_requested() && position > 0)
                break;
        }
    }
    {
        std::lock_guard lock(m_Mutex);
        m_nPosition = position;
        m_bFinished = finished;
    }
    if (finished && notify && m_Notification)
        m_Notification();
}
