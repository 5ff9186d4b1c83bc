// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/NavigationCommands.h"

#include <algorithm>
#include <functional>

#include <QPointer>

#include "document/CDerivedOutput.h"
#include "view/CGoToDlg.h"
#include "view/CMyFindDlg.h"
#include "view/COstrelView.h"
#include "view/CReplaceDlg.h"
#include "view/CTimeGoTo.h"
#include "view/ILogWorkspace.h"
#include "view/OutputTabNumbers.h"

namespace {

// The log view active in the view's workspace when a dialog's button is pressed; without a
// workspace, the view itself.
std::function<COstrelView*()> ActiveViewOf(COstrelView* view)
{
    if (ILogWorkspace* workspace = view ? view->GetWorkspace() : nullptr)
        return [workspace] { return workspace->GetActiveLogView(); };
    return [target = QPointer<COstrelView>(view)] { return target.data(); };
}

QWidget* DialogOwnerOf(const COstrelView* view)
{
    ILogWorkspace* workspace = view ? view->GetWorkspace() : nullptr;
    return workspace ? workspace->GetDialogOwner() : nullptr;
}

} // namespace

void RunFindCommand(COstrelView* view)
{
    // Owned by the main window, so it stays above it and goes with it.
    if (!g_pFindDlg)
        g_pFindDlg = new CMyFindDlg(ActiveViewOf(view), DialogOwnerOf(view));
    g_pFindDlg->ShowDialog();
}

void RunFindNextCommand(COstrelView* view)
{
    if (g_pFindDlg)
        g_pFindDlg->RepeatSearch(view);
}

void RunFindPreviousCommand(COstrelView* view)
{
    if (g_pFindDlg)
        g_pFindDlg->RepeatSearchBackward(view);
}

bool CanFind(const COstrelView* view)
{
    return view && view->GetEditor().GetLength() > 0;
}

bool CanFindNext()
{
    return !g_pFindDlg.isNull();
}

void RunReplaceCommand(COstrelView* view)
{
    if (!g_pReplaceDlg)
        g_pReplaceDlg = new CReplaceDlg(ActiveViewOf(view), DialogOwnerOf(view));
    g_pReplaceDlg->ShowDialog(view);
}

bool CanReplace(const COstrelView* view)
{
    return CanFind(view);
}

void RunGoToCommand(COstrelView* view)
{
    const QPointer<COstrelView> target(view);
    if (!target)
        return;
    // A tab made from filter output takes the original file's lines.
    const CDerivedOutput* derived = DerivedOutputOf(*view);
    const std::int64_t lineCount = derived ? derived->GetLastOriginalLine() : view->GetGoToLineCount();
    CGoToDlg dialog(view->window());
    dialog.m_nLineCount = lineCount;
    // In filter output the caret's file line, the number Go To takes there.
    const std::int64_t caretFileLine = derived ? OriginalCaretLine(*view, *derived) : view->GetCaretFileLine();
    dialog.m_nLine = static_cast<int>(std::clamp<std::int64_t>(
        (derived || view->GetShowsFilteredText()) && caretFileLine > 0 ? caretFileLine : view->GetCaretLine(), 1,
        CGoToDlg::MaxLine));
    dialog.m_FindTimeLine = [target](const TimeEntry& entry, std::int64_t& line, QString& message) {
        if (!target) {
            message = CTimeGoTo::NoTimesMessage();
            return false;
        }
        return CTimeGoTo(*target).FindLine(entry, line, message);
    };
    if (dialog.exec() != QDialog::Accepted || !target)
        return;
    if (dialog.m_nTimeLine > 0) {
        view->GoToLine(dialog.m_nTimeLine);
        return;
    }
    derived = DerivedOutputOf(*view); // the dialog may have outlived a Save As
    const QString note =
        derived ? GoToOriginalLine(*view, *derived, dialog.m_nLine) : view->GoToNumberedLine(dialog.m_nLine);
    if (ILogWorkspace* workspace = view->GetWorkspace(); workspace && !note.isEmpty())
        workspace->ShowStatusNote(note);
}
