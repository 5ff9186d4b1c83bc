// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ProblemReports.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon IconOf(CProblemReport::Kind kind)
{
    switch (kind) {
    case CProblemReport::Kind::Error:
        return QMessageBox::Critical;
    case CProblemReport::Kind::Warning:
        return QMessageBox::Warning;
    case CProblemReport::Kind::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

void ShowProblemBox(const CProblemReport& problem, QWidget* owner)
{
    QMessageBox box(IconOf(problem.Severity), problem.Caption, problem.Text, QMessageBox::Ok, owner);
    box.setObjectName(problem.Name);
    box.exec();
}

int ShowQuestionBox(const CQuestion& question)
{
    QMessageBox box(question.Severity == CProblemReport::Kind::Warning ? QMessageBox::Warning : QMessageBox::Question,
                    question.Caption, question.Text, QMessageBox::StandardButtons(question.Buttons));
    box.setObjectName(question.Name);
    if (question.DefaultButton != 0)
        box.setDefaultButton(static_cast<QMessageBox::StandardButton>(question.DefaultButton));
    return box.exec();
}

void ReportProblem(ILogWorkspace* workspace, const CProblemReport& problem)
{
    if (workspace)
        workspace->ReportProblem(problem);
    else
        ShowProblemBox(problem);
}

int AskQuestion(ILogWorkspace* workspace, const CQuestion& question)
{
    return workspace ? workspace->AskQuestion(question) : ShowQuestionBox(question);
}
