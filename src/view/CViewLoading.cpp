// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewLoading.h"

#include <chrono>
#include <cstring>

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "document/COstrelDoc.h"
#include "view/CLineNumberMargin.h"
#include "view/COstrelView.h"
#include "view/CTextLoader.h"
#include "view/ILoader.h"
#include "view/ProblemReports.h"

namespace {

// The first part of a file is read before the window shows; the rest comes on the loading thread.
constexpr std::chrono::milliseconds FirstLoadBudget{100};
constexpr std::int64_t FirstPartSize = 4 * 1024 * 1024;

} // namespace

CViewLoading::CViewLoading(COstrelView& view) : m_View(view) {}

CViewLoading::~CViewLoading() = default;

std::unique_ptr<QFile> CViewLoading::OpenLogFile(const QString& path, QString& error)
{
    // A pipe would hold the window until some writer came, a device may never end: only files.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = info.isDir() ? QStringLiteral("Is a folder") : QStringLiteral("Not a regular file");
        return nullptr;
    }
    // QFile opens without locks of any kind: writers may go on writing while we read.
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

QString CViewLoading::FailedToOpenMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("Failed to open document.\n\n%1: %2").arg(path, reason);
}

void CViewLoading::Load(std::unique_ptr<QFile> file)
{
    CEditor& editor = m_View.m_Editor;
    const std::int64_t size = file->size();
    // Room for the first part only: the whole file goes into a document of its own on the
    // loading thread.
    m_View.ReplaceDocument(std::min(size, FirstPartSize) + COstrelView::DocumentSlack);
    m_View.UpdateMarginNumbering();
    editor.SetUndoCollection(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_bShowsCursor = true;

    m_pLoader = std::make_unique<CTextLoader>(
        std::move(file), m_View.m_nPendingFileLine,
        [this, &editor](const char* bytes, std::size_t length) {
            // The first part goes in whatever keeps the user from typing (a stream still written).
            editor.SetReadOnly(false);
            editor.AppendText(bytes, length);
            m_View.ApplyReadOnly();
        },
        [this](std::int64_t room) { return CreateDocumentLoader(room); });
    QObject::connect(m_pLoader.get(), &CTextLoader::Progress, &m_View, &COstrelView::LoadProgress);
    QObject::connect(m_pLoader.get(), &CTextLoader::Finished, &m_View,
                     [this](bool succeeded) { OnFinished(succeeded); });
    m_nExpectedLines = 0;
    m_pLoader->SetDecoder(m_View.m_Encoding.MakeDecoder());
    m_pLoader->Start(FirstLoadBudget, FirstPartSize);
    if (!IsLoading())
        return;
    // The margin as wide from the first part on as the file's last line needs.
    m_nExpectedLines = CLineNumberMargin::EstimateLineCount(
        static_cast<std::uint64_t>(size), static_cast<std::uint64_t>(editor.GetLength()), editor.GetLineCount() - 1);
    m_View.UpdateMarginNumbering();
    // The first part is swapped for the whole text at the end: edits would be lost, so the
    // commands that edit wait for the load first.
    m_View.SetTextReadOnly(true);
    SelectPendingLine(m_pLoader->GetWantedLineStart(), false);
}

ILoader* CViewLoading::CreateDocumentLoader(std::int64_t room) const
{
    // Runs on the loading thread. Making a loader only builds a document of its own and touches
    // nothing of this editor, and its room is made there, away from the GUI thread.
    return static_cast<ILoader*>(m_View.m_Editor.CreateLoader(room, COstrelView::DocumentOptions));
}

void CViewLoading::ShowLoadedDocument(ILoader* loader)
{
    CEditor& editor = m_View.m_Editor;
    // The first part is the start of the whole text, so positions, selection and scrolling carry over.
    const std::int64_t anchor = editor.GetAnchor();
    const std::int64_t caret = editor.GetCurrentPosition();
    const std::int64_t firstLine = editor.GetFirstVisibleLine();
    const int xOffset = editor.GetXOffset();
    editor.NoteChange(EditorTextChange::Moving);
    void* document = loader->ConvertToDocument();
    editor.SetDocument(reinterpret_cast<long>(document), true, EditorTextChange::Moving);
    m_View.ApplyDocumentSettings();
    editor.SetSelection(anchor, caret);
    editor.SetFirstVisibleLine(firstLine);
    editor.SetXOffset(xOffset);
}

void CViewLoading::SelectPendingLine(std::int64_t lineStart, bool loadingDone)
{
    if (lineStart < 0) {
        if (loadingDone)
            m_View.m_nPendingFileLine = 0; // the file has fewer lines now
        return;
    }
    CEditor& editor = m_View.m_Editor;
    const std::int64_t length = editor.GetLength();
    const std::int64_t start = std::min(lineStart, length);
    // The file line ends at its line feed; a lone carriage return on the way is part of it.
    editor.NoteChange(EditorTextChange::Moving);
    const char* rest = editor.GetRange(start, length - start);
    const auto* feed =
        rest ? static_cast<const char*>(std::memchr(rest, '\n', static_cast<std::size_t>(length - start))) : nullptr;
    if (!loadingDone && !feed)
        return; // the line may go on past the first part
    std::int64_t end = feed ? start + (feed - rest) : length;
    if (end > start && rest[end - start - 1] == '\r')
        --end;
    m_View.SelectLineAt(start, end);
    m_View.m_nPendingFileLine = 0;
}

void CViewLoading::OnFinished(bool succeeded)
{
    CEditor& editor = m_View.m_Editor;
    if (ILoader* loader = m_pLoader->TakeDocumentLoader())
        ShowLoadedDocument(loader);
    // A line the first part already showed is not selected again: the user may have moved on.
    const std::int64_t lineStart = m_View.m_nPendingFileLine > 0 ? m_pLoader->GetWantedLineStart() : -1;
    const QString error = m_pLoader->GetErrorString();
    // A decoded text is watched from the file's own end, not the text's.
    const auto watched = static_cast<std::uint64_t>(m_View.m_Encoding.IsTranscoded() ? m_pLoader->GetFileBytesLoaded()
                                                                                     : editor.GetLength());
    m_View.m_Toggle.SetShownText(succeeded && m_View.m_pDocument
                                     ? CTextToggle::StampOf(m_View.m_pDocument->GetPathName())
                                     : CTextToggle::FileStamp(),
                                 succeeded && !m_pLoader->HasLoneCarriageReturn());
    End();
    m_View.m_Following.ClearRestarts();
    m_nExpectedLines = 0; // the editor counts the lines now
    m_View.UpdateMarginNumbering();
    SelectPendingLine(lineStart, true);
    if (m_View.m_bPendingFileEnd) {
        m_View.m_bPendingFileEnd = false;
        m_View.FollowEnd();
    }
    m_pLoader.release()->deleteLater();
    if (succeeded) {
        m_View.m_Following.Watch(watched);
        m_View.m_Following.PageIfTooLong();
    } else {
        // Only part of the file is shown: saving it over the file would cut the file short.
        m_View.m_bTextIncomplete = true;
        const QString path = m_View.m_pDocument ? m_View.m_pDocument->GetPathName() : QString();
        m_View.Report({QStringLiteral("Ostrel"), FailedToOpenMessage(path, error), CProblemReport::Kind::Warning});
        Q_EMIT m_View.LoadFailed();
    }
    Q_EMIT m_View.LoadFinished();
}

void CViewLoading::End()
{
    CEditor& editor = m_View.m_Editor;
    m_View.SetTextReadOnly(false);
    editor.EmptyUndoBuffer();
    editor.SetUndoCollection(true);
    editor.SetSavePoint();
    if (m_bShowsCursor) {
        QApplication::restoreOverrideCursor();
        m_bShowsCursor = false;
    }
}

void CViewLoading::Finish()
{
    if (!m_pLoader)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_pLoader->WaitForEnd();
    QApplication::restoreOverrideCursor();
}

void CViewLoading::Stop()
{
    if (!m_pLoader)
        return;
    m_pLoader.reset();
    End();
}
