// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/HighlightCommands.h"

#include <algorithm>

#include "filterui/CHighlightsDlg.h"
#include "view/COstrelView.h"
#include "view/ILogWorkspace.h"

using namespace Qt::Literals::StringLiterals;

void ShowHighlightsDialog(ILogWorkspace& workspace)
{
    CHighlightsDlg dialog(workspace, workspace.GetHighlightRules(), workspace.GetDialogOwner());
    if (dialog.exec() == QDialog::Accepted)
        workspace.SetHighlightRules(dialog.GetRules());
}

void RunHighlightSelectionCommand(COstrelView* view)
{
    ILogWorkspace* workspace = view ? view->GetWorkspace() : nullptr;
    if (!workspace)
        return;
    const QString selected = view->selectedText();
    if (selected.isEmpty()) {
        workspace->ShowStatusNote(u"Select the text to highlight first"_s);
        return;
    }
    HighlightRule rule;
    rule.Pattern = selected.toStdString();
    rule.CaseSensitive = true;
    if (!HighlightPatternProblem(rule.Pattern).empty()) {
        workspace->ShowStatusNote(u"Only text within one line can be highlighted"_s);
        return;
    }
    std::vector<HighlightRule> rules = workspace->GetHighlightRules();
    const bool known = std::any_of(rules.begin(), rules.end(), [&rule](const HighlightRule& other) {
        return !other.RegExp && other.CaseSensitive && other.Pattern == rule.Pattern;
    });
    if (known) {
        workspace->ShowStatusNote(u"\"%1\" is highlighted already"_s.arg(selected));
        return;
    }
    if (rules.size() >= MaxHighlightRules) {
        workspace->ShowStatusNote(u"No more highlights: the list is full"_s);
        return;
    }
    const HighlightColours colours = NextHighlightColours(rules);
    rule.Fore = colours.Fore;
    rule.Back = colours.Back;
    rules.push_back(std::move(rule));
    workspace->SetHighlightRules(rules);
    workspace->ShowStatusNote(u"Highlighting \"%1\""_s.arg(selected));
}
