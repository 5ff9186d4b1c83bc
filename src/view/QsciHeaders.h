// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// QScintilla's headers use the plain "signals" and "slots" keywords, which this program turns
// off (QT_NO_KEYWORDS); every QScintilla include goes through here.
#define signals Q_SIGNALS
#define slots Q_SLOTS
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciprinter.h>
#include <Qsci/qsciscintilla.h>
#include <Qsci/qsciscintillabase.h>
#undef signals
#undef slots
