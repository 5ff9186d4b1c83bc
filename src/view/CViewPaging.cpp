// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewPaging.h"

#include <algorithm>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTemporaryFile>

#include "document/COstrelDoc.h"
#include "filtering/IndexedText.h"
#include "filtering/LineFeedCounter.h"
#include "filtering/OutputLine.h"
#include "filtering/RotatedSet.h"
#include "logtext/MergedShownText.h"
#include "logtext/PagedFileText.h"
#include "logtext/RotatedSetShownText.h"
#include "time/MergedText.h"
#include "view/CEditAnyway.h"
#include "view/CLineNumberMargin.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/ILogWorkspace.h"
#include "view/ProblemReports.h"

namespace {

// The editor's line starts as the index counts them: every Stride-th, and the bytes at both ends
// to tell the file still holds them. False when the editor counts lines otherwise (a carriage
// return alone ends a line there, not in the index) or holds nothing.
bool KnownLinesOf(CEditor& editor, IndexedText::KnownLines& known)
{
    const std::string_view text = editor.GetText();
    const std::int64_t lines = editor.GetLineCount();
    if (text.empty() || static_cast<std::int64_t>(CountLineFeeds(text.data(), text.size())) + 1 != lines)
        return false;
    known.Size = text.size();
    known.LineFeeds = lines - 1;
    known.Checkpoints.reserve(static_cast<std::size_t>(known.LineFeeds / FileLineIndex::Stride + 1));
    for (std::int64_t line = 0; line < lines; line += FileLineIndex::Stride)
        known.Checkpoints.push_back(static_cast<std::uint64_t>(editor.PositionFromLine(line)));
    constexpr std::size_t SampleBytes = 4096;
    const std::size_t sample = std::min(SampleBytes, text.size());
    known.Head.assign(text.substr(0, sample));
    known.Tail.assign(text.substr(text.size() - sample));
    return true;
}

} // namespace

CViewPaging::CViewPaging(COstrelView& view) : m_View(view), m_pEditAnyway(std::make_unique<CEditAnyway>(view)) {}

CViewPaging::~CViewPaging() = default;

const ShownText* CViewPaging::GetText() const
{
    if (m_pSetText)
        return m_pSetText.get();
    if (m_pMerged)
        return m_pMerged.get();
    return m_pText.get();
}

std::int64_t CViewPaging::EditingLimit() const
{
    if (m_bEditsAnyway)
        return 0;
    return m_View.m_pWorkspace ? m_View.m_pWorkspace->GetPagedViewThreshold() : 0;
}

std::int64_t CViewPaging::Threshold() const
{
    const std::int64_t threshold = EditingLimit();
    if (m_nWordWrap == COstrelView::WrapNone)
        return threshold;
    return threshold > 0 ? std::min(threshold, COstrelView::WrappedEditorLimit) : COstrelView::WrappedEditorLimit;
}

QString CViewPaging::RestingNote() const
{
    if (!m_pPaged)
        return QString();
    const IndexedText& text = m_pPaged->GetIndex();
    if (text.IsComplete() && !text.GetDamage().empty())
        return QString::fromLocal8Bit(text.GetDamage());
    if (m_pSet)
        return QStringLiteral("Read-only: a rotated set of %1 files, oldest first").arg(m_SetPaths.size());
    if (m_pMerged)
        return QStringLiteral("Read-only: %1 files merged by time").arg(m_SetPaths.size());
    const std::string packing = text.GetPackingName();
    if (!packing.empty()) {
        // Reads that decompress a long stretch first make scrolling slow: the note says why.
        const std::string access = text.DescribeAccess();
        return access.empty() ? QStringLiteral("Read-only: a %1-compressed file").arg(QString::fromLatin1(packing))
                              : QStringLiteral("Read-only, slow to scroll: %1").arg(QString::fromLocal8Bit(access));
    }
    // Text read through a decoder is taken as it was when opened: it is not followed.
    if (!text.IsFollowable() && m_View.m_Encoding.IsTranscoded() && !m_View.m_Output.IsSpillFile(m_pPaged->GetPath()))
        return QStringLiteral("Read-only: a %1 file larger than the editing limit, shown as it was opened")
            .arg(m_View.m_Encoding.ShownName());
    return m_bForWrap ? QStringLiteral("Read-only while wrapped: the text is too long to wrap at once")
                      : QStringLiteral("Read-only: the file is larger than the editing limit");
}

QString CViewPaging::Note() const
{
    if (m_pPaged && !m_pPaged->IsIndexComplete())
        return (m_pMerged ? QStringLiteral("Merging %1%") : QStringLiteral("Indexing %1%"))
            .arg(m_pPaged->GetIndexPercent());
    return RestingNote();
}

