// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CRecentFileActions.h"

#include <algorithm>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include "app/CommandIds.h"

CRecentFileActions::CRecentFileActions(QWidget& window, OpenFile openFile)
    : m_Window(window), m_OpenFile(std::move(openFile))
{}

void CRecentFileActions::Rebuild(const QStringList& paths)
{
    for (QAction* action : std::as_const(m_Actions)) {
        action->setParent(nullptr);
        action->deleteLater();
    }
    m_Actions.clear();
    for (int i = 0; i < paths.size(); ++i) {
        auto* action = new QAction(EntryText(i + 1, paths.at(i)), &m_Window);
        action->setObjectName(QStringLiteral("recentFile%1Action").arg(i + 1));
        action->setData(CommandId::FileMruFirst + i);
        action->setStatusTip(QStringLiteral("Open this document"));
        QObject::connect(action, &QAction::triggered, &m_Window,
                         [open = m_OpenFile, path = paths.at(i)] { open(path); });
        m_Actions.append(action);
    }
}

QString CRecentFileActions::EntryText(int number, const QString& path)
{
    QString shown = QDir::toNativeSeparators(path);
    if (shown.size() > TextWidth) {
        const QString name = QFileInfo(path).fileName();
        const qsizetype keep = std::max<qsizetype>(0, TextWidth - name.size() - 4);
        shown = shown.left(keep) % QStringLiteral("...") % QDir::separator() % name;
    }
    shown.replace(u'&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(number).arg(shown);
}
