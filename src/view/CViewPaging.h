// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

class COstrelView;
class CPagedText;
class PagedFileText;

// A view's paged mode: a file too big for the editor (or too long to wrap in it), or a compressed
// file of any size, is shown
// through a window that moves over the file, read-only, with a scroll bar that stands for the
// whole file. Also the word-wrap mode, which decides the window's size.
class CViewPaging
{
public:
    explicit CViewPaging(COstrelView& view);
    ~CViewPaging();
    CViewPaging(const CViewPaging&) = delete;
    CViewPaging& operator=(const CViewPaging&) = delete;

    bool IsPaged() const { return m_pPaged != nullptr; }
    CPagedText* GetPagedText() const { return m_pPaged.get(); }
    // The paged file as a text: its lines through the line index, numbered as the file's.
    const PagedFileText* GetText() const { return m_pText.get(); }
    // The paged view of a file at or above the threshold, or of a compressed file; false when it is
    // smaller (or cannot be read).
    bool Start(const QString& path, std::int64_t size, bool always = false);
    void Stop();
    // The paged view's threshold for the wrap mode: a wrapped editor holds less.
    std::int64_t Threshold() const;
    void PlaceScrollBar();

    int GetWordWrap() const { return m_nWordWrap; }
    // False when the text cannot be wrapped (the mode stays), with a status note saying why.
    bool SetWordWrap(int mode);

    // The note of a view that is otherwise quiet: the paged view's, or none.
    QString RestingNote() const;
    // The paged view's note while nothing went wrong: the index's progress, then the resting note.
    QString Note() const;
    // The paged view could not read part of its file: that note stands.
    bool IsReadProblemNoted() const { return m_bReadProblemNoted; }

private:
    // Shows the text as the new wrap mode needs; false when it cannot wrap.
    bool ShowTextForWrapMode();
    // Why the text in the editor cannot be shown through the file's window (it is not what the
    // file holds), in words that end "while …"; empty when it can.
    QString ReasonNotToPage() const;
    void Connect();
    // A compressed text that ended in damage: said once, naming the file.
    void ReportDamage();

    COstrelView& m_View;
    std::unique_ptr<CPagedText> m_pPaged;
    std::unique_ptr<PagedFileText> m_pText; // reads m_pPaged's index
    int m_nWordWrap = 0;
    bool m_bForWrap = false; // paged only because the text is too long to wrap in the editor
    bool m_bReadProblemNoted = false;
    bool m_bDamageReported = false;
};