bool CViewPaging::Start(const QString& path, std::int64_t size, bool always)
{
    COstrelView& view = m_View;
    const std::int64_t threshold = Threshold();
    // A compressed file is read through its index whatever its size: the editor holds bytes as
    // they are in the file, and those are not its text.
    const bool compressed = IsCompressedFile(QFile::encodeName(path).toStdString());
    if (!always && !compressed && (threshold <= 0 || size < threshold))
        return false;
    // Only for wrapping when the editor would hold it otherwise.
    const std::int64_t editingLimit = EditingLimit();
    const bool wrapped = m_nWordWrap != COstrelView::WrapNone;
    const bool forWrap = wrapped && !compressed && (editingLimit <= 0 || size < editingLimit);
    auto paged =
        std::make_unique<CPagedText>(view, path, wrapped ? CPagedText::WrappedWindowBytes : CPagedText::WindowBytes);
    // The filter output of a run is UTF-8 whatever the file it came from.
    if (!view.m_Output.IsSpillFile(path))
        paged->UseEncoding(view.m_Encoding.Get());
    // A log of the paged size is indexed once; the filter output of a run is not kept.
    const std::int64_t pagedSize = view.m_pWorkspace ? view.m_pWorkspace->GetPagedViewThreshold() : 0;
    if (pagedSize > 0 && !view.m_Output.IsSpilled())
        paged->SaveIndexBetweenRuns(static_cast<std::uint64_t>(pagedSize));
    // The editor holds the very file that is to be wrapped: its lines need not be counted again,
    // so Go To right after Word Wrap lands at once.
    IndexedText::KnownLines known;
    if (forWrap && !view.m_bShowsFilteredText && !view.IsTextModified() && !view.m_Following.IsChangedOnDisk() &&
        view.m_Editor.GetLength() == size && KnownLinesOf(view.m_Editor, known))
        paged->TakeKnownLines(std::move(known));
    QString error;
    if (!StartPaged(std::move(paged), error))
        return false;
    m_pText = std::make_unique<PagedFileText>(m_pPaged->GetIndex());
    m_bForWrap = forWrap;
    Connect();
    PlaceScrollBar();
    if (view.m_Output.IsSpilled()) {
        view.m_Output.ReadFromPagedFile(*m_pText);
    } else {
        // The file itself from now on: markers of earlier restarts are not in it.
        view.m_Following.ClearRestarts();
        // A compressed log is shown as it was opened: bytes appended to it are no lines of text.
        if (m_pText->TakesFollowedBytes())
            view.m_Following.Watch(static_cast<std::uint64_t>(size));
    }
    view.UpdateMarginNumbering();
    view.SetStatusNote(QStringLiteral("Indexing 0%"));
    return true;
}

bool CViewPaging::StartPaged(std::unique_ptr<CPagedText> paged, QString& error)
{
    COstrelView& view = m_View;
    CEditor& editor = view.m_Editor;
    view.ReplaceDocument(CPagedText::WindowBytes + COstrelView::DocumentSlack);
    editor.SetUndoCollection(false);
    view.SetTextReadOnly(true);
    // The paged view's own scroll bar stands for the whole file.
    editor.SetVerticalScrollBar(false);
    if (!paged->Start(view.m_nPendingFileLine, error)) {
        editor.SetVerticalScrollBar(true);
        view.SetTextReadOnly(false);
        return false;
    }
    view.m_nPendingFileLine = 0;
    m_pPaged = std::move(paged);
    return true;
}

bool CViewPaging::ShowSet(const QStringList& paths)
{
    COstrelView& view = m_View;
    view.m_Loading.Stop();
    Stop();
    view.m_Following.StopWatching();
    view.m_Following.SetChangedOnDisk(false);
    view.m_bTextIncomplete = false;
    std::vector<RotatedSetText::SkippedMember> skipped;
    QString error;
    const bool started = StartSet(paths, skipped, error);
    if (!started) {
        const QString path = skipped.empty() ? paths.value(0) : QFile::decodeName(skipped.front().Path.c_str());
        view.Report(
            {QStringLiteral("Ostrel"), COstrelView::FailedToOpenMessage(path, error), CProblemReport::Kind::Warning});
        return false;
    }
    if (!skipped.empty()) {
        // The rest of the set is shown all the same; the files left out are named once.
        QString list;
        for (const RotatedSetText::SkippedMember& member : skipped)
            list += QFile::decodeName(member.Path.c_str()) % QStringLiteral(": ") %
                    QString::fromLocal8Bit(member.Reason.c_str()) % u'\n';
        list.chop(1);
        view.Report({QStringLiteral("Ostrel"),
                     QStringLiteral("Some files of the rotated set cannot be read and are left out:\n\n%1").arg(list),
                     CProblemReport::Kind::Warning});
    }
    if (view.m_bPendingFileEnd) {
        view.m_bPendingFileEnd = false;
        m_pPaged->ShowEnd();
    }
    return true;
}

