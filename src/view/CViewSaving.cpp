// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewSaving.h"

#include <algorithm>
#include <cstring>

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringBuilder>

#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "files/FileReplacer.h"
#include "filtering/IndexedText.h"
#include "view/CFileCopier.h"
#include "view/CLineStartFinder.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/ProblemReports.h"

CViewSaving::CViewSaving(COstrelView& view) : m_View(view) {}

CViewSaving::~CViewSaving() = default;

bool CViewSaving::WriteViewText()
{
    COstrelDoc* document = m_View.m_pDocument;
    if (!document)
        return false;
    m_View.FinishLoading();
    // Text of another encoding goes back in it, behind the mark the file had; UTF-8 as it is.
    const CViewEncoding& encoding = m_View.m_Encoding;
    EncodedText encoded;
    if (encoding.IsTranscoded()) {
        encoded = encoding.Encode(m_View.GetTextBytes());
        if (!encoded.Succeeded) {
            m_View.Report({QStringLiteral("Save File Error"), encoding.FailureText(encoded)});
            return false;
        }
    }
    const std::string_view bytes = encoding.IsTranscoded() ? std::string_view(encoded.Bytes) : m_View.GetTextBytes();
    // The file keeps its owner, mode and links; a failure leaves it as it was.
    const int error = ReplaceFileContent(QFile::encodeName(document->GetPathName()).toStdString(), bytes);
    if (error != 0) {
        m_View.Report({QStringLiteral("Save File Error"), SaveErrorText(error)});
        return false;
    }
    ShowWrittenFile(bytes.size());
    return true;
}

void CViewSaving::ShowWrittenFile(std::uint64_t fileSize)
{
    COstrelView& view = m_View;
    // The saver puts a new file in place of the old one: its stamp, its watch and its line
    // numbers from now on. Watching the old file would call our own save a change on disk and
    // keep the replaced file open, holding its disk space.
    if (view.m_bShowsFilteredText) {
        // The output, saved under its own name, is that file's whole text.
        view.m_Toggle.ReleaseWholeFile();
        view.ShowAsWholeFile();
        view.m_Output.StopReceiving();
        view.SetTextReadOnly(false);
    }
    // Output kept for the toggle came from the file as it was before.
    view.m_Toggle.ReleaseOutput();
    const std::string_view bytes = view.GetTextBytes();
    CLineStartFinder lines;
    lines.Feed(bytes.data(), bytes.size());
    view.m_Toggle.SetShownText(CTextToggle::StampOf(view.m_pDocument->GetPathName()), !lines.SawLoneCarriageReturn());
    view.m_Following.ClearRestarts();
    view.m_bTextIncomplete = false;
    view.UpdateMarginNumbering();
    view.m_Following.Watch(fileSize);
}

QString CViewSaving::SuggestSaveAsPath() const
{
    // A tab made from filter output is named beside its original log, never after its spool file.
    const CDerivedOutput* derived = m_View.m_pDocument->GetDerivedOutput();
    const QString path = derived ? derived->GetOriginalPath() : m_View.m_pDocument->GetPathName();
    if (!m_View.m_bShowsFilteredText && !derived)
        return path;
    // Filter output is offered a name of its own beside the log, never the log it came from.
    const QFileInfo log(path);
    const QString suffix = log.suffix().isEmpty() ? QString() : u'.' + log.suffix();
    const QString base = log.completeBaseName().isEmpty() ? log.fileName() : log.completeBaseName();
    for (int number = 1;; ++number) {
        const QString name =
            base % QStringLiteral("-filtered") % (number == 1 ? QString() : QStringLiteral("-%1").arg(number)) % suffix;
        const QString candidate = log.dir().filePath(name);
        if (!QFileInfo::exists(candidate) || number == 100)
            return candidate;
    }
}

