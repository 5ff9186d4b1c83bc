// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

class CChildFrame;
class CDerivedOutput;
class CCommandActions;
class CDocumentArea;
class COpenDocuments;
class COstrelDoc;
class CStreamCapture;
class ILogWorkspace;
class QUrl;
class QWidget;

// Opens log files as documents in tabs of the document area: one file, a batch of them (asking
// first when there are many), a dropped file or a recent-file entry.
class CDocumentOpener
{
public:
    // Past this many files at once, opening asks first.
    static constexpr int ManyFiles = 50;
    // Connects a new tab to the window before the tab is added; the path is the file's absolute one.
    using WireFrame = std::function<void(CChildFrame* frame, const QString& absolutePath)>;

    CDocumentOpener(ILogWorkspace& workspace, CDocumentArea& area, COpenDocuments& documents,
                    const CCommandActions& commands, WireFrame wireFrame);

    // The document of the file, in a new tab or in the tab that has it open already. With
    // loadWhenShown its text is read only when its tab is first shown; without activate the tab
    // is added behind the current one. Null when the file could not be opened.
    COstrelDoc* Open(const QString& path, bool loadWhenShown, bool activate);
    // A stream tab, active: the document follows the capture's spool file with Follow on and
    // owns the capture. Null, with the reason shown, when the spool file could not be opened.
    COstrelDoc* OpenStream(std::unique_ptr<CStreamCapture> capture);
    // A tab made from filter output, active: the document shows the lines' spool file and owns
    // it, under the title given. Null, with the reason shown, when the file could not be opened.
    COstrelDoc* OpenOutputTab(std::unique_ptr<CDerivedOutput> derived, const QString& title);
    // The rotated set the file belongs to, as one document in a new tab, or the tab that has
    // that set open already. Null when no file of the set could be read.
    COstrelDoc* OpenRotatedSet(const QString& path);
    // Opens the logs merged by time as one document (or activates the tab of that merge); null,
    // after a message naming the log, when one of them cannot be merged.
    COstrelDoc* OpenMerged(const QStringList& paths);
    // One batch: the last file ends up active, the others read their text when first shown. Past
    // ManyFiles files it asks first when ask is set, and opens none on No. For each path, its
    // document or null.
    QList<COstrelDoc*> OpenMany(const QStringList& paths, bool ask);
    // A file dropped on a view or chosen from the recent-file list: the list gains it when it
    // opens and loses it when it no longer does.
    void OpenNotingRecent(const QString& path);
    // The local files among the URLs, as one batch that the application notes.
    void OpenUrls(const QList<QUrl>& urls);

private:
    // A new tab with the file open in it, not yet added; null when the file could not be opened.
    CChildFrame* CreateFrame(const QString& absolutePath, bool loadWhenShown);
    // The tab of a document already open for the path (a set, or a single file), or null.
    CChildFrame* FindOpen(const QString& absolutePath, bool rotatedSet) const;
    bool ConfirmOpeningMany(qsizetype count) const;
    // A new tab whose document `open` fills (a set, a merge), added once it did; null when it did not.
    COstrelDoc* OpenInNewFrame(const std::function<bool(COstrelDoc&)>& open);

    ILogWorkspace& m_Workspace;
    CDocumentArea& m_DocumentArea;
    COpenDocuments& m_OpenDocuments;
    const CCommandActions& m_Commands;
    WireFrame m_WireFrame;
};
