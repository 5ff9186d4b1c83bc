// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTextToggle.h"

#include <sys/stat.h>

#include <QFile>

#include "document/COstrelDoc.h"
#include "filtering/LineFeedCounter.h"
#include "view/CLineStartFinder.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

CTextToggle::FileStamp CTextToggle::StampOf(const QString& path)
{
    struct stat status
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

void CTextToggle::SetShownText(const FileStamp& stamp, bool linesAreFileLines)
{
    m_ShownStamp = stamp;
    m_bShownLinesAreFileLines = linesAreFileLines;
}

bool CTextToggle::ShowsPristineWholeFile() const
{
    return m_View.m_pDocument && !m_View.m_bShowsFilteredText && !m_View.IsPaged() && !m_View.IsLoading() &&
           !m_View.IsTextModified() && !m_View.m_bTextIncomplete && m_ShownStamp.IsValid();
}

void CTextToggle::KeepWholeFileIfPristine()
{
    if (!ShowsPristineWholeFile())
        return;
    Release(m_WholeStash);
    Keep(m_WholeStash);
}

void CTextToggle::KeepOutput()
{
    Release(m_OutputStash);
    Keep(m_OutputStash);
    m_OutputStash.Output = m_View.m_Output.TakeText();
}

void CTextToggle::Keep(StashedText& stash)
{
    CEditor& editor = m_View.m_Editor;
    stash.Document = editor.GetDocument();
    editor.AddDocumentReference(stash.Document);
    stash.Stamp = m_ShownStamp;
    stash.EditorLinesAreFileLines = m_bShownLinesAreFileLines;
    stash.Length = editor.GetLength();
}

void CTextToggle::Show(StashedText& stash)
{
    CEditor& editor = m_View.m_Editor;
    editor.SetDocument(stash.Document, true);
    stash.Document = 0;
    m_View.ApplyDocumentSettings();
    ++m_View.m_nTextGeneration;
    m_ShownStamp = stash.Stamp;
    m_bShownLinesAreFileLines = stash.EditorLinesAreFileLines;
    m_View.m_bTextIncomplete = false;
    editor.SetSavePoint();
}

void CTextToggle::Release(StashedText& stash)
{
    if (stash.Document != 0)
        m_View.m_Editor.ReleaseDocument(stash.Document);
    stash = StashedText();
}

std::int64_t CTextToggle::PositionOfFileLine(std::int64_t line)
{
    if (line <= 1)
        return 0;
    if (m_bShownLinesAreFileLines)
        return m_View.m_Editor.PositionFromLine(line - 1);
    // Lone carriage returns break the editor's lines: count the line feeds themselves.
    CLineStartFinder finder(line);
    const std::string_view bytes = m_View.GetTextBytes();
    finder.Feed(bytes.data(), bytes.size());
    return finder.GetLineStart();
}

CTextToggle::Result CTextToggle::Toggle()
{
    if (m_View.IsLoading() || m_View.m_Output.IsReceiving())
        return Result::Busy;
    return m_View.m_bShowsFilteredText ? ToWholeFile() : ToOutput();
}

CTextToggle::Result CTextToggle::ToWholeFile()
{
    COstrelView& view = m_View;
    CEditor& editor = view.m_Editor;
    const OutputLineNumbers& numbers = view.m_Output.Numbers();
    // The whole file as it was last shown, when the file is still that, or gone: reading it anew
    // would show nothing better.
    const FileStamp now = view.m_pDocument ? StampOf(view.m_pDocument->GetPathName()) : FileStamp();
    // A text too long to wrap in the editor is read anew into the paged view instead.
    if (m_WholeStash.Document == 0 || !view.m_pDocument || !(m_WholeStash.Stamp == now || !now.IsValid()) ||
        (view.GetWordWrap() != COstrelView::WrapNone && m_WholeStash.Length > COstrelView::WrappedEditorLimit)) {
        // What Ctrl+double-click does on the caret's line: the file read anew. From the empty
        // line after the output, where Follow leaves the caret: at the file's end.
        const std::int64_t caret = editor.GetCurrentPosition();
        if (!numbers.Empty() && caret >= editor.GetLength() &&
            view.OutputLineFromPosition(caret) == static_cast<std::int64_t>(numbers.Size())) {
            view.m_nPendingFileLine = 0;
            view.m_bPendingFileEnd = true;
            if (!view.ReloadDocumentText())
                view.m_bPendingFileEnd = false;
            return Result::Done;
        }
        view.GoToFileLineAt(caret);
        return Result::Done;
    }
    // The file is as it was when it was last shown whole: that text again, at once.
    bool isContext = false;
    const std::int64_t fileLine =
        view.FileLineOfViewLine(editor.LineFromPosition(editor.GetCurrentPosition()), isContext);
    // From the empty line after the output (where Follow leaves the caret): the file's end.
    const bool toEnd = fileLine == 0 && !numbers.Empty() && view.IsCaretOnLastLine();
    if (!view.IsPaged() && !numbers.Empty())
        KeepOutput();
    view.m_Paging.Stop();
    Show(m_WholeStash);
    view.ShowAsWholeFile();
    view.SetTextReadOnly(false);
    view.UpdateMarginNumbering();
    if (fileLine > 0)
        view.m_Loading.SelectPendingLine(PositionOfFileLine(fileLine), true);
    else if (toEnd)
        view.FollowEnd();
    return Result::Done;
}

CTextToggle::Result CTextToggle::ToOutput()
{
    COstrelView& view = m_View;
    CEditor& editor = view.m_Editor;
    if (m_OutputStash.Document == 0 || !m_OutputStash.Output || !view.m_pDocument)
        return Result::NeedsRun;
    if (!(m_OutputStash.Stamp == StampOf(view.m_pDocument->GetPathName()))) {
        Release(m_OutputStash); // the file changed: that output is out of date
        return Result::NeedsRun;
    }
    if (view.GetWordWrap() != COstrelView::WrapNone && m_OutputStash.Length > COstrelView::WrappedEditorLimit) {
        Release(m_OutputStash); // made anew, it goes to the paged view
        return Result::NeedsRun;
    }
    const std::int64_t caretFileLine =
        m_bShownLinesAreFileLines || view.IsPaged()
            ? view.GetCaretLine()
            : static_cast<std::int64_t>(
                  CountLineFeeds(view.GetTextBytes().data(), static_cast<std::size_t>(editor.GetCurrentPosition()))) +
                  1;
    KeepWholeFileIfPristine();
    view.m_Paging.Stop();
    std::unique_ptr<FilterOutputText> output = std::move(m_OutputStash.Output);
    Show(m_OutputStash);
    view.m_Output.ShowText(std::move(output));
    // The kept line nearest the caret's file line: the first at or after it, or the last before.
    const std::int64_t outputLine = static_cast<std::int64_t>(view.m_Output.Numbers().NearestTo(caretFileLine));
    const std::int64_t start = editor.PositionFromLine(outputLine);
    std::int64_t end = editor.GetLineEndPosition(outputLine);
    if (end > start && editor.GetCharAt(end - 1) == '\r')
        --end;
    view.SelectLineAt(start, end);
    return Result::Done;
}
