// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFilterOutputText.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include "document/COstrelDoc.h"
#include "filtering/OutputLine.h"
#include "filtering/RotatedSetText.h"
#include "logtext/MergedShownText.h"
#include "logtext/PagedFileText.h"
#include "logtext/StringTextLines.h"
#include "view/CLineNumberMargin.h"
#include "view/CMatchHighlighter.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

namespace {
// What output put aside reads: its lines are in an editor document that is not shown.
const StringTextLines NoLines;

// The set's files indexed anew, for telling which of them a line of output comes from; null when
// none can be read.
std::shared_ptr<const RotatedSetText> StartRotatedSet(const QStringList& paths)
{
    std::vector<std::string> members;
    for (const QString& path : paths)
        members.push_back(QFile::encodeName(path).toStdString());
    auto set = std::make_shared<RotatedSetText>(std::move(members));
    int error = 0;
    return set->Start(error) ? set : nullptr;
}
} // namespace

CFilterOutputText::CFilterOutputText(COstrelView& view)
    : m_View(view), m_pText(std::make_unique<FilterOutputText>(view.m_EditorLines))
{}

CFilterOutputText::~CFilterOutputText() = default;

void CFilterOutputText::Begin()
{
    COstrelView& view = m_View;
    // The whole file stays aside while it is as it was read: the toggle comes back to it at once.
    view.m_Toggle.KeepWholeFileIfPristine();
    // The output of a rotated set tells each line's file of the set: the set shown, or the one
    // the output shown was made from, stays for that.
    std::shared_ptr<const RotatedSetText> set = view.m_Paging.GetRotatedSet();
    if (!set && view.m_bShowsFilteredText)
        set = m_pText->GetRotatedSet();
    if (!set && view.m_pDocument && view.m_pDocument->IsRotatedSet())
        set = StartRotatedSet(view.m_pDocument->GetRotatedSetFiles());
    std::shared_ptr<const MergedShownText> merged = view.m_Paging.GetMerged();
    if (!merged && view.m_bShowsFilteredText)
        merged = m_pText->GetMerged();
    view.m_Loading.Stop();
    view.m_Paging.Stop();
    view.ReplaceDocument(0);
    const CTextToggle::FileStamp stamp =
        view.m_pDocument ? CTextToggle::StampOf(view.m_pDocument->GetPathName()) : CTextToggle::FileStamp();
    view.m_Toggle.SetShownStamp(stamp);
    m_bReceiving = true;
    view.m_Following.ClearRestarts();
    view.m_Following.Watch(static_cast<std::uint64_t>(std::max<std::int64_t>(0, stamp.Size)));
    view.m_bTextIncomplete = false;
    view.m_Looks.SetBackground(COstrelView::FilterOutputBackground);
    m_pText->ClearNumbers();
    view.m_pOverview->BeginKeptLines();
    if (view.m_pDocument && view.m_pDocument->IsRotatedSet())
        m_pText->SetRotatedSet(std::move(set));
    if (view.m_pDocument && view.m_pDocument->IsMerged())
        m_pText->SetMerged(std::move(merged));
    m_pText->ReadFrom(view.m_EditorLines, false);
    view.m_nPendingFileLine = 0;
    view.SetShowsFilteredText(true);
    view.UpdateMarginNumbering();
    view.m_Editor.SetSavePoint();
    // Typed text would shift the output's lines against their recorded file lines.
    view.SetTextReadOnly(true);
}

void CFilterOutputText::End()
{
    m_bReceiving = false;
    m_View.m_pOverview->FinishKeptLines();
    if (!m_View.IsLoading())
        m_View.SetTextReadOnly(false);
}

void CFilterOutputText::Append(const OutputBatch& batch)
{
    COstrelView& view = m_View;
    CEditor& editor = view.m_Editor;
    const bool atEnd = view.m_Following.ScrollsWithEnd() && !view.IsPaged() && view.IsCaretOnLastLine();
    const std::int64_t threshold = view.m_Paging.Threshold();
    if (m_pSpillFile) {
        const auto size = static_cast<qint64>(batch.Text.size());
        if (m_pSpillFile->write(batch.Text.data(), size) != size || !m_pSpillFile->flush())
            view.SetStatusNote(QStringLiteral("Cannot keep the filter output: %1").arg(m_pSpillFile->errorString()));
        else if (CPagedText* paged = view.GetPagedText())
            paged->NoteFileGrew();
    } else if (threshold > 0 && !view.IsPaged() &&
               editor.GetLength() + static_cast<std::int64_t>(batch.Text.size()) >= threshold) {
        Spill(batch);
    } else if (!batch.Text.empty()) {
        editor.SetReadOnly(false);
        editor.AppendWithoutUndo(batch.Text.data(), batch.Text.size());
        view.ApplyReadOnly();
    }
    editor.SetSavePoint();
    m_pText->Append(batch.Lines);
    view.m_pOverview->AddKeptLines(batch);
    std::int64_t largest = 0;
    for (const OutputLine& line : batch.Lines)
        largest = std::max(largest, line.LineNumber);
    view.m_pMargin->GrowLargest(largest);
    view.NoteLinesAppended();
    if (atEnd)
        view.FollowEnd();
}

bool CFilterOutputText::Spill(const OutputBatch& batch)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("ostrel-output-XXXXXX.log")));
    const std::string_view shown = m_View.GetTextBytes();
    const bool written =
        file->open() &&
        file->write(shown.data(), static_cast<qint64>(shown.size())) == static_cast<qint64>(shown.size()) &&
        file->write(batch.Text.data(), static_cast<qint64>(batch.Text.size())) ==
            static_cast<qint64>(batch.Text.size()) &&
        file->flush();
    if (!written) {
        m_View.SetStatusNote(QStringLiteral("Cannot keep the filter output: %1").arg(file->errorString()));
        return false;
    }
    m_pSpillFile = std::move(file);
    // Shown paged from now on, still as filter output.
    if (!m_View.m_Paging.Start(m_pSpillFile->fileName(), m_pSpillFile->size(), true))
        return false;
    m_View.m_Looks.SetBackground(COstrelView::FilterOutputBackground);
    return true;
}

std::unique_ptr<FilterOutputText> CFilterOutputText::TakeText()
{
    std::unique_ptr<FilterOutputText> taken = std::move(m_pText);
    taken->ReadFrom(NoLines, false);
    m_pText = std::make_unique<FilterOutputText>(m_View.m_EditorLines);
    return taken;
}

void CFilterOutputText::ShowText(std::unique_ptr<FilterOutputText> text)
{
    m_pText = std::move(text);
    m_pText->ReadFrom(m_View.m_EditorLines, false);
    m_View.m_Looks.SetBackground(COstrelView::FilterOutputBackground);
    m_View.SetShowsFilteredText(true);
    m_View.UpdateMarginNumbering();
}

std::unique_ptr<QTemporaryFile> CFilterOutputText::TakeSpillFile()
{
    return std::move(m_pSpillFile);
}

void CFilterOutputText::PutSpillFile(std::unique_ptr<QTemporaryFile> file)
{
    m_pSpillFile = std::move(file);
}

bool CFilterOutputText::IsSpillFile(const QString& path) const
{
    return m_pSpillFile && m_pSpillFile->fileName() == path;
}

void CFilterOutputText::ReadFromPagedFile(const PagedFileText& paged)
{
    m_pText->ReadFrom(paged.Lines(), true);
}

void CFilterOutputText::ReadFromEditor()
{
    m_pText->ReadFrom(m_View.m_EditorLines, false);
}
