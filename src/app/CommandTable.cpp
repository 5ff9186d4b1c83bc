// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandTable.h"

#include <algorithm>
#include <iterator>

#include "app/CommandIds.h"
#include "filtering/TextEncodingDetector.h"
#include "filterui/HighlightCommands.h"
#include "view/BookmarkCommands.h"
#include "view/CEditAnyway.h"
#include "view/COstrelView.h"
#include "view/NavigationCommands.h"

namespace {

using namespace CommandId;
using View = COstrelView;

const CommandEntry Commands[] = {
    {FileNew, "fileNewAction", "&New", "Ctrl+N", ""},
    {FileOpen, "fileOpenAction", "&Open...", "Ctrl+O", "Open an existing document\nOpen"},
    {FileOpenRotatedSet, "fileOpenRotatedSetAction", "Open Rotated &Set...", "",
     "Open a log with its rotated files as one read-only document, oldest first\nOpen Rotated Set"},
    {FileOpenMerged, "fileOpenMergedAction", "Open &Merged...", "",
     "Open several logs merged by the times of their lines as one read-only document\nOpen Merged"},
    {FileOpenCommandOutput, "fileOpenCommandOutputAction", "Open Co&mmand Output...", "",
     "Run a command and show its output as it comes\nOpen Command Output"},
    {FileStopCommand, "fileStopCommandAction", "S&top Command", "",
     "Stop the command or the standard input that the active document shows\nStop Command"},
    {FileClose, "fileCloseAction", "&Close", "Ctrl+W|Ctrl+F4", "Close the active document\nClose"},
    {FileSave, "fileSaveAction", "&Save", "Ctrl+S", "Save the active document\nSave"},
    {FileSaveAs, "fileSaveAsAction", "Save &As...", "", "Save the active document with a new name\nSave As",
     &View::OnFileSaveAs},
    {FilePrint, "filePrintAction", "&Print...", "Ctrl+P", "Print the active document\nPrint", &View::OnFilePrint},
    {FilePrintPreview, "filePrintPreviewAction", "Print Pre&view", "", "Display full pages\nPrint Preview",
     &View::OnFilePrintPreview},
    {FilePrintSetup, "filePrintSetupAction", "P&rint Setup...", "",
     "Change the printer and printing options\nPrint Setup"},
    {AppExit, "appExitAction", "E&xit", "", "Quit the application; prompts to save documents\nExit"},

    {EditUndo, "editUndoAction", "&Undo", "Ctrl+Z|Alt+Backspace", "Undo the last action\nUndo", &View::undo},
    {EditRedo, "editRedoAction", "&Redo", "Ctrl+Y", "Redo the previously undone action\nRedo", &View::redo},
    {EditCut, "editCutAction", "Cu&t", "Ctrl+X|Shift+Del", "Cut the selection and put it on the Clipboard\nCut",
     &View::cut},
    {EditCopy, "editCopyAction", "&Copy", "Ctrl+C|Ctrl+Ins", "Copy the selection and put it on the Clipboard\nCopy",
     &View::copy},
    {EditPaste, "editPasteAction", "&Paste", "Ctrl+V|Shift+Ins", "Insert Clipboard contents\nPaste", &View::paste},
    {EditClear, "editClearAction", "Cle&ar", "Del", "Erase the selection\nErase", &View::removeSelectedText},
    {EditSelectAll, "editSelectAllAction", "Select A&ll", "Ctrl+A", "Select the entire document\nSelect All",
     &View::OnEditSelectAll},
    {EditReplace, "editReplaceAction", "&Replace...", "Ctrl+H", "Replace specific text with different text\nReplace",
     nullptr, RunReplaceCommand},
    {EditFind, "editFindAction", "&Find...", "Ctrl+F", "Find the specified text\nFind", nullptr, RunFindCommand},
    {EditRepeat, "editFindNextAction", "F&ind Next", "F3", "Repeat the last action\nRepeat", nullptr,
     RunFindNextCommand},
    {EditFindPrevious, "editFindPreviousAction", "Find Pre&vious", "Shift+F3",
     "Repeat the last search toward the start of the text\nFind Previous", nullptr, RunFindPreviousCommand},
    {EditGoTo, "editGoToAction", "&Go To", "Ctrl+G", "Go To Specified Line in File\nGo To Line", nullptr,
     RunGoToCommand},
    {EditToggleBookmark, "editToggleBookmarkAction", "Toggle &Bookmark", "Ctrl+F2",
     "Set or remove a bookmark on the caret's line\nToggle Bookmark", nullptr, RunToggleBookmarkCommand},
    {EditNextBookmark, "editNextBookmarkAction", "Ne&xt Bookmark", "F2",
     "Go to the next bookmarked line\nNext Bookmark", nullptr, RunNextBookmarkCommand},
    {EditPreviousBookmark, "editPreviousBookmarkAction", "Pr&evious Bookmark", "Shift+F2",
     "Go to the previous bookmarked line\nPrevious Bookmark", nullptr, RunPreviousBookmarkCommand},
    {EditBookmarks, "editBookmarksAction", "Boo&kmarks...", "", "List the bookmarked lines\nBookmarks", nullptr,
     RunBookmarksCommand},
    {EditAnyway, "editAnywayAction", "Edit An&yway", "",
     "Load the whole of a file too big to edit into memory, to edit it\nEdit Anyway", nullptr, RunEditAnywayCommand},
    {FilterSettings, "filterSettingsAction", "Fi&lter Settings", "Ctrl+L", "Edit Filter Settings\nFilter"},
    {DeleteAllFilters, "deleteAllFiltersAction", "&Delete All Filters", "Ctrl+D", "Delete All Filters\nDelete Filters",
     &View::OnDeleteAllFilters},
    {ToggleFilterOutput, "toggleFilterOutputAction", "&Toggle Filter Output", "Ctrl+T",
     "Switch between the filter output and the whole file at the same line\nToggle Filter Output"},
    {FilterOutputInNewTab, "filterOutputInNewTabAction", "Filter &Output in New Tab", "",
     "Open the lines of the filter output in a tab of their own, numbered by the file's lines\nFilter Output in New "
     "Tab"},
    {FormatFont, "formatFontAction", "Font...", "", "", &View::OnFormatFont},
    {WordWrap, "wordWrapAction", "Word Wrap", "", "Enable/Disable Word Wrap", nullptr, nullptr, true},

    {ViewFollow, "viewFollowAction", "F&ollow", "Ctrl+Shift+F",
     "Show what is written to the file as it comes, filtered or not\nFollow", nullptr, nullptr, true},
    {ViewRecords, "viewRecordsAction", "Lines Without a Timestamp &Belong to the Line Above", "",
     "Filter whole records: a line without a timestamp belongs to the line above it\nRecords", nullptr, nullptr, true},
    {ViewEncodingAuto, "viewEncodingAutoAction", "&Auto", "",
     "Read the file in the encoding its first bytes tell\nAuto Encoding", nullptr,
     [](View* view) { view->ChooseEncoding(std::string()); }, true},
    {ViewEncodingFirst + 0, "viewEncodingUtf8Action", "&UTF-8", "", "Read the file again as UTF-8 text\nUTF-8", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[0].Name); }, true},
    {ViewEncodingFirst + 1, "viewEncodingUtf16LEAction", "UTF-16 &LE", "",
     "Read the file again as UTF-16 LE text\nUTF-16 LE", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[1].Name); }, true},
    {ViewEncodingFirst + 2, "viewEncodingUtf16BEAction", "UTF-16 &BE", "",
     "Read the file again as UTF-16 BE text\nUTF-16 BE", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[2].Name); }, true},
    {ViewEncodingFirst + 3, "viewEncodingIso88591Action", "ISO-8859-&1 (Western)", "",
     "Read the file again as ISO-8859-1 text\nISO-8859-1", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[3].Name); }, true},
    {ViewEncodingFirst + 4, "viewEncodingIso885915Action", "ISO-8859-15 (Western, &euro)", "",
     "Read the file again as ISO-8859-15 text\nISO-8859-15", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[4].Name); }, true},
    {ViewEncodingFirst + 5, "viewEncodingIso88592Action", "ISO-8859-&2 (Central European)", "",
     "Read the file again as ISO-8859-2 text\nISO-8859-2", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[5].Name); }, true},
    {ViewEncodingFirst + 6, "viewEncodingIso88595Action", "ISO-8859-&5 (Cyrillic)", "",
     "Read the file again as ISO-8859-5 text\nISO-8859-5", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[6].Name); }, true},
    {ViewEncodingFirst + 7, "viewEncodingIso88597Action", "ISO-8859-&7 (Greek)", "",
     "Read the file again as ISO-8859-7 text\nISO-8859-7", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[7].Name); }, true},
    {ViewEncodingFirst + 8, "viewEncodingWindows1250Action", "Windows-125&0 (Central European)", "",
     "Read the file again as Windows-1250 text\nWindows-1250", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[8].Name); }, true},
    {ViewEncodingFirst + 9, "viewEncodingWindows1251Action", "&Windows-1251 (Cyrillic)", "",
     "Read the file again as Windows-1251 text\nWindows-1251", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[9].Name); }, true},
    {ViewEncodingFirst + 10, "viewEncodingWindows1252Action", "Windows-125&2 (Western)", "",
     "Read the file again as Windows-1252 text\nWindows-1252", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[10].Name); }, true},
    {ViewEncodingFirst + 11, "viewEncodingWindows1253Action", "Windows-125&3 (Greek)", "",
     "Read the file again as Windows-1253 text\nWindows-1253", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[11].Name); }, true},
    {ViewEncodingFirst + 12, "viewEncodingKoi8RAction", "&KOI8-R (Russian)", "",
     "Read the file again as KOI8-R text\nKOI8-R", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[12].Name); }, true},
    {ViewEncodingFirst + 13, "viewEncodingKoi8UAction", "KOI8-&U (Ukrainian)", "",
     "Read the file again as KOI8-U text\nKOI8-U", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[13].Name); }, true},
    {ViewEncodingFirst + 14, "viewEncodingIbm866Action", "CP&866 (Cyrillic DOS)", "",
     "Read the file again as CP866 text\nCP866", nullptr,
     [](View* view) { view->ChooseEncoding(TextEncodingChoices()[14].Name); }, true},
    {ViewSplit, "viewSplitAction", "S&plit", "Ctrl+Shift+S",
     "Show the whole file below the view, at the filter output's line\nSplit", nullptr, nullptr, true},
    {ViewSplitSideBySide, "viewSplitSideBySideAction", "Split Side by Si&de", "",
     "Show the whole file at the right of the view instead of below it\nSplit Side by Side", nullptr, nullptr, true},
    {ViewOverviewStrip, "viewOverviewStripAction", "O&verview Strip", "",
     "Show where the kept lines, or the lines Find found, lie in the file, beside the scroll bar\nOverview Strip",
     nullptr, nullptr, true},
    {ViewTimeline, "viewTimelineAction", "Ti&meline", "",
     "Show the kept lines of the filter output over time, a bar per stretch of time\nTimeline", nullptr, nullptr, true},
    {ViewLineNumbers, "viewLineNumbersAction", "&Line Numbers", "",
     "Show or hide the file's line numbers beside the text\nLine Numbers", nullptr, nullptr, true},
    {ViewHighlights, "viewHighlightsAction", "&Highlights...", "",
     "Colour chosen texts wherever the views show them\nHighlights"},
    {ViewHighlightSelection, "viewHighlightSelectionAction", "Highlight S&election", "Ctrl+Shift+H",
     "Highlight every occurrence of the selected text in the next colour\nHighlight Selection", nullptr,
     RunHighlightSelectionCommand},
    {ViewStatusBar, "viewStatusBarAction", "&Status Bar", "", "Show or hide the status bar\nToggle Status Bar", nullptr,
     nullptr, true},
    {AppAbout, "appAboutAction", "&About Ostrel...", "",
     "Display program information, version number and copyright\nAbout"},
    {NextPane, "nextPaneAction", "Next Pane", "F6", "Switch to the next window pane\nNext Pane"},
    {PreviousPane, "previousPaneAction", "Previous Pane", "Shift+F6",
     "Switch back to the previous window pane\nPrevious Pane"},
    {ViewCustomize, "customizeAction", "Customize...", "", "Customize the toolbars\nCustomize"},
    {WindowManager, "windowsDialogAction", "&Windows...", "", "Manage the open document windows\nWindows"},
    // Alt+Enter asks for the properties of an embedded object; a log has none, so it does nothing.
    {ObjectProperties, "objectPropertiesAction", "", "Alt+Return|Alt+Enter", ""},

    // The application looks: radio marks, but none at all for a look the menu does not list.
    {LookWindows2000, "look205Action", "Windows &2000", "", "", nullptr, nullptr, true},
    {LookOfficeXP, "look206Action", "Office &XP", "", "", nullptr, nullptr, true},
    {LookWindowsXP, "look207Action", "&Windows XP", "", "", nullptr, nullptr, true},
    {LookOffice2003, "look208Action", "Office 200&3", "", "", nullptr, nullptr, true},
    {LookVS2005, "look209Action", "Visual Studio 200&5", "", "", nullptr, nullptr, true},
    {LookVS2008, "look210Action", "Visual Studio 200&8", "", "", nullptr, nullptr, true},
    {LookOffice2007Blue, "look215Action", "&Blue Style", "", "", nullptr, nullptr, true},
    {LookOffice2007Black, "look216Action", "B&lack Style", "", "", nullptr, nullptr, true},
    {LookOffice2007Silver, "look217Action", "&Silver Style", "", "", nullptr, nullptr, true},
    {LookOffice2007Aqua, "look218Action", "&Aqua Style", "", "", nullptr, nullptr, true},
};

} // namespace

std::span<const CommandEntry> GetCommandTable()
{
    return Commands;
}

bool TakesUserImage(int id)
{
    static constexpr int laterCommands[] = {
        CommandId::FileOpenCommandOutput, CommandId::FileOpenMerged,   CommandId::FileStopCommand,
        CommandId::ViewRecords,           CommandId::ViewHighlights,   CommandId::ViewHighlightSelection,
        CommandId::EditToggleBookmark,    CommandId::EditNextBookmark, CommandId::EditPreviousBookmark,
        CommandId::EditBookmarks,         CommandId::ViewSplit,        CommandId::ViewSplitSideBySide,
        CommandId::FilterOutputInNewTab,  CommandId::EditAnyway,       CommandId::ViewOverviewStrip,
        CommandId::ViewTimeline,          CommandId::ViewEncodingAuto};
    if (id >= CommandId::ViewEncodingFirst && id <= CommandId::ViewEncodingLast)
        return false;
    return std::ranges::find(laterCommands, id) == std::end(laterCommands);
}