bool CViewPaging::StartSet(const QStringList& paths, std::vector<RotatedSetText::SkippedMember>& skipped,
                           QString& error)
{
    COstrelView& view = m_View;
    if (paths.isEmpty())
        return false;
    std::vector<std::string> members;
    for (const QString& path : paths)
        members.push_back(QFile::encodeName(path).toStdString());
    // The members of the paged size keep their indexes between runs, as such a log alone does.
    const std::int64_t editingLimit = view.m_pWorkspace ? view.m_pWorkspace->GetPagedViewThreshold() : 0;
    auto set = std::make_shared<RotatedSetText>(std::move(members),
                                                static_cast<std::uint64_t>(std::max<std::int64_t>(0, editingLimit)));
    const bool wrapped = m_nWordWrap != COstrelView::WrapNone;
    auto paged = std::make_unique<CPagedText>(view, paths.back(),
                                              wrapped ? CPagedText::WrappedWindowBytes : CPagedText::WindowBytes);
    paged->UseText(set);
    const bool started = StartPaged(std::move(paged), error);
    skipped = set->GetSkippedMembers();
    if (!started)
        return false;
    m_pSet = std::move(set);
    m_pSetText = std::make_unique<RotatedSetShownText>(*m_pSet);
    m_SetPaths = paths;
    m_bForWrap = false;
    Connect();
    PlaceScrollBar();
    view.m_Following.ClearRestarts();
    // Bytes appended to the live file come at the set's end (when it is followed).
    if (m_pSetText->TakesFollowedBytes())
        view.m_Following.Watch(static_cast<std::uint64_t>(std::max<qint64>(0, QFileInfo(paths.back()).size())));
    view.UpdateMarginNumbering();
    view.SetStatusNote(QStringLiteral("Indexing 0%"));
    return true;
}

bool CViewPaging::IsSetFollowable() const
{
    return m_pSet && m_pSetText && m_pSetText->TakesFollowedBytes();
}

void CViewPaging::OnSetLiveFileReplaced()
{
    COstrelView& view = m_View;
    if (!m_pSet || !m_pPaged || !view.m_pDocument)
        return;
    const QString livePath = view.m_pDocument->GetPathName();
    const std::string live = QFile::encodeName(livePath).toStdString();
    int error = 0;
    if (!m_pSet->AddMember(live, error)) {
        view.SetStatusNote(QStringLiteral("Cannot read the new %1: %2")
                               .arg(QFileInfo(livePath).fileName(), QString::fromLocal8Bit(std::strerror(error))));
        return;
    }
    // The rotated files moved up a place: the set names them as they are called now.
    std::vector<RotatedSetMember> found;
    std::string findError;
    if (FindRotatedSet(live, found, findError)) {
        std::vector<std::string> paths;
        for (const RotatedSetMember& member : found)
            paths.push_back(member.Path);
        m_pSet->RenameMembers(paths);
    }
    QStringList files;
    for (const std::string& path : m_pSet->GetMemberPaths())
        files.append(QFileInfo(QFile::decodeName(path.c_str())).absoluteFilePath());
    m_SetPaths = files;
    view.m_pDocument->SetRotatedSetFiles(files);
    view.SetStatusNote(QStringLiteral("%1 was rotated: following the new file").arg(QFileInfo(livePath).fileName()));
    m_pPaged->NoteFileGrew();
}

void CViewPaging::OnSetLiveFileRewritten()
{
    COstrelView& view = m_View;
    if (!m_pSet || !m_pPaged || !view.m_pDocument)
        return;
    const QString livePath = view.m_pDocument->GetPathName();
    std::vector<RotatedSetMember> found;
    std::string findError;
    if (!FindRotatedSet(QFile::encodeName(livePath).toStdString(), found, findError))
        return;
    QStringList files;
    for (const RotatedSetMember& member : found)
        files.append(QFileInfo(QFile::decodeName(member.Path.c_str())).absoluteFilePath());
    const bool atEnd = view.IsCaretOnLastLine();
    view.m_pDocument->SetRotatedSetFiles(files);
    view.m_bPendingFileEnd = atEnd;
    // What the live file held is in its copy now, read with the rest of the set.
    if (ShowSet(files) && atEnd)
        m_pPaged->SetKeepsEnd(true);
}

