// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QByteArray>

#include "logtext/FollowedFileText.h"

class CFileFollower;
class COstrelView;

// The file a view shows, watched: a change on disk is noted, and with Follow on the bytes
// appended to a whole file shown come to its end (the caret and the screen go with the end while
// the caret is on the last line); a file truncated or replaced goes on after a marker line from
// its start. A whole file grown past the editor's limit is shown paged from then on, unless the
// user chose to edit it anyway. Filter
// output follows through its run instead. The follower itself is the document's.
class CFollowedFile
{
public:
    static constexpr long DefaultEditorLimit = 64L * 1024 * 1024;

    explicit CFollowedFile(COstrelView& view);
    ~CFollowedFile();
    CFollowedFile(const CFollowedFile&) = delete;
    CFollowedFile& operator=(const CFollowedFile&) = delete;

    // Watches the document's file from `offset` on: changes on disk, and following.
    void Watch(std::uint64_t offset);
    // No watch: the view shows no file of its own for now.
    void StopWatching();
    void SetFollow(bool follow);
    bool GetFollow() const { return m_bFollow; }
    // The whole file is shown (true) or filter output (false): only the first follows the bytes.
    void SetWholeFileShown(bool whole);
    // While the caret is on the last line, new lines at the end take the caret and the screen along.
    void SetScrollsWithEnd(bool scrolls) { m_bScrollsWithEnd = scrolls; }
    bool ScrollsWithEnd() const { return m_bScrollsWithEnd; }
    void SetEditorLimit(long bytes) { m_nEditorLimit = bytes; }
    // The limit for the wrap mode: a wrapped editor holds less.
    long EditorLimit() const;
    // The file on disk is no longer what the view shows (and the view does not follow it).
    bool IsChangedOnDisk() const { return m_bChangedOnDisk; }
    void SetChangedOnDisk(bool changed);

    // Bytes of the followed file for a whole file shown: no undo, the modified flag as it was.
    void OnBytesAppended(const QByteArray& bytes);
    // Following a whole file longer than the editor's limit: shown paged from now on (deferred).
    void PageIfTooLong();

    // The whole file as followed: the marker lines where the file started anew, and the file
    // lines after them.
    const FollowedFileText& Text() const { return m_Text; }
    void ClearRestarts() { m_Text.ClearRestarts(); }

private:
    void OnRestarted(bool replaced);
    // False when the whole file stays in the editor.
    bool PageFollowedFile();
    // Appends bytes of the followed file: no undo record, and no modified mark of their own.
    void AppendFromFile(const QByteArray& bytes);

    // The view shows the file itself, whole or paged, rather than filter output made from it:
    // the text that the bytes appended to the file belong to.
    bool ShowsTheFile() const;
    // The document's follower while this view watches the file, else null.
    CFileFollower* Follower() const;

    COstrelView& m_View;
    bool m_bWatching = false;
    bool m_bFollow = false;
    bool m_bPaging = false; // a switch to the paged view is on its way
    bool m_bScrollsWithEnd = false;
    bool m_bChangedOnDisk = false;
    long m_nEditorLimit = DefaultEditorLimit;
    FollowedFileText m_Text;
};
