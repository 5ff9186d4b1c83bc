// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLineEdit;

// Keeps a filter string field to what a filter settings file can carry, whether typed or
// pasted: no line breaks, no character 0x1A, and no more characters than a saved line holds.
void KeepFilterStringSavable(QLineEdit* edit);

// The parse error of a filter string as a regular expression, encoded as a run encodes it so that
// the message is the one Apply would give; empty for an expression that parses.
QString FilterExpressionError(const QString& text, bool bCaseSensitive);
