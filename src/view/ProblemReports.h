// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "view/ILogWorkspace.h"

// The one place of the desktop's lower layers where a problem or a question becomes a message
// box. Views and documents hand their problems to their workspace; a view of its own, without a
// workspace, shows them itself, through here too.

class QWidget;

// A message box, without an owner as the program's messages are, or over a dialog of its own
// (Find, Go To); returns once it is closed.
void ShowProblemBox(const CProblemReport& problem, QWidget* owner = nullptr);
// A question in a message box; the button chosen.
int ShowQuestionBox(const CQuestion& question);

// To the workspace, or in a box when there is none.
void ReportProblem(ILogWorkspace* workspace, const CProblemReport& problem);
int AskQuestion(ILogWorkspace* workspace, const CQuestion& question);
