// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

class COstrelView;

// One command of the menus, the shortcuts and the toolbar: its number, the object name tests and
// the toolbar settings know it by, its menu text, its keys ("Ctrl+X|Shift+Del") and its prompt
// (the status-bar text, then a line break and the tooltip). A command with ViewSlot or
// ViewCommand acts on the active log view; the others are wired by the main window.
struct CommandEntry
{
    int Id;
    const char* ObjectName;
    const char* Text;
    const char* Keys;
    const char* Prompt;
    void (COstrelView::*ViewSlot)() = nullptr;
    void (*ViewCommand)(COstrelView* view) = nullptr;
    bool Checkable = false;
};

// Every command, once each.
std::span<const CommandEntry> GetCommandTable();

// Whether a command without an image of its own takes one of the user images. Commands that came
// after the user image strips were laid out take none, so a strip made for the menus before still
// gives each command its image.
bool TakesUserImage(int id);
