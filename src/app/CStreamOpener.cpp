// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CStreamOpener.h"

#include <cstring>
#include <memory>

#include "app/CCommandOutputDlg.h"
#include "app/CDocumentOpener.h"
#include "document/CCommandCapture.h"
#include "document/CInputCapture.h"
#include "document/COstrelDoc.h"
#include "files/SpoolFile.h"
#include "view/COstrelSettings.h"
#include "view/ILogWorkspace.h"
#include "view/ProblemReports.h"

namespace {

// A new spool file in the user's folder; null with errno set in `error`.
std::unique_ptr<SpoolFile> CreateSpool(const char* label, int& error)
{
    auto spool = std::make_unique<SpoolFile>();
    error = spool->Create(SpoolFile::DefaultFolder(), label);
    return error == 0 ? std::move(spool) : nullptr;
}

} // namespace

CStreamOpener::CStreamOpener(ILogWorkspace& workspace, CDocumentOpener& opener)
    : m_Workspace(workspace), m_Opener(opener)
{}

void CStreamOpener::SweepLeftovers()
{
    SpoolFile::SweepLeftovers(SpoolFile::DefaultFolder());
}

void CStreamOpener::ReportSpoolError(int error)
{
    ReportProblem(&m_Workspace, {QStringLiteral("Ostrel"),
                                 QStringLiteral("The stream cannot be kept: no file could be made for it in %1 (%2).")
                                     .arg(QString::fromLocal8Bit(SpoolFile::DefaultFolder().c_str()),
                                          QString::fromLocal8Bit(std::strerror(error))),
                                 CProblemReport::Kind::Warning});
}

COstrelDoc* CStreamOpener::OpenInput(int fd)
{
    int error = 0;
    auto spool = CreateSpool("stdin", error);
    if (!spool) {
        ReportSpoolError(error);
        return nullptr;
    }
    COstrelDoc* document = m_Opener.OpenStream(std::make_unique<CInputCapture>(fd, std::move(spool)));
    if (document)
        WatchEnd(*document);
    return document;
}

COstrelDoc* CStreamOpener::OpenCommand(const QString& commandLine)
{
    {
        COstrelSettings settings;
        CCommandOutputDlg::WriteRecentCommands(
            settings,
            CCommandOutputDlg::WithRecentCommand(CCommandOutputDlg::ReadRecentCommands(settings), commandLine));
    }
    int error = 0;
    auto spool = CreateSpool("command", error);
    if (!spool) {
        ReportSpoolError(error);
        return nullptr;
    }
    auto capture = std::make_unique<CCommandCapture>(commandLine, std::move(spool));
    CCommandCapture* command = capture.get();
    COstrelDoc* document = m_Opener.OpenStream(std::move(capture));
    if (!document)
        return nullptr;
    WatchEnd(*document);
    // Started once the tab follows the file: nothing it writes is missed either way, but its end
    // must find the document there.
    command->Start();
    return document;
}

COstrelDoc* CStreamOpener::AskAndOpenCommand()
{
    QStringList recent;
    {
        COstrelSettings settings;
        recent = CCommandOutputDlg::ReadRecentCommands(settings);
    }
    CCommandOutputDlg dialog(recent, m_Workspace.GetDialogOwner());
    if (dialog.exec() != QDialog::Accepted || dialog.GetCommandLine().isEmpty())
        return nullptr;
    return OpenCommand(dialog.GetCommandLine());
}

void CStreamOpener::WatchEnd(COstrelDoc& document)
{
    QObject::connect(&document, &COstrelDoc::StreamEnded, &document, [this, &document] {
        if (const CStreamCapture* capture = document.GetStreamCapture())
            m_Workspace.ShowStatusNote(document.GetTitle() + QStringLiteral(": ") + capture->GetStatusText());
    });
}
