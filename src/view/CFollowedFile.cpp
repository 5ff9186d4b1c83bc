// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFollowedFile.h"

#include <algorithm>
#include <limits>

#include <QFileInfo>
#include <QTimer>

#include "document/COstrelDoc.h"
#include "filtering/FileChangeTexts.h"
#include "view/CFileFollower.h"
#include "view/CLineNumberMargin.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

CFollowedFile::CFollowedFile(COstrelView& view) : m_View(view), m_Text(view.m_EditorLines) {}

CFollowedFile::~CFollowedFile() = default;

bool CFollowedFile::ShowsTheFile() const
{
    return m_View.Shown().TakesFollowedBytes();
}

CFileFollower* CFollowedFile::Follower() const
{
    return m_bWatching && m_View.m_pDocument ? m_View.m_pDocument->GetFileFollower() : nullptr;
}

void CFollowedFile::Watch(std::uint64_t offset)
{
    StopWatching();
    SetChangedOnDisk(false);
    COstrelView& view = m_View;
    if (!view.m_pDocument)
        return;
    CFileFollower* follower = &view.m_pDocument->WatchFile(offset);
    m_bWatching = true;
    QObject::connect(follower, &CFileFollower::ChangedOnDisk, &view, [this] {
        // Filter output that follows its file is never out of date.
        if (!(m_bFollow && !ShowsTheFile()))
            SetChangedOnDisk(true);
        // The paged view reads the file itself: it shows the file as it now is.
        if (CPagedText* paged = m_View.GetPagedText(); paged && ShowsTheFile())
            paged->NoteFileChanged();
    });
    QObject::connect(follower, &CFileFollower::BytesAppended, &view,
                     [this](const QByteArray& bytes) { OnBytesAppended(bytes); });
    QObject::connect(follower, &CFileFollower::FileRestarted, &view, [this](bool replaced) { OnRestarted(replaced); });
    QObject::connect(follower, &CFileFollower::FileMissingChanged, &view, [this](bool missing) {
        if (m_bFollow && ShowsTheFile())
            m_View.SetStatusNote(missing ? QString::fromLatin1(FileChangeTexts::GoneNote)
                                         : m_View.m_Paging.RestingNote());
    });
    // Filter output follows through its run; the whole file through the follower.
    follower->SetFollowing(m_bFollow && ShowsTheFile());
}

void CFollowedFile::StopWatching()
{
    if (!m_bWatching)
        return;
    m_bWatching = false;
    if (m_View.m_pDocument)
        m_View.m_pDocument->StopWatchingFile();
}

void CFollowedFile::SetWholeFileShown(bool whole)
{
    if (CFileFollower* follower = Follower())
        follower->SetFollowing(m_bFollow && whole);
}

void CFollowedFile::SetFollow(bool follow)
{
    if (follow == m_bFollow)
        return;
    COstrelView& view = m_View;
    m_bFollow = follow;
    m_bScrollsWithEnd = follow;
    Q_EMIT view.FollowChanged(follow);
    if (CFileFollower* follower = Follower()) {
        const bool following = follow && ShowsTheFile();
        if (following && m_bChangedOnDisk && !view.IsPaged()) {
            // What changed while nobody followed cannot be told apart: the file is read anew.
            view.ReloadDocumentText();
            return;
        }
        follower->SetFollowing(following);
    }
    if (follow)
        SetChangedOnDisk(false);
    PageIfTooLong();
}

long CFollowedFile::EditorLimit() const
{
    // A file the user chose to edit anyway stays in the editor however far it grows.
    const long limit = m_View.m_Paging.EditsAnyway() ? std::numeric_limits<long>::max() : m_nEditorLimit;
    return m_View.GetWordWrap() == COstrelView::WrapNone
               ? limit
               : std::min(limit, static_cast<long>(COstrelView::WrappedEditorLimit));
}

void CFollowedFile::SetChangedOnDisk(bool changed)
{
    if (changed == m_bChangedOnDisk)
        return;
    m_bChangedOnDisk = changed;
    // A part of the file that cannot be read any more says more than that it changed.
    if (!m_View.m_Paging.IsReadProblemNoted())
        m_View.SetStatusNote(changed ? QStringLiteral("File changed on disk") : m_View.m_Paging.RestingNote());
    Q_EMIT m_View.FileChangedOnDiskChanged(changed);
}

