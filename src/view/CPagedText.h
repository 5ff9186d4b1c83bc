// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QScrollBar>
#include <QString>
#include <QTimer>

#include "filtering/IndexedText.h"
#include "filtering/TextEncodingDetector.h"

class CEditor;
class COstrelView;
class CFileRangeReader;
class QScrollBar;

// Shows a file too big to hold in the editor, or a compressed one: the editor holds a window of a
// few megabytes of its text, a sparse index of line starts is built on a thread, and a scroll bar
// of its own stands for the whole text. Scrolling near the window's edges, the scroll bar, Ctrl+Home and Ctrl+End,
// Go To and Find move the window; every read happens on a reader thread, so the window never
// waits for the disk. Positions in the editor are file offsets less the window's start.
class CPagedText : public QObject
{
    Q_OBJECT

public:
    // The window holds at most this much of the file; a longer line is shown in pieces of it.
    static constexpr std::int64_t WindowBytes = 2 * 1024 * 1024;
    // The window of a wrapped view: the editor wraps all of it when the caret goes far.
    static constexpr std::int64_t WrappedWindowBytes = 16 * 1024;

    // windowBytes: the most the window holds (WindowBytes when 0).
    CPagedText(COstrelView& view, const QString& path, std::int64_t windowBytes = 0);
    std::int64_t GetWindowBytes() const { return m_nWindowBytes; }
    ~CPagedText() override;

    // Opens the file (its text decompressed when its first bytes say it is compressed), starts the
    // index and asks for the first window (at the 1-based line
    // `selectedLine` selected, or the start for 0). False, with the reason, when the file cannot
    // be read.
    bool Start(std::int64_t selectedLine, QString& error);
    // Before Start: the text to show instead of the file at the path (a rotated set); Start
    // starts it.
    void UseText(std::shared_ptr<IndexedText> text) { m_pText = std::move(text); }
    // Before Start: the encoding the file is read in; one other than UTF-8 is shown as its UTF-8
    // transcoding.
    void UseEncoding(const FileTextEncoding& encoding) { m_Encoding = encoding; }
    // Before Start: the index of a file of at least minimumSize bytes is kept between runs.
    void SaveIndexBetweenRuns(std::uint64_t minimumSize)
    {
        m_bSavesIndex = true;
        m_nSaveMinimumSize = minimumSize;
    }

    // Before Start: the file's line starts as the editor that held it counted them, so that the
    // index need not read them again (taken only while the file still starts with those bytes).
    void TakeKnownLines(IndexedText::KnownLines lines) { m_KnownLines = std::move(lines); }

    QScrollBar* GetScrollBar() const { return m_pScrollBar; }
    // The text shown, with its line index: the file's, or a compressed file's decompressed text.
    const IndexedText& GetIndex() const { return *m_pText; }
    std::shared_ptr<const IndexedText> GetSharedText() const { return m_pText; }
    // The text's size as far as it is known (a file may grow, a compressed text is still indexed).
    std::uint64_t GetFileSize() const;
    int GetIndexPercent() const;
    bool IsIndexComplete() const;
    // The file's line count as far as it can be told: the index's once it is complete; before,
    // an estimate from the first window read (the margin's width does not follow the index).
    std::int64_t GetExpectedLineCount() const;

    // The file offset of the window's start, and of an editor position.
    std::uint64_t GetWindowStart() const { return m_nWindowStart; }
    const QString& GetPath() const { return m_strPath; }
    std::uint64_t GetWindowEnd() const { return m_nWindowEnd; }
    // The 0-based file line of an editor line, or -1 while the index has not reached the window.
    std::int64_t FileLineOfViewLine(std::int64_t viewLine) const;
    // A window read is under way.
    bool IsMoving() const { return m_nPendingTag != 0; }

    // Puts the 0-based file line at the top third of the screen, with the caret at its start
    // (selectWholeLine: the line selected, without its line end).
    void ShowLine(std::int64_t line, bool selectWholeLine);
    // The start and the end of the file, the caret with them (a compressed text's end once it is known).
    void ShowStart();
    void ShowEnd();
    // The line that holds the offset at the top of the screen (the scroll bar's drag).
    void ShowOffset(std::uint64_t offset);
    // Selects [start, end) of the file, scrolled into view (a found occurrence).
    void ShowRange(std::uint64_t start, std::uint64_t end);

