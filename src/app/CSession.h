// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>
#include <Qt>

class CDocumentArea;
class CMainFrame;
class QSettings;

// The documents open at exit, so the next start can open them again: each file with its filter
// list and exclude switch, its bookmarks, and the tab group it was in, the active one, and how the groups run.
// Kept in the settings under "Session".
class CSession
{
public:
    struct Filter
    {
        QString Text;
        int RegExp = 0;
        bool CaseSensitive = false;
        int OutputBeforeMatch = 0;
        int OutputAfterMatch = 0;
        bool Enabled = true;
    };
    struct Document
    {
        QString Path;
        bool RotatedSet = false; // the set Path belongs to, as one document
        QStringList MergedFiles; // the logs merged by time, Path the first of them; empty for none
        int Group = 0;
        bool ExcludeMatches = false;
        bool Records = false;       // lines without a timestamp belong to the line above
        bool KeepBookmarks = false; // runs keep the bookmarked lines too
        std::vector<Filter> Filters;
        std::vector<std::int64_t> Bookmarks; // file lines, in order
        QString Encoding;                    // the one chosen in View > Encoding; empty for auto
    };

    // The document area as it is now, group by group and tab by tab.
    static CSession Capture(const CDocumentArea& area);
    static CSession Read(QSettings& settings);
    // Replaces the stored session.
    void Write(QSettings& settings) const;

    // Opens the documents in the frame, in their groups, and activates the one that was active.
    // A file that is gone, is not a regular file or cannot be read is skipped. Returns the note
    // that says which were skipped and why, empty when every document came back.
    QString Restore(CMainFrame& frame) const;

    // Why a saved path is not opened again: empty when it can be.
    static QString WhyNotReopened(const QString& path);

    const std::vector<Document>& GetDocuments() const { return m_Documents; }

private:
    std::vector<Document> m_Documents;
    int m_nActiveDocument = -1;
    Qt::Orientation m_eOrientation = Qt::Horizontal;
};