void CFollowedFile::OnBytesAppended(const QByteArray& bytes)
{
    COstrelView& view = m_View;
    CEditor& editor = view.m_Editor;
    if (CPagedText* paged = view.GetPagedText()) {
        // While a window is on its way the caret is not where the user left it.
        // Reaching the end takes the caret on the last line of the file's last window; keeping
        // it, only the caret on the window's last line, as the index may have grown meanwhile.
        if (!paged->IsMoving())
            paged->SetKeepsEnd(m_bScrollsWithEnd && view.IsCaretOnLastLine() &&
                               (paged->KeepsEnd() || paged->GetWindowEnd() >= paged->GetFileSize()));
        paged->NoteFileGrew();
        return;
    }
    if (view.IsLoading() || bytes.isEmpty() || !ShowsTheFile())
        return;
    if (editor.GetLength() + bytes.size() > EditorLimit() && PageFollowedFile())
        return;
    const bool atEnd = view.IsCaretOnLastLine();
    // Text of another encoding comes in as UTF-8, as the rest of it did.
    const CViewEncoding& encoding = view.m_Encoding;
    if (encoding.IsTranscoded()) {
        const std::string text = DecodeToUtf8(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), encoding.Get().Name);
        AppendFromFile(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    } else {
        AppendFromFile(bytes);
    }
    if (m_bScrollsWithEnd && atEnd)
        view.FollowEnd();
    if (!m_Text.HasRestarts())
        view.m_pMargin->SetLargest(editor.GetLineCount());
    else
        view.m_pMargin->GrowLargest(editor.GetLineCount() - m_Text.Restarts().LastMarker());
    view.NoteLinesAppended();
}

void CFollowedFile::AppendFromFile(const QByteArray& bytes)
{
    CEditor& editor = m_View.m_Editor;
    const bool wasModified = m_View.IsTextModified();
    editor.SetReadOnly(false);
    editor.AppendWithoutUndo(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    m_View.ApplyReadOnly();
    // Text that came from the file is no edit of the user's.
    if (!wasModified)
        editor.SetSavePoint();
}

void CFollowedFile::PageIfTooLong()
{
    if (m_bFollow && !m_View.IsPaged() && m_View.m_Editor.GetLength() > EditorLimit())
        PageFollowedFile();
}

bool CFollowedFile::PageFollowedFile()
{
    COstrelView& view = m_View;
    const auto mustStay = [this, &view] {
        // The user's edits stay in the editor, whatever growing it costs.
        return view.IsPaged() || !ShowsTheFile() || view.IsLoading() || view.IsTextModified() || !view.m_pDocument;
    };
    if (mustStay() || m_bPaging)
        return false;
    m_bPaging = true;
    // Not from within the follower's own signal: starting the paged view makes a new follower.
    QTimer::singleShot(0, &view, [this, &view, mustStay] {
        m_bPaging = false;
        if (mustStay() || !m_bFollow)
            return;
        const bool atEnd = view.IsCaretOnLastLine();
        const std::int64_t caretLine = view.GetCaretLine();
        view.m_Loading.Stop();
        view.m_nPendingFileLine = atEnd ? 0 : caretLine;
        const QString path = view.m_pDocument->GetPathName();
        if (!view.m_Paging.Start(path, QFileInfo(path).size(), true))
            return;
        if (atEnd) {
            view.GetPagedText()->SetKeepsEnd(true);
            view.GetPagedText()->ShowEnd();
        }
    });
    return true;
}

void CFollowedFile::OnRestarted(bool replaced)
{
    COstrelView& view = m_View;
    if (!ShowsTheFile())
        return; // the run that follows the file marks it in the output
    const QString note = QString::fromLatin1(FileChangeTexts::RestartNote(replaced));
    if (view.IsRotatedSet()) {
        // A set keeps every line it showed: a file rotated away is one more member of it.
        if (replaced) {
            view.m_Paging.OnSetLiveFileReplaced();
            return;
        }
        // Not from within the follower's own signal: showing the set anew makes a new follower.
        QTimer::singleShot(0, &view, [&view] {
            if (view.IsRotatedSet())
                view.m_Paging.OnSetLiveFileRewritten();
        });
        return;
    }
    if (view.IsPaged()) {
        // The paged view shows the file itself: it starts again on the new one, once the
        // follower that tells of it is done telling.
        QTimer::singleShot(0, &view, [&view, note] {
            if (!view.IsPaged() || !view.m_pDocument)
                return;
            view.m_Paging.Stop();
            if (view.m_Paging.Start(view.m_pDocument->GetPathName(), 0, true))
                view.SetStatusNote(note);
        });
        return;
    }
    CEditor& editor = view.m_Editor;
    const bool atEnd = view.IsCaretOnLastLine();
    // The marker on a line of its own, after whatever the old file left unfinished.
    QByteArray marker(FileChangeTexts::RestartMarker(replaced));
    const std::int64_t length = editor.GetLength();
    if (length > 0 && editor.GetCharAt(length - 1) != '\n')
        marker.prepend('\n');
    AppendFromFile(marker);
    m_Text.AddRestart(editor.GetLineCount() - 2);
    view.m_Toggle.SetShownLinesAreFileLines(false);
    view.UpdateMarginNumbering();
    if (m_bScrollsWithEnd && atEnd)
        view.FollowEnd();
}
