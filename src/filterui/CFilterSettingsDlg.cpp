// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CFilterSettingsDlg.h"

#include <algorithm>
#include <cwctype>

#include <QCheckBox>
#include <QHelpEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>

#include "document/COstrelDoc.h"
#include "filterui/CEditFilterSettingsDlg.h"
#include "filterui/CFilterListRows.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/CWhitespaceFilterDlg.h"
#include "filterui/DecimalText.h"
#include "filterui/FilterClipboard.h"
#include "filterui/FilterErrorBox.h"
#include "filterui/FilterFileDialogs.h"
#include "filterui/FilterSettingsLayout.h"
#include "filterui/FilterStringField.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/ILogWorkspace.h"

using namespace Qt::Literals::StringLiterals;

QPointer<CFilterSettingsDlg> g_pFilterSettingsDlg;

namespace {

constexpr int MinimumWidth = 364;
constexpr int MinimumHeight = 507;

const QString PlacementKey = u"Workspace/FilterSettingsDialog"_s;

bool IsWhitespaceOnly(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar ch) { return std::iswspace(static_cast<wint_t>(ch.unicode())) != 0; });
}

} // namespace

CFilterSettingsDlg::CFilterSettingsDlg(ILogWorkspace& workspace, QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      m_Workspace(workspace), m_RegExpHelp(*this)
{
    setObjectName(u"filterSettingsDialog"_s);
    setWindowTitle(u"Filter Settings"_s);
    setModal(false);
    setSizeGripEnabled(false); // the dialog places its own grip
    setMinimumSize(MinimumWidth, MinimumHeight);

    m_pToolTips = new CDelayedToolTips(m_Workspace.GetToolTipsEnabled(), this);
    m_Controls.Create(*this);
    m_pRows = new CFilterListRows(m_Controls.m_pFilterList);
    connect(m_pRows, &CFilterListRows::RowSwitched, this, &CFilterSettingsDlg::OnRowSwitched);
    // Enter and the tips are handled for every control before the control itself sees them;
    // the list's cells have tips of their own.
    for (QWidget* pChild : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        pChild->installEventFilter(this);
    m_Controls.m_pFilterList->viewport()->installEventFilter(this);

    m_Controls.m_pEnableTooltipsCheck->setChecked(m_pToolTips->IsActive());

    m_Controls.m_pPasteAllButton->setEnabled(!g_bFilterClipboardEmpty);
    RefreshFilterList();
    m_Controls.m_pLinesBeforeEdit->setText(u"0"_s);
    m_Controls.m_pLinesAfterEdit->setText(u"0"_s);

    // Connected only now: the "0" above must not empty the active document's filters.
    ConnectControls();

    resize(MinimumWidth, MinimumHeight);
    LayoutControls();
    // The dialog follows the active log view, and the main window's return to the front.
    connect(&m_Workspace.GetSignals(), &CWorkspaceSignals::ActiveLogViewChanged, this,
            &CFilterSettingsDlg::OnActiveLogViewChanged);
    connect(&m_Workspace.GetSignals(), &CWorkspaceSignals::MainWindowActivated, this, [this] {
        if (m_Workspace.GetActiveLogView())
            ReloadFromActiveDocument();
    });
}

CFilterSettingsDlg::~CFilterSettingsDlg()
{
    disconnect(m_DocumentRunConnection);
}

void CFilterSettingsDlg::ConnectControls()
{
    const CFilterSettingsControls& controls = m_Controls;
    connect(controls.m_pAddButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnAddFilter);
    connect(controls.m_pEditButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnEditFilter);
    connect(controls.m_pDeleteButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnDeleteFilter);
    connect(controls.m_pCopyAllButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnCopyAllFilters);
    connect(controls.m_pPasteAllButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnPasteAllFilters);
    connect(controls.m_pDeleteAllButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnDeleteAllFilters);
    connect(controls.m_pLoadButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnLoadFilters);
    connect(controls.m_pSaveButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnSaveFilters);
    connect(controls.m_pApplyButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnApplyFilterSettings);
    connect(controls.m_pRegExpSyntaxButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnRegExpSyntax);
    connect(controls.m_pEnableTooltipsCheck, &QCheckBox::clicked, this, &CFilterSettingsDlg::OnEnableTooltips);
    connect(controls.m_pCaseSensitiveCheck, &QCheckBox::clicked, this, &CFilterSettingsDlg::CopyToActiveDocument);
    connect(controls.m_pLinesBeforeEdit, &QLineEdit::textChanged, this, &CFilterSettingsDlg::CopyToActiveDocument);
    connect(controls.m_pLinesAfterEdit, &QLineEdit::textChanged, this, &CFilterSettingsDlg::CopyToActiveDocument);
    connect(controls.m_pExcludeCheck, &QCheckBox::clicked, this, [this](bool bChecked) {
        m_FilterSettings.SetExcludeMatches(bChecked);
        CopyToActiveDocument();
    });
    connect(controls.m_pKeepBookmarksCheck, &QCheckBox::clicked, this, [this](bool bChecked) {
        if (COstrelDoc* pDocument = GetActiveDocument())
            pDocument->SetKeepBookmarkedLines(bChecked);
    });
    connect(controls.m_pFilterList, &QTreeWidget::itemDoubleClicked, this, [this] { OnEditFilter(); });
    // The expression is checked as it is typed; Add does not depend on it.
    connect(controls.m_pFilterEdit, &QLineEdit::textChanged, this, &CFilterSettingsDlg::UpdateFilterError);
    connect(controls.m_pRegExpCheck, &QCheckBox::toggled, this, &CFilterSettingsDlg::UpdateFilterError);
    connect(controls.m_pCaseSensitiveCheck, &QCheckBox::toggled, this, &CFilterSettingsDlg::UpdateFilterError);
}

void CFilterSettingsDlg::LayoutControls()
{
    const FilterSettingsLayoutResult result = LayOutFilterSettings(m_Controls, size());
    if (result.ColumnsFitted)
        m_bColumnsFitted = true;
    // The error line is cut to its new width.
    if (result.LaidOut)
        UpdateFilterError();
}

void CFilterSettingsDlg::UpdateFilterError()
{
    const QString text = m_Controls.m_pFilterEdit->text();
    const QString error = m_Controls.m_pRegExpCheck->isChecked() && !text.isEmpty()
                              ? FilterExpressionError(text, m_Controls.m_pCaseSensitiveCheck->isChecked())
                              : QString();
    m_strFilterError = error;
    // A message longer than the line is cut short; its tip holds all of it.
    QLabel* pLabel = m_Controls.m_pFilterErrorLabel;
    const QString shown = pLabel->fontMetrics().elidedText(error, Qt::ElideRight, pLabel->width());
    pLabel->setText(shown);
    pLabel->setToolTip(shown == error ? QString() : error);
}

void CFilterSettingsDlg::resizeEvent(QResizeEvent* pEvent)
{
    QDialog::resizeEvent(pEvent);
    LayoutControls();
}

void CFilterSettingsDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    // The list knows its client width only once it is shown. Showing the dialog again keeps the
    // widths the user gave the columns; only a change of size lays them out again.
    if (!m_bColumnsFitted)
        LayoutControls();
}

void CFilterSettingsDlg::hideEvent(QHideEvent* pEvent)
{
    // A window minimised with the main window is hidden by the system: its place is unchanged.
    if (!pEvent->spontaneous())
        m_HiddenGeometry = geometry();
    QDialog::hideEvent(pEvent);
}

void CFilterSettingsDlg::setVisible(bool bVisible)
{
    // The client area's place, not the frame's: the window manager's frame is not known before
    // the window is mapped, and a dialog centred again over its owner (as QDialog does while it
    // was never moved by the program) or placed by its frame lands a title bar lower each time.
    if (bVisible && !isVisible() && m_HiddenGeometry.isValid())
        setGeometry(m_HiddenGeometry);
    QDialog::setVisible(bVisible);
}

void CFilterSettingsDlg::SaveWindowPlacement(QSettings& settings) const
{
    settings.setValue(PlacementKey, saveGeometry());
}

bool CFilterSettingsDlg::RestoreWindowPlacement(const QSettings& settings)
{
    const QByteArray placement = settings.value(PlacementKey).toByteArray();
    return !placement.isEmpty() && restoreGeometry(placement);
}

void CFilterSettingsDlg::OnActiveLogViewChanged(COstrelView* pView)
{
    FollowActiveDocumentRun();
    if (pView) {
        ReloadFromActiveDocument();
        return;
    }
    disconnect(m_BookmarksConnection);
    UpdateKeepBookmarksRow();
}

void CFilterSettingsDlg::ReloadFromActiveDocument()
{
    FollowActiveDocumentRun();
    disconnect(m_DocumentPathConnection);
    disconnect(m_BookmarksConnection);
    UpdateKeepBookmarksRow();
    COstrelDoc* pDocument = GetActiveDocument();
    if (!pDocument)
        return;
    if (COstrelView* pView = pDocument->GetView())
        m_BookmarksConnection =
            connect(pView, &COstrelView::BookmarksChanged, this, &CFilterSettingsDlg::UpdateKeepBookmarksRow);
    LoadFilterSettings(pDocument->GetFilterSettings());
    SetDocumentName(QString::fromStdU16String(pDocument->GetFilterSettings().GetFileName()));
    // Save As gives the document a new name while it stays active.
    m_DocumentPathConnection = connect(pDocument, &COstrelDoc::PathNameChanged, this, [this, pDocument] {
        if (GetActiveDocument() == pDocument)
            SetDocumentName(QString::fromStdU16String(pDocument->GetFilterSettings().GetFileName()));
    });
}

void CFilterSettingsDlg::UpdateKeepBookmarksRow()
{
    const COstrelDoc* pDocument = GetActiveDocument();
    const bool bKeep = pDocument && pDocument->GetKeepBookmarkedLines();
    const bool bShown = pDocument && (bKeep || !pDocument->GetBookmarks().Empty());
    QCheckBox* pCheck = m_Controls.m_pKeepBookmarksCheck;
    pCheck->setChecked(bKeep);
    if (pCheck->isHidden() == !bShown)
        return;
    pCheck->setVisible(bShown);
    // Hidden, it is out of the tab order too, which is then the dialog's as it always was.
    pCheck->setFocusPolicy(bShown ? Qt::StrongFocus : Qt::NoFocus);
    LayoutControls();
}

COstrelDoc* CFilterSettingsDlg::GetActiveDocument() const
{
    return m_Workspace.GetActiveLogDocument();
}

void CFilterSettingsDlg::LoadFilterSettings(const FilterSettings& source)
{
    if (&source != &m_FilterSettings)
        m_FilterSettings.CopyFiltersFrom(source);
    RefreshFilterList();
}

void CFilterSettingsDlg::SetDocumentName(const QString& name)
{
    setWindowTitle(u"Filter Settings ("_s % name % u')');
}

void CFilterSettingsDlg::CopyToActiveDocument()
{
    if (COstrelDoc* pDocument = GetActiveDocument())
        pDocument->GetFilterSettings().CopyFiltersFrom(m_FilterSettings);
}

void CFilterSettingsDlg::OnRowSwitched(int nRow, bool bOn)
{
    if (nRow >= m_FilterSettings.GetCount() || bOn == m_FilterSettings.GetEnabled(nRow))
        return;
    // Switching a filter is an edit of the list like any other: the document takes it at once.
    m_FilterSettings.SetEnabled(nRow, bOn);
    m_pRows->ShowColours();
    CopyToActiveDocument();
}

void CFilterSettingsDlg::RefreshFilterList()
{
    m_pRows->Refresh(m_FilterSettings);
    SetListButtons(m_FilterSettings.GetCount() > 0);
}

void CFilterSettingsDlg::SetListButtons(bool bHasFilters)
{
    const CFilterSettingsControls& controls = m_Controls;
    for (QPushButton* pButton : {controls.m_pEditButton, controls.m_pDeleteButton, controls.m_pCopyAllButton,
                                 controls.m_pDeleteAllButton, controls.m_pSaveButton})
        pButton->setEnabled(bHasFilters);
    controls.m_pPasteAllButton->setEnabled(!g_bFilterClipboardEmpty);
    controls.m_pLoadButton->setEnabled(true);
}

void CFilterSettingsDlg::EnableAllListButtons()
{
    const CFilterSettingsControls& controls = m_Controls;
    for (QPushButton* pButton :
         {controls.m_pEditButton, controls.m_pDeleteButton, controls.m_pCopyAllButton, controls.m_pPasteAllButton,
          controls.m_pDeleteAllButton, controls.m_pLoadButton, controls.m_pSaveButton})
        pButton->setEnabled(true);
}

void CFilterSettingsDlg::ResetInputControls()
{
    m_Controls.m_pFilterEdit->clear();
    m_Controls.m_pRegExpCheck->setChecked(false);
    m_Controls.m_pCaseSensitiveCheck->setChecked(false);
    m_Controls.m_pExcludeCheck->setChecked(false);
    m_Controls.m_pLinesBeforeEdit->setText(u"0"_s);
    m_Controls.m_pLinesAfterEdit->setText(u"0"_s);
}

int CFilterSettingsDlg::GetChosenRow(const QString& noFilterText, const QString& caption)
{
    if (m_pRows->GetCount() == 0) {
        ShowFilterErrorMessage(this, noFilterText, caption);
        return -1;
    }
    const int nRow = m_pRows->GetSelectedRow();
    if (nRow < 0)
        ShowFilterErrorMessage(this, u"No Filter Selected"_s, caption);
    return nRow;
}

void CFilterSettingsDlg::OnAddFilter()
{
    const QString text = m_Controls.m_pFilterEdit->text();
    if (text.isEmpty()) {
        ShowFilterErrorMessage(this, u"Filter String is Empty - Nothing to Add"_s, u"Add Filter Error"_s);
        return;
    }
    // A full list would ignore the add, and the settings below would land on its last filter.
    if (m_FilterSettings.GetCount() >= FilterSettings::MaxFilters) {
        ShowFilterErrorMessage(this, u"The filter list is full (%1 filters)."_s.arg(FilterSettings::MaxFilters),
                               u"Add Filter Error"_s);
        return;
    }
    m_strFilter = text;
    if (g_bPromptWhitespaceFilter && IsWhitespaceOnly(m_strFilter)) {
        CWhitespaceFilterDlg prompt(this);
        if (prompt.exec() != QDialog::Accepted)
            return;
        if (prompt.m_bDontPrompt)
            g_bPromptWhitespaceFilter = false;
    }

    const bool bRegExp = m_Controls.m_pRegExpCheck->isChecked();
    m_FilterSettings.AddFilter(m_strFilter.toStdU16String(), bRegExp ? 1 : 0);
    const int nFilter = m_FilterSettings.GetCount() - 1;
    m_Controls.m_pFilterEdit->clear();
    m_strFilter.clear();
    m_FilterSettings.SetCaseSensitive(nFilter, m_Controls.m_pCaseSensitiveCheck->isChecked());
    m_FilterSettings.SetOutputBeforeMatch(nFilter, ConvertDecimalText(m_Controls.m_pLinesBeforeEdit->text()));
    m_FilterSettings.SetOutputAfterMatch(nFilter, ConvertDecimalText(m_Controls.m_pLinesAfterEdit->text()));
    m_pRows->Append(m_FilterSettings, nFilter);
    CopyToActiveDocument();
    EnableAllListButtons();
    m_Controls.m_pPasteAllButton->setEnabled(!g_bFilterClipboardEmpty);
}

void CFilterSettingsDlg::OnEditFilter()
{
    const int nRow = GetChosenRow(u"No Filter To Edit"_s, u"Edit Filter Error"_s);
    if (nRow < 0)
        return;
    const CFilterRowCells cells = m_pRows->ReadRow(nRow);
    CEditFilterSettingsDlg editor(this);
    editor.m_strFilter = cells.Filter;
    editor.m_bRegExp = cells.RegExp;
    editor.m_bCaseSensitive = cells.CaseSensitive;
    editor.m_nLinesBefore = cells.LinesBefore;
    editor.m_nLinesAfter = cells.LinesAfter;
    if (editor.exec() != QDialog::Accepted)
        return;

    m_FilterSettings.SetFilter(nRow, editor.m_strFilter.toStdU16String(), editor.m_bRegExp ? 1 : 0);
    m_FilterSettings.SetCaseSensitive(nRow, editor.m_bCaseSensitive);
    m_FilterSettings.SetOutputBeforeMatch(nRow, editor.m_nLinesBefore);
    m_FilterSettings.SetOutputAfterMatch(nRow, editor.m_nLinesAfter);
    m_pRows->Fill(nRow, m_FilterSettings, nRow);
    CopyToActiveDocument();
}

void CFilterSettingsDlg::OnDeleteFilter()
{
    const int nRow = GetChosenRow(u"No Filter To Delete"_s, u"Delete Filter Error"_s);
    if (nRow < 0)
        return;
    m_pRows->Remove(nRow);
    m_FilterSettings.DeleteFilter(nRow);
    CopyToActiveDocument();
    if (m_FilterSettings.GetCount() == 0)
        SetListButtons(false);
}

void CFilterSettingsDlg::OnDeleteAllFilters()
{
    ResetInputControls();
    m_FilterSettings.ClearFilters();
    RefreshFilterList();
    CopyToActiveDocument();
    SetListButtons(false);
}

void CFilterSettingsDlg::OnCopyAllFilters()
{
    g_FilterClipboard.CopyFiltersFrom(m_FilterSettings);
    g_bFilterClipboardEmpty = false;
    m_Controls.m_pPasteAllButton->setEnabled(true);
}

void CFilterSettingsDlg::OnPasteAllFilters()
{
    ResetInputControls();
    m_FilterSettings.CopyFiltersFrom(g_FilterClipboard);
    RefreshFilterList();
    EnableAllListButtons();
}

void CFilterSettingsDlg::OnLoadFilters()
{
    FilterSettings loaded;
    if (!LoadFiltersFromChosenFile(this, loaded))
        return;
    LoadFilterSettings(loaded);
    // A saved filter set comes back as it was saved, its exclude switch included.
    m_FilterSettings.SetExcludeMatches(loaded.GetExcludeMatches());
    m_Controls.m_pExcludeCheck->setChecked(loaded.GetExcludeMatches());
    CopyToActiveDocument();
    EnableAllListButtons();
}

void CFilterSettingsDlg::OnSaveFilters()
{
    SaveFiltersToChosenFile(this, m_FilterSettings);
}

QString CFilterSettingsDlg::FindRegExpSyntaxHelp()
{
    return CRegExpSyntaxHelp::Find();
}

void CFilterSettingsDlg::OnRegExpSyntax()
{
    m_RegExpHelp.Show();
}

void CFilterSettingsDlg::OnEnableTooltips()
{
    m_pToolTips->SetActive(m_Controls.m_pEnableTooltipsCheck->isChecked());
    m_Workspace.SetToolTipsEnabled(m_pToolTips->IsActive());
}

void CFilterSettingsDlg::OnApplyFilterSettings()
{
    m_Controls.m_pFilterEdit->clear();
    COstrelDoc* pDocument = GetActiveDocument();
    if (!pDocument || !pDocument->GetView())
        return;
    CopyToActiveDocument();
    m_FilterSettings.SetExcludeMatches(m_Controls.m_pExcludeCheck->isChecked());
    // The document runs it; Apply waits while it does (FollowActiveDocumentRun).
    pDocument->ApplyFilters(m_FilterSettings);
}

bool CFilterSettingsDlg::GetExcludeMatches() const
{
    return m_Controls.m_pExcludeCheck->isChecked();
}

CFilteringRun* CFilterSettingsDlg::GetFilteringRun() const
{
    COstrelDoc* pDocument = GetActiveDocument();
    return pDocument ? pDocument->GetFilteringRun() : nullptr;
}

void CFilterSettingsDlg::FollowActiveDocumentRun()
{
    disconnect(m_DocumentRunConnection);
    COstrelDoc* pDocument = GetActiveDocument();
    m_Controls.m_pApplyButton->setEnabled(!pDocument || !pDocument->IsFiltering());
    if (pDocument)
        m_DocumentRunConnection =
            connect(pDocument, &COstrelDoc::FilteringChanged, this, [this, pDocument](bool running) {
                if (GetActiveDocument() == pDocument)
                    m_Controls.m_pApplyButton->setEnabled(!running);
            });
}

bool CFilterSettingsDlg::HandleReturnKey(QObject* pWatched)
{
    if (pWatched == m_Controls.m_pFilterEdit) {
        OnAddFilter();
        return true;
    }
    focusNextChild();
    return true;
}

QString CFilterSettingsDlg::FormatToolTip(const QString& text, bool bBreakAnywhere)
{
    return CDelayedToolTips::Format(text, bBreakAnywhere);
}

bool CFilterSettingsDlg::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    QWidget* pCells = m_Controls.m_pFilterList->viewport();
    switch (pEvent->type()) {
    case QEvent::KeyPress: {
        m_pToolTips->CancelPending();
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter)
            return HandleReturnKey(pWatched);
        break;
    }
    case QEvent::ToolTip:
        if (pWatched == pCells) {
            const auto* pHelp = static_cast<QHelpEvent*>(pEvent);
            m_pToolTips->Request(pCells, pHelp->globalPos(), m_pRows->GetCellToolTip(pHelp->pos()), true);
            return true;
        }
        if (pWatched->isWidgetType()) {
            auto* pWidget = static_cast<QWidget*>(pWatched);
            if (pWidget->toolTip().isEmpty())
                return false;
            m_pToolTips->Request(pWidget, static_cast<QHelpEvent*>(pEvent)->globalPos(), pWidget->toolTip(), false);
            return true;
        }
        break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
        if (pWatched == m_pToolTips->GetPendingWidget())
            m_pToolTips->CancelPending();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void CFilterSettingsDlg::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void ShowFilterSettingsDialog(ILogWorkspace& workspace)
{
    if (!g_pFilterSettingsDlg) {
        g_pFilterSettingsDlg = new CFilterSettingsDlg(workspace, workspace.GetDialogOwner());
        // Where the user left it at the end of the last run; else centred over its owner.
        g_pFilterSettingsDlg->RestoreWindowPlacement(COstrelSettings());
        g_pFilterSettingsDlg->ReloadFromActiveDocument();
    }
    g_pFilterSettingsDlg->show();
    g_pFilterSettingsDlg->setWindowState(g_pFilterSettingsDlg->windowState() & ~Qt::WindowMinimized);
    g_pFilterSettingsDlg->raise();
    g_pFilterSettingsDlg->activateWindow();
}