bool CViewPaging::ShowMerge(const QStringList& paths)
{
    COstrelView& view = m_View;
    view.m_Loading.Stop();
    Stop();
    view.m_Following.StopWatching();
    view.m_Following.SetChangedOnDisk(false);
    view.m_bTextIncomplete = false;
    QString error;
    if (!StartMerge(paths, error)) {
        view.Report({QStringLiteral("Ostrel"), QStringLiteral("Cannot open the files merged by time.\n\n%1").arg(error),
                     CProblemReport::Kind::Warning});
        return false;
    }
    if (view.m_bPendingFileEnd) {
        view.m_bPendingFileEnd = false;
        m_pPaged->ShowEnd();
    }
    return true;
}

bool CViewPaging::StartMerge(const QStringList& paths, QString& error)
{
    COstrelView& view = m_View;
    std::vector<std::string> files;
    for (const QString& path : paths)
        files.push_back(QFile::encodeName(path).toStdString());
    auto merged = std::make_shared<MergedText>(std::move(files));
    std::string message;
    if (!merged->Open(message)) {
        error = QString::fromLocal8Bit(message.c_str());
        return false;
    }
    const bool wrapped = m_nWordWrap != COstrelView::WrapNone;
    auto paged = std::make_unique<CPagedText>(view, paths.front(),
                                              wrapped ? CPagedText::WrappedWindowBytes : CPagedText::WindowBytes);
    paged->UseText(merged);
    if (!StartPaged(std::move(paged), error))
        return false;
    m_pMerged = std::make_shared<MergedShownText>(std::move(merged));
    m_SetPaths = paths;
    m_bForWrap = false;
    Connect();
    PlaceScrollBar();
    // A merge is shown as it was opened: it is not followed.
    view.m_Following.ClearRestarts();
    view.UpdateMarginNumbering();
    view.SetStatusNote(QStringLiteral("Merging 0%"));
    return true;
}

void CViewPaging::Connect()
{
    COstrelView& view = m_View;
    // The index's progress only while nothing more pressing is to be said.
    const auto noteProgress = [this] {
        if (!m_bReadProblemNoted && !m_View.m_Following.IsChangedOnDisk())
            m_View.SetStatusNote(Note());
    };
    QObject::connect(m_pPaged.get(), &CPagedText::IndexProgress, &view, noteProgress);
    QObject::connect(m_pPaged.get(), &CPagedText::IndexFinished, &view, noteProgress);
    QObject::connect(m_pPaged.get(), &CPagedText::IndexFinished, &view, [this] { ReportDamage(); });
    QObject::connect(m_pPaged.get(), &CPagedText::ReadProblem, &view, [this](const QString& reason) {
        m_bReadProblemNoted = true;
        m_View.SetStatusNote(QStringLiteral("Cannot read the file: %1").arg(reason));
    });
    // Read again: what the status bar said of it is no longer true.
    QObject::connect(m_pPaged.get(), &CPagedText::ReadRecovered, &view, [this] {
        m_bReadProblemNoted = false;
        m_View.SetStatusNote(m_View.m_Following.IsChangedOnDisk() ? QStringLiteral("File changed on disk") : Note());
    });
    QObject::connect(m_pPaged.get(), &CPagedText::IndexProgress, &view, [this] {
        if (m_pPaged)
            m_View.m_pMargin->SetLargest(m_pPaged->GetExpectedLineCount());
    });
}

void CViewPaging::ReportDamage()
{
    if (!m_pPaged || m_bDamageReported)
        return;
    const std::string damage = m_pPaged->GetIndex().GetDamage();
    if (damage.empty())
        return;
    // Once per text: the text before the damage stays shown.
    m_bDamageReported = true;
    m_View.Report({QStringLiteral("Ostrel"), QString::fromLocal8Bit(damage), CProblemReport::Kind::Warning});
}

void CViewPaging::Stop()
{
    COstrelView& view = m_View;
    // A load for Edit Anyway was for the text shown until now.
    m_pEditAnyway->Cancel();
    view.m_Output.TakeSpillFile().reset();
    if (!m_pPaged)
        return;
    view.m_Output.ReadFromEditor();
    m_pText.reset();
    m_pSetText.reset();
    m_pMerged.reset();
    m_pPaged.reset();
    m_pSet.reset();
    m_SetPaths.clear();
    m_bForWrap = false;
    m_bReadProblemNoted = false;
    m_bDamageReported = false;
    view.SetScrollBarRoom(0);
    view.m_Editor.SetVerticalScrollBar(true);
    view.SetTextReadOnly(false);
    view.m_Editor.SetUndoCollection(true);
    view.SetStatusNote(QString());
}