bool CViewSaving::RunSaveAs()
{
    if (!m_View.m_pDocument)
        return false;
    const QFileInfo suggested(SuggestSaveAsPath());
    QFileDialog dialog(nullptr, QString(), suggested.absolutePath(),
                       QStringLiteral("Log Files (*.log);;All Files (*)"));
    dialog.setObjectName(QStringLiteral("saveAsDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    // The question comes from us, after the dialog, so it reads the same with every dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(suggested.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo::exists(path) && !ConfirmOverwrite(path))
        return false;
    return SaveAs(path);
}

bool CViewSaving::ConfirmOverwrite(const QString& path) const
{
    CQuestion question;
    question.Caption = QStringLiteral("Confirm Save As");
    question.Text = QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName());
    question.Buttons = QMessageBox::Yes | QMessageBox::No;
    question.DefaultButton = QMessageBox::No;
    question.Name = QStringLiteral("confirmOverwriteBox");
    return AskQuestion(m_View.m_pWorkspace, question) == QMessageBox::Yes;
}

QString CViewSaving::SaveErrorText(int error)
{
    // The number as it always was, and what it means.
    return QStringLiteral("Error Saving File - Error %1: %2")
        .arg(error)
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}

bool CViewSaving::RefuseIncompleteSave(const QString& path)
{
    COstrelDoc* document = m_View.m_pDocument;
    if (!m_View.m_bTextIncomplete || !document || QFileInfo(path).absoluteFilePath() != document->GetPathName())
        return false;
    m_View.Report({QStringLiteral("Save File Error"),
                   QStringLiteral("The file could not be read to its end, so only part of it is shown. Saving "
                                  "that part over \"%1\" would cut the file short; it was not saved.")
                       .arg(path)});
    return true;
}

bool CViewSaving::SaveAs(const QString& path)
{
    COstrelView& view = m_View;
    COstrelDoc* document = view.m_pDocument;
    if (!document)
        return false;
    if (view.IsPaged())
        return StartPagedSaveAs(path);
    view.FinishLoading();
    if (RefuseIncompleteSave(path))
        return false;
    const QString oldPath = document->GetPathName();
    document->SetPathName(path);
    if (!WriteViewText()) {
        // The document stays with the file it had: reloads and runs must not read a file that
        // was never written.
        document->SetPathName(oldPath);
        return false;
    }
    // A text written out in full counts as saved, and the new file holds all of it.
    view.m_bTextIncomplete = false;
    view.SetTextUnmodified();
    document->SetTitleShowsModified(false);
    view.SetChildFrameTitle(document->GetTitle(), false);
    return true;
}

bool CViewSaving::StartPagedSaveAs(const QString& path)
{
    COstrelView& view = m_View;
    const QString target = QFileInfo(path).absoluteFilePath();
    // What is shown: the document's file, or the file filter output too big for the editor went to.
    const QString shown = QFileInfo(view.GetPagedText()->GetPath()).absoluteFilePath();
    // A compressed file's text is written out decompressed, even over the file itself.
    const bool packed = !view.GetPagedText()->GetIndex().GetPackingName().empty();
    // A set's text is not any one of its files: it is written out too.
    if (target == shown && !packed && !view.IsRotatedSet() && !view.IsMerged()) {
        Q_EMIT view.SaveAsFinished(true); // the file is already there, as it is shown
        return true;
    }
    if (m_pCopier) {
        view.Report({QStringLiteral("Save File Error"), QStringLiteral("A copy of this file is still being saved.")});
        return false;
    }
    m_pCopier = std::make_unique<CFileCopier>(view.GetPagedText()->GetSharedText(), target);
    QObject::connect(m_pCopier.get(), &CFileCopier::Progress, &view,
                     [&view](int percent) { view.SetStatusNote(QStringLiteral("Saving %1%").arg(percent)); });
    QObject::connect(m_pCopier.get(), &CFileCopier::Finished, &view, [this, &view](int error) {
        const QString copied = m_pCopier->GetTarget();
        m_pCopier.release()->deleteLater();
        view.SetStatusNote(view.IsPaged() ? view.m_Paging.Note() : QString());
        if (error != 0) {
            view.Report({QStringLiteral("Save File Error"), SaveErrorText(error)});
            Q_EMIT view.SaveAsFinished(false);
            return;
        }
        // The copy is the document's file from now on: it is read and watched at the caret's
        // line, numbered as its own lines (filter output too), and the original is let go.
        const std::int64_t caretLine = view.GetCaretLine();
        view.m_pDocument->SetPathName(copied);
        view.m_pDocument->SetTitleShowsModified(false);
        view.SetChildFrameTitle(view.m_pDocument->GetTitle(), false);
        view.m_Toggle.ReleaseOutput();
        view.m_nPendingFileLine = std::max<std::int64_t>(caretLine, 1);
        view.ReloadDocumentText();
        Q_EMIT view.SaveAsFinished(true);
    });
    m_pCopier->Start();
    return true;
}
