// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// A list kept in the settings as numbered keys of a group ("File1", "File2", ...), as the
// recent files and the recent commands are.
// The values that are not empty, in the order of their numbers, of keys 1 to count.
QStringList ReadNumberedValues(QSettings& settings, const QString& group, const QString& keyPrefix, int count);
// Writes the first count values to keys 1, 2, ... and removes the keys past them.
void WriteNumberedValues(QSettings& settings, const QString& group, const QString& keyPrefix, const QStringList& values,
                         int count);