    // The file has grown (filter output still being written to it, a log still being written):
    // the index goes on, the scroll bar follows.
    void NoteFileGrew();
    // The file changed on disk without being followed: the index looks at its end again, and a
    // file that got shorter is shown as it now is (the window and the index end where it ends).
    void NoteFileChanged();
    // Whether the index is to look at the file's end again, as after NoteFileGrew or a read that
    // came back short.
    bool IsRecheckingEnd() const { return m_bGrew; }
    // Whether the window goes with the end of a growing file, once the index has reached it.
    void SetKeepsEnd(bool keeps) { m_bKeepsEnd = keeps; }
    bool KeepsEnd() const { return m_bKeepsEnd; }
    // Called when the editor scrolled or its caret moved: keeps the window around what is shown.
    void OnViewScrolled();
    // Down or Page Down on the window's last line (Up, Page Up on its first): the next part comes.
    bool MovePastEdge(bool down);

Q_SIGNALS:
    void IndexProgress(int percent);
    void IndexFinished();
    // A window was put into the editor.
    void WindowShown();
    // Part of the file could not be read (the disk or the mount failed).
    void ReadProblem(const QString& reason);
    // A window was read again after a ReadProblem.
    void ReadRecovered();

private:
    CEditor& Editor() const;
    // What to do once a window has been read.
    struct Placement
    {
        enum class Kind
        {
            Line,   // TargetLine at the top third, caret at its start
            Offset, // the line holding TargetOffset at the top
            Range,  // [TargetOffset, TargetEnd) selected
            End,    // the last line, caret at the end
            Keep,   // the line holding TargetOffset stays at the top; Anchor and Caret stay
        };
        Kind What = Kind::Line;
        std::int64_t TargetLine = 0;
        std::uint64_t TargetOffset = 0;
        std::uint64_t TargetEnd = 0;
        bool SelectWholeLine = false;
        std::int64_t Anchor = -1; // file offsets to keep, -1 for none
        std::int64_t Caret = -1;
    };

    // Where a window read from a line start the index knows is cut so that its target stands a
    // third into it: at an offset, or at a line counted from the read's start.
    struct Focus
    {
        std::int64_t Offset = -1;
        std::int64_t Line = -1;
    };

    void RequestWindow(std::uint64_t start, std::int64_t startLine, bool alignToLine, const Placement& placement);
    // Reads extraBytes more than a window, to cut the window at the focus.
    void RequestWindow(std::uint64_t start, std::int64_t startLine, bool alignToLine, const Placement& placement,
                       Focus focus, std::size_t extraBytes);
    // The offset in bytes the window starts at for the pending focus: a line start a third of a
    // window before it, or 0; target: the focus in bytes, -1 when it is not in them.
    qsizetype FocusedBegin(const QByteArray& bytes, std::uint64_t offset, qsizetype& target) const;
    // The most bytes before a window's start read only to count their lines.
    std::uint64_t MaxSkippedBytes() const;
    void RequestAround(std::uint64_t offset, const Placement& placement);
    void OnRangeRead(std::uint64_t tag, std::uint64_t offset, const QByteArray& bytes, int error);
    void PlaceInWindow(const Placement& placement);
    // The file ended before a window that was asked for: shown once the index knows its end.
    void DeferPastEnd(const Placement& placement);
    // The window reaches past the file's end: read again, what is left of it kept on screen.
    void ReadWindowAgain();
    void OnIndexTimer();
    void UpdateScrollBar();
    void OnScrollBarAction(int action);
    int ScrollShift() const;

    COstrelView& m_View;
    QString m_strPath;
    std::int64_t m_nWindowBytes;
    std::shared_ptr<IndexedText> m_pText; // shared with the reader's thread
    IndexedText::KnownLines m_KnownLines; // handed to the text at Start
    FileTextEncoding m_Encoding;          // what the file is read in
    bool m_bSavesIndex = false;
    std::uint64_t m_nSaveMinimumSize = 0;
    CFileRangeReader* m_pReader = nullptr;
    QPointer<QScrollBar> m_pScrollBar;
    QTimer m_IndexTimer;

    std::uint64_t m_nWindowStart = 0;
    std::uint64_t m_nWindowEnd = 0;
    std::int64_t m_nWindowFirstLine = -1; // the file line of the window's first line, -1 unknown
    bool m_bWindowStartsInsideLine = false;
    bool m_bWindowAtTextEnd = false;       // the window's read reached the end of the text as it was then
    std::uint64_t m_nSizeAtWindowRead = 0; // the text's known size when the window was asked for
    std::uint64_t m_nSizeAtRequest = 0;    // the same for the window read under way

    std::uint64_t m_nNextTag = 1;
    std::uint64_t m_nPendingTag = 0; // the window read whose answer is awaited, 0 for none
    std::int64_t m_nPendingStartLine = -1;
    bool m_bPendingAlign = false;
    Focus m_PendingFocus;
    std::size_t m_nPendingBytes = 0;   // what the pending read asked for
    bool m_bPendingInsideLine = false; // the window asked for continues a line
    Placement m_PendingPlacement;
    std::uint64_t m_nResolveTag = 0; // the read that finds the window's first line number
    std::int64_t m_nResolveLine = 0;
    std::int64_t m_nDeferredLine = -1; // a line to show once the index has reached it
    bool m_bDeferredSelects = false;
    bool m_bUpdatingScrollBar = false;
    bool m_bGrew = false;               // the file grew or changed since the index last reached its end
    bool m_bDeferredEnd = false;        // the end to show once the index has reached it
    bool m_bReadFailed = false;         // the last window read failed
    std::int64_t m_nEstimatedLines = 0; // from the first window, until the index is complete
    bool m_bKeepsEnd = false;
};
