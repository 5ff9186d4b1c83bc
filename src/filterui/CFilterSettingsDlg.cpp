// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CFilterSettingsDlg.h"

#include <algorithm>
#include <cwctype>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QSettings>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include "document/COstrelDoc.h"
#include "filtering/FilterSettingsFile.h"
#include "filtering/TextCodec.h"
#include "filterui/CEditFilterSettingsDlg.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/CWhitespaceFilterDlg.h"
#include "filterui/DecimalText.h"
#include "filterui/FilterClipboard.h"
#include "filterui/FilterFileEnd.h"
#include "filterui/FilterStringField.h"
#include "regex/Regex.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/FilterColours.h"
#include "view/ILogWorkspace.h"

using namespace Qt::Literals::StringLiterals;

QPointer<CFilterSettingsDlg> g_pFilterSettingsDlg;

namespace {
enum FilterColumn
{
    ColumnFilter = 0,
    ColumnRegExp = 1,
    ColumnCaseSensitive = 2,
    ColumnLinesBefore = 3,
    ColumnLinesAfter = 4,
};

// The list's fixed columns, and what column 0 leaves them.
constexpr int FixedColumnWidth = 30;
constexpr int FixedColumnsWidth = 4 * FixedColumnWidth;

// Below this client size the controls stay where they are (this includes minimising).
constexpr int LayoutMinWidth = 344;
constexpr int LayoutMinHeight = 439;
constexpr int MinimumWidth = 364;
constexpr int MinimumHeight = 507;
constexpr int SizeGripSize = 10;

// Tips stay this long.
constexpr int ToolTipDisplayMs = 20000;

const QString PlacementKey = u"Workspace/FilterSettingsDialog"_s;

// The controls that the resize layout does not move stand where the original form put them, in
// its units of a quarter of an average character width and an eighth of a character height.
QRect FormRect(int x, int y, int nWidth, int nHeight)
{
    const auto toX = [](int n) { return (n * 3 + 1) / 2; };
    const auto toY = [](int n) { return (n * 13 + 4) / 8; };
    return {toX(x), toY(y), toX(nWidth), toY(nHeight)};
}

// A rectangle no smaller than the control needs to show its whole text.
QRect FitText(QWidget* pWidget, QRect rect)
{
    const QSize hint = pWidget->sizeHint();
    rect.setWidth(std::max(rect.width(), hint.width()));
    rect.setHeight(std::max(rect.height(), hint.height()));
    return rect;
}

QString YesNoCell(bool bYes)
{
    return bYes ? u"X"_s : u"-"_s;
}

// Messages and file dialogs belong to the filter dialog, so that closing them gives the activation
// back to it and not to the main window, whose activation would reload the document's filters.
void ShowErrorMessage(QWidget* pOwner, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, pOwner);
    box.setObjectName(u"filterErrorBox"_s);
    box.exec();
}

bool IsWhitespaceOnly(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar ch) { return std::iswspace(static_cast<wint_t>(ch.unicode())) != 0; });
}

QLineEdit* CreateNumberField(QWidget* pParent, const QString& name)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(name);
    pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), pEdit));
    return pEdit;
}

QPushButton* CreateButton(QWidget* pParent, const QString& text, const QString& name)
{
    auto* pButton = new QPushButton(text, pParent);
    pButton->setObjectName(name);
    // Enter moves the focus on; it never presses a button.
    pButton->setAutoDefault(false);
    pButton->setDefault(false);
    return pButton;
}

QCheckBox* CreateCheckBox(QWidget* pParent, const QString& text, const QString& name)
{
    auto* pCheck = new QCheckBox(text, pParent);
    pCheck->setObjectName(name);
    return pCheck;
}

QLabel* CreateLabel(QWidget* pParent, const QString& text, const QString& name)
{
    auto* pLabel = new QLabel(text, pParent);
    pLabel->setObjectName(name);
    return pLabel;
}

// Asks for a filter settings file to load or save; empty when the user cancels.
QString AskForFilterFile(QWidget* pOwner, const QString& objectName, const QString& title, bool bSave)
{
    QFileDialog fileDialog(pOwner);
    fileDialog.setObjectName(objectName);
    fileDialog.setWindowTitle(title);
    fileDialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    fileDialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    fileDialog.setNameFilters({u"Filter Files (*.flt)"_s, u"All Files (*)"_s});
    fileDialog.setDefaultSuffix(u"flt"_s);
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty())
        return QString();
    return fileDialog.selectedFiles().constFirst();
}

} // namespace

