// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/FilterClipboard.h"

FilterSettings g_FilterClipboard;
bool g_bFilterClipboardEmpty = true;
bool g_bPromptWhitespaceFilter = true;