void CViewPaging::PlaceScrollBar()
{
    QScrollBar* bar = m_pPaged ? m_pPaged->GetScrollBar() : nullptr;
    if (!bar)
        return;
    const int width = bar->sizeHint().width();
    m_View.SetScrollBarRoom(width);
    const QRect area = m_View.viewport()->geometry();
    // Beyond the overview strip, which lies along the text.
    bar->setGeometry(area.right() + 1 + m_View.GetOverview().GetRoom(), area.top(), width, area.height());
}

bool CViewPaging::SetWordWrap(int mode)
{
    const int before = m_nWordWrap;
    m_nWordWrap = mode;
    // The editor wraps the whole text as soon as the caret goes far: a text too long for that
    // is shown through the paged view's window first, a small one while wrapped.
    if (!ShowTextForWrapMode()) {
        m_nWordWrap = before;
        return false;
    }
    return true;
}

bool CViewPaging::ShowTextForWrapMode()
{
    COstrelView& view = m_View;
    const bool wrapped = m_nWordWrap != COstrelView::WrapNone;
    if (m_pPaged) {
        if (!wrapped && m_bForWrap && !view.m_Output.IsSpilled() && view.m_pDocument) {
            // The file fits the editor again: read into it, from the start as the wrap leaves it.
            view.m_nPendingFileLine = 0;
            view.ReloadDocumentText(); // a file that cannot be read stays shown as it is
            return true;
        }
        const std::int64_t window = wrapped ? CPagedText::WrappedWindowBytes : CPagedText::WindowBytes;
        if (m_pPaged->GetWindowBytes() == window)
            return true;
        if (m_pSet) {
            // The same set through a window of the size for this mode, from its start; its files
            // left out were reported when it opened.
            const QStringList paths = m_SetPaths;
            Stop();
            view.m_nPendingFileLine = 0;
            std::vector<RotatedSetText::SkippedMember> skipped;
            QString error;
            return StartSet(paths, skipped, error);
        }
        if (m_pMerged) {
            // The same merge through a window of the size for this mode, from its start.
            const QStringList paths = m_SetPaths;
            Stop();
            view.m_nPendingFileLine = 0;
            QString error;
            return StartMerge(paths, error);
        }
        // The same file through a window of the size for this mode, from its start.
        const QString path = m_pPaged->GetPath();
        std::unique_ptr<QTemporaryFile> spill = view.m_Output.TakeSpillFile();
        Stop();
        view.m_Output.PutSpillFile(std::move(spill));
        view.m_nPendingFileLine = 0;
        Start(path, QFileInfo(path).size(), true);
        if (view.m_bShowsFilteredText)
            view.m_Looks.SetBackground(COstrelView::FilterOutputBackground);
        return true;
    }
    if (!wrapped || view.m_Editor.GetLength() <= COstrelView::WrappedEditorLimit)
        return true;
    if (view.m_bShowsFilteredText && !view.IsTextModified()) {
        // The output so far goes to a file of its own; a run still going on appends there.
        OutputBatch none;
        return view.m_Output.Spill(none);
    }
    QString reason = ReasonNotToPage();
    if (reason.isEmpty()) {
        // The whole file, as it is on disk: its window is read from there.
        view.m_Loading.Stop();
        view.m_nPendingFileLine = 0;
        const QString path = view.m_pDocument->GetPathName();
        if (Start(path, QFileInfo(path).size(), true))
            return true;
        reason = QStringLiteral("its file cannot be read again");
    }
    // The text stays unwrapped rather than hold the window, and the status bar says why.
    view.SetStatusNote(QStringLiteral("Word Wrap is off: the text is too long to wrap while %1").arg(reason));
    return false;
}

QString CViewPaging::ReasonNotToPage() const
{
    const COstrelView& view = m_View;
    // Each of these texts differs from the file on disk, so the file's window would not show it.
    if (view.IsTextModified())
        return QStringLiteral("it has unsaved changes");
    if (!view.m_pDocument)
        return QStringLiteral("it has no file to read it from");
    if (view.m_bTextIncomplete)
        return QStringLiteral("only part of its file could be read");
    if (view.m_Following.Text().HasRestarts())
        return QStringLiteral("it holds the marks of its file's restarts");
    return QString();
}
