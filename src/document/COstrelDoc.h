// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "filtering/FilterSettings.h"
#include "logtext/BookmarkSet.h"
#include "view/COstrelView.h"

// One open log file: its path and filters, and the values the main window keeps for its tab.
// The document keeps no copy of the text: the file on disk is the source, the view shows it.
class CDerivedOutput;
class CFileFollower;
class CFilteringRun;
class CStreamCapture;
class QFile;

class COstrelDoc : public QObject
{
    Q_OBJECT

public:
    explicit COstrelDoc(QObject* parent = nullptr);
    ~COstrelDoc() override;

    void SetView(COstrelView* view) { m_pView = view; }
    COstrelView* GetView() const { return m_pView; }

    // Never: a document exists only for a file that was opened.
    bool OnNewDocument() { return false; }
    // Opens the file sharing it with its writers and starts loading it into the view; false,
    // after "Failed to open document." with the path and the reason, when it cannot be opened.
    // A read that fails later, while the rest loads, is announced by OpenFailed. With
    // loadWhenShown the file is only checked now and read when the view is first shown (a tab
    // opened behind others); a file that cannot be opened by then is announced by OpenFailed too.
    bool OnOpenDocument(const QString& path, bool loadWhenShown = false);
    // Opens the rotated set the file belongs to (the file may be any of its files) as one
    // read-only text, oldest file first. The document is named after the live file, with
    // " (set)" after its name. False, after a message, when no file of the set can be read.
    bool OnOpenRotatedSet(const QString& path);
    // The document shows a rotated set; its files, oldest first (empty for a single file).
    bool IsRotatedSet() const { return !m_RotatedSetFiles.isEmpty(); }
    const QStringList& GetRotatedSetFiles() const { return m_RotatedSetFiles; }
    // A followed set's files as they are named after a rotation, oldest first.
    void SetRotatedSetFiles(const QStringList& files)
    {
        if (!files.isEmpty())
            m_RotatedSetFiles = files;
    }
    // Opens the logs merged by time as one read-only text, named after the first of them with
    // " (merged)" after its name. False, after a message naming the log, when one of them cannot
    // be read or has no times to go by: then none of them is opened.
    bool OnOpenMerged(const QStringList& paths);
    // The document shows logs merged by time; their files in the order given (empty otherwise).
    bool IsMerged() const { return !m_MergedFiles.isEmpty(); }
    const QStringList& GetMergedFiles() const { return m_MergedFiles; }
    // What the tab's tip says: the full path, or for a set the files it is made of.
    QString GetToolTip() const;
    // Whether the text waits for the view to be shown.
    bool IsLoadPending() const { return m_bLoadPending; }
    // Stops loading and announces the close (Closing); the frame then destroys the document.
    void OnCloseDocument();

    // Ctrl+S. Filter output is saved under a new name (never over the log it came from), and an
    // unmodified text is not written at all (the log may have grown since it was read).
    bool OnFileSave();
    // Asks "Save changes to %1?" for a modified text; false when the user cancels.
    bool SaveModified();
    bool IsModified() const;

