// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Command numbers shared by the menus, the shortcuts and the toolbar. The numbers are the
// program's own: the settings store keeps the application look as one of them.
namespace CommandId {
constexpr int FileNew = 57600;
constexpr int FileOpen = 57601;
constexpr int FileOpenRotatedSet = 32796;
constexpr int FileOpenMerged = 32860;
constexpr int FileClose = 57602;
constexpr int FileSave = 57603;
constexpr int FileSaveAs = 57604;
constexpr int FilePrintSetup = 57606;
constexpr int FilePrint = 57607;
constexpr int FilePrintPreview = 57609;
constexpr int FileMruFirst = 57616;
constexpr int AppExit = 57665;
constexpr int EditClear = 57632;
constexpr int EditCopy = 57634;
constexpr int EditCut = 57635;
constexpr int EditFind = 57636;
constexpr int EditPaste = 57637;
constexpr int EditRepeat = 57640;
constexpr int EditReplace = 57641;
constexpr int EditSelectAll = 57642;
constexpr int EditUndo = 57643;
constexpr int EditRedo = 57644;
constexpr int EditGoTo = 32780;
constexpr int FilterSettings = 32776;
constexpr int DeleteAllFilters = 32785;
constexpr int WordWrap = 32782;
constexpr int FormatFont = 32784;
constexpr int ViewLineNumbers = 32790;
constexpr int ToggleFilterOutput = 32791;
constexpr int ViewFollow = 32792;
constexpr int EditFindPrevious = 32793;
constexpr int FileOpenCommandOutput = 32794;
constexpr int FileStopCommand = 32795;
constexpr int EditToggleBookmark = 32800;
constexpr int EditNextBookmark = 32801;
constexpr int EditPreviousBookmark = 32802;
constexpr int EditBookmarks = 32803;
constexpr int EditAnyway = 32850;
constexpr int ViewRecords = 32820;
constexpr int FilterOutputInNewTab = 32830;
constexpr int ViewHighlights = 32810;
constexpr int ViewHighlightSelection = 32811;
constexpr int ViewSplit = 32840;
constexpr int ViewSplitSideBySide = 32841;
constexpr int ViewOverviewStrip = 32890;
constexpr int ViewTimeline = 32891;
// View > Encoding: Auto, then one command for each encoding of TextEncodingChoices, in order.
constexpr int ViewEncodingAuto = 32870;
constexpr int ViewEncodingFirst = 32871;
constexpr int ViewEncodingLast = 32885;
constexpr int ViewToolbars = 59392;
constexpr int ViewStatusBar = 59393;
constexpr int AppAbout = 57664;
constexpr int ViewCustomize = 126;
constexpr int WindowManager = 131;
constexpr int NextPane = 57680;
constexpr int PreviousPane = 57681;
constexpr int ObjectProperties = 57860;

constexpr int LookWindows2000 = 205;
constexpr int LookOfficeXP = 206;
constexpr int LookWindowsXP = 207;
constexpr int LookOffice2003 = 208;
constexpr int LookVS2005 = 209;
constexpr int LookVS2008 = 210;
constexpr int LookOffice2007Blue = 215;
constexpr int LookOffice2007Black = 216;
constexpr int LookOffice2007Silver = 217;
constexpr int LookOffice2007Aqua = 218;
constexpr int LookWindows7 = 219;
constexpr int LookFirst = 205;
constexpr int LookLast = 219;
constexpr int LookDefault = LookVS2008;

constexpr int StatusLinePane = 59142;
constexpr int StatusCapsPane = 59137;
constexpr int StatusNumPane = 59138;
constexpr int StatusScrollPane = 59139;
} // namespace CommandId
