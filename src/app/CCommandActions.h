// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>

class COstrelView;
class QAction;
class QWidget;
struct CommandEntry;

// The actions of every command of the command table, added to the main window so that their keys
// work wherever the focus is in it. A command that acts on the log view runs on the active one,
// then the window brings its commands' states up to date.
class CCommandActions
{
public:
    using ViewLookup = std::function<COstrelView*()>;
    using AfterViewCommand = std::function<void()>;

    CCommandActions(QWidget& window, ViewLookup activeView, AfterViewCommand afterViewCommand);

    // The action of a command number, or null.
    QAction* Get(int id) const;
    const std::map<int, QAction*>& GetAll() const { return m_Commands; }

    // The standard toolbar's images, set on the commands so that every bar showing one shows it.
    void SetToolBarIcons() const;

    // The editor's own key map binds some of the commands' keys to edits; a disabled command's
    // key must not reach the editor and change the text. The editing commands keep theirs.
    void ReleaseKeysFromEditor(COstrelView& view) const;

private:
    QAction* Add(const CommandEntry& entry);

    QWidget& m_Window;
    ViewLookup m_ActiveView;
    AfterViewCommand m_AfterViewCommand;
    std::map<int, QAction*> m_Commands;
};
