// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CSession.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTabWidget>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "document/COstrelDoc.h"

namespace {
const QString SessionGroup = QStringLiteral("Session");

// Bookmarks are kept as one value, "12,40,9001": a long list stays one line of the settings.
QString BookmarksText(const std::vector<std::int64_t>& lines)
{
    QStringList parts;
    parts.reserve(static_cast<qsizetype>(lines.size()));
    for (std::int64_t line : lines)
        parts.append(QString::number(line));
    return parts.join(u',');
}

// What is not a line number is left out: a hand-edited value loses only its bad part.
std::vector<std::int64_t> BookmarksFromText(const QString& text)
{
    std::vector<std::int64_t> lines;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qlonglong line = part.trimmed().toLongLong(&ok);
        if (ok && line > 0)
            lines.push_back(line);
    }
    return lines;
}
} // namespace

CSession CSession::Capture(const CDocumentArea& area)
{
    CSession session;
    session.m_eOrientation = area.GetGroupOrientation();
    const CChildFrame* active = area.GetActiveChildFrame();
    const QList<QTabWidget*> groups = area.GetTabGroups();
    for (qsizetype groupIndex = 0; groupIndex < groups.size(); ++groupIndex) {
        QTabWidget* group = groups.at(groupIndex);
        for (int tab = 0; tab < group->count(); ++tab) {
            const auto* frame = qobject_cast<CChildFrame*>(group->widget(tab));
            if (!frame || !frame->GetDocument())
                continue;
            const COstrelDoc* document = frame->GetDocument();
            // A stream, or a tab made from filter output, cannot be read again at the next start.
            if (document->IsStream() || document->GetDerivedOutput())
                continue;
            const FilterSettings& filters = document->GetFilterSettings();
            Document saved;
            saved.Path = document->GetPathName();
            saved.RotatedSet = document->IsRotatedSet();
            saved.MergedFiles = document->GetMergedFiles();
            saved.Group = static_cast<int>(groupIndex);
            saved.ExcludeMatches = filters.GetExcludeMatches();
            saved.Records = document->GetRecords();
            saved.KeepBookmarks = document->GetKeepBookmarkedLines();
            for (int i = 0; i < filters.GetCount(); ++i) {
                saved.Filters.push_back({QString::fromStdU16String(filters.GetFilterString(i)), filters.GetRegExp(i),
                                         filters.GetCaseSensitive(i), filters.GetOutputBeforeMatch(i),
                                         filters.GetOutputAfterMatch(i), filters.GetEnabled(i)});
            }
            saved.Bookmarks = document->GetBookmarks().All();
            if (const COstrelView* view = frame->GetView())
                saved.Encoding = QString::fromStdString(view->GetTextEncoding().GetChosen());
            if (frame == active)
                session.m_nActiveDocument = static_cast<int>(session.m_Documents.size());
            session.m_Documents.push_back(std::move(saved));
        }
    }
    return session;
}

