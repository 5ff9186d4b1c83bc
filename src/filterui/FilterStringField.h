// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLineEdit;

// Keeps line breaks and the character 0x1A out of a filter string field, whether typed or
// pasted: a filter settings file could not carry them.
void KeepFilterStringOnOneLine(QLineEdit* edit);
