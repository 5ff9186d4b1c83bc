// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "filtering/RotatedSetText.h"

class CEditAnyway;
class MergedShownText;
class MergedText;
class COstrelView;
class CPagedText;
class PagedFileText;
class RotatedSetShownText;
class ShownText;

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
    // The paged text: a file's lines through the line index, numbered as the file's, or a
    // rotated set's, numbered in each of its files.
    const ShownText* GetText() const;
    // The files of a rotated set shown as one text, oldest first; false with the first file's
    // reason when none of them can be read. Files that cannot be read are left out and listed.
    bool StartSet(const QStringList& paths, std::vector<RotatedSetText::SkippedMember>& skipped, QString& error);
    // Shows the set in place of what the view showed; false, with the reason reported, when no
    // file of it can be read. The files left out are reported once.
    bool ShowSet(const QStringList& paths);
    bool IsRotatedSet() const { return m_pSet != nullptr; }
    bool IsSetFollowable() const;
    // Following a set: the live file was rotated away and another file has its name, which the
    // set takes as its new live file; the members get the names they now have.
    void OnSetLiveFileReplaced();
    // Following a set: the live file was emptied (copied away and truncated): the set is read anew.
    void OnSetLiveFileRewritten();
    // The rotated set shown, or null; shared with the filter output made from it.
    const std::shared_ptr<RotatedSetText>& GetRotatedSet() const { return m_pSet; }
    // The logs merged by time as one text; false with the reason (naming the log) when one of
    // them cannot be merged.
    bool StartMerge(const QStringList& paths, QString& error);
    // Shows the merge in place of what the view showed; false, with the reason reported, when one
    // of the logs cannot be merged.
    bool ShowMerge(const QStringList& paths);
    bool IsMerged() const { return m_pMerged != nullptr; }
    // The merge shown, or null; shared with the filter output made from it.
    const std::shared_ptr<MergedShownText>& GetMerged() const { return m_pMerged; }
    // The paged view of a file at or above the threshold, or of a compressed file; false when it is
    // smaller (or cannot be read).
    bool Start(const QString& path, std::int64_t size, bool always = false);
    void Stop();
    // The paged view's threshold for the wrap mode: a wrapped editor holds less.
    std::int64_t Threshold() const;
    // Paged only because the text is too long to wrap in the editor.
    bool IsPagedForWrap() const { return m_bForWrap; }

    // Edit Anyway: the paged file loaded whole into the editor at the user's asking. Once it is,
    // the view holds its file whole from then on, whatever the editing limit; a paged view
    // stopped for any reason cancels a load still under way.
    CEditAnyway& GetEditAnyway() const { return *m_pEditAnyway; }
    bool EditsAnyway() const { return m_bEditsAnyway; }
    void SetEditsAnyway() { m_bEditsAnyway = true; }
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
    // Readies the editor for a window of paged's text and starts it; false, with the editor as
    // it was, when its text cannot be read.
    bool StartPaged(std::unique_ptr<CPagedText> paged, QString& error);
    // Shows the text as the new wrap mode needs; false when it cannot wrap.
    bool ShowTextForWrapMode();
    // Why the text in the editor cannot be shown through the file's window (it is not what the
    // file holds), in words that end "while …"; empty when it can.
    QString ReasonNotToPage() const;
    void Connect();
    // A compressed text that ended in damage: said once, naming the file.
    void ReportDamage();

    // The editing limit this view keeps to: none once the user chose to edit its file anyway.
    std::int64_t EditingLimit() const;

    COstrelView& m_View;
    std::unique_ptr<CEditAnyway> m_pEditAnyway;
    std::unique_ptr<CPagedText> m_pPaged;
    std::unique_ptr<PagedFileText> m_pText; // reads m_pPaged's index; null for a set
    std::shared_ptr<RotatedSetText> m_pSet; // the set m_pPaged shows, or null
    std::unique_ptr<RotatedSetShownText> m_pSetText;
    std::shared_ptr<MergedShownText> m_pMerged; // the merge m_pPaged shows, or null
    QStringList m_SetPaths;                     // the set's files as they were asked for, for showing them anew
    int m_nWordWrap = 0;
    bool m_bForWrap = false; // paged only because the text is too long to wrap in the editor
    bool m_bReadProblemNoted = false;
    bool m_bDamageReported = false;
    bool m_bEditsAnyway = false;
};
