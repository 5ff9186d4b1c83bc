// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QDialog>
#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

#include "filtering/FilterSettings.h"
#include "filterui/CDelayedToolTips.h"
#include "filterui/CFilterSettingsControls.h"
#include "filterui/CRegExpSyntaxHelp.h"

class CFilterListRows;
class CFilteringRun;
class CLastColumnAutoResizingListCtrl;
class COstrelDoc;
class COstrelView;
class ILogWorkspace;
class QSettings;
class QUrl;

// The single modeless filter settings dialog. It holds the working filter list, shows it in
// its list control and copies it into the active log document after nearly every change. It
// follows the active log view of its workspace, hidden or not, and lives until the program ends:
// Escape and the close box only hide it.
class CFilterSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CFilterSettingsDlg(ILogWorkspace& workspace, QWidget* pParent = nullptr);
    ~CFilterSettingsDlg() override;

    // The working list's filters become a copy of the source's (the exclude switch stays); the
    // rows and the list buttons are rebuilt. No input control changes.
    void LoadFilterSettings(const FilterSettings& source);
    // The title becomes "Filter Settings (name)".
    void SetDocumentName(const QString& name);
    // Rebuilds every row from the working list and sets the list buttons from its count.
    void RefreshFilterList();
    // The working list's filters replace the active log document's; nothing without one.
    void CopyToActiveDocument();

    // The working list: the filters and the exclude switch that a filtering run uses.
    FilterSettings& GetFilterSettings() { return m_FilterSettings; }
    const FilterSettings& GetFilterSettings() const { return m_FilterSettings; }
    CLastColumnAutoResizingListCtrl* GetFilterList() const { return m_Controls.m_pFilterList; }
    // The filtering run of this dialog; null before the first Apply.
    // The run of the active document under way, or null.
    CFilteringRun* GetFilteringRun() const;
    // Whether Apply excludes the lines that match (the check box); runs made without the dialog
    // take it from here.
    bool GetExcludeMatches() const;
    // The active log document of the workspace this dialog belongs to, or null.
    COstrelDoc* GetActiveDocument() const;
    // Loads the active document's filters and names it in the title; nothing without one.
    void ReloadFromActiveDocument();

    // The regular-expression help document: under the Path setting when it is set, else beside
    // the program (its build folder) or in the installed data folder. Empty when there is none.
    static QString FindRegExpSyntaxHelp();
    // What opens the help document in the desktop's viewer; false when no viewer could be
    // started, and the dialog then shows the document in a window of its own.
    void SetHelpOpener(std::function<bool(const QUrl&)> opener) { m_RegExpHelp.SetOpener(std::move(opener)); }

    // The dialog's place and size, kept under Workspace from one run to the next.
    void SaveWindowPlacement(QSettings& settings) const;
    bool RestoreWindowPlacement(const QSettings& settings);
    // Shown again, the dialog takes the place and size it had when it was hidden.
    void setVisible(bool bVisible) override;

    // Tips appear this long after the mouse came to rest and wrap at this width.
    static constexpr int ToolTipDelayMs = CDelayedToolTips::DelayMs;
    static constexpr int ToolTipMaxWidth = CDelayedToolTips::MaxWidth;
    // A tip as rich text: as wide as its text up to the maximum width, wrapped beyond it. A
    // filter string may break anywhere.
    static QString FormatToolTip(const QString& text, bool bBreakAnywhere = false);

public Q_SLOTS:
    void OnAddFilter();
    void OnEditFilter();
    void OnDeleteFilter();
    void OnDeleteAllFilters();
    void OnCopyAllFilters();
    void OnPasteAllFilters();
    void OnLoadFilters();
    void OnSaveFilters();
    void OnRegExpSyntax();
    void OnEnableTooltips();
    // Filters the active document with the working list: its view shows only the kept lines.
    // With no filters, or every filter off, the whole file is shown again; with no active document nothing happens.
    void OnApplyFilterSettings();

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void ConnectControls();
    void LayoutControls();
    void OnActiveLogViewChanged(COstrelView* pView);
    // Apply is enabled while the active document has no run under way.
    void FollowActiveDocumentRun();
    bool HandleReturnKey(QObject* pWatched);
    // The expression's parse error under the filter field, while Regular Expression is checked.
    void UpdateFilterError();
    void SetListButtons(bool bHasFilters);
    void EnableAllListButtons();
    void ResetInputControls();
    // The selected row for Edit or Delete; -1 after telling the user there is none.
    int GetChosenRow(const QString& noFilterText, const QString& caption);
    void OnRowSwitched(int nRow, bool bOn);
    // Keep Bookmarked Lines shows while the active document has bookmarks or keeps them, with
    // the document's choice; the list makes room for it.
    void UpdateKeepBookmarksRow();

    FilterSettings m_FilterSettings;
    QString m_strFilter;
    bool m_bColumnsFitted = false; // set by the first layout with the list shown
    QRect m_HiddenGeometry;        // where it was when the user hid it; null before
    QString m_strFilterError;
    ILogWorkspace& m_Workspace;
    QMetaObject::Connection m_DocumentPathConnection;
    QMetaObject::Connection m_BookmarksConnection;   // to the active view's bookmark changes
    QMetaObject::Connection m_DocumentRunConnection; // to the active document's run state
    CFilterSettingsControls m_Controls;
    CFilterListRows* m_pRows = nullptr;
    CDelayedToolTips* m_pToolTips = nullptr;
    CRegExpSyntaxHelp m_RegExpHelp;
};

// The single filter settings dialog, created by the first Filter Settings command and kept until
// the program ends (it becomes null only when the window that owns it is destroyed).
extern QPointer<CFilterSettingsDlg> g_pFilterSettingsDlg;

// The Filter Settings command: creates the dialog on first use, owned by the workspace's dialog
// owner and loading the active document's filters, and shows it (restoring it when hidden or
// minimised).
void ShowFilterSettingsDialog(ILogWorkspace& workspace);
