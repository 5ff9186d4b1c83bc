// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>

// The program's one settings store: ~/.config/Quorrel/Ostrel.conf (under $XDG_CONFIG_HOME when it
// is set), or the file named with --settings. Every part of the program opens the store through
// this class, so that a start with other settings touches nothing of the usual ones.
//
// GUI thread only: the file name is process-wide and set once, before the first window.
class COstrelSettings : public QSettings
{
public:
    // The store, opened as an INI file.
    COstrelSettings();

    // The store's file: the one set with SetFileName, else the user's usual one.
    static QString GetFileName();
    // Makes every store opened from now on use this file; an empty name goes back to the usual one.
    static void SetFileName(const QString& path);
    // ~/.config/Quorrel/Ostrel.conf, as the user's configuration folder has it.
    static QString GetDefaultFileName();
};