    QString GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title);
    // The full path of the file; also the filter settings' Path and FileName. A new path makes
    // the document that file's alone (a set saved under a new name).
    QString GetPathName() const;
    void SetPathName(const QString& path);

    // Apply: the file filtered by these settings (their filters and exclude switch) into the view,
    // with the workspace's progress window; an empty list, or one whose filters are all off, shows the whole file
    // again. One run at a time: while one goes on, nothing starts (false). A run of this document that still follows
    // the file gives way to the new one. The settings are copied.
    bool ApplyFilters(const FilterSettings& settings);
    // The document's own filters applied anew, with the exclude switch given: for the toggle and
    // Follow when the output has to be made again.
    bool ApplyOwnFilters(bool excludeMatches);
    // The run under way, or null (a run that goes on following in the background is not one).
    CFilteringRun* GetFilteringRun() const;
    bool IsFiltering() const;
    // Whether the filter output of the last run started (the one the view shows or keeps for the
    // toggle) holds the lines that match no filter.
    bool GetOutputExcludesMatches() const { return m_bOutputExcludesMatches; }

    // Follow on or off. Filter output follows through a run of its own, so switching Follow on
    // while it is shown applies the document's filters anew, with the exclude switch given.
    void SetFollow(bool follow, bool excludeMatches);
    // Whether the filters decide records: a line without a timestamp belongs to the line above it,
    // and a record is kept or dropped whole. Changed while filter output is shown, the output is
    // made anew with the exclude switch given; output kept for the toggle was decided the other
    // way and is let go.
    bool GetRecords() const { return m_bRecords; }
    void SetRecords(bool records, bool excludeMatches);
    // Whether a run keeps the bookmarked lines whatever the filters say; the next run uses it.
    bool GetKeepBookmarkedLines() const { return m_bKeepBookmarkedLines; }
    void SetKeepBookmarkedLines(bool keep) { m_bKeepBookmarkedLines = keep; }
    // Ctrl+T: the whole file or the filter output, whichever is not shown; output that is not
    // kept, or was made from the file as it was before, is made anew by the document's filters.
    void ToggleFilterOutput(bool excludeMatches);

    // The watch on the file: tells of changes on disk and, following, hands on what was
    // appended. Made anew for each text read from the file, which holds `offset` bytes of it.
    CFileFollower& WatchFile(std::uint64_t offset);
    void StopWatchingFile();
    CFileFollower* GetFileFollower() const { return m_pFollower.get(); }

    // A stream tab: the capture that fills the file the document follows (its spool file). The
    // document takes it, is read-only while it runs and never saves over the spool file; closing
    // the document stops the stream and removes the file. Once the stream has ended, a Save As
    // makes the copy the document's file: from then on it is no stream (the spool file still
    // goes with the tab, so that a Save As that fails can go back to it).
    void SetStreamCapture(std::unique_ptr<CStreamCapture> capture);
    CStreamCapture* GetStreamCapture() const { return IsStream() ? m_pCapture.get() : nullptr; }
    bool IsStream() const;

    // A tab opened from filter output: the document takes what its lines are made of (their
    // spool file, which goes with the tab, and their original lines, which the margin shows).
    // Read-only; saved only under a new name. Null for any other document, and once a Save As
    // made the copy its file.
    void SetDerivedOutput(std::unique_ptr<CDerivedOutput> derived, const QString& title);
    const CDerivedOutput* GetDerivedOutput() const;

    FilterSettings& GetFilterSettings() { return m_FilterSettings; }
    const FilterSettings& GetFilterSettings() const { return m_FilterSettings; }
    // The file lines the user bookmarked; the view marks and goes to them.
    BookmarkSet& GetBookmarks() { return m_Bookmarks; }
    const BookmarkSet& GetBookmarks() const { return m_Bookmarks; }

    void SetTabPosition(int index, QWidget* tabWindow);
    void GetTabPosition(int& index, QWidget*& tabWindow) const;
    bool GetTitleShowsModified() const { return m_bTitleShowsModified; }
    void SetTitleShowsModified(bool showsModified) { m_bTitleShowsModified = showsModified; }

Q_SIGNALS:
    void TitleChanged(const QString& title);
    void PathNameChanged(const QString& path);
    // The file could not be read to its end while it was being opened; the reason was shown.
    void OpenFailed();
    // The document is closing; it goes away soon after.
    void Closing();
    // A run of the document started (true) or ended, or goes on following in the background (false).
    void FilteringChanged(bool running);
    // The stream of a stream tab ended (see GetStreamCapture()->GetEndText()).
    void StreamEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads the file into the view, as an opening does; false when it could not be opened.
    bool StartLoading(std::unique_ptr<QFile> file);
    void LoadPendingText();

    bool m_bLoadPending = false;
    void OnStreamEnded();

    std::unique_ptr<CFileFollower> m_pFollower;
    std::unique_ptr<CStreamCapture> m_pCapture;
    std::unique_ptr<CDerivedOutput> m_pDerived;
    QPointer<CFilteringRun> m_pRun; // the run under way; runs that follow in the background are children too
    bool m_bTitleShowsModified = false;
    bool m_bOutputExcludesMatches = false; // of the last run started
    bool m_bRecords = false;
    bool m_bKeepBookmarkedLines = false;
    bool m_bOpening = false; // the first load of the file is under way
    int m_nTabIndex = -1;
    QPointer<QWidget> m_pTabWindow;
    FilterSettings m_FilterSettings;
    BookmarkSet m_Bookmarks;
    QString m_strTitle;
    QStringList m_RotatedSetFiles; // a rotated set's files, oldest first; empty for one file
    QStringList m_MergedFiles;     // the logs merged by time, in their order; empty for one file
    QPointer<COstrelView> m_pView;
};
