// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLineEdit;

// Keeps a filter string field to what a filter settings file can carry, whether typed or
// pasted: no line breaks, no character 0x1A, and no more characters than a saved line holds.
void KeepFilterStringSavable(QLineEdit* edit);
