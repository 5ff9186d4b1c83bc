// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CEditAnyway.h"

#include <algorithm>
#include <chrono>

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/DialogFrames.h"
#include "view/ILoader.h"
#include "view/ProblemReports.h"

namespace {

QString SizeText(std::int64_t bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

CEditAnyway::CEditAnyway(COstrelView& view) : m_View(view) {}

CEditAnyway::~CEditAnyway()
{
    Cancel();
}

bool CEditAnyway::CanStart() const
{
    const COstrelView& view = m_View;
    const CPagedText* paged = view.GetPagedText();
    if (!paged || IsLoading() || view.IsRotatedSet() || view.IsMerged() || view.GetShowsFilteredText() ||
        view.m_Paging.IsPagedForWrap())
        return false;
    const COstrelDoc* document = view.m_pDocument;
    if (!document || document->IsStream() || document->IsRotatedSet() || document->IsMerged() ||
        document->IsFiltering() || view.IsStreamReadOnly())
        return false;
    // A compressed file's text is not the bytes the editor would hold and save.
    if (!paged->GetIndex().GetPackingName().empty())
        return false;
    return !view.m_Saving.IsCopying() && !view.m_Output.IsSpilled();
}

std::int64_t CEditAnyway::EstimateMemory(std::int64_t fileSize)
{
    // Measured: a 1 GiB log of 11 million lines takes 1.10x its size once loaded; a quarter more
    // leaves room for shorter lines and the editor's growth.
    const std::int64_t size = std::max<std::int64_t>(0, fileSize);
    return size + size / 4;
}

std::int64_t CEditAnyway::AvailableMemory()
{
    QFile info(QStringLiteral("/proc/meminfo"));
    if (!info.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        bool valid = false;
        const qint64 kib = line.mid(13).trimmed().split(' ').value(0).toLongLong(&valid);
        return valid ? kib * 1024 : -1;
    }
    return -1;
}

QString CEditAnyway::QuestionText(const QString& path, std::int64_t size) const
{
    const std::int64_t needed = EstimateMemory(size);
    const std::int64_t available = AvailableMemory();
    QString text = QStringLiteral("\"%1\" is %2, larger than the editing limit, so it is shown read-only.\n\n"
                                  "To edit it, the whole file is loaded into memory: that takes about %3")
                       .arg(QFileInfo(path).fileName(), SizeText(size), SizeText(needed));
    if (available >= 0)
        text += QStringLiteral(" (%1 is free now)").arg(SizeText(available));
    text += u'.';
    if (available >= 0 && needed > available)
        text += QStringLiteral("\n\nThat is more than the memory free now: the system may slow down, and the "
                               "load may fail for want of memory.");
    if (m_View.GetWordWrap() != COstrelView::WrapNone)
        text += QStringLiteral("\n\nWord Wrap goes off: a text that long cannot be wrapped at once.");
    text += QStringLiteral("\n\nLoad the whole file to edit it?");
    return text;
}

bool CEditAnyway::Start()
{
    if (!CanStart())
        return false;
    COstrelView& view = m_View;
    const QString path = view.GetPagedText()->GetPath();
    const std::int64_t size = QFileInfo(path).size();
    CQuestion question;
    question.Caption = QStringLiteral("Edit Anyway");
    question.Text = QuestionText(path, size);
    question.Buttons = QMessageBox::Yes | QMessageBox::No;
    question.DefaultButton = QMessageBox::No;
    question.Name = QStringLiteral("editAnywayBox");
    question.Severity = CProblemReport::Kind::Warning;
    if (AskQuestion(view.m_pWorkspace, question) != QMessageBox::Yes)
        return false;
    // The question waited for the user: the view may show something else by now.
    if (!CanStart() || view.GetPagedText()->GetPath() != path)
        return false;
    QString error;
    std::unique_ptr<QFile> file = CViewLoading::OpenLogFile(path, error);
    if (!file) {
        view.Report(
            {QStringLiteral("Ostrel"), COstrelView::FailedToOpenMessage(path, error), CProblemReport::Kind::Warning});
        return false;
    }
    m_strPath = path;
    m_nSize = file->size();
    // The document is made here, not on the loading thread: the paged view goes on changing the
    // editor meanwhile, and the editor takes its messages from one thread only. Its room is only
    // reserved, so this is quick however big the file.
    CTextLoader::LoaderFactory factory = m_Factory;
    if (!factory) {
        auto* made = static_cast<ILoader*>(
            view.m_Editor.CreateLoader(m_nSize + COstrelView::DocumentSlack, COstrelView::DocumentOptions));
        factory = [made](std::int64_t) { return made; };
    }
    // Nothing goes into the editor until the whole file is in: the paged view stays as it is.
    m_pLoader = std::make_unique<CTextLoader>(
        std::move(file), 0, [](const char*, std::size_t) {}, std::move(factory));
    QObject::connect(m_pLoader.get(), &CTextLoader::Finished, &view, [this](bool succeeded) { OnFinished(succeeded); });
    ShowProgressWindow(path);
    QObject::connect(m_pLoader.get(), &CTextLoader::Progress, m_pProgress.data(), &QProgressDialog::setValue);
    m_pLoader->Start(std::chrono::milliseconds(0), 0);
    return true;
}

void CEditAnyway::ShowProgressWindow(const QString& path)
{
    auto* progress = new QProgressDialog(QStringLiteral("Loading \"%1\" to edit it...").arg(QFileInfo(path).fileName()),
                                         QStringLiteral("Cancel"), 0, 100, &m_View, PlainDialogFlags);
    progress->setObjectName(QStringLiteral("editAnywayProgressDlg"));
    progress->setWindowTitle(QStringLiteral("Edit Anyway"));
    // The window stays usable meanwhile: the paged view scrolls on while the file loads.
    progress->setWindowModality(Qt::NonModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    // The close box and Escape cancel too.
    QObject::connect(progress, &QProgressDialog::canceled, &m_View, [this] { Cancel(); });
    m_pProgress = progress;
    progress->show();
}

void CEditAnyway::CloseProgressWindow()
{
    if (!m_pProgress)
        return;
    QProgressDialog* progress = m_pProgress.data();
    m_pProgress.clear();
    // Not from within its own signal; and its going says nothing more.
    QObject::disconnect(progress, &QProgressDialog::canceled, &m_View, nullptr);
    progress->hide();
    progress->deleteLater();
}

void CEditAnyway::Cancel()
{
    CloseProgressWindow();
    // Stops the loading thread and throws its document away.
    m_pLoader.reset();
}

void CEditAnyway::OnFinished(bool succeeded)
{
    COstrelView& view = m_View;
    ILoader* loader = m_pLoader->TakeDocumentLoader();
    const bool linesAreFileLines = !m_pLoader->HasLoneCarriageReturn();
    const bool outOfMemory = m_pLoader->RanOutOfMemory();
    const QString error = m_pLoader->GetErrorString();
    // From within its own signal: the loader goes once that has returned.
    m_pLoader.release()->deleteLater();
    CloseProgressWindow();
    if (succeeded && loader) {
        ShowWholeText(loader, linesAreFileLines);
        return;
    }
    if (loader)
        loader->Release();
    const QString name = QFileInfo(m_strPath).fileName();
    const QString text =
        outOfMemory ? QStringLiteral("Out of memory: \"%1\" cannot be loaded whole to edit it (it takes about %2).\n\n"
                                     "It stays shown read-only.")
                          .arg(name, SizeText(EstimateMemory(m_nSize)))
                    : QStringLiteral("\"%1\" cannot be loaded whole to edit it: %2\n\nIt stays shown read-only.")
                          .arg(name, error);
    view.Report({QStringLiteral("Ostrel"), text, CProblemReport::Kind::Warning});
}

void CEditAnyway::ShowWholeText(ILoader* loader, bool linesAreFileLines)
{
    COstrelView& view = m_View;
    CEditor& editor = view.m_Editor;
    // Where the paged view is in the file: editor positions there are file offsets less the
    // window's start, and in the whole text they are the offsets themselves.
    const CPagedText* paged = view.GetPagedText();
    const auto windowStart = static_cast<std::int64_t>(paged->GetWindowStart());
    const std::int64_t topLine = editor.DocumentLineFromVisible(editor.GetFirstVisibleLine());
    const std::int64_t top = windowStart + editor.PositionFromLine(topLine);
    const std::int64_t anchor = windowStart + editor.GetAnchor();
    const std::int64_t caret = windowStart + editor.GetCurrentPosition();
    const int xOffset = editor.GetXOffset();

    void* document = loader->ConvertToDocument();
    editor.SetDocument(reinterpret_cast<long>(document), true, EditorTextChange::Replacing);
    view.m_Paging.Stop();
    view.m_Paging.SetEditsAnyway();
    ++view.m_nTextGeneration;
    view.ApplyDocumentSettings();
    view.SetTextReadOnly(false);
    editor.EmptyUndoBuffer();
    editor.SetUndoCollection(true);
    editor.SetSavePoint();
    view.m_bTextIncomplete = false;
    view.m_Toggle.SetShownText(CTextToggle::StampOf(m_strPath), linesAreFileLines);
    view.m_Following.ClearRestarts();
    view.m_Following.Watch(static_cast<std::uint64_t>(editor.GetLength()));
    // The editor cannot wrap a text that long at once.
    if (view.GetWordWrap() != COstrelView::WrapNone)
        view.SetWordWrap(COstrelView::WrapNone);
    view.UpdateMarginNumbering();

    const std::int64_t length = editor.GetLength();
    editor.SetSelection(std::min(anchor, length), std::min(caret, length));
    editor.SetFirstVisibleLine(editor.VisibleFromDocumentLine(editor.LineFromPosition(std::min(top, length))));
    editor.SetXOffset(xOffset);
    view.RefreshMarks();
    Q_EMIT view.LoadFinished();
}

void RunEditAnywayCommand(COstrelView* view)
{
    if (view)
        view->GetEditAnyway().Start();
}
