// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filtering/FilterSettings.h"

// The process-wide filter clipboard of Copy All Filters and Paste All Filters; only its filters
// are used.
extern FilterSettings g_FilterClipboard;
// True until the first Copy All Filters of this run; never true again after it.
extern bool g_bFilterClipboardEmpty;
// False once the user has asked not to be prompted for whitespace-only filter strings; not kept
// beyond this run.
extern bool g_bPromptWhitespaceFilter;
