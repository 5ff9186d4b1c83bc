// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

class LiteralSearcher;

// A range of positions in a text, end exclusive.
struct TextRange
{
    std::int64_t Start = 0;
    std::int64_t End = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// A text where the editor keeps it: the bytes before its gap in one block, the rest in another.
// `After` points at the byte at position `Gap`. Valid only while nobody changes or moves the text.
struct TextPieces
{
    const char* Before = nullptr;
    const char* After = nullptr;
    std::int64_t Gap = 0;
    std::int64_t Length = 0;
};

// Tells, a slice at a time, where in a text an occurrence of a pattern may start, by its byte
// prefilter; the editor confirms or rejects each such slice. Scans on a thread of its own, or at
// once on the caller's. The scan stops between slices when asked, so Stop returns within about
// one slice of work; Start again goes on where it stopped, a slice further at least. Apart from
// that thread the object is used from one thread only.
class CTextScanner
{
public:
    enum class Direction
    {
        // Candidates in increasing order; each one's range holds the starts the editor must look at.
        Forward,
        // Slices from `from` down to 0, the nearest first.
        Backward,
    };

    // Called on the scanning thread when a candidate comes while none was waiting, and when the
    // scan finishes: a nudge to look, nothing more.
    using Notification = std::function<void()>;

    // No prefilter: every slice is a candidate. `foldsBeyondAscii`: letters beyond ASCII may fold
    // into the pattern's, so a slice that holds one is a candidate from the overlap before it.
    // `overlap` is the longest an occurrence can be. The prefilter must outlive the scanner.
    CTextScanner(const LiteralSearcher* prefilter, bool foldsBeyondAscii, std::int64_t sliceSize, std::int64_t overlap,
                 Notification notification = {});
    // Stops the thread and waits for it.
    ~CTextScanner();
    CTextScanner(const CTextScanner&) = delete;
    CTextScanner& operator=(const CTextScanner&) = delete;

    // Forward: the starts from `from` to the text's end; backward: those before `from`. The text
    // must stay as it is until the scan finishes or Stop returns.
    void Start(const TextPieces& text, Direction direction, std::int64_t from);
    // The same on the calling thread, to the end.
    void Scan(const TextPieces& text, Direction direction, std::int64_t from);
    // Stops the scan and waits for its thread. What it found stays.
    void Stop();
    // Stops the scan and forgets what it found, for a scan of another range.
    void Reset();

    // The next candidate in the order of the scan, if one has been found.
    bool TakeCandidate(TextRange& candidate);
    // Drops the candidates that start at or after a position: a scan started again there finds
    // them anew.
    void DropCandidatesFrom(std::int64_t position);
    // The scan came to its end; candidates may still be waiting.
    bool IsFinished() const;
    // Where a stopped or finished scan would go on: forward, the next start not yet looked at;
    // backward, the end of the next slice.
    std::int64_t GetPosition() const;

    // The first offset in the bytes where an occurrence may start, or npos.
    std::size_t FirstPossibleStart(std::string_view bytes) const;

private:
    // `notify`: on the thread, where the notification is wanted.
    void Run(const std::stop_token& stop, TextPieces text, Direction direction, std::int64_t from, bool notify);
    void Push(const TextRange& candidate, bool notify);

    const LiteralSearcher* m_pPrefilter;
    bool m_bFoldsBeyondAscii;
    std::int64_t m_nSliceSize;
    std::int64_t m_nOverlap;
    Notification m_Notification;
    mutable std::mutex m_Mutex;
    std::deque<TextRange> m_Candidates; // guarded by m_Mutex
    std::int64_t m_nPosition = 0;       // guarded by m_Mutex
    bool m_bFinished = false;           // guarded by m_Mutex
    std::jthread m_Thread;
};
