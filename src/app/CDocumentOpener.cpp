// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CDocumentOpener.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "app/CChildFrame.h"
#include "app/CCommandActions.h"
#include "app/CDocumentArea.h"
#include "app/COpenDocuments.h"
#include "app/COstrelApp.h"
#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "document/CStreamCapture.h"
#include "view/COstrelView.h"
#include "view/ILogWorkspace.h"

CDocumentOpener::CDocumentOpener(ILogWorkspace& workspace, CDocumentArea& area, COpenDocuments& documents,
                                 const CCommandActions& commands, WireFrame wireFrame)
    : m_Workspace(workspace), m_DocumentArea(area), m_OpenDocuments(documents), m_Commands(commands),
      m_WireFrame(std::move(wireFrame))
{}

COstrelDoc* CDocumentOpener::Open(const QString& path, bool loadWhenShown, bool activate)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (CChildFrame* open = FindOpen(absolute, false)) {
        if (activate)
            m_DocumentArea.SetActiveChildFrame(open);
        return open->GetDocument();
    }
    CChildFrame* frame = CreateFrame(absolute, loadWhenShown);
    if (!frame)
        return nullptr;
    COstrelDoc* document = frame->GetDocument();
    m_OpenDocuments.Add(document);
    frame->GetView()->SetChildFrameTitle(document->GetTitle(), false);
    m_WireFrame(frame, absolute);
    m_DocumentArea.AddChildFrame(frame, activate);
    return document;
}

CChildFrame* CDocumentOpener::CreateFrame(const QString& absolutePath, bool loadWhenShown)
{
    auto* frame = new CChildFrame(&m_Workspace);
    COstrelView* view = frame->GetView();
    view->OnInitialUpdate();
    m_Commands.ReleaseKeysFromEditor(*view);
    if (!frame->GetDocument()->OnOpenDocument(absolutePath, loadWhenShown)) {
        delete frame;
        return nullptr;
    }
    return frame;
}

COstrelDoc* CDocumentOpener::OpenStream(std::unique_ptr<CStreamCapture> capture)
{
    const QString path = capture->GetSpoolPath();
    CChildFrame* frame = CreateFrame(path, false);
    if (!frame)
        return nullptr; // the capture goes, and stops the stream
    COstrelDoc* document = frame->GetDocument();
    document->SetStreamCapture(std::move(capture));
    // Never a recent file, never in the session: the stream is there once.
    m_OpenDocuments.Add(document);
    frame->GetView()->SetChildFrameTitle(document->GetTitle(), false);
    m_WireFrame(frame, path);
    m_DocumentArea.AddChildFrame(frame, true);
    // The caret on the last line goes along with what comes, as in a terminal.
    frame->GetView()->SetScrollsWithEnd(true);
    document->SetFollow(true, false);
    return document;
}

COstrelDoc* CDocumentOpener::OpenOutputTab(std::unique_ptr<CDerivedOutput> derived, const QString& title)
{
    const QString path = derived->GetSpoolPath();
    CChildFrame* frame = CreateFrame(path, false);
    if (!frame)
        return nullptr; // the spool file goes with the lines
    COstrelDoc* document = frame->GetDocument();
    document->SetDerivedOutput(std::move(derived), title);
    // Never a recent file, never in the session: the tab is there once.
    m_OpenDocuments.Add(document);
    frame->GetView()->SetChildFrameTitle(document->GetTitle(), false);
    m_WireFrame(frame, path);
    m_DocumentArea.AddChildFrame(frame, true);
    return document;
}

CChildFrame* CDocumentOpener::FindOpen(const QString& absolutePath, bool rotatedSet) const
{
    for (CChildFrame* frame : m_DocumentArea.GetChildFrames()) {
        const COstrelDoc* document = frame->GetDocument();
        if (document->IsRotatedSet() != rotatedSet || document->IsMerged())
            continue;
        // A set is the same set whichever of its files was chosen.
        if (rotatedSet ? document->GetRotatedSetFiles().contains(absolutePath)
                       : document->GetPathName() == absolutePath)
            return frame;
    }
    return nullptr;
}

COstrelDoc* CDocumentOpener::OpenRotatedSet(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (CChildFrame* open = FindOpen(absolute, true)) {
        m_DocumentArea.SetActiveChildFrame(open);
        return open->GetDocument();
    }
    return OpenInNewFrame([&absolute](COstrelDoc& document) { return document.OnOpenRotatedSet(absolute); });
}

COstrelDoc* CDocumentOpener::OpenMerged(const QStringList& paths)
{
    QStringList absolute;
    for (const QString& path : paths)
        absolute.append(QFileInfo(path).absoluteFilePath());
    for (CChildFrame* open : m_DocumentArea.GetChildFrames()) {
        if (open->GetDocument()->GetMergedFiles() == absolute) {
            m_DocumentArea.SetActiveChildFrame(open);
            return open->GetDocument();
        }
    }
    return OpenInNewFrame([&absolute](COstrelDoc& document) { return document.OnOpenMerged(absolute); });
}

COstrelDoc* CDocumentOpener::OpenInNewFrame(const std::function<bool(COstrelDoc&)>& open)
{
    auto* frame = new CChildFrame(&m_Workspace);
    COstrelDoc* document = frame->GetDocument();
    COstrelView* view = frame->GetView();
    view->OnInitialUpdate();
    m_Commands.ReleaseKeysFromEditor(*view);
    if (!open(*document)) {
        delete frame;
        return nullptr;
    }
    m_OpenDocuments.Add(document);
    view->SetChildFrameTitle(document->GetTitle(), false);
    m_WireFrame(frame, document->GetPathName());
    m_DocumentArea.AddChildFrame(frame, true);
    return document;
}

bool CDocumentOpener::ConfirmOpeningMany(qsizetype count) const
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Ostrel"), QStringLiteral("Open all %1 files?").arg(count),
                    QMessageBox::Yes | QMessageBox::No, m_Workspace.GetDialogOwner());
    box.setObjectName(QStringLiteral("openManyFilesBox"));
    box.setInformativeText(QStringLiteral("Each file opens in a tab of its own."));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QList<COstrelDoc*> CDocumentOpener::OpenMany(const QStringList& paths, bool ask)
{
    QList<COstrelDoc*> documents(paths.size(), nullptr);
    if (ask && paths.size() > ManyFiles && !ConfirmOpeningMany(paths.size()))
        return documents;
    m_DocumentArea.HoldTabTexts(true);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const bool last = i + 1 == paths.size();
        if (last)
            m_DocumentArea.HoldTabTexts(false); // the active tab is named as it is shown
        documents[i] = Open(paths.at(i), !last, last);
    }
    return documents;
}

void CDocumentOpener::OpenNotingRecent(const QString& path)
{
    COstrelApp* app = COstrelApp::GetInstance();
    if (!app)
        Open(path, false, true);
    else if (Open(path, false, true))
        app->AddToRecentFileList(path);
    else
        app->RemoveFromRecentFileList(path); // an entry that no longer opens is no use
}

void CDocumentOpener::OpenUrls(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    COstrelApp* app = COstrelApp::GetInstance();
    const QList<COstrelDoc*> documents = OpenMany(paths, !app || app->GetAskBeforeOpeningMany());
    if (app)
        app->NoteOpenedFiles(paths, documents);
}
