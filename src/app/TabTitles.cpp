// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TabTitles.h"

#include <algorithm>
#include <map>
#include <vector>

#include <QFileInfo>
#include <QSet>

namespace {

// The last `depth` folders of a path's folder, joined with "/".
QString TrailingFolders(const QStringList& folders, qsizetype depth)
{
    return folders.mid(std::max<qsizetype>(0, folders.size() - depth)).join(u'/');
}

} // namespace

QStringList DistinguishingFolders(const QStringList& paths)
{
    QStringList result(paths.size());
    std::map<QString, std::vector<qsizetype>> byName;
    for (qsizetype i = 0; i < paths.size(); ++i)
        byName[QFileInfo(paths.at(i)).fileName()].push_back(i);

    for (const auto& [name, indexes] : byName) {
        if (indexes.size() < 2)
            continue;
        std::vector<QStringList> folders;
        qsizetype deepest = 0;
        for (qsizetype index : indexes) {
            folders.push_back(QFileInfo(paths.at(index)).absolutePath().split(u'/', Qt::SkipEmptyParts));
            deepest = std::max(deepest, folders.back().size());
        }
        // One depth for the whole name: the tabs of one name read alike.
        qsizetype depth = 1;
        for (; depth < deepest; ++depth) {
            QSet<QString> seen;
            for (const QStringList& each : folders)
                seen.insert(TrailingFolders(each, depth));
            if (seen.size() == static_cast<qsizetype>(folders.size()))
                break;
        }
        for (std::size_t i = 0; i < indexes.size(); ++i)
            result[indexes[i]] = TrailingFolders(folders[i], depth);
    }
    return result;
}
