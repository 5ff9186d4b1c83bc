// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CCommandActions.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QWidget>

#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/ToolBarIcons.h"
#include "view/COstrelView.h"

CCommandActions::CCommandActions(QWidget& window, ViewLookup activeView, AfterViewCommand afterViewCommand)
    : m_Window(window), m_ActiveView(std::move(activeView)), m_AfterViewCommand(std::move(afterViewCommand))
{
    for (const CommandEntry& entry : GetCommandTable())
        Add(entry);
}

QAction* CCommandActions::Add(const CommandEntry& entry)
{
    auto* action = new QAction(QString::fromUtf8(entry.Text), &m_Window);
    action->setObjectName(QString::fromLatin1(entry.ObjectName));
    action->setData(entry.Id);
    action->setCheckable(entry.Checkable);
    QList<QKeySequence> shortcuts;
    for (const QString& key : QString::fromLatin1(entry.Keys).split(u'|', Qt::SkipEmptyParts))
        shortcuts.append(QKeySequence(key));
    action->setShortcuts(shortcuts);
    // The prompt's first part goes to the status bar, the part after the line break is the tooltip.
    const QString prompt = QString::fromUtf8(entry.Prompt);
    const qsizetype newline = prompt.indexOf(u'\n');
    action->setStatusTip(newline < 0 ? prompt : prompt.left(newline));
    if (newline >= 0)
        action->setToolTip(prompt.mid(newline + 1));
    m_Window.addAction(action);
    m_Commands[entry.Id] = action;
    if (entry.ViewSlot || entry.ViewCommand) {
        QObject::connect(action, &QAction::triggered, &m_Window,
                         [this, slot = entry.ViewSlot, command = entry.ViewCommand] {
                             if (COstrelView* view = m_ActiveView()) {
                                 if (slot)
                                     (view->*slot)();
                                 else
                                     command(view);
                             }
                             m_AfterViewCommand(); // Find Next becomes available once Find has been chosen
                         });
    }
    return action;
}

QAction* CCommandActions::Get(int id) const
{
    const auto found = m_Commands.find(id);
    return found == m_Commands.end() ? nullptr : found->second;
}

void CCommandActions::SetToolBarIcons() const
{
    using namespace CommandId;
    Get(FileOpen)->setIcon(ToolBarIcon(QStringLiteral("document-open"), QStringLiteral("open")));
    // The set is opened from a file too: the look of Open, so user images go to the commands without one.
    Get(FileOpenRotatedSet)->setIcon(ToolBarIcon(QStringLiteral("folder-open"), QStringLiteral("open")));
    Get(FileSave)->setIcon(ToolBarIcon(QStringLiteral("document-save"), QStringLiteral("save")));
    Get(CommandId::FilterSettings)->setIcon(ToolBarIcon(QStringLiteral("edit-find"), QStringLiteral("filter")));
    Get(DeleteAllFilters)->setIcon(ToolBarIcon(QStringLiteral("edit-clear"), QStringLiteral("clear-filters")));
    Get(ViewFollow)->setIcon(ToolBarIcon(QStringLiteral("go-bottom"), QStringLiteral("follow")));
    Get(EditCut)->setIcon(ToolBarIcon(QStringLiteral("edit-cut"), QStringLiteral("cut")));
    Get(EditCopy)->setIcon(ToolBarIcon(QStringLiteral("edit-copy"), QStringLiteral("copy")));
    Get(EditPaste)->setIcon(ToolBarIcon(QStringLiteral("edit-paste"), QStringLiteral("paste")));
    Get(FilePrint)->setIcon(ToolBarIcon(QStringLiteral("document-print"), QStringLiteral("print")));
    Get(AppAbout)->setIcon(ToolBarIcon(QStringLiteral("help-about"), QStringLiteral("about")));
}

void CCommandActions::ReleaseKeysFromEditor(COstrelView& view) const
{
    // Ctrl+L cuts a line in the editor, Ctrl+D duplicates one: the key belongs to the command,
    // enabled or not. The editor does with the editing commands' keys what the commands do.
    using namespace CommandId;
    const QList<int> editing = {EditUndo, EditRedo, EditCut, EditCopy, EditPaste, EditClear, EditSelectAll};
    QsciCommandSet* keyMap = view.standardCommands();
    for (const auto& [id, command] : m_Commands) {
        if (editing.contains(id))
            continue;
        for (const QKeySequence& sequence : command->shortcuts()) {
            const int key = sequence[0].toCombined();
            for (QsciCommand* bound : keyMap->commands()) {
                if (bound->key() == key)
                    bound->setKey(0);
                if (bound->alternateKey() == key)
                    bound->setAlternateKey(0);
            }
        }
    }
}
