// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "filtering/HighlightRules.h"

class QSettings;

// The highlight rules as the settings keep them: one numbered key of the "Highlights" group a
// rule, each a line of a highlights file. A value that does not read as a rule is skipped.
std::vector<HighlightRule> ReadHighlightSettings(QSettings& settings);
void WriteHighlightSettings(QSettings& settings, const std::vector<HighlightRule>& rules);
