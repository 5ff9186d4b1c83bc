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

class CFilteringRun;
class CLastColumnAutoResizingListCtrl;
class COstrelDoc;
class COstrelView;
class ILogWorkspace;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSizeGrip;
class QTimer;
class QTreeWidgetItem;
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
    CLastColumnAutoResizingListCtrl* GetFilterList() const { return m_pFilterList; }
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
    void SetHelpOpener(std::function<bool(const QUrl&)> opener) { m_HelpOpener = std::move(opener); }

    // The dialog's place and size, kept under Workspace from one run to the next.
    void SaveWindowPlacement(QSettings& settings) const;
    bool RestoreWindowPlacement(const QSettings& settings);
    // Shown again, the dialog takes the place and size it had when it was hidden.
    void setVisible(bool bVisible) override;

    // Tips appear this long after the mouse came to rest and wrap at this width.
    static constexpr int ToolTipDelayMs = 2000;
    static constexpr int ToolTipMaxWidth = 200;
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
    void CreateControls();
    void SetTabOrder();
    void SetToolTips();
    void LayoutControls();
    void LayoutFilterGroup();
    void OnActiveLogViewChanged(COstrelView* pView);
    // Apply is enabled while the active document has no run under way.
    void FollowActiveDocumentRun();
    bool HandleReturnKey(QObject* pWatched);
    // A tip asked for by a control or a cell: shown once the mouse has rested long enough.
    bool RequestToolTip(QWidget* pWidget, const QPoint& globalPos, const QString& text);
    void ShowPendingToolTip();
    void CancelPendingToolTip();
    // The whole filter string of the cell at a point of the list, when the cell cuts it off.
    QString GetCellToolTip(const QPoint& viewportPos) const;
    // The expression's parse error under the filter field, while Regular Expression is checked.
    void UpdateFilterError();
    void ShowHelpWindow(const QString& path);
    void SetListButtons(bool bHasFilters);
    void EnableAllListButtons();
    void ResetInputControls();
    int GetSelectionMark() const;
    // The selected row for Edit or Delete; -1 after telling the user there is none.
    int GetChosenRow(const QString& noFilterText, const QString& caption);
    void FillRow(int nRow, const FilterSettings& settings, int nFilter);
    // Whether the row's check box is set (a row without one yet counts as set).
    bool IsRowSwitchedOn(int nRow) const;
    void ShowRowColour(int nRow);
    void ShowRowColour(int nRow, int nColourIndex);
    void ShowRowColours();
    // A click or Space on a row's check box switches its filter on or off.
    void OnFilterItemChanged(QTreeWidgetItem* pItem, int nColumn);

    FilterSettings m_FilterSettings;
    QString m_strFilter;
    bool m_bToolTipsActive = true;
    bool m_bColumnsFitted = false; // set by the first layout with the list shown
    bool m_bFillingRow = false;    // the program, not the user, is changing a row's item
    QRect m_HiddenGeometry;        // where it was when the user hid it; null before
    QString m_strFilterError;
    std::function<bool(const QUrl&)> m_HelpOpener;
    QTimer* m_pToolTipTimer = nullptr;
    QPointer<QWidget> m_pToolTipWidget; // the control whose tip waits for the timer
    QPoint m_ToolTipPos;
    QString m_strToolTip;
    QPointer<QWidget> m_pHelpWindow;
    ILogWorkspace& m_Workspace;
    QMetaObject::Connection m_DocumentPathConnection;
    QMetaObject::Connection m_DocumentRunConnection; // to the active document's run state

    QGroupBox* m_pFilterGroup = nullptr;
    QLabel* m_pFilterLabel = nullptr;
    QLineEdit* m_pFilterEdit = nullptr;
    QLabel* m_pFilterErrorLabel = nullptr;
    QCheckBox* m_pRegExpCheck = nullptr;
    QPushButton* m_pRegExpSyntaxButton = nullptr;
    QCheckBox* m_pCaseSensitiveCheck = nullptr;
    QLineEdit* m_pLinesBeforeEdit = nullptr;
    QLabel* m_pLinesBeforeLabel = nullptr;
    QLineEdit* m_pLinesAfterEdit = nullptr;
    QLabel* m_pLinesAfterLabel = nullptr;
    QPushButton* m_pAddButton = nullptr;
    QLabel* m_pFiltersLabel = nullptr;
    CLastColumnAutoResizingListCtrl* m_pFilterList = nullptr;
    QPushButton* m_pEditButton = nullptr;
    QPushButton* m_pDeleteButton = nullptr;
    QPushButton* m_pCopyAllButton = nullptr;
    QPushButton* m_pPasteAllButton = nullptr;
    QPushButton* m_pDeleteAllButton = nullptr;
    QPushButton* m_pLoadButton = nullptr;
    QPushButton* m_pSaveButton = nullptr;
    QCheckBox* m_pExcludeCheck = nullptr;
    QCheckBox* m_pEnableTooltipsCheck = nullptr;
    QPushButton* m_pApplyButton = nullptr;
    QSizeGrip* m_pSizeGrip = nullptr;
};

// The single filter settings dialog, created by the first Filter Settings command and kept until
// the program ends (it becomes null only when the window that owns it is destroyed).
extern QPointer<CFilterSettingsDlg> g_pFilterSettingsDlg;

// The Filter Settings command: creates the dialog on first use, owned by the workspace's dialog
// owner and loading the active document's filters, and shows it (restoring it when hidden or
// minimised).
void ShowFilterSettingsDialog(ILogWorkspace& workspace);
