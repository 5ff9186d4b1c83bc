// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandStates.h"

#include <QAction>

#include "app/CCommandActions.h"
#include "app/COutputTabs.h"
#include "app/CommandIds.h"
#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "document/CStreamCapture.h"
#include "filtering/TextEncodingDetector.h"
#include "view/CEditAnyway.h"
#include "view/COstrelView.h"
#include "view/FilterOutputCommands.h"
#include "view/NavigationCommands.h"

void UpdateViewCommandStates(const CCommandActions& commands, const COstrelView* view, const COstrelDoc* document)
{
    using namespace CommandId;
    const auto enable = [&commands](int id, bool enabled) { commands.Get(id)->setEnabled(enabled); };
    const bool hasView = view != nullptr;
    for (int id : {FileClose, FilePrint, FilePrintPreview, WordWrap, FormatFont, ViewHighlightSelection})
        enable(id, hasView);
    // A stream that still writes its file is saved once it has ended.
    const bool streaming = hasView && view->IsStreamReadOnly();
    // A tab made from filter output is read-only, but saved under a new name at any time.
    const bool derived = document && document->GetDerivedOutput();
    for (int id : {FileSave, FileSaveAs})
        enable(id, hasView && (!streaming || derived));
    const CStreamCapture* capture = document ? document->GetStreamCapture() : nullptr;
    enable(FileStopCommand, capture && capture->IsRunning());
    enable(EditSelectAll, hasView && view->CanSelectAll());
    const bool hasSelection = hasView && view->hasSelectedText();
    const bool editable = hasView && !view->IsPaged() && !streaming;
    enable(EditCut, hasSelection && editable);
    enable(EditCopy, hasSelection);
    enable(EditClear, hasSelection && editable);
    enable(EditPaste, editable && view->CanPaste());
    enable(EditUndo, editable && view->isUndoAvailable());
    enable(EditRedo, editable && view->isRedoAvailable());
    enable(EditAnyway, hasView && view->GetEditAnyway().CanStart());
    enable(DeleteAllFilters, hasView && view->GetShowsFilteredText());
    enable(CommandId::ToggleFilterOutput, hasView && CanToggleFilterOutput(*view, document));
    enable(FilterOutputInNewTab, COutputTabs::CanOpen(view));
    enable(CommandId::FilterSettings, hasView);
    enable(EditFind, CanFind(view));
    enable(EditRepeat, hasView && CanFindNext());
    enable(EditFindPrevious, hasView && CanFindNext());
    enable(EditReplace, editable && CanReplace(view));
    enable(EditGoTo, hasView);
    for (int id : {EditToggleBookmark, EditNextBookmark, EditPreviousBookmark, EditBookmarks})
        enable(id, hasView);
    if (hasView)
        commands.Get(WordWrap)->setChecked(view->GetWordWrap() != COstrelView::WrapNone);
    // A rotated set follows its live file while it is shown whole; its filter output is a run's as
    // it was, and a merge is shown as it was opened.
    enable(ViewFollow, hasView && !view->IsMerged() && !(document && document->IsMerged()) &&
                           (document && document->IsRotatedSet() ? view->CanFollowSet() : !view->IsRotatedSet()));
    commands.Get(ViewFollow)->setChecked(hasView && view->GetFollow());
    // A set is decided line by line; the switch waits for a run under way.
    enable(ViewRecords, document && !document->IsRotatedSet() && !document->IsMerged() && !document->IsFiltering());
    commands.Get(ViewRecords)->setChecked(document && document->GetRecords());
    // A file read on its own can be read in another encoding: not a set, a stream or a tab of output.
    const bool encodable = hasView && document && !document->IsRotatedSet() && !document->IsStream() &&
                           !document->GetDerivedOutput() && !view->IsLoading();
    const std::string chosen = hasView ? view->GetTextEncoding().GetChosen() : std::string();
    QAction* automatic = commands.Get(ViewEncodingAuto);
    automatic->setText(hasView ? view->GetTextEncoding().AutoText() : QStringLiteral("&Auto"));
    automatic->setEnabled(encodable);
    automatic->setChecked(hasView && chosen.empty());
    for (int id = ViewEncodingFirst; id <= ViewEncodingLast; ++id) {
        enable(id, encodable);
        commands.Get(id)->setChecked(
            hasView && chosen == TextEncodingChoices()[static_cast<std::size_t>(id - ViewEncodingFirst)].Name);
    }
}
