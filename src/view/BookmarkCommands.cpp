// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/BookmarkCommands.h"

#include <QPointer>

#include "view/CBookmarksDlg.h"
#include "view/COstrelView.h"
#include "view/CViewBookmarks.h"
#include "view/ILogWorkspace.h"

namespace {

void ShowNote(COstrelView* view, const QString& note)
{
    if (ILogWorkspace* workspace = view->GetWorkspace(); workspace && !note.isEmpty())
        workspace->ShowStatusNote(note);
}

} // namespace

void RunToggleBookmarkCommand(COstrelView* view)
{
    if (view)
        ShowNote(view, view->GetBookmarks().ToggleAtCaret());
}

void RunNextBookmarkCommand(COstrelView* view)
{
    if (view)
        ShowNote(view, view->GetBookmarks().GoToNext(true));
}

void RunPreviousBookmarkCommand(COstrelView* view)
{
    if (view)
        ShowNote(view, view->GetBookmarks().GoToNext(false));
}

void RunBookmarksCommand(COstrelView* view)
{
    if (!view)
        return;
    CBookmarksDlg dialog(*view, view->window());
    dialog.exec();
}