CFilterSettingsDlg::CFilterSettingsDlg(ILogWorkspace& workspace, QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      m_Workspace(workspace)
{
    setObjectName(u"filterSettingsDialog"_s);
    setWindowTitle(u"Filter Settings"_s);
    setModal(false);
    setSizeGripEnabled(false); // the dialog places its own grip
    setMinimumSize(MinimumWidth, MinimumHeight);

    m_HelpOpener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    m_pToolTipTimer = new QTimer(this);
    m_pToolTipTimer->setObjectName(u"toolTipTimer"_s);
    m_pToolTipTimer->setSingleShot(true);
    connect(m_pToolTipTimer, &QTimer::timeout, this, &CFilterSettingsDlg::ShowPendingToolTip);

    CreateControls();
    SetTabOrder();
    SetToolTips();

    m_bToolTipsActive = m_Workspace.GetToolTipsEnabled();
    m_pEnableTooltipsCheck->setChecked(m_bToolTipsActive);

    m_pPasteAllButton->setEnabled(!g_bFilterClipboardEmpty);
    RefreshFilterList();
    m_pLinesBeforeEdit->setText(u"0"_s);
    m_pLinesAfterEdit->setText(u"0"_s);

    // Connected only now: the "0" above must not empty the active document's filters.
    connect(m_pAddButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnAddFilter);
    connect(m_pEditButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnEditFilter);
    connect(m_pDeleteButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnDeleteFilter);
    connect(m_pCopyAllButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnCopyAllFilters);
    connect(m_pPasteAllButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnPasteAllFilters);
    connect(m_pDeleteAllButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnDeleteAllFilters);
    connect(m_pLoadButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnLoadFilters);
    connect(m_pSaveButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnSaveFilters);
    connect(m_pApplyButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnApplyFilterSettings);
    connect(m_pRegExpSyntaxButton, &QPushButton::clicked, this, &CFilterSettingsDlg::OnRegExpSyntax);
    connect(m_pEnableTooltipsCheck, &QCheckBox::clicked, this, &CFilterSettingsDlg::OnEnableTooltips);
    connect(m_pCaseSensitiveCheck, &QCheckBox::clicked, this, &CFilterSettingsDlg::CopyToActiveDocument);
    connect(m_pLinesBeforeEdit, &QLineEdit::textChanged, this, &CFilterSettingsDlg::CopyToActiveDocument);
    connect(m_pLinesAfterEdit, &QLineEdit::textChanged, this, &CFilterSettingsDlg::CopyToActiveDocument);
    connect(m_pExcludeCheck, &QCheckBox::clicked, this, [this](bool bChecked) {
        m_FilterSettings.SetExcludeMatches(bChecked);
        CopyToActiveDocument();
    });
    connect(m_pFilterList, &QTreeWidget::itemDoubleClicked, this, [this] { OnEditFilter(); });
    // The expression is checked as it is typed; Add does not depend on it.
    connect(m_pFilterEdit, &QLineEdit::textChanged, this, &CFilterSettingsDlg::UpdateFilterError);
    connect(m_pRegExpCheck, &QCheckBox::toggled, this, &CFilterSettingsDlg::UpdateFilterError);
    connect(m_pCaseSensitiveCheck, &QCheckBox::toggled, this, &CFilterSettingsDlg::UpdateFilterError);

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

void CFilterSettingsDlg::CreateControls()
{
    m_pFilterGroup = new QGroupBox(this);
    m_pFilterGroup->setObjectName(u"filterGroupBox"_s);
    m_pFilterEdit = new QLineEdit(this);
    KeepFilterStringSavable(m_pFilterEdit);
    m_pFilterEdit->setObjectName(u"filterStringEdit"_s);
    m_pFilterErrorLabel = CreateLabel(this, QString(), u"filterErrorLabel"_s);
    QFont errorFont = m_pFilterErrorLabel->font();
    errorFont.setPointSizeF(errorFont.pointSizeF() * 0.9);
    m_pFilterErrorLabel->setFont(errorFont);
    QPalette errorPalette = m_pFilterErrorLabel->palette();
    const bool bDark = errorPalette.color(QPalette::Window).lightness() < 128;
    errorPalette.setColor(QPalette::WindowText, bDark ? QColor(255, 120, 120) : QColor(192, 0, 0));
    m_pFilterErrorLabel->setPalette(errorPalette);
    m_pRegExpCheck = CreateCheckBox(this, u"Regular Expression Filter"_s, u"regExpCheck"_s);
    m_pCaseSensitiveCheck = CreateCheckBox(this, u"Case-Sensitive Filter"_s, u"caseSensitiveCheck"_s);
    m_pLinesBeforeEdit = CreateNumberField(this, u"linesBeforeEdit"_s);
    m_pLinesAfterEdit = CreateNumberField(this, u"linesAfterEdit"_s);
    m_pAddButton = CreateButton(this, u"Add Filter"_s, u"addFilterButton"_s);
    m_pEditButton = CreateButton(this, u"Edit Filter"_s, u"editFilterButton"_s);
    m_pDeleteButton = CreateButton(this, u"Delete Filter"_s, u"deleteFilterButton"_s);
    m_pCopyAllButton = CreateButton(this, u"Copy All Filters"_s, u"copyAllButton"_s);
    m_pPasteAllButton = CreateButton(this, u"Paste All Filters"_s, u"pasteAllButton"_s);
    m_pDeleteAllButton = CreateButton(this, u"Delete All Filters"_s, u"deleteAllButton"_s);
    m_pLoadButton = CreateButton(this, u"Load Filters"_s, u"loadFiltersButton"_s);
    m_pSaveButton = CreateButton(this, u"Save Filters"_s, u"saveFiltersButton"_s);
    m_pExcludeCheck = CreateCheckBox(this, u"Exclude Lines That Match Filters"_s, u"excludeCheck"_s);
    m_pApplyButton = CreateButton(this, u"Apply Filter Settings to Document"_s, u"applyButton"_s);
    m_pLinesBeforeLabel = CreateLabel(this, u"Number of Lines to Output Before Filter Match"_s, u"linesBeforeLabel"_s);
    m_pLinesAfterLabel = CreateLabel(this, u"Number of Lines to Output After Filter Match"_s, u"linesAfterLabel"_s);
    m_pFiltersLabel = CreateLabel(this, u"Filters"_s, u"filtersLabel"_s);
    m_pFilterLabel = CreateLabel(this, u"Filter"_s, u"filterLabel"_s);
    m_pFilterList = new CLastColumnAutoResizingListCtrl(this);
    // A filter's colour goes with its place among the filters that are on: rows that move, go or
    // are switched recolour the rest.
    const auto recolour = [this] { ShowRowColours(); };
    connect(m_pFilterList->model(), &QAbstractItemModel::rowsRemoved, this, recolour);
    connect(m_pFilterList->model(), &QAbstractItemModel::rowsMoved, this, recolour);
    connect(m_pFilterList->model(), &QAbstractItemModel::rowsInserted, this, recolour);
    connect(m_pFilterList, &QTreeWidget::itemChanged, this, &CFilterSettingsDlg::OnFilterItemChanged);
    m_pFilterList->setObjectName(u"filterList"_s);
    m_pRegExpSyntaxButton = CreateButton(this, u"RegExp Syntax"_s, u"regExpSyntaxButton"_s);
    m_pEnableTooltipsCheck = CreateCheckBox(this, u"Enable Tooltips"_s, u"enableTooltipsCheck"_s);
    m_pSizeGrip = new QSizeGrip(this);
    m_pSizeGrip->setObjectName(u"sizeGrip"_s);

    m_pFilterGroup->lower();
    m_pLinesBeforeLabel->setBuddy(m_pLinesBeforeEdit);
    m_pLinesAfterLabel->setBuddy(m_pLinesAfterEdit);
    m_pFilterLabel->setBuddy(m_pFilterEdit);
    m_pFiltersLabel->setBuddy(m_pFilterList);

    m_pFilterList->setHeaderLabels({u"Filter"_s, u"RE"_s, u"CS"_s, u"OB"_s, u"OA"_s});
    m_pFilterList->header()->setDefaultAlignment(Qt::AlignCenter);
    for (int nColumn = ColumnRegExp; nColumn <= ColumnLinesAfter; ++nColumn)
        m_pFilterList->setColumnWidth(nColumn, FixedColumnWidth);

    for (QPushButton* pButton :
         {m_pEditButton, m_pDeleteButton, m_pCopyAllButton, m_pPasteAllButton, m_pDeleteAllButton, m_pSaveButton})
        pButton->setEnabled(false);

    // Enter and the tips are handled for every control before the control itself sees them;
    // the list's cells have tips of their own.
    for (QWidget* pChild : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        pChild->installEventFilter(this);
    m_pFilterList->viewport()->installEventFilter(this);
}

void CFilterSettingsDlg::SetTabOrder()
{
    QWidget* const order[] = {m_pFilterEdit,         m_pRegExpCheck,        m_pCaseSensitiveCheck, m_pLinesBeforeEdit,
                              m_pLinesAfterEdit,     m_pAddButton,          m_pEditButton,         m_pDeleteButton,
                              m_pCopyAllButton,      m_pPasteAllButton,     m_pDeleteAllButton,    m_pLoadButton,
                              m_pSaveButton,         m_pExcludeCheck,       m_pApplyButton,        m_pFilterList,
                              m_pRegExpSyntaxButton, m_pEnableTooltipsCheck};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_pFilterGroup->setFocusPolicy(Qt::NoFocus);
    m_pSizeGrip->setFocusPolicy(Qt::NoFocus);
}

void CFilterSettingsDlg::SetToolTips()
{
    const QString showsBoth =
        u"Filter settings can be copied between documents by pressing the \"Copy All Filters\" button in one "
        "document then switching to another document and pressing the \"Paste All Filters\" button"_s;
    m_pFilterEdit->setToolTip(
        u"This field is used to enter a filter string that can be used to filter a file.  The filter can be a "
        "literal string to match or can be a regular expression (if the Regular Expression Filter checkbox is "
        "selected)"_s);
    m_pRegExpCheck->setToolTip(
        u"This field is used to specify whether or not the filter string is a regular expression"_s);
    m_pCaseSensitiveCheck->setToolTip(
        u"This field is used to specify if the filtering should be performed case-sensitive"_s);
    m_pRegExpSyntaxButton->setToolTip(u"Display regular expression syntax dialog"_s);
    m_pLinesBeforeEdit->setToolTip(u"When a filter match is successful, the number of lines specified in this "
                                   "field before the match will be output"_s);
    m_pLinesAfterEdit->setToolTip(u"When a filter match is successful, the number of lines specified in this "
                                  "field after the match will be output"_s);
    m_pAddButton->setToolTip(u"Add the specified filter settings to the filter list"_s);
    m_pEditButton->setToolTip(u"Edit the settings of the selected filter"_s);
    m_pDeleteButton->setToolTip(u"Delete the selected filter"_s);
    m_pDeleteAllButton->setToolTip(
        u"Delete all of the filters in the filter list.  By pressing this button and then pressing the \"Apply "
        "Filter Settings...\" button, the original unfiltered document will be displayed"_s);
    m_pCopyAllButton->setToolTip(
        u"Copy all of the filter settings in the filter list to a filter settings clipboard.  "_s % showsBoth);
    m_pPasteAllButton->setToolTip(
        u"Paste all of the filter settings in the filter settings clipboard to this documents filter list.  "_s %
        showsBoth);
    m_pExcludeCheck->setToolTip(u"When filtering a document, exclude all lines that match filters and only "
                                "output lines that don't match filters"_s);
    m_pApplyButton->setToolTip(
        u"Apply filter settings specified in the filter list to the current document.\nIf filter settings are "
        "currently applied to a document, the original document can be displayed by pressing the \"Delete All "
        "Filters\" button then pressing this button"_s);
    m_pLoadButton->setToolTip(u"Load filter settings from an external file."_s);
    m_pSaveButton->setToolTip(u"Save filter settings to an external file."_s);
}

void CFilterSettingsDlg::LayoutControls()
{
    const int w = width();
    const int h = height();
    if (w < LayoutMinWidth || h < LayoutMinHeight)
        return;

    LayoutFilterGroup();

    m_pSizeGrip->setGeometry(w - SizeGripSize, h - SizeGripSize, SizeGripSize, SizeGripSize);
    m_pSizeGrip->raise();
    m_pSizeGrip->show();

    // A font whose captions need more room than the layout gives widens the Add button and the
    // button column to the left, taking the room from the filter field and the list.
    const int nAddWidth = std::max(78, m_pAddButton->sizeHint().width());
    int nColumnWidth = 90;
    for (QPushButton* pButton : {m_pEditButton, m_pDeleteButton, m_pCopyAllButton, m_pPasteAllButton,
                                 m_pDeleteAllButton, m_pLoadButton, m_pSaveButton})
        nColumnWidth = std::max(nColumnWidth, pButton->sizeHint().width());

    m_pFilterGroup->setGeometry(10, 5, w - 20, 172);
    m_pFilterEdit->setGeometry(19, 37, w - 116 - (nAddWidth - 78), 23);
    // The parse error stands under the field, as wide as the field and the Add button together.
    m_pFilterErrorLabel->setGeometry(19, 37 + 23 + 1, w - 36, m_pFilterErrorLabel->sizeHint().height());
    UpdateFilterError();
    m_pAddButton->setGeometry(w - 17 - nAddWidth, 36, nAddWidth, 25);
    // Check boxes taller than their row take the room from the bottom of the list.
    const int nCheckHeight =
        std::max({15, m_pExcludeCheck->sizeHint().height(), m_pEnableTooltipsCheck->sizeHint().height()});
    const int nCheckTop = h - 50 - nCheckHeight + 1;
    m_pFilterList->setGeometry(11, 195, w - 114 - (nColumnWidth - 90), std::min(h - 263, nCheckTop - 2 - 195));
    // Column 0 takes what the four narrow columns leave, so the five fill the list exactly.
    if (m_pFilterList->isVisible()) {
        m_pFilterList->setColumnWidth(ColumnFilter, m_pFilterList->viewport()->width() - FixedColumnsWidth);
        for (int nColumn = ColumnRegExp; nColumn <= ColumnLinesAfter; ++nColumn)
            m_pFilterList->setColumnWidth(nColumn, FixedColumnWidth);
        m_bColumnsFitted = true;
    }
    int y = 195;
    for (QPushButton* pButton : {m_pEditButton, m_pDeleteButton, m_pCopyAllButton, m_pPasteAllButton,
                                 m_pDeleteAllButton, m_pLoadButton, m_pSaveButton}) {
        pButton->setGeometry(w - 11 - nColumnWidth, y, nColumnWidth, 28);
        y += pButton == m_pEditButton ? 29 : 30;
    }
    // The two check boxes keep the bottom of their row above Apply; one that needs more room grows
    // upwards, and Enable Tooltips to the left.
    const auto checkRow = [h](QCheckBox* pCheck, QRect rect) {
        const QSize hint = pCheck->sizeHint();
        rect.setHeight(std::max(rect.height(), hint.height()));
        rect.moveBottom(h - 64 + 15 - 1);
        return rect;
    };
    QRect tooltipsRect = checkRow(m_pEnableTooltipsCheck, QRect(w - 101, h - 64, 90, 15));
    tooltipsRect.setLeft(tooltipsRect.right() + 1 -
                         std::max(tooltipsRect.width(), m_pEnableTooltipsCheck->sizeHint().width()));
    m_pEnableTooltipsCheck->setGeometry(tooltipsRect);
    QRect excludeRect = checkRow(m_pExcludeCheck, QRect(12, h - 64, 200, 15));
    excludeRect.setWidth(std::max(excludeRect.width(), m_pExcludeCheck->sizeHint().width()));
    m_pExcludeCheck->setGeometry(excludeRect);
    m_pApplyButton->setGeometry(11, h - 45, w - 20, 33);
}

void CFilterSettingsDlg::LayoutFilterGroup()
{
    // The upper group's rows keep their form's left edges; under the filter field stands the
    // line of its parse error, and the rows below share what room the group has left, in their
    // form's order, each widened where its text needs it.
    m_pFilterLabel->setGeometry(FitText(m_pFilterLabel, FormRect(14, 13, 17, 8)));
    const QRect regExpForm = FitText(m_pRegExpCheck, FormRect(11, 41, 89, 10));
    QRect syntaxRect = FitText(m_pRegExpSyntaxButton, FormRect(107, 39, 58, 14));
    syntaxRect.moveLeft(std::max(syntaxRect.left(), regExpForm.right() + 8));
    const QRect caseForm = FitText(m_pCaseSensitiveCheck, FormRect(11, 56, 81, 10));
    const QRect beforeForm = FormRect(11, 71, 25, 14);
    const QRect afterForm = FormRect(11, 90, 25, 14);

    const int nRowsTop = 37 + 23 + 1 + m_pFilterErrorLabel->sizeHint().height() + 2;
    const int nRowsBottom = 5 + 172 - 6;
    const int nRegExpRow = std::max(regExpForm.height(), syntaxRect.height());
    const int nRows = nRegExpRow + caseForm.height() + beforeForm.height() + afterForm.height();
    const int nGap = std::max(1, (nRowsBottom - nRowsTop - nRows) / 3);
    int y = nRowsTop;
    const auto centreOn = [](QRect rect, int nTop, int nHeight) {
        rect.moveTop(nTop + (nHeight - rect.height()) / 2);
        return rect;
    };
    m_pRegExpCheck->setGeometry(centreOn(regExpForm, y, nRegExpRow));
    m_pRegExpSyntaxButton->setGeometry(centreOn(syntaxRect, y, nRegExpRow));
    y += nRegExpRow + nGap;
    m_pCaseSensitiveCheck->setGeometry(centreOn(caseForm, y, caseForm.height()));
    y += caseForm.height() + nGap;
    const QRect beforeRect = centreOn(beforeForm, y, beforeForm.height());
    y += beforeForm.height() + nGap;
    const QRect afterRect = centreOn(afterForm, y, afterForm.height());
    m_pLinesBeforeEdit->setGeometry(beforeRect);
    m_pLinesAfterEdit->setGeometry(afterRect);
    QRect beforeLabelRect = FitText(m_pLinesBeforeLabel, FormRect(43, 75, 152, 8));
    beforeLabelRect.moveTop(beforeRect.center().y() - beforeLabelRect.height() / 2);
    m_pLinesBeforeLabel->setGeometry(beforeLabelRect);
    QRect afterLabelRect = FitText(m_pLinesAfterLabel, FormRect(43, 93, 147, 8));
    afterLabelRect.moveTop(afterRect.center().y() - afterLabelRect.height() / 2);
    m_pLinesAfterLabel->setGeometry(afterLabelRect);
    m_pFiltersLabel->setGeometry(FitText(m_pFiltersLabel, FormRect(9, 111, 20, 8)));
}

void CFilterSettingsDlg::UpdateFilterError()
{
    QString error;
    const QString text = m_pFilterEdit->text();
    if (m_pRegExpCheck->isChecked() && !text.isEmpty()) {
        // Encoded as a run encodes it, so the message is the one Apply would give.
        Regex regex;
        const std::int32_t code =
            regex.Parse(EncodeText(text.toStdU16String(), LocaleTextEncoding()), m_pCaseSensitiveCheck->isChecked());
        if (code != RegexErrorNone)
            error = QString::fromUtf8(RegexErrorText(code));
    }
    m_strFilterError = error;
    // A message longer than the line is cut short; its tip holds all of it.
    const int nWidth = m_pFilterErrorLabel->width();
    const QString shown = m_pFilterErrorLabel->fontMetrics().elidedText(error, Qt::ElideRight, nWidth);
    m_pFilterErrorLabel->setText(shown);
    m_pFilterErrorLabel->setToolTip(shown == error ? QString() : error);
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
    if (pView)
        ReloadFromActiveDocument();
}

void CFilterSettingsDlg::ReloadFromActiveDocument()
{
    FollowActiveDocumentRun();
    disconnect(m_DocumentPathConnection);
    COstrelDoc* pDocument = GetActiveDocument();
    if (!pDocument)
        return;
    LoadFilterSettings(pDocument->GetFilterSettings());
    SetDocumentName(QString::fromStdU16String(pDocument->GetFilterSettings().GetFileName()));
    // Save As gives the document a new name while it stays active.
    m_DocumentPathConnection = connect(pDocument, &COstrelDoc::PathNameChanged, this, [this, pDocument] {
        if (GetActiveDocument() == pDocument)
            SetDocumentName(QString::fromStdU16String(pDocument->GetFilterSettings().GetFileName()));
    });
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

void CFilterSettingsDlg::FillRow(int nRow, const FilterSettings& settings, int nFilter)
{
    QTreeWidgetItem* pItem = m_pFilterList->topLevelItem(nRow);
    // Filling a row changes its item again and again; none of that is the user's switch.
    const QScopedValueRollback<bool> filling(m_bFillingRow, true);
    pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable);
    pItem->setCheckState(ColumnFilter, settings.GetEnabled(nFilter) ? Qt::Checked : Qt::Unchecked);
    const bool bRegExp = settings.GetRegExp(nFilter) != 0;
    pItem->setText(ColumnFilter, QString::fromStdU16String(settings.GetFilterString(nFilter)));
    pItem->setData(ColumnFilter, CLastColumnAutoResizingListCtrl::ItemDataRole, bRegExp ? 1 : 0);
    pItem->setText(ColumnRegExp, YesNoCell(bRegExp));
    pItem->setText(ColumnCaseSensitive, YesNoCell(settings.GetCaseSensitive(nFilter)));
    pItem->setText(ColumnLinesBefore, FormatDecimal(settings.GetOutputBeforeMatch(nFilter)));
    pItem->setText(ColumnLinesAfter, FormatDecimal(settings.GetOutputAfterMatch(nFilter)));
    for (int nColumn = ColumnRegExp; nColumn <= ColumnLinesAfter; ++nColumn)
        pItem->setTextAlignment(nColumn, Qt::AlignCenter);
    ShowRowColour(nRow);
}

bool CFilterSettingsDlg::IsRowSwitchedOn(int nRow) const
{
    // A row not filled yet has no check box: it counts as on until it has one.
    const QTreeWidgetItem* pItem = m_pFilterList->topLevelItem(nRow);
    return pItem && pItem->data(ColumnFilter, Qt::CheckStateRole).toInt() != static_cast<int>(Qt::Unchecked);
}

void CFilterSettingsDlg::ShowRowColour(int nRow)
{
    int nColourIndex = 0;
    for (int nAbove = 0; nAbove < nRow; ++nAbove)
        nColourIndex += IsRowSwitchedOn(nAbove) ? 1 : 0;
    ShowRowColour(nRow, nColourIndex);
}

void CFilterSettingsDlg::ShowRowColours()
{
    int nColourIndex = 0;
    for (int nRow = 0; nRow < m_pFilterList->topLevelItemCount(); ++nRow) {
        ShowRowColour(nRow, nColourIndex);
        nColourIndex += IsRowSwitchedOn(nRow) ? 1 : 0;
    }
}

void CFilterSettingsDlg::ShowRowColour(int nRow, int nColourIndex)
{
    // The colour that marks the lines this filter keeps, as a swatch before its string. A run
    // numbers only the filters that are on, so they take the colours in turn; one that is off
    // marks nothing and shows a grey swatch.
    QTreeWidgetItem* pItem = m_pFilterList->topLevelItem(nRow);
    if (!pItem)
        return;
    const QScopedValueRollback<bool> filling(m_bFillingRow, true);
    if (!IsRowSwitchedOn(nRow)) {
        pItem->setData(ColumnFilter, Qt::DecorationRole,
                       m_pFilterList->palette().color(QPalette::Disabled, QPalette::Text));
        return;
    }
    const std::uint32_t colour = FilterColour(nColourIndex);
    pItem->setData(ColumnFilter, Qt::DecorationRole,
                   QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                          static_cast<int>((colour >> 16) & 0xFF)));
}

void CFilterSettingsDlg::OnFilterItemChanged(QTreeWidgetItem* pItem, int nColumn)
{
    if (m_bFillingRow || nColumn != ColumnFilter)
        return;
    const int nRow = m_pFilterList->indexOfTopLevelItem(pItem);
    const bool bOn = pItem->checkState(ColumnFilter) != Qt::Unchecked;
    if (nRow < 0 || nRow >= m_FilterSettings.GetCount() || bOn == m_FilterSettings.GetEnabled(nRow))
        return;
    // Switching a filter is an edit of the list like any other: the document takes it at once.
    m_FilterSettings.SetEnabled(nRow, bOn);
    ShowRowColours();
    CopyToActiveDocument();
}

void CFilterSettingsDlg::RefreshFilterList()
{
    m_pFilterList->clear();
    const int nCount = m_FilterSettings.GetCount();
    QList<QTreeWidgetItem*> items;
    items.reserve(nCount);
    for (int i = 0; i < nCount; ++i)
        items.append(new QTreeWidgetItem);
    m_pFilterList->addTopLevelItems(items);
    for (int i = 0; i < nCount; ++i)
        FillRow(i, m_FilterSettings, i);
    SetListButtons(nCount > 0);
}

void CFilterSettingsDlg::SetListButtons(bool bHasFilters)
{
    for (QPushButton* pButton : {m_pEditButton, m_pDeleteButton, m_pCopyAllButton, m_pDeleteAllButton, m_pSaveButton})
        pButton->setEnabled(bHasFilters);
    m_pPasteAllButton->setEnabled(!g_bFilterClipboardEmpty);
    m_pLoadButton->setEnabled(true);
}

void CFilterSettingsDlg::EnableAllListButtons()
{
    for (QPushButton* pButton : {m_pEditButton, m_pDeleteButton, m_pCopyAllButton, m_pPasteAllButton,
                                 m_pDeleteAllButton, m_pLoadButton, m_pSaveButton})
        pButton->setEnabled(true);
}

void CFilterSettingsDlg::ResetInputControls()
{
    m_pFilterEdit->clear();
    m_pRegExpCheck->setChecked(false);
    m_pCaseSensitiveCheck->setChecked(false);
    m_pExcludeCheck->setChecked(false);
    m_pLinesBeforeEdit->setText(u"0"_s);
    m_pLinesAfterEdit->setText(u"0"_s);
}

int CFilterSettingsDlg::GetSelectionMark() const
{
    const QList<QTreeWidgetItem*> selected = m_pFilterList->selectedItems();
    return selected.isEmpty() ? -1 : m_pFilterList->indexOfTopLevelItem(selected.first());
}

int CFilterSettingsDlg::GetChosenRow(const QString& noFilterText, const QString& caption)
{
    if (m_pFilterList->topLevelItemCount() == 0) {
        ShowErrorMessage(this, noFilterText, caption);
        return -1;
    }
    const int nRow = GetSelectionMark();
    if (nRow < 0)
        ShowErrorMessage(this, u"No Filter Selected"_s, caption);
    return nRow;
}

void CFilterSettingsDlg::OnAddFilter()
{
    const QString text = m_pFilterEdit->text();
    if (text.isEmpty()) {
        ShowErrorMessage(this, u"Filter String is Empty - Nothing to Add"_s, u"Add Filter Error"_s);
        return;
    }
    // A full list would ignore the add, and the settings below would land on its last filter.
    if (m_FilterSettings.GetCount() >= FilterSettings::MaxFilters) {
        ShowErrorMessage(this, u"The filter list is full (%1 filters)."_s.arg(FilterSettings::MaxFilters),
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

    const bool bRegExp = m_pRegExpCheck->isChecked();
    m_FilterSettings.AddFilter(m_strFilter.toStdU16String(), bRegExp ? 1 : 0);
    const int nFilter = m_FilterSettings.GetCount() - 1;
    m_pFilterEdit->clear();
    m_strFilter.clear();
    m_FilterSettings.SetCaseSensitive(nFilter, m_pCaseSensitiveCheck->isChecked());
    m_FilterSettings.SetOutputBeforeMatch(nFilter, ConvertDecimalText(m_pLinesBeforeEdit->text()));
    m_FilterSettings.SetOutputAfterMatch(nFilter, ConvertDecimalText(m_pLinesAfterEdit->text()));
    m_pFilterList->addTopLevelItem(new QTreeWidgetItem);
    FillRow(m_pFilterList->topLevelItemCount() - 1, m_FilterSettings, nFilter);
    CopyToActiveDocument();
    EnableAllListButtons();
    m_pPasteAllButton->setEnabled(!g_bFilterClipboardEmpty);
}

void CFilterSettingsDlg::OnEditFilter()
{
    const int nRow = GetChosenRow(u"No Filter To Edit"_s, u"Edit Filter Error"_s);
    if (nRow < 0)
        return;
    QTreeWidgetItem* pItem = m_pFilterList->topLevelItem(nRow);
    CEditFilterSettingsDlg editor(this);
    editor.m_strFilter = pItem->text(ColumnFilter);
    editor.m_bRegExp = pItem->text(ColumnRegExp).contains(u'X');
    editor.m_bCaseSensitive = pItem->text(ColumnCaseSensitive).contains(u'X');
    editor.m_nLinesBefore = ConvertDecimalText(pItem->text(ColumnLinesBefore));
    editor.m_nLinesAfter = ConvertDecimalText(pItem->text(ColumnLinesAfter));
    if (editor.exec() != QDialog::Accepted)
        return;

    m_FilterSettings.SetFilter(nRow, editor.m_strFilter.toStdU16String(), editor.m_bRegExp ? 1 : 0);
    m_FilterSettings.SetCaseSensitive(nRow, editor.m_bCaseSensitive);
    m_FilterSettings.SetOutputBeforeMatch(nRow, editor.m_nLinesBefore);
    m_FilterSettings.SetOutputAfterMatch(nRow, editor.m_nLinesAfter);
    FillRow(nRow, m_FilterSettings, nRow);
    CopyToActiveDocument();
}

void CFilterSettingsDlg::OnDeleteFilter()
{
    const int nRow = GetChosenRow(u"No Filter To Delete"_s, u"Delete Filter Error"_s);
    if (nRow < 0)
        return;
    delete m_pFilterList->takeTopLevelItem(nRow);
    // Nothing stays selected: a second Delete must not remove a row the user has not chosen.
    m_pFilterList->clearSelection();
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
    m_pPasteAllButton->setEnabled(true);
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
    const QString path = AskForFilterFile(this, u"loadFiltersDialog"_s, u"Load Filters"_s, false);
    if (path.isEmpty())
        return;

    FilterSettings loaded;
    const FilterFileResult result = ReadFilterSettingsFile(QFile::encodeName(path).toStdString(), loaded);
    if (!result.Ok()) {
        if (result.Status == FilterFileStatus::IllegalSetting || result.Status == FilterFileStatus::IllegalFormat) {
            ShowErrorMessage(this, QString::fromStdString(result.Message), u"ERROR"_s);
        } else if (result.Status == FilterFileStatus::NoFilters) {
            // A file cut off inside a filter loads nothing: say where it ended.
            if (const std::optional<UnclosedFilter> end = FindUnclosedFilter(path))
                ShowErrorMessage(this, UnclosedFilterMessage(path, *end), u"ERROR"_s);
        }
        return;
    }
    LoadFilterSettings(loaded);
    // A saved filter set comes back as it was saved, its exclude switch included.
    m_FilterSettings.SetExcludeMatches(loaded.GetExcludeMatches());
    m_pExcludeCheck->setChecked(loaded.GetExcludeMatches());
    CopyToActiveDocument();
    EnableAllListButtons();
}

void CFilterSettingsDlg::OnSaveFilters()
{
    const QString path = AskForFilterFile(this, u"saveFiltersDialog"_s, u"Save Filters"_s, true);
    if (path.isEmpty())
        return;

    const FilterFileResult result = WriteFilterSettingsFile(QFile::encodeName(path).toStdString(), m_FilterSettings);
    if (!result.Ok()) {
        // A save that did not happen must not look like one that did.
        const QString message = result.Message.empty() ? u"Error Saving Filter Settings to \"%1\""_s.arg(path)
                                                       : QString::fromStdString(result.Message);
        ShowErrorMessage(this, message, u"Save Filters Error"_s);
    }
}

QString CFilterSettingsDlg::FindRegExpSyntaxHelp()
{
    const QString relative = u"help/RegExpSyntax.html"_s;
    const QString folder = COstrelSettings().value(u"Path"_s).toString();
    if (!folder.isEmpty()) {
        const QString path = QDir(folder).filePath(relative);
        return QFileInfo::exists(path) ? path : QString();
    }
    // Beside the program is where a build puts it; the installed one is in the data folder.
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {programDir.filePath(relative), programDir.filePath(u"../share/ostrel/"_s % relative)}) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"ostrel/"_s % relative);
}

void CFilterSettingsDlg::OnRegExpSyntax()
{
    // A missing help document is not reported.
    const QString path = FindRegExpSyntaxHelp();
    if (path.isEmpty())
        return;
    if (!m_HelpOpener || !m_HelpOpener(QUrl::fromLocalFile(path)))
        ShowHelpWindow(path);
}

void CFilterSettingsDlg::ShowHelpWindow(const QString& path)
{
    // Without a viewer of the desktop the document is shown here, in a window that stays while the
    // dialog does.
    if (!m_pHelpWindow) {
        auto* pWindow = new QWidget(this, Qt::Window);
        pWindow->setObjectName(u"regExpHelpWindow"_s);
        pWindow->setWindowTitle(u"Regular Expression Syntax"_s);
        auto* pBrowser = new QTextBrowser(pWindow);
        pBrowser->setObjectName(u"regExpHelpBrowser"_s);
        pBrowser->setOpenExternalLinks(true);
        auto* pLayout = new QVBoxLayout(pWindow);
        pLayout->setContentsMargins(0, 0, 0, 0);
        pLayout->addWidget(pBrowser);
        pWindow->resize(640, 560);
        m_pHelpWindow = pWindow;
    }
    auto* pBrowser = m_pHelpWindow->findChild<QTextBrowser*>(u"regExpHelpBrowser"_s);
    pBrowser->setSource(QUrl::fromLocalFile(path));
    m_pHelpWindow->show();
    m_pHelpWindow->raise();
    m_pHelpWindow->activateWindow();
}

void CFilterSettingsDlg::OnEnableTooltips()
{
    m_bToolTipsActive = m_pEnableTooltipsCheck->isChecked();
    if (!m_bToolTipsActive) {
        CancelPendingToolTip();
        QToolTip::hideText();
    }
    m_Workspace.SetToolTipsEnabled(m_bToolTipsActive);
}

void CFilterSettingsDlg::OnApplyFilterSettings()
{
    m_pFilterEdit->clear();
    COstrelDoc* pDocument = GetActiveDocument();
    if (!pDocument || !pDocument->GetView())
        return;
    CopyToActiveDocument();
    m_FilterSettings.SetExcludeMatches(m_pExcludeCheck->isChecked());
    // The document runs it; Apply waits while it does (FollowActiveDocumentRun).
    pDocument->ApplyFilters(m_FilterSettings);
}

bool CFilterSettingsDlg::GetExcludeMatches() const
{
    return m_pExcludeCheck->isChecked();
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
    m_pApplyButton->setEnabled(!pDocument || !pDocument->IsFiltering());
    if (pDocument)
        m_DocumentRunConnection =
            connect(pDocument, &COstrelDoc::FilteringChanged, this, [this, pDocument](bool running) {
                if (GetActiveDocument() == pDocument)
                    m_pApplyButton->setEnabled(!running);
            });
}

bool CFilterSettingsDlg::HandleReturnKey(QObject* pWatched)
{
    if (pWatched == m_pFilterEdit) {
        OnAddFilter();
        return true;
    }
    focusNextChild();
    return true;
}

QString CFilterSettingsDlg::FormatToolTip(const QString& text, bool bBreakAnywhere)
{
    const QFontMetrics metrics(QToolTip::font());
    int nWidest = 0;
    for (const QString& line : text.split(u'\n'))
        nWidest = std::max(nWidest, metrics.horizontalAdvance(line));
    // Always rich text, so that a filter string holding markup shows as typed.
    if (nWidest <= ToolTipMaxWidth)
        return u"<p style=\"white-space:pre\">"_s % text.toHtmlEscaped().replace(u'\n', u"<br>"_s) % u"</p>"_s;
    QString wrapped = text;
    if (bBreakAnywhere) {
        // A break opportunity after every character: an expression has few blanks to wrap at.
        QString spaced;
        spaced.reserve(wrapped.size() * 2);
        for (const QChar ch : std::as_const(wrapped)) {
            spaced.append(ch);
            if (!ch.isHighSurrogate())
                spaced.append(QChar(0x200B));
        }
        wrapped = spaced;
    }
    QString html = wrapped.toHtmlEscaped();
    html.replace(u'\n', u"<br>"_s);
    html.replace(u"  "_s, u" &nbsp;"_s);
    return u"<table width=\"%1\"><tr><td>"_s.arg(ToolTipMaxWidth) % html % u"</td></tr></table>"_s;
}

bool CFilterSettingsDlg::RequestToolTip(QWidget* pWidget, const QPoint& globalPos, const QString& text)
{
    if (text.isEmpty()) {
        CancelPendingToolTip();
        QToolTip::hideText();
        return true;
    }
    if (!m_bToolTipsActive)
        return true;
    m_pToolTipWidget = pWidget;
    m_ToolTipPos = globalPos;
    m_strToolTip = text;
    // The event comes once the mouse has rested for the style's delay; the rest of ours follows.
    // Moving on from a tip that shows brings the next one at once.
    const int nWakeUp = pWidget->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, pWidget);
    m_pToolTipTimer->start(QToolTip::isVisible() ? 0 : std::max(0, ToolTipDelayMs - nWakeUp));
    return true;
}

void CFilterSettingsDlg::ShowPendingToolTip()
{
    QWidget* pWidget = m_pToolTipWidget;
    if (!pWidget || !pWidget->isVisible() || !m_bToolTipsActive)
        return;
    const bool bCell = pWidget == m_pFilterList->viewport();
    QToolTip::showText(m_ToolTipPos, FormatToolTip(m_strToolTip, bCell), pWidget, QRect(), ToolTipDisplayMs);
}

void CFilterSettingsDlg::CancelPendingToolTip()
{
    m_pToolTipTimer->stop();
    m_pToolTipWidget = nullptr;
}

QString CFilterSettingsDlg::GetCellToolTip(const QPoint& viewportPos) const
{
    const QModelIndex index = m_pFilterList->indexAt(viewportPos);
    if (!index.isValid() || index.column() != ColumnFilter)
        return QString();
    const QString text = index.data(Qt::DisplayRole).toString();
    // Only a string that its cell cuts off; the cell's text has a margin on either side.
    const int nMargin = m_pFilterList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_pFilterList) + 1;
    const int nRoom = m_pFilterList->visualRect(index).width() - 2 * nMargin;
    return m_pFilterList->fontMetrics().horizontalAdvance(text) > nRoom ? text : QString();
}

bool CFilterSettingsDlg::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    switch (pEvent->type()) {
    case QEvent::KeyPress: {
        CancelPendingToolTip();
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->key() == Qt::Key_Return || pKey->key() == Qt::Key_Enter)
            return HandleReturnKey(pWatched);
        break;
    }
    case QEvent::ToolTip:
        if (pWatched == m_pFilterList->viewport()) {
            const auto* pHelp = static_cast<QHelpEvent*>(pEvent);
            return RequestToolTip(m_pFilterList->viewport(), pHelp->globalPos(), GetCellToolTip(pHelp->pos()));
        }
        if (pWatched->isWidgetType()) {
            auto* pWidget = static_cast<QWidget*>(pWatched);
            if (pWidget->toolTip().isEmpty())
                return false;
            return RequestToolTip(pWidget, static_cast<QHelpEvent*>(pEvent)->globalPos(), pWidget->toolTip());
        }
        break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
        if (pWatched == m_pToolTipWidget)
            CancelPendingToolTip();
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
