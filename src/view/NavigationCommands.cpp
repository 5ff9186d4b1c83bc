// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/NavigationCommands.h"

#include <algorithm>

#include <QPointer>

#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "view/CGoToDlg.h"
#include "view/CMyFindDlg.h"
#include "view/COstrelView.h"
#include "view/CReplaceDlg.h"

namespace {

ActiveLogViewResolver& Resolver()
{
    static ActiveLogViewResolver resolver;
    return resolver;
}

CMainFrame* MainFrame()
{
    const COstrelApp* app = COstrelApp::GetInstance();
    return app ? app->GetMainFrame() : nullptr;
}

} // namespace

void SetActiveLogViewResolver(ActiveLogViewResolver resolver)
{
    Resolver() = std::move(resolver);
}

COstrelView* GetActiveLogViewForSearch()
{
    if (Resolver())
        return Resolver()();
    const CMainFrame* frame = MainFrame();
    return frame ? frame->GetActiveLogView() : nullptr;
}

void RunFindCommand(COstrelView* view)
{
    Q_UNUSED(view);
    // Owned by the main window, so it stays above it and goes with it.
    if (!g_pFindDlg)
        g_pFindDlg = new CMyFindDlg(&GetActiveLogViewForSearch, MainFrame());
    g_pFindDlg->ShowDialog();
}

void RunFindNextCommand(COstrelView* view)
{
    if (g_pFindDlg)
        g_pFindDlg->RepeatSearch(view);
}

bool CanFind(const COstrelView* view)
{
    return view && view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) > 0;
}

bool CanFindNext()
{
    return !g_pFindDlg.isNull();
}

void RunReplaceCommand(COstrelView* view)
{
    if (!g_pReplaceDlg)
        g_pReplaceDlg = new CReplaceDlg(&GetActiveLogViewForSearch, MainFrame());
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
    // The line count is that of the whole text.
    view->FinishLoading();
    const std::int64_t lineCount = view->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    CGoToDlg dialog(view->window());
    dialog.m_nLineCount = lineCount;
    dialog.m_nLine = static_cast<int>(std::clamp<std::int64_t>(view->GetCaretLine(), 1, CGoToDlg::MaxLine));
    if (dialog.exec() != QDialog::Accepted || !target)
        return;
    const std::int64_t line = std::min<std::int64_t>(dialog.m_nLine, lineCount);
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, static_cast<unsigned long>(line - 1));
}