CSession CSession::Read(QSettings& settings)
{
    CSession session;
    settings.beginGroup(SessionGroup);
    session.m_nActiveDocument = settings.value(QStringLiteral("ActiveDocument"), -1).toInt();
    session.m_eOrientation =
        settings.value(QStringLiteral("Orientation")).toInt() == Qt::Vertical ? Qt::Vertical : Qt::Horizontal;
    const int count = settings.beginReadArray(QStringLiteral("Documents"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        Document document;
        document.Path = settings.value(QStringLiteral("Path")).toString();
        document.RotatedSet = settings.value(QStringLiteral("RotatedSet")).toInt() != 0;
        if (settings.value(QStringLiteral("Merged")).toInt() != 0)
            document.MergedFiles = settings.value(QStringLiteral("MergedFiles")).toStringList();
        document.Group = std::max(0, settings.value(QStringLiteral("Group")).toInt());
        document.ExcludeMatches = settings.value(QStringLiteral("ExcludeMatches")).toInt() != 0;
        document.Records = settings.value(QStringLiteral("Records")).toInt() != 0;
        document.KeepBookmarks = settings.value(QStringLiteral("KeepBookmarks")).toInt() != 0;
        const int filters = settings.beginReadArray(QStringLiteral("Filters"));
        for (int f = 0; f < std::min(filters, FilterSettings::MaxFilters); ++f) {
            settings.setArrayIndex(f);
            document.Filters.push_back({settings.value(QStringLiteral("Text")).toString(),
                                        settings.value(QStringLiteral("RegExp")).toInt(),
                                        settings.value(QStringLiteral("CaseSensitive")).toInt() != 0,
                                        settings.value(QStringLiteral("OutputBeforeMatch")).toInt(),
                                        settings.value(QStringLiteral("OutputAfterMatch")).toInt(),
                                        settings.value(QStringLiteral("Enabled"), 1).toInt() != 0});
        }
        settings.endArray();
        document.Bookmarks = BookmarksFromText(settings.value(QStringLiteral("Bookmarks")).toString());
        document.Encoding = settings.value(QStringLiteral("Encoding")).toString();
        if (!document.Path.isEmpty())
            session.m_Documents.push_back(std::move(document));
    }
    settings.endArray();
    settings.endGroup();
    return session;
}

void CSession::Write(QSettings& settings) const
{
    settings.remove(SessionGroup);
    settings.beginGroup(SessionGroup);
    settings.setValue(QStringLiteral("ActiveDocument"), m_nActiveDocument);
    settings.setValue(QStringLiteral("Orientation"), static_cast<int>(m_eOrientation));
    settings.beginWriteArray(QStringLiteral("Documents"), static_cast<int>(m_Documents.size()));
    for (std::size_t i = 0; i < m_Documents.size(); ++i) {
        const Document& document = m_Documents[i];
        settings.setArrayIndex(static_cast<int>(i));
        settings.setValue(QStringLiteral("Path"), document.Path);
        // Only a set says so: a session written before reads the same.
        if (document.RotatedSet)
            settings.setValue(QStringLiteral("RotatedSet"), 1);
        if (!document.MergedFiles.isEmpty()) {
            settings.setValue(QStringLiteral("Merged"), 1);
            settings.setValue(QStringLiteral("MergedFiles"), document.MergedFiles);
        }
        settings.setValue(QStringLiteral("Group"), document.Group);
        settings.setValue(QStringLiteral("ExcludeMatches"), document.ExcludeMatches ? 1 : 0);
        if (document.Records)
            settings.setValue(QStringLiteral("Records"), 1);
        if (document.KeepBookmarks)
            settings.setValue(QStringLiteral("KeepBookmarks"), 1);
        settings.beginWriteArray(QStringLiteral("Filters"), static_cast<int>(document.Filters.size()));
        for (std::size_t f = 0; f < document.Filters.size(); ++f) {
            const Filter& filter = document.Filters[f];
            settings.setArrayIndex(static_cast<int>(f));
            settings.setValue(QStringLiteral("Text"), filter.Text);
            settings.setValue(QStringLiteral("RegExp"), filter.RegExp);
            settings.setValue(QStringLiteral("CaseSensitive"), filter.CaseSensitive ? 1 : 0);
            settings.setValue(QStringLiteral("OutputBeforeMatch"), filter.OutputBeforeMatch);
            settings.setValue(QStringLiteral("OutputAfterMatch"), filter.OutputAfterMatch);
            // Only a switched-off filter says so: a session written before keeps reading the same.
            if (!filter.Enabled)
                settings.setValue(QStringLiteral("Enabled"), 0);
        }
        settings.endArray();
        // Only a document with bookmarks says so: a session written before reads the same.
        if (!document.Bookmarks.empty())
            settings.setValue(QStringLiteral("Bookmarks"), BookmarksText(document.Bookmarks));
        // Only an encoding the user chose: auto stays auto, as in a session written before.
        if (!document.Encoding.isEmpty())
            settings.setValue(QStringLiteral("Encoding"), document.Encoding);
    }
    settings.endArray();
    settings.endGroup();
}

QString CSession::WhyNotReopened(const QString& path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? QStringLiteral("no longer there")
                                                   : QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(status.st_mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        return QStringLiteral("a device");
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("not a regular file");
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        return QStringLiteral("not readable");
    return QString();
}

QString CSession::Restore(CMainFrame& frame) const
{
    // Missing files, the usual case, are named together; any other reason goes with its name.
    QStringList missing;
    QStringList others;
    CDocumentArea* area = frame.GetDocumentArea();
    int lastGroup = -1;
    COstrelDoc* active = nullptr;
    for (std::size_t i = 0; i < m_Documents.size(); ++i) {
        const Document& saved = m_Documents[i];
        // Checked first: a file that went away is a note, not a message box at every start.
        QString reason = WhyNotReopened(saved.Path);
        // A set is read at once: its files are looked up anew, and it has no text to wait with.
        COstrelDoc* document = nullptr;
        if (reason.isEmpty())
            document = !saved.MergedFiles.isEmpty() ? frame.OpenMerged(saved.MergedFiles)
                       : saved.RotatedSet           ? frame.OpenRotatedSet(saved.Path)
                                                    : frame.OpenDocumentFile(saved.Path, true);
        if (!document) {
            const QString name = QFileInfo(saved.Path).fileName();
            if (reason.isEmpty())
                reason = QStringLiteral("could not be opened");
            if (reason == u"no longer there")
                missing.append(name);
            else
                others.append(name % QStringLiteral(" (") % reason % u')');
            continue;
        }
        // The first document of a later group leaves the group before for a new one.
        if (lastGroup >= 0 && saved.Group > lastGroup)
            area->CreateTabGroup(m_eOrientation);
        lastGroup = saved.Group;
        FilterSettings& filters = document->GetFilterSettings();
        filters.ClearFilters();
        for (const Filter& filter : saved.Filters) {
            filters.AddFilter(filter.Text.toStdU16String(), filter.RegExp);
            const int index = filters.GetCount() - 1;
            filters.SetCaseSensitive(index, filter.CaseSensitive);
            filters.SetOutputBeforeMatch(index, filter.OutputBeforeMatch);
            filters.SetOutputAfterMatch(index, filter.OutputAfterMatch);
            filters.SetEnabled(index, filter.Enabled);
        }
        filters.SetExcludeMatches(saved.ExcludeMatches);
        document->SetRecords(saved.Records, saved.ExcludeMatches);
        document->GetBookmarks().Assign(saved.Bookmarks);
        document->SetKeepBookmarkedLines(saved.KeepBookmarks);
        if (!saved.Encoding.isEmpty() && saved.MergedFiles.isEmpty() && !saved.RotatedSet && document->GetView())
            document->GetView()->RestoreEncodingChoice(saved.Encoding.toStdString());
        if (static_cast<int>(i) == m_nActiveDocument)
            active = document;
    }
    for (CChildFrame* child : area->GetChildFrames()) {
        if (active && child->GetDocument() == active)
            area->SetActiveChildFrame(child);
    }
    QStringList parts;
    if (!missing.isEmpty())
        parts.append(QStringLiteral("no longer there: ") + missing.join(QStringLiteral(", ")));
    if (!others.isEmpty())
        parts.append(others.join(QStringLiteral(", ")));
    return parts.isEmpty() ? QString() : QStringLiteral("Not reopened, ") + parts.join(QStringLiteral("; "));
}
