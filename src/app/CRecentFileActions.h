// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QWidget;

// The numbered entries of the recent-file list at the foot of the File menus ("&1 /var/log/a.log").
class CRecentFileActions
{
public:
    using OpenFile = std::function<void(const QString& path)>;
    // Entries longer than this keep the file's name and as much of its folder as fits.
    static constexpr int TextWidth = 30;

    CRecentFileActions(QWidget& window, OpenFile openFile);

    // New entries for the paths, newest first; the old ones go once the event under way is over,
    // as the entry that opened a file may be the one emitting now.
    void Rebuild(const QStringList& paths);
    const QList<QAction*>& GetActions() const { return m_Actions; }

    // The menu text of entry number (from 1) for the path, an ampersand in it shown as one.
    static QString EntryText(int number, const QString& path);

private:
    QWidget& m_Window;
    OpenFile m_OpenFile;
    QList<QAction*> m_Actions;
};
