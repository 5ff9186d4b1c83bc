// SPDX-License-Identifier: GPL-3.0-or-later
#include <climits>

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSizeGrip>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

#include "document/COstrelDoc.h"
#include "filtering/FilterSettingsFile.h"
#include "filterui/CEditFilterSettingsDlg.h"
#include "filterui/CFilterSettingsDlg.h"
#include "filterui/CLastColumnAutoResizingListCtrl.h"
#include "filterui/CWhitespaceFilterDlg.h"
#include "filterui/DecimalText.h"
#include "filterui/FilterClipboard.h"
#include "filterui/FilterFileEnd.h"
#include "support/QtTestSupport.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/CViewBookmarks.h"

using namespace Qt::Literals::StringLiterals;
using TestSupport::OnNextModal;

namespace {
// One filter as the tests write it down.
struct FilterRow
{
    QString Text;
    int RegExp = 0;
    bool CaseSensitive = false;
    int Before = 0;
    int After = 0;

    bool operator==(const FilterRow&) const = default;
};

QList<FilterRow> FiltersOf(const FilterSettings& settings)
{
    QList<FilterRow> rows;
    for (int i = 0; i < settings.GetCount(); ++i)
        rows.append({QString::fromStdU16String(settings.GetFilterString(i)), settings.GetRegExp(i),
                     settings.GetCaseSensitive(i), settings.GetOutputBeforeMatch(i), settings.GetOutputAfterMatch(i)});
    return rows;
}

void SetFilters(FilterSettings& settings, const QList<FilterRow>& rows)
{
    settings.ClearFilters();
    for (const FilterRow& row : rows) {
        settings.AddFilter(row.Text.toStdU16String(), row.RegExp);
        const int i = settings.GetCount() - 1;
        settings.SetCaseSensitive(i, row.CaseSensitive);
        settings.SetOutputBeforeMatch(i, row.Before);
        settings.SetOutputAfterMatch(i, row.After);
    }
}

const char* const ListButtons[] = {"editFilterButton", "deleteFilterButton", "copyAllButton",    "pasteAllButton",
                                   "deleteAllButton",  "loadFiltersButton",  "saveFiltersButton"};
} // namespace

namespace QTest {
template <> char* toString(const FilterRow& row)
{
    return qstrdup(qPrintable(u"{\"%1\" re=%2 cs=%3 before=%4 after=%5}"_s.arg(row.Text)
                                  .arg(row.RegExp)
                                  .arg(row.CaseSensitive)
                                  .arg(row.Before)
                                  .arg(row.After)));
}
} // namespace QTest

class TestFilterSettingsDlg : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    // The desktop's URL opener during the help test.
    void OpenUrl(const QUrl& url) { m_OpenedUrls.append(url); }

private Q_SLOTS:
    void init();
    void cleanup();
    void smallDialogsHavePlainFrames();

    void controlsCaptionsTooltipsAndTabOrder();
    void followsActiveDocumentWhileShownOrHidden();
    void addFilterCopiesToDocumentAndKeepsOptions();
    void addRefusesEmptyStringAndFullList();
    void whitespacePromptFlows();
    void editFilterFlows();
    void deleteFilterFlows();
    void deleteAllResetsInputsButKeepsExcludeSwitch();
    void copyPasteBetweenDocumentsAndReloadOnActivation();
    void optionControlsCopyToDocument();
    void saveThenLoadRoundTrip();
    void checkBoxSwitchesFiltersByClickAndSpace();
    void switchedOffFiltersSurviveCopyPasteSaveAndLoad();
    void filterStringsKeepToWhatAFileCarries();
    void loadReportsReaderErrorsAndKeepsList();
    void loadThenPasteOfEmptyClipboard();
    void enterAddsInFilterFieldAndMovesFocusElsewhere();
    void layoutFollowsResize();
    void controlsVisibleAndNotOverlapping();
    void tooltipsSwitchAtOnce();
    void tooltipsWaitAndWrapAtMostAtTheirWidth();
    void cutOffFilterStringShowsAsCellTip();
    void columnWidthsSurviveHidingAndShowing();
    void placementComesBackAtTheNextStart();
    void expressionErrorShowsAsItIsTyped();
    void helpFoundBesideTheProgramAndShownWithoutAViewer();
    void unclosedFilterIsFoundWhereTheFileEnds_data();
    void unclosedFilterIsFoundWhereTheFileEnds();
    void regExpSyntaxOpensHelpDocument();
    void decimalConversion_data();
    void decimalConversion();

private:
    CFilterSettingsDlg& OpenDialog();
    template <class T = QWidget> T* Child(const char* name) const
    {
        T* pChild = m_pDlg->findChild<T*>(QString::fromLatin1(name));
        if (!pChild)
            qFatal("no control named %s", name);
        return pChild;
    }
    QPushButton* Button(const char* name) const { return Child<QPushButton>(name); }
    void AddFilter(const QString& text, bool bRegExp = false, bool bCaseSensitive = false, int nBefore = 0,
                   int nAfter = 0);
    QStringList RowCells(int nRow) const;
    // The switch of each row as its check box shows it, and as the working list holds it.
    QList<bool> RowSwitches() const;
    QList<bool> ListSwitches(const FilterSettings& settings) const;
    // Clicks the check box of a row, where the list's style draws it.
    void ClickCheckBox(int nRow);
    QColor RowSwatch(int nRow) const;
    QStringList EnabledListButtons() const;
    // Runs an operation that shows a message box; returns "caption: text", or "" when none came.
    QString MessageOf(const std::function<void()>& operation);
    bool SaveFiltersTo(const QString& path);
    bool LoadFiltersFrom(const QString& path);
    QString MakeLog(const QString& name);
    // Asks a control for its tip at a point, as the mouse resting there does.
    static void AskForTip(QWidget* pWidget, QPoint pos = QPoint(5, 5));
    // The tip window while a tip shows.
    static QWidget* ToolTipWindow();

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<TestSupport::TestWorkspace> m_pWorkspace;
    COstrelDoc* m_pDocA = nullptr;
    COstrelDoc* m_pDocB = nullptr;
    CFilterSettingsDlg* m_pDlg = nullptr;
    QList<QUrl> m_OpenedUrls;
};

void TestFilterSettingsDlg::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    COstrelSettings().clear();
    g_bPromptWhitespaceFilter = true;
    g_bFilterClipboardEmpty = true;
    g_FilterClipboard.ClearFilters();
    m_pWorkspace = std::make_unique<TestSupport::TestWorkspace>();
    m_pDocA = m_pWorkspace->OpenDocumentFile(MakeLog(u"app.log"_s));
    m_pDocB = m_pWorkspace->OpenDocumentFile(MakeLog(u"other.log"_s));
    QVERIFY(m_pDocA && m_pDocB);
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocA->GetPathName()) == m_pDocA);
    QCOMPARE(m_pWorkspace->GetActiveLogDocument(), m_pDocA);
    m_pDlg = nullptr;
}

void TestFilterSettingsDlg::cleanup()
{
    TestSupport::DropPendingModalHandlers();
    m_pWorkspace.reset();
    QVERIFY2(!g_pFilterSettingsDlg, "the dialog goes with the window that owns it");
}

void TestFilterSettingsDlg::AskForTip(QWidget* pWidget, QPoint pos)
{
    QHelpEvent event(QEvent::ToolTip, pos, pWidget->mapToGlobal(pos));
    QApplication::sendEvent(pWidget, &event);
}

QWidget* TestFilterSettingsDlg::ToolTipWindow()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->objectName() == u"qtooltip_label"_s && pWidget->isVisible())
            return pWidget;
    }
    return nullptr;
}

QString TestFilterSettingsDlg::MakeLog(const QString& name)
{
    const QString path = m_pDir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("first line\nERROR second line\nthird line\n");
    return path;
}

CFilterSettingsDlg& TestFilterSettingsDlg::OpenDialog()
{
    // The Filter Settings command (Ctrl+L).
    ShowFilterSettingsDialog(*m_pWorkspace);
    m_pDlg = g_pFilterSettingsDlg.data();
    if (!m_pDlg)
        qFatal("no filter settings dialog");
    if (!QTest::qWaitForWindowExposed(m_pDlg))
        qWarning("the filter settings dialog was not exposed");
    return *m_pDlg;
}

void TestFilterSettingsDlg::AddFilter(const QString& text, bool bRegExp, bool bCaseSensitive, int nBefore, int nAfter)
{
    Child<QCheckBox>("regExpCheck")->setChecked(bRegExp);
    Child<QCheckBox>("caseSensitiveCheck")->setChecked(bCaseSensitive);
    Child<QLineEdit>("linesBeforeEdit")->setText(QString::number(nBefore));
    Child<QLineEdit>("linesAfterEdit")->setText(QString::number(nAfter));
    Child<QLineEdit>("filterStringEdit")->setText(text);
    Button("addFilterButton")->click();
}

QStringList TestFilterSettingsDlg::RowCells(int nRow) const
{
    QStringList cells;
    const QTreeWidgetItem* pItem = m_pDlg->GetFilterList()->topLevelItem(nRow);
    for (int nColumn = 0; pItem && nColumn < 5; ++nColumn)
        cells.append(pItem->text(nColumn));
    return cells;
}

QList<bool> TestFilterSettingsDlg::RowSwitches() const
{
    QList<bool> switches;
    const QTreeWidget* pList = m_pDlg->GetFilterList();
    for (int nRow = 0; nRow < pList->topLevelItemCount(); ++nRow)
        switches.append(pList->topLevelItem(nRow)->checkState(0) == Qt::Checked);
    return switches;
}

QList<bool> TestFilterSettingsDlg::ListSwitches(const FilterSettings& settings) const
{
    QList<bool> switches;
    for (int i = 0; i < settings.GetCount(); ++i)
        switches.append(settings.GetEnabled(i));
    return switches;
}

namespace {
// The item view's own layout of a cell, so that a click lands on the check box it draws.
class CellLayout : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::initStyleOption;
};
} // namespace

void TestFilterSettingsDlg::ClickCheckBox(int nRow)
{
    CLastColumnAutoResizingListCtrl* pList = m_pDlg->GetFilterList();
    const QModelIndex index = pList->model()->index(nRow, 0);
    QStyleOptionViewItem option;
    option.initFrom(pList->viewport());
    option.rect = pList->visualRect(index);
    option.widget = pList;
    CellLayout layout;
    layout.initStyleOption(&option, index);
    const QRect box = pList->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, pList);
    QVERIFY(!box.isEmpty());
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
}

QColor TestFilterSettingsDlg::RowSwatch(int nRow) const
{
    return m_pDlg->GetFilterList()->topLevelItem(nRow)->data(0, Qt::DecorationRole).value<QColor>();
}

QStringList TestFilterSettingsDlg::EnabledListButtons() const
{
    QStringList enabled;
    for (const char* name : ListButtons) {
        if (Button(name)->isEnabled())
            enabled.append(QString::fromLatin1(name));
    }
    return enabled;
}

QString TestFilterSettingsDlg::MessageOf(const std::function<void()>& operation)
{
    auto message = std::make_shared<QString>();
    auto seen = OnNextModal([message](QWidget* pModal) {
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
            *message = pBox->windowTitle() % u": "_s % pBox->text();
            pBox->accept();
        } else if (auto* pDialog = qobject_cast<QDialog*>(pModal)) {
            *message = u"unexpected dialog "_s % pDialog->windowTitle();
            pDialog->reject();
        }
    });
    operation();
    TestSupport::DropPendingModalHandlers();
    return *seen ? *message : QString();
}

bool TestFilterSettingsDlg::SaveFiltersTo(const QString& path)
{
    auto seen = OnNextModal([path](QWidget* pModal) {
        auto* pFiles = qobject_cast<QFileDialog*>(pModal);
        if (!pFiles || pFiles->acceptMode() != QFileDialog::AcceptSave) {
            pModal->close();
            return;
        }
        TestSupport::ChooseFile(pFiles, path);
    });
    m_pDlg->OnSaveFilters();
    return *seen;
}

bool TestFilterSettingsDlg::LoadFiltersFrom(const QString& path)
{
    auto seen = OnNextModal([path](QWidget* pModal) {
        auto* pFiles = qobject_cast<QFileDialog*>(pModal);
        if (!pFiles || pFiles->acceptMode() != QFileDialog::AcceptOpen) {
            pModal->close();
            return;
        }
        TestSupport::ChooseFile(pFiles, path);
    });
    m_pDlg->OnLoadFilters();
    return *seen;
}

void TestFilterSettingsDlg::controlsCaptionsTooltipsAndTabOrder()
{
    OpenDialog();
    QCOMPARE(m_pDlg->windowTitle(), u"Filter Settings (app.log)"_s);

    const struct
    {
        const char* Name;
        QString Caption;
        QString ToolTip;
    } controls[] = {
        {"filterStringEdit",
         {},
         u"This field is used to enter a filter string that can be used to filter a file.  The filter can be a literal "
         "string to match or can be a regular expression (if the Regular Expression Filter checkbox is selected)"_s},
        {"regExpCheck", u"Regular Expression Filter"_s,
         u"This field is used to specify whether or not the filter string is a regular expression"_s},
        {"caseSensitiveCheck", u"Case-Sensitive Filter"_s,
         u"This field is used to specify if the filtering should be performed case-sensitive"_s},
        {"linesBeforeEdit", u"0"_s,
         u"When a filter match is successful, the number of lines specified in this field before the match will be "
         "output"_s},
        {"linesAfterEdit", u"0"_s,
         u"When a filter match is successful, the number of lines specified in this field after the match will be "
         "output"_s},
        {"addFilterButton", u"Add Filter"_s, u"Add the specified filter settings to the filter list"_s},
        {"editFilterButton", u"Edit Filter"_s, u"Edit the settings of the selected filter"_s},
        {"deleteFilterButton", u"Delete Filter"_s, u"Delete the selected filter"_s},
        {"copyAllButton", u"Copy All Filters"_s,
         u"Copy all of the filter settings in the filter list to a filter settings clipboard.  Filter settings can be "
         "copied between documents by pressing the \"Copy All Filters\" button in one document then switching to "
         "another document and pressing the \"Paste All Filters\" button"_s},
        {"pasteAllButton", u"Paste All Filters"_s,
         u"Paste all of the filter settings in the filter settings clipboard to this documents filter list.  Filter "
         "settings can be copied between documents by pressing the \"Copy All Filters\" button in one document then "
         "switching to another document and pressing the \"Paste All Filters\" button"_s},
        {"deleteAllButton", u"Delete All Filters"_s,
         u"Delete all of the filters in the filter list.  By pressing this button and then pressing the \"Apply Filter "
         "Settings...\" button, the original unfiltered document will be displayed"_s},
        {"loadFiltersButton", u"Load Filters"_s, u"Load filter settings from an external file."_s},
        {"saveFiltersButton", u"Save Filters"_s, u"Save filter settings to an external file."_s},
        {"excludeCheck", u"Exclude Lines That Match Filters"_s,
         u"When filtering a document, exclude all lines that match filters and only output lines that don't match "
         "filters"_s},
        {"applyButton", u"Apply Filter Settings to Document"_s,
         u"Apply filter settings specified in the filter list to the current document.\nIf filter settings are "
         "currently applied to a document, the original document can be displayed by pressing the \"Delete All "
         "Filters\" button then pressing this button"_s},
        {"filterList", {}, {}},
        {"regExpSyntaxButton", u"RegExp Syntax"_s, u"Display regular expression syntax dialog"_s},
        {"enableTooltipsCheck", u"Enable Tooltips"_s, {}},
    };

    // The tab order is the order of the table.
    QWidget* pPrevious = nullptr;
    for (const auto& control : controls) {
        QWidget* pControl = Child(control.Name);
        QCOMPARE(pControl->toolTip(), control.ToolTip);
        if (auto* pButton = qobject_cast<QAbstractButton*>(pControl))
            QCOMPARE(pButton->text(), control.Caption);
        else if (auto* pEdit = qobject_cast<QLineEdit*>(pControl))
            QCOMPARE(pEdit->text(), control.Caption);
        if (pPrevious) {
            QWidget* pNext = pPrevious->nextInFocusChain();
            while (pNext != pControl && !(pNext->focusPolicy() & Qt::TabFocus))
                pNext = pNext->nextInFocusChain();
            QVERIFY2(pNext == pControl, control.Name);
        }
        pPrevious = pControl;
    }
    for (const char* name : {"filterLabel", "linesBeforeLabel", "linesAfterLabel", "filtersLabel"})
        QVERIFY2(Child<QLabel>(name)->toolTip().isEmpty(), name);
    QCOMPARE(Child<QLabel>("linesBeforeLabel")->text(), u"Number of Lines to Output Before Filter Match"_s);
    QCOMPARE(Child<QLabel>("linesAfterLabel")->text(), u"Number of Lines to Output After Filter Match"_s);

    QTreeWidget* pList = m_pDlg->GetFilterList();
    const QStringList headings = {u"Filter"_s, u"RE"_s, u"CS"_s, u"OB"_s, u"OA"_s};
    QCOMPARE(pList->columnCount(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(pList->headerItem()->text(i), headings.at(i));
    QCOMPARE(pList->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(pList->selectionBehavior(), QAbstractItemView::SelectRows);

    QVERIFY(!Child<QCheckBox>("excludeCheck")->isChecked());
    QVERIFY(Child<QCheckBox>("enableTooltipsCheck")->isChecked());
    QCOMPARE(EnabledListButtons(), QStringList{u"loadFiltersButton"_s});
    QVERIFY(Button("applyButton")->isEnabled());
    for (QPushButton* pButton : m_pDlg->findChildren<QPushButton*>())
        QVERIFY2(!pButton->autoDefault() && !pButton->isDefault(), qPrintable(pButton->objectName()));
}

void TestFilterSettingsDlg::followsActiveDocumentWhileShownOrHidden()
{
    SetFilters(m_pDocA->GetFilterSettings(), {{u"ERROR"_s, 0, true, 1, 2}, {u"WARN.*"_s, 1, false, 0, 0}});
    OpenDialog();
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 2);
    QCOMPARE(RowCells(0), (QStringList{u"ERROR"_s, u"-"_s, u"X"_s, u"1"_s, u"2"_s}));
    QCOMPARE(RowCells(1), (QStringList{u"WARN.*"_s, u"X"_s, u"-"_s, u"0"_s, u"0"_s}));
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItem(1)->data(0, CLastColumnAutoResizingListCtrl::ItemDataRole).toInt(),
             1);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItem(0)->data(0, CLastColumnAutoResizingListCtrl::ItemDataRole).toInt(),
             0);
    QCOMPARE(EnabledListButtons(), (QStringList{u"editFilterButton"_s, u"deleteFilterButton"_s, u"copyAllButton"_s,
                                                u"deleteAllButton"_s, u"loadFiltersButton"_s, u"saveFiltersButton"_s}));

    // Escape hides the dialog; what was typed survives.
    Child<QLineEdit>("filterStringEdit")->setText(u"typed"_s);
    Child<QCheckBox>("regExpCheck")->setChecked(true);
    QTest::keyClick(Child("filterStringEdit"), Qt::Key_Escape);
    QTRY_VERIFY(!m_pDlg->isVisible());

    // A hidden dialog still follows the active document.
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocB->GetPathName()) == m_pDocB);
    QCOMPARE(m_pDlg->windowTitle(), u"Filter Settings (other.log)"_s);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 0);
    QCOMPARE(EnabledListButtons(), QStringList{u"loadFiltersButton"_s});

    // The next command shows the same dialog, as it was.
    CFilterSettingsDlg* pBefore = m_pDlg;
    OpenDialog();
    QCOMPARE(m_pDlg, pBefore);
    QVERIFY(m_pDlg->isVisible());
    QCOMPARE(Child<QLineEdit>("filterStringEdit")->text(), u"typed"_s);
    QVERIFY(Child<QCheckBox>("regExpCheck")->isChecked());

    // Back to A; its filters are loaded without touching the input controls.
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocA->GetPathName()) == m_pDocA);
    QCOMPARE(m_pDlg->windowTitle(), u"Filter Settings (app.log)"_s);
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), FiltersOf(m_pDocA->GetFilterSettings()));
    QCOMPARE(Child<QLineEdit>("filterStringEdit")->text(), u"typed"_s);

    // Save As renames the active document: the title follows; a renamed inactive one does not.
    m_pDocA->SetPathName(m_pDir->filePath(u"renamed.log"_s));
    QCOMPARE(m_pDlg->windowTitle(), u"Filter Settings (renamed.log)"_s);
    m_pDocB->SetPathName(m_pDir->filePath(u"elsewhere.log"_s));
    QCOMPARE(m_pDlg->windowTitle(), u"Filter Settings (renamed.log)"_s);

    // A minimised dialog comes back restored.
    m_pDlg->setWindowState(Qt::WindowMinimized);
    OpenDialog();
    QVERIFY(!(m_pDlg->windowState() & Qt::WindowMinimized));

    // The close box hides it too.
    m_pDlg->close();
    QTRY_VERIFY(!m_pDlg->isVisible());
    QCOMPARE(g_pFilterSettingsDlg.data(), pBefore);
}

void TestFilterSettingsDlg::addFilterCopiesToDocumentAndKeepsOptions()
{
    OpenDialog();
    Child<QCheckBox>("regExpCheck")->setChecked(false);
    Child<QCheckBox>("caseSensitiveCheck")->setChecked(true);
    Child<QLineEdit>("linesBeforeEdit")->setText(u"2"_s);
    Child<QLineEdit>("linesAfterEdit")->clear();
    Child<QLineEdit>("filterStringEdit")->setText(u"ERROR"_s);
    Button("addFilterButton")->click();

    QCOMPARE(RowCells(0), (QStringList{u"ERROR"_s, u"-"_s, u"X"_s, u"2"_s, u"0"_s}));
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), (QList<FilterRow>{{u"ERROR"_s, 0, true, 2, 0}}));
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), FiltersOf(m_pDlg->GetFilterSettings()));
    QVERIFY(Child<QLineEdit>("filterStringEdit")->text().isEmpty());
    QVERIFY(Child<QCheckBox>("caseSensitiveCheck")->isChecked());
    QCOMPARE(Child<QLineEdit>("linesBeforeEdit")->text(), u"2"_s);
    QVERIFY(Child<QLineEdit>("linesAfterEdit")->text().isEmpty());
    QCOMPARE(EnabledListButtons(), (QStringList{u"editFilterButton"_s, u"deleteFilterButton"_s, u"copyAllButton"_s,
                                                u"deleteAllButton"_s, u"loadFiltersButton"_s, u"saveFiltersButton"_s}));

    // The same options serve the next filter; a regular expression row carries item data 1.
    Child<QCheckBox>("regExpCheck")->setChecked(true);
    Child<QLineEdit>("filterStringEdit")->setText(u"time(out)?"_s);
    Button("addFilterButton")->click();
    QCOMPARE(RowCells(1), (QStringList{u"time(out)?"_s, u"X"_s, u"X"_s, u"2"_s, u"0"_s}));
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItem(1)->data(0, CLastColumnAutoResizingListCtrl::ItemDataRole).toInt(),
             1);
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()).size(), 2);
    QCOMPARE(FiltersOf(m_pDocB->GetFilterSettings()).size(), 0);

    // With something copied, Paste All stays enabled after an add.
    Button("copyAllButton")->click();
    AddFilter(u"third"_s);
    QVERIFY(Button("pasteAllButton")->isEnabled());
}

void TestFilterSettingsDlg::addRefusesEmptyStringAndFullList()
{
    OpenDialog();
    QCOMPARE(MessageOf([this] { Button("addFilterButton")->click(); }),
             u"Add Filter Error: Filter String is Empty - Nothing to Add"_s);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 0);
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 0);

    FilterSettings full;
    for (int i = 0; i < FilterSettings::MaxFilters; ++i)
        full.AddFilter(QString(u"filter "_s + QString::number(i)).toStdU16String(), 0);
    full.SetOutputAfterMatch(FilterSettings::MaxFilters - 1, 7);
    m_pDlg->LoadFilterSettings(full);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), FilterSettings::MaxFilters);

    Child<QCheckBox>("caseSensitiveCheck")->setChecked(true);
    Child<QLineEdit>("linesAfterEdit")->setText(u"3"_s);
    Child<QLineEdit>("filterStringEdit")->setText(u"one too many"_s);
    QCOMPARE(MessageOf([this] { Button("addFilterButton")->click(); }),
             u"Add Filter Error: The filter list is full (1024 filters)."_s);
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), FilterSettings::MaxFilters);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), FilterSettings::MaxFilters);
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()).constLast(), (FilterRow{u"filter 1023"_s, 0, false, 0, 7}));
    QCOMPARE(RowCells(FilterSettings::MaxFilters - 1), (QStringList{u"filter 1023"_s, u"-"_s, u"-"_s, u"0"_s, u"7"_s}));
    QCOMPARE(Child<QLineEdit>("filterStringEdit")->text(), u"one too many"_s);
}

void TestFilterSettingsDlg::whitespacePromptFlows()
{
    OpenDialog();
    // Cancel with the box ticked: nothing added, and the next one is asked about again.
    auto answer = [](bool bTick, bool bAccept) {
        return OnNextModal([bTick, bAccept](QWidget* pModal) {
            auto* pPrompt = qobject_cast<CWhitespaceFilterDlg*>(pModal);
            if (!pPrompt) {
                pModal->close();
                return;
            }
            QCOMPARE(pPrompt->windowTitle(), u"Whitespace Only Filter"_s);
            pPrompt->findChild<QCheckBox*>(u"dontPromptCheck"_s)->setChecked(bTick);
            if (bAccept)
                pPrompt->findChild<QPushButton*>(u"okButton"_s)->click();
            else
                pPrompt->findChild<QPushButton*>(u"cancelButton"_s)->click();
        });
    };

    auto seen = answer(true, false);
    Child<QLineEdit>("filterStringEdit")->setText(u"   "_s);
    Button("addFilterButton")->click();
    QVERIFY(*seen);
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 0);
    QCOMPARE(Child<QLineEdit>("filterStringEdit")->text(), u"   "_s);
    QVERIFY(g_bPromptWhitespaceFilter);

    // OK without the box: added, still prompting.
    seen = answer(false, true);
    Button("addFilterButton")->click();
    QVERIFY(*seen);
    QCOMPARE(RowCells(0).constFirst(), u"   "_s);
    QVERIFY(g_bPromptWhitespaceFilter);

    // A single tab counts as whitespace; OK with the box ticked stops the prompts.
    seen = answer(true, true);
    Child<QLineEdit>("filterStringEdit")->setText(u"\t"_s);
    Button("addFilterButton")->click();
    QVERIFY(*seen);
    QVERIFY(!g_bPromptWhitespaceFilter);
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 2);

    QCOMPARE(MessageOf([this] { AddFilter(u"  "_s); }), QString());
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 3);

    // A letter between spaces is no whitespace-only string.
    g_bPromptWhitespaceFilter = true;
    QCOMPARE(MessageOf([this] { AddFilter(u" a "_s); }), QString());
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 4);
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), FiltersOf(m_pDlg->GetFilterSettings()));
}

void TestFilterSettingsDlg::editFilterFlows()
{
    OpenDialog();
    QCOMPARE(MessageOf([this] {
                 Button("editFilterButton")->setEnabled(true);
                 Button("editFilterButton")->click();
             }),
             u"Edit Filter Error: No Filter To Edit"_s);

    AddFilter(u"first"_s);
    AddFilter(u"ERROR"_s, true, false, 3, 0);
    QCOMPARE(MessageOf([this] { Button("editFilterButton")->click(); }), u"Edit Filter Error: No Filter Selected"_s);

    QTreeWidget* pList = m_pDlg->GetFilterList();
    pList->setCurrentItem(pList->topLevelItem(1));
    // The editor opens on the row's cells; clearing the string and the lines after is accepted.
    auto state = std::make_shared<QStringList>();
    auto seen = OnNextModal([state](QWidget* pModal) {
        auto* pEditor = qobject_cast<CEditFilterSettingsDlg*>(pModal);
        if (!pEditor) {
            pModal->close();
            return;
        }
        auto* pFilter = pEditor->findChild<QLineEdit*>(u"filterStringEdit"_s);
        *state = {pEditor->windowTitle(),
                  pFilter->text(),
                  pFilter->selectedText(),
                  QString::number(pFilter->hasFocus()),
                  QString::number(pEditor->findChild<QCheckBox*>(u"regExpCheck"_s)->isChecked()),
                  QString::number(pEditor->findChild<QCheckBox*>(u"caseSensitiveCheck"_s)->isChecked()),
                  pEditor->findChild<QLineEdit*>(u"linesBeforeEdit"_s)->text(),
                  pEditor->findChild<QLineEdit*>(u"linesAfterEdit"_s)->text()};
        pFilter->clear();
        pEditor->findChild<QCheckBox*>(u"caseSensitiveCheck"_s)->setChecked(true);
        pEditor->findChild<QLineEdit*>(u"linesAfterEdit"_s)->clear();
        pEditor->findChild<QLineEdit*>(u"linesBeforeEdit"_s)->setText(u"12"_s);
        pEditor->findChild<QPushButton*>(u"okButton"_s)->click();
    });
    Button("editFilterButton")->click();
    QVERIFY(*seen);
    QCOMPARE(*state,
             (QStringList{u"Edit Filter Settings"_s, u"ERROR"_s, u"ERROR"_s, u"1"_s, u"1"_s, u"0"_s, u"3"_s, u"0"_s}));
    QCOMPARE(RowCells(1), (QStringList{QString(), u"X"_s, u"X"_s, u"12"_s, u"0"_s}));
    const QList<FilterRow> edited = {{u"first"_s, 0, false, 0, 0}, {QString(), 1, true, 12, 0}};
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), edited);
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), edited);

    // Cancel changes nothing, whatever was typed; the regular-expression flag drives the row data.
    seen = OnNextModal([](QWidget* pModal) {
        pModal->findChild<QLineEdit*>(u"filterStringEdit"_s)->setText(u"changed"_s);
        pModal->findChild<QPushButton*>(u"cancelButton"_s)->click();
    });
    Button("editFilterButton")->click();
    QVERIFY(*seen);
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), edited);

    seen = OnNextModal([](QWidget* pModal) {
        pModal->findChild<QCheckBox*>(u"regExpCheck"_s)->setChecked(false);
        pModal->findChild<QPushButton*>(u"okButton"_s)->click();
    });
    Button("editFilterButton")->click();
    QVERIFY(*seen);
    QCOMPARE(pList->topLevelItem(1)->data(0, CLastColumnAutoResizingListCtrl::ItemDataRole).toInt(), 0);
    QCOMPARE(m_pDlg->GetFilterSettings().GetRegExp(1), 0);

    // A double-click on a row edits that row; below the last row it does nothing.
    auto title = std::make_shared<QString>();
    seen = OnNextModal([title](QWidget* pModal) {
        *title = pModal->findChild<QLineEdit*>(u"filterStringEdit"_s)->text();
        static_cast<QDialog*>(pModal)->reject();
    });
    const QRect firstRow = pList->visualItemRect(pList->topLevelItem(0));
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, {}, firstRow.center());
    QTest::mouseDClick(pList->viewport(), Qt::LeftButton, {}, firstRow.center());
    QVERIFY(*seen);
    QCOMPARE(*title, u"first"_s);

    const QPoint below(firstRow.center().x(), pList->viewport()->height() - 3);
    QCOMPARE(MessageOf([&] { QTest::mouseDClick(pList->viewport(), Qt::LeftButton, {}, below); }), QString());
}

void TestFilterSettingsDlg::deleteFilterFlows()
{
    OpenDialog();
    QCOMPARE(MessageOf([this] { m_pDlg->OnDeleteFilter(); }), u"Delete Filter Error: No Filter To Delete"_s);
    AddFilter(u"one"_s);
    AddFilter(u"two"_s, true);
    AddFilter(u"three"_s);
    QCOMPARE(MessageOf([this] { Button("deleteFilterButton")->click(); }),
             u"Delete Filter Error: No Filter Selected"_s);

    QTreeWidget* pList = m_pDlg->GetFilterList();
    pList->setCurrentItem(pList->topLevelItem(0));
    Button("deleteFilterButton")->click();
    QCOMPARE(RowCells(0).constFirst(), u"two"_s);
    QCOMPARE(RowCells(1).constFirst(), u"three"_s);
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()),
             (QList<FilterRow>{{u"two"_s, 1, false, 0, 0}, {u"three"_s, 0, false, 0, 0}}));
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), FiltersOf(m_pDlg->GetFilterSettings()));
    // Filters remain: the buttons stay as they were, and nothing is left selected.
    QCOMPARE(EnabledListButtons().size(), 6);
    QCOMPARE(MessageOf([this] { Button("deleteFilterButton")->click(); }),
             u"Delete Filter Error: No Filter Selected"_s);

    pList->setCurrentItem(pList->topLevelItem(1));
    Button("deleteFilterButton")->click();
    pList->setCurrentItem(pList->topLevelItem(0));
    Button("deleteFilterButton")->click();
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 0);
    QCOMPARE(m_pDocA->GetFilterSettings().GetCount(), 0);
    QCOMPARE(EnabledListButtons(), QStringList{u"loadFiltersButton"_s});

    // Once something has been copied, deleting the only filter leaves Paste All enabled.
    AddFilter(u"only"_s);
    Button("copyAllButton")->click();
    pList->setCurrentItem(pList->topLevelItem(0));
    Button("deleteFilterButton")->click();
    QCOMPARE(EnabledListButtons(), (QStringList{u"pasteAllButton"_s, u"loadFiltersButton"_s}));
}

void TestFilterSettingsDlg::deleteAllResetsInputsButKeepsExcludeSwitch()
{
    OpenDialog();
    AddFilter(u"ERROR"_s, true, true, 4, 5);
    AddFilter(u"WARN"_s);
    Child<QCheckBox>("excludeCheck")->click();
    QVERIFY(m_pDlg->GetFilterSettings().GetExcludeMatches());
    const QString first = m_pDir->filePath(u"first.flt"_s);
    QVERIFY(SaveFiltersTo(first));
    FilterSettings saved;
    QVERIFY(ReadFilterSettingsFile(QFile::encodeName(first).toStdString(), saved).Ok());
    QVERIFY(saved.GetExcludeMatches());

    Child<QLineEdit>("filterStringEdit")->setText(u"pending"_s);
    Button("deleteAllButton")->click();
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 0);
    QCOMPARE(m_pDocA->GetFilterSettings().GetCount(), 0);
    QVERIFY(Child<QLineEdit>("filterStringEdit")->text().isEmpty());
    for (const char* name : {"regExpCheck", "caseSensitiveCheck", "excludeCheck"})
        QVERIFY2(!Child<QCheckBox>(name)->isChecked(), name);
    QCOMPARE(Child<QLineEdit>("linesBeforeEdit")->text(), u"0"_s);
    QCOMPARE(Child<QLineEdit>("linesAfterEdit")->text(), u"0"_s);
    QCOMPARE(EnabledListButtons(), QStringList{u"loadFiltersButton"_s});

    // Only a click on the box (or Apply) changes the switch: the next save still excludes.
    QVERIFY(m_pDlg->GetFilterSettings().GetExcludeMatches());
    AddFilter(u"again"_s);
    const QString second = m_pDir->filePath(u"second.flt"_s);
    QVERIFY(SaveFiltersTo(second));
    QVERIFY(ReadFilterSettingsFile(QFile::encodeName(second).toStdString(), saved).Ok());
    QVERIFY(saved.GetExcludeMatches());
}

void TestFilterSettingsDlg::copyPasteBetweenDocumentsAndReloadOnActivation()
{
    OpenDialog();
    AddFilter(u"from A"_s, true, true, 1, 1);
    AddFilter(u"also from A"_s);
    const QList<FilterRow> filtersOfA = FiltersOf(m_pDocA->GetFilterSettings());
    Button("copyAllButton")->click();
    QVERIFY(!g_bFilterClipboardEmpty);

    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocB->GetPathName()) == m_pDocB);
    AddFilter(u"B's own"_s);
    QVERIFY(Button("pasteAllButton")->isEnabled());
    Child<QCheckBox>("regExpCheck")->setChecked(true);
    Child<QCheckBox>("excludeCheck")->click();
    Child<QLineEdit>("linesBeforeEdit")->setText(u"9"_s);

    Button("pasteAllButton")->click();
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), filtersOfA);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 2);
    for (const char* name : {"regExpCheck", "caseSensitiveCheck", "excludeCheck"})
        QVERIFY2(!Child<QCheckBox>(name)->isChecked(), name);
    QCOMPARE(Child<QLineEdit>("linesBeforeEdit")->text(), u"0"_s);
    QCOMPARE(EnabledListButtons().size(), 7);
    // The paste is not copied to B yet.
    QCOMPARE(FiltersOf(m_pDocB->GetFilterSettings()), (QList<FilterRow>{{u"B's own"_s, 0, false, 0, 0}}));

    // The main window coming back to the front reloads B's own filters.
    m_pWorkspace->ActivateMainWindow();
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), (QList<FilterRow>{{u"B's own"_s, 0, false, 0, 0}}));

    // Paste again, then any copying operation hands the pasted filters to B.
    Button("pasteAllButton")->click();
    Child<QCheckBox>("caseSensitiveCheck")->click();
    QCOMPARE(FiltersOf(m_pDocB->GetFilterSettings()), filtersOfA);
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), filtersOfA);
}

void TestFilterSettingsDlg::optionControlsCopyToDocument()
{
    OpenDialog();
    AddFilter(u"kept"_s);
    Button("copyAllButton")->click();
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocB->GetPathName()) == m_pDocB);
    Button("pasteAllButton")->click();
    QCOMPARE(m_pDocB->GetFilterSettings().GetCount(), 0);

    // Typing into a number field copies the list; only digits get in.
    QLineEdit* pAfter = Child<QLineEdit>("linesAfterEdit");
    pAfter->clear();
    pAfter->setFocus();
    QTest::keyClicks(pAfter, u"1a-2 3"_s);
    QCOMPARE(pAfter->text(), u"123"_s);
    QCOMPARE(FiltersOf(m_pDocB->GetFilterSettings()), (QList<FilterRow>{{u"kept"_s, 0, false, 0, 0}}));
    // The field holds the next filter's value; the existing filters keep theirs.
    QCOMPARE(m_pDlg->GetFilterSettings().GetOutputAfterMatch(0), 0);

    // Exclude sets the working list's switch; the document's is never touched.
    Child<QCheckBox>("excludeCheck")->click();
    QVERIFY(m_pDlg->GetFilterSettings().GetExcludeMatches());
    QVERIFY(!m_pDocB->GetFilterSettings().GetExcludeMatches());
    Child<QCheckBox>("excludeCheck")->click();
    QVERIFY(!m_pDlg->GetFilterSettings().GetExcludeMatches());

    // Switching documents keeps the exclude switch of the dialog.
    Child<QCheckBox>("excludeCheck")->click();
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocA->GetPathName()) == m_pDocA);
    QVERIFY(m_pDlg->GetFilterSettings().GetExcludeMatches());
    QVERIFY(Child<QCheckBox>("excludeCheck")->isChecked());
}

void TestFilterSettingsDlg::saveThenLoadRoundTrip()
{
    OpenDialog();
    const QList<FilterRow> filters = {
        {u"ERROR"_s, 0, true, 2, 0}, {u"^WARN.*timeout$"_s, 1, false, 0, 5}, {u"caf\u00e9"_s, 0, false, 7, 7}};
    for (const FilterRow& row : filters)
        AddFilter(row.Text, row.RegExp != 0, row.CaseSensitive, row.Before, row.After);
    Child<QCheckBox>("excludeCheck")->click();

    // The default extension is added to a name typed without one.
    QVERIFY(SaveFiltersTo(m_pDir->filePath(u"round"_s)));
    const QString path = m_pDir->filePath(u"round.flt"_s);
    QVERIFY(QFile::exists(path));

    Button("deleteAllButton")->click();
    m_pDlg->GetFilterSettings().SetExcludeMatches(false);
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocB->GetPathName()) == m_pDocB);
    Child<QLineEdit>("filterStringEdit")->setText(u"stays"_s);
    QVERIFY(LoadFiltersFrom(path));

    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), filters);
    QCOMPARE(FiltersOf(m_pDocB->GetFilterSettings()), filters);
    QCOMPARE(RowCells(1), (QStringList{u"^WARN.*timeout$"_s, u"X"_s, u"-"_s, u"0"_s, u"5"_s}));
    QVERIFY(m_pDlg->GetFilterSettings().GetExcludeMatches());
    QVERIFY(Child<QCheckBox>("excludeCheck")->isChecked());
    QCOMPARE(Child<QLineEdit>("filterStringEdit")->text(), u"stays"_s);
    QCOMPARE(EnabledListButtons().size(), 7);

    // A save that cannot be written says so and leaves the list alone.
    const QString nowhere = m_pDir->filePath(u"missing/folder.flt"_s);
    auto failure = std::make_shared<QString>();
    auto seen = OnNextModal([nowhere, failure](QWidget* pModal) {
        TestSupport::ChooseFile(pModal, nowhere);
        OnNextModal([failure](QWidget* pBox) {
            if (auto* pMessage = qobject_cast<QMessageBox*>(pBox))
                *failure = pMessage->windowTitle() % u": "_s % pMessage->text();
            pBox->close();
        });
    });
    m_pDlg->OnSaveFilters();
    QVERIFY(*seen);
    QVERIFY2(failure->startsWith(u"Save Filters Error: "_s), qPrintable(*failure));
    QVERIFY(!QFile::exists(nowhere));
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), filters);

    // A file saved without the switch turns it off again.
    FilterSettings plain;
    SetFilters(plain, {{u"x"_s, 0, false, 0, 0}});
    const QString plainPath = m_pDir->filePath(u"plain.flt"_s);
    QVERIFY(WriteFilterSettingsFile(QFile::encodeName(plainPath).toStdString(), plain).Ok());
    QVERIFY(LoadFiltersFrom(plainPath));
    QVERIFY(!m_pDlg->GetFilterSettings().GetExcludeMatches());
    QVERIFY(!Child<QCheckBox>("excludeCheck")->isChecked());
}

void TestFilterSettingsDlg::checkBoxSwitchesFiltersByClickAndSpace()
{
    OpenDialog();
    AddFilter(u"one"_s);
    AddFilter(u"t.o"_s, true, true, 1, 2);
    AddFilter(u"three"_s);
    CLastColumnAutoResizingListCtrl* pList = m_pDlg->GetFilterList();
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, true}));
    const QColor secondColour = RowSwatch(1);
    const QColor thirdColour = RowSwatch(2);
    QVERIFY(secondColour != thirdColour);

    // A click on the box switches the filter off: the row stays, greyed, and the document has it
    // at once, as after any other edit of the list.
    ClickCheckBox(1);
    QCOMPARE(RowSwitches(), (QList<bool>{true, false, true}));
    QCOMPARE(ListSwitches(m_pDlg->GetFilterSettings()), (QList<bool>{true, false, true}));
    QCOMPARE(ListSwitches(m_pDocA->GetFilterSettings()), (QList<bool>{true, false, true}));
    QCOMPARE(pList->topLevelItemCount(), 3);
    QCOMPARE(RowCells(1), (QStringList{u"t.o"_s, u"X"_s, u"X"_s, u"1"_s, u"2"_s}));
    QVERIFY(pList->IsRowGreyed(pList->model()->index(1, 0)));
    QVERIFY(!pList->IsRowGreyed(pList->model()->index(0, 0)));
    // Its colour goes to the next filter that is on, which is the filter the run numbers second.
    QCOMPARE(RowSwatch(2), secondColour);
    QVERIFY(RowSwatch(1) != secondColour && RowSwatch(1) != thirdColour);
    // The row drawn greyed really looks different from the same row switched on.
    pList->clearSelection();
    const QImage off = pList->viewport()->grab(pList->visualRect(pList->model()->index(1, 0))).toImage();
    ClickCheckBox(1);
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, true}));
    QCOMPARE(ListSwitches(m_pDocA->GetFilterSettings()), (QList<bool>{true, true, true}));
    QCOMPARE(RowSwatch(2), thirdColour);
    pList->clearSelection();
    const QImage on = pList->viewport()->grab(pList->visualRect(pList->model()->index(1, 0))).toImage();
    QVERIFY(off != on);

    // Space switches the selected row, whichever of its cells is current.
    pList->setFocus();
    pList->setCurrentIndex(pList->model()->index(2, 3));
    QVERIFY(pList->topLevelItem(2)->isSelected());
    QTest::keyClick(pList, Qt::Key_Space);
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, false}));
    QCOMPARE(ListSwitches(m_pDocA->GetFilterSettings()), (QList<bool>{true, true, false}));
    pList->setCurrentIndex(pList->model()->index(0, 0));
    QTest::keyClick(pList, Qt::Key_Space);
    QCOMPARE(RowSwitches(), (QList<bool>{false, true, false}));
    QTest::keyClick(pList, Qt::Key_Space);
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, false}));
    // Without a selected row Space switches nothing: it selects the current row.
    pList->clearSelection();
    QTest::keyClick(pList, Qt::Key_Space);
    QCOMPARE(ListSwitches(m_pDlg->GetFilterSettings()), (QList<bool>{true, true, false}));
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, false}));
    QVERIFY(pList->topLevelItem(0)->isSelected());

    // Editing a switched-off filter keeps it off; a new filter comes on.
    pList->setCurrentItem(pList->topLevelItem(2));
    OnNextModal([](QWidget* pModal) {
        if (auto* pEditor = qobject_cast<CEditFilterSettingsDlg*>(pModal)) {
            pEditor->findChild<QLineEdit*>(u"filterStringEdit"_s)->setText(u"THREE"_s);
            pEditor->accept();
        } else {
            pModal->close();
        }
    });
    Button("editFilterButton")->click();
    TestSupport::DropPendingModalHandlers();
    QCOMPARE(m_pDlg->GetFilterSettings().GetFilterString(2), u"THREE");
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, false}));
    AddFilter(u"four"_s);
    QCOMPARE(RowSwitches(), (QList<bool>{true, true, false, true}));
    QCOMPARE(ListSwitches(m_pDocA->GetFilterSettings()), (QList<bool>{true, true, false, true}));
    QCOMPARE(RowSwatch(3), thirdColour);

    // Deleting a filter above a switched-off one keeps it off, in its new place.
    pList->setCurrentItem(pList->topLevelItem(0));
    Button("deleteFilterButton")->click();
    QCOMPARE(RowSwitches(), (QList<bool>{true, false, true}));
    QCOMPARE(ListSwitches(m_pDocA->GetFilterSettings()), (QList<bool>{true, false, true}));
    QCOMPARE(RowSwatch(2), secondColour);
}

void TestFilterSettingsDlg::switchedOffFiltersSurviveCopyPasteSaveAndLoad()
{
    OpenDialog();
    AddFilter(u"on"_s);
    AddFilter(u"off"_s, true);
    m_pDlg->GetFilterList()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    Button("copyAllButton")->click();
    QCOMPARE(ListSwitches(g_FilterClipboard), (QList<bool>{true, false}));

    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocB->GetPathName()) == m_pDocB);
    Button("pasteAllButton")->click();
    QCOMPARE(RowSwitches(), (QList<bool>{true, false}));
    QCOMPARE(ListSwitches(m_pDlg->GetFilterSettings()), (QList<bool>{true, false}));
    QVERIFY(m_pDlg->GetFilterList()->IsRowGreyed(m_pDlg->GetFilterList()->model()->index(1, 0)));

    QVERIFY(SaveFiltersTo(m_pDir->filePath(u"switched.flt"_s)));
    Button("deleteAllButton")->click();
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 0);
    QVERIFY(LoadFiltersFrom(m_pDir->filePath(u"switched.flt"_s)));
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()),
             (QList<FilterRow>{{u"on"_s, 0, false, 0, 0}, {u"off"_s, 1, false, 0, 0}}));
    QCOMPARE(RowSwitches(), (QList<bool>{true, false}));
    QCOMPARE(ListSwitches(m_pDocB->GetFilterSettings()), (QList<bool>{true, false}));

    // A file of switched-off filters only loads them, all greyed.
    FilterSettings allOff;
    SetFilters(allOff, {{u"a"_s, 0, false, 0, 0}, {u"b"_s, 0, true, 0, 0}});
    allOff.SetEnabled(0, false);
    allOff.SetEnabled(1, false);
    const QString allOffPath = m_pDir->filePath(u"alloff.flt"_s);
    QVERIFY(WriteFilterSettingsFile(QFile::encodeName(allOffPath).toStdString(), allOff).Ok());
    QVERIFY(LoadFiltersFrom(allOffPath));
    QCOMPARE(RowSwitches(), (QList<bool>{false, false}));
    QCOMPARE(EnabledListButtons().size(), 7);
}

void TestFilterSettingsDlg::filterStringsKeepToWhatAFileCarries()
{
    // The filter field takes no more than a saved line holds.
    OpenDialog();
    auto* pField = Child<QLineEdit>("filterStringEdit");
    pField->setText(QString(300, u'x'));
    QCOMPARE(pField->text().size(), 236);

    // A longer string from elsewhere (a session, the clipboard) stays whole in the editor...
    const QString longer = QString(250, u'y');
    SetFilters(m_pDocA->GetFilterSettings(), {{longer, 0, false, 0, 0}});
    QVERIFY(m_pWorkspace->OpenDocumentFile(m_pDocA->GetPathName()) == m_pDocA);
    m_pDlg->GetFilterList()->setCurrentItem(m_pDlg->GetFilterList()->topLevelItem(0));
    auto shown = std::make_shared<QString>();
    auto seen = OnNextModal([shown](QWidget* pModal) {
        *shown = pModal->findChild<QLineEdit*>(u"filterStringEdit"_s)->text();
        pModal->findChild<QLineEdit*>(u"linesAfterEdit"_s)->setText(u"4"_s);
        pModal->findChild<QPushButton*>(u"okButton"_s)->click();
    });
    Button("editFilterButton")->click();
    QVERIFY(*seen);
    QCOMPARE(*shown, longer);
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), (QList<FilterRow>{{longer, 0, false, 0, 4}}));

    // ...and saving it is refused by name, writing nothing.
    const QString path = m_pDir->filePath(u"long.flt"_s);
    auto failure = std::make_shared<QString>();
    seen = OnNextModal([path, failure](QWidget* pModal) {
        TestSupport::ChooseFile(pModal, path);
        OnNextModal([failure](QWidget* pBox) {
            if (auto* pMessage = qobject_cast<QMessageBox*>(pBox))
                *failure = pMessage->text();
            pBox->close();
        });
    });
    m_pDlg->OnSaveFilters();
    QVERIFY(*seen);
    QVERIFY2(failure->startsWith(u"Filter 1 (\""_s % QString(40, u'y') % u"...\")"_s), qPrintable(*failure));
    QVERIFY2(failure->contains(u"at most 236 characters"_s), qPrintable(*failure));
    QVERIFY(!QFile::exists(path));
}

void TestFilterSettingsDlg::loadReportsReaderErrorsAndKeepsList()
{
    OpenDialog();
    AddFilter(u"keep me"_s);
    const QList<FilterRow> before = FiltersOf(m_pDlg->GetFilterSettings());

    const QString bad = m_pDir->filePath(u"bad.flt"_s);
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<Filter>\n   FilterString=\"x\"\n   Colour=3\n</Filter>\n");
    file.close();
    auto message = std::make_shared<QString>();
    auto seen = OnNextModal([bad, message](QWidget* pModal) {
        TestSupport::ChooseFile(pModal, bad);
        // The reader's message follows once the file dialog has gone.
        OnNextModal([message](QWidget* pBox) {
            if (auto* pMessage = qobject_cast<QMessageBox*>(pBox))
                *message = pMessage->windowTitle() % u": "_s % pMessage->text();
            pBox->close();
        });
    });
    m_pDlg->OnLoadFilters();
    QVERIFY(*seen);
    QVERIFY2(message->startsWith(u"ERROR: Illegal Filter Setting in \""_s), qPrintable(*message));
    QVERIFY2(message->contains(u"on Line 3"_s), qPrintable(*message));
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), before);
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), before);

    // A file cut off inside a filter loads nothing and says where it ended.
    const QString cutOff = m_pDir->filePath(u"cut.flt"_s);
    QVERIFY(TestSupport::WriteFile(cutOff, "<Filter>\n   FilterString=\"x\"\n   RegExp=1\n"));
    message->clear();
    seen = OnNextModal([cutOff, message](QWidget* pModal) {
        TestSupport::ChooseFile(pModal, cutOff);
        OnNextModal([message](QWidget* pBox) {
            if (auto* pMessage = qobject_cast<QMessageBox*>(pBox))
                *message = pMessage->windowTitle() % u": "_s % pMessage->text();
            pBox->close();
        });
    });
    m_pDlg->OnLoadFilters();
    QVERIFY(*seen);
    QTRY_COMPARE(*message, u"ERROR: Illegal Filter Setting in \"%1\" on Line 3:  \"   RegExp=1\""_s.arg(cutOff));
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), before);
    QCOMPARE(FiltersOf(m_pDocA->GetFilterSettings()), before);

    // A file without filters loads nothing and says nothing.
    const QString empty = m_pDir->filePath(u"empty.flt"_s);
    QFile emptyFile(empty);
    QVERIFY(emptyFile.open(QIODevice::WriteOnly));
    emptyFile.write("<FilterSettings>\n   ExcludeMatches=1\n</FilterSettings>\n");
    emptyFile.close();
    QVERIFY(LoadFiltersFrom(empty));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), before);
    QVERIFY(!m_pDlg->GetFilterSettings().GetExcludeMatches());
}

void TestFilterSettingsDlg::loadThenPasteOfEmptyClipboard()
{
    OpenDialog();
    FilterSettings two;
    SetFilters(two, {{u"a"_s, 0, false, 0, 0}, {u"b"_s, 1, true, 1, 1}});
    const QString path = m_pDir->filePath(u"two.flt"_s);
    QVERIFY(WriteFilterSettingsFile(QFile::encodeName(path).toStdString(), two).Ok());
    AddFilter(u"replaced"_s);
    QVERIFY(LoadFiltersFrom(path));
    QCOMPARE(FiltersOf(m_pDlg->GetFilterSettings()), FiltersOf(two));
    QCOMPARE(EnabledListButtons().size(), 7);

    Button("pasteAllButton")->click();
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 0);
    QCOMPARE(m_pDlg->GetFilterList()->topLevelItemCount(), 0);
    QCOMPARE(EnabledListButtons().size(), 7);
    QCOMPARE(MessageOf([this] { Button("editFilterButton")->click(); }), u"Edit Filter Error: No Filter To Edit"_s);
}

void TestFilterSettingsDlg::enterAddsInFilterFieldAndMovesFocusElsewhere()
{
    OpenDialog();
    m_pDlg->activateWindow();
    QLineEdit* pFilter = Child<QLineEdit>("filterStringEdit");
    pFilter->setFocus();
    QTest::keyClicks(pFilter, u"ERROR"_s);
    QTest::keyClick(pFilter, Qt::Key_Return);
    QCOMPARE(m_pDlg->GetFilterSettings().GetCount(), 1);
    QVERIFY(pFilter->text().isEmpty());

    QLineEdit* pBefore = Child<QLineEdit>("linesBeforeEdit");
    pBefore->setFocus();
    QTest::keyClick(pBefore, Qt::Key_Enter);
    QTRY_VERIFY(Child("linesAfterEdit")->hasFocus());

    // On a focused button Enter moves on and presses nothing: no file dialog opens.
    QPushButton* pLoad = Button("loadFiltersButton");
    pLoad->setFocus();
    QCOMPARE(MessageOf([pLoad] { QTest::keyClick(pLoad, Qt::Key_Return); }), QString());
    QTRY_VERIFY(Button("saveFiltersButton")->hasFocus());
    QVERIFY(m_pDlg->isVisible());
}

void TestFilterSettingsDlg::layoutFollowsResize()
{
    OpenDialog();
    QCOMPARE(m_pDlg->minimumSize(), QSize(364, 507));
    m_pDlg->resize(200, 300);
    QTRY_COMPARE(m_pDlg->size(), QSize(364, 507));

    const char* const names[] = {"filterGroupBox",   "filterStringEdit",   "addFilterButton",   "filterList",
                                 "editFilterButton", "deleteFilterButton", "copyAllButton",     "pasteAllButton",
                                 "deleteAllButton",  "loadFiltersButton",  "saveFiltersButton", "enableTooltipsCheck",
                                 "excludeCheck",     "applyButton",        "regExpCheck",       "linesBeforeEdit"};
    const auto geometries = [&] {
        QList<QRect> rects;
        for (const char* name : names)
            rects.append(Child(name)->geometry());
        return rects;
    };
    const QList<QRect> small = geometries();
    const int nColumn0 = m_pDlg->GetFilterList()->columnWidth(0);
    QCOMPARE(Child("filterGroupBox")->geometry(), QRect(10, 5, 344, 172));
    QCOMPARE(Child("applyButton")->geometry(), QRect(11, 462, 344, 33));
    QCOMPARE(Child("editFilterButton")->y(), 195);
    QCOMPARE(Child("deleteFilterButton")->y(), 224);
    QCOMPARE(Child("saveFiltersButton")->y(), 374);
    QCOMPARE(Child("filterList")->geometry().top(), 195);
    // The list ends above the check box row (a few pixels higher when the font's boxes are tall).
    QVERIFY(Child("filterList")->height() <= 507 - 263 && Child("filterList")->height() >= 507 - 263 - 8);
    QCOMPARE(Child("sizeGrip")->geometry(), QRect(354, 497, 10, 10));
    int nColumns = 0;
    for (int i = 0; i < 5; ++i)
        nColumns += m_pDlg->GetFilterList()->columnWidth(i);
    QCOMPARE(nColumns, m_pDlg->GetFilterList()->viewport()->width());
    QCOMPARE(m_pDlg->GetFilterList()->columnWidth(4), 30);

    m_pDlg->resize(464, 607);
    QTRY_COMPARE(m_pDlg->size(), QSize(464, 607));
    const QList<QRect> large = geometries();
    const QPoint right(100, 0);
    const QPoint down(0, 100);
    const QList<QRect> expected = {small[0].adjusted(0, 0, 100, 0),
                                   small[1].adjusted(0, 0, 100, 0),
                                   small[2].translated(right),
                                   small[3].adjusted(0, 0, 100, 100),
                                   small[4].translated(right),
                                   small[5].translated(right),
                                   small[6].translated(right),
                                   small[7].translated(right),
                                   small[8].translated(right),
                                   small[9].translated(right),
                                   small[10].translated(right),
                                   small[11].translated(right + down),
                                   small[12].translated(down),
                                   small[13].adjusted(0, 100, 100, 100),
                                   small[14],
                                   small[15]};
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(large[i] == expected[i], names[i]);
    QCOMPARE(m_pDlg->GetFilterList()->columnWidth(0), nColumn0 + 100);
    QCOMPARE(m_pDlg->GetFilterList()->columnWidth(4), 30);
    QCOMPARE(Child("sizeGrip")->geometry(), QRect(454, 597, 10, 10));
}

void TestFilterSettingsDlg::controlsVisibleAndNotOverlapping()
{
    OpenDialog();
    AddFilter(u"ERROR"_s);
    // Keep Bookmarked Lines shows only while the document has bookmarks; then it must fit too.
    QVERIFY(Child("keepBookmarksCheck")->isHidden());
    for (const bool bBookmarks : {false, true}) {
        if (bBookmarks) {
            m_pDocA->GetView()->GetBookmarks().Assign({1});
            QVERIFY(!Child("keepBookmarksCheck")->isHidden());
        }
        for (const QSize size : {QSize(364, 507), QSize(800, 700)}) {
            m_pDlg->resize(size);
            QTRY_COMPARE(m_pDlg->size(), size);
            const QRect groupRect = Child("filterGroupBox")->geometry();
            QList<QWidget*> controls;
            for (QWidget* pChild : m_pDlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (pChild->isWindow() || pChild->objectName() == u"filterGroupBox"_s)
                    continue;
                const QString name = pChild->objectName();
                if (!bBookmarks && name == u"keepBookmarksCheck"_s)
                    continue;
                QVERIFY2(pChild->isVisible(), qPrintable(name));
                QVERIFY2(m_pDlg->rect().contains(pChild->geometry()), qPrintable(name));
                controls.append(pChild);

                // Captions fit: check boxes and labels their whole hint, buttons their text and margins.
                if (auto* pButton = qobject_cast<QPushButton*>(pChild)) {
                    const int nText = pButton->fontMetrics().horizontalAdvance(pButton->text());
                    QVERIFY2(pButton->width() >= nText + 8, qPrintable(name));
                } else if (qobject_cast<QCheckBox*>(pChild) || qobject_cast<QLabel*>(pChild)) {
                    QVERIFY2(pChild->width() >= pChild->sizeHint().width(), qPrintable(name));
                    QVERIFY2(pChild->height() >= pChild->minimumSizeHint().height(), qPrintable(name));
                }
                const bool bInGroup = pChild->y() < groupRect.bottom() && name != u"sizeGrip"_s;
                if (bInGroup)
                    QVERIFY2(groupRect.contains(pChild->geometry()), qPrintable(name));
            }
            for (qsizetype i = 0; i < controls.size(); ++i) {
                for (qsizetype j = i + 1; j < controls.size(); ++j) {
                    const QString pair = controls[i]->objectName() % u" / "_s % controls[j]->objectName();
                    QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()), qPrintable(pair));
                }
            }
        }
    }
}

void TestFilterSettingsDlg::tooltipsSwitchAtOnce()
{
    OpenDialog();
    QWidget* pAdd = Button("addFilterButton");
    const auto askForTip = [pAdd] {
        QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), pAdd->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(pAdd, &event);
    };
    auto* pTimer = m_pDlg->findChild<QTimer*>(u"toolTipTimer"_s);
    QVERIFY(pTimer);
    askForTip();
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY(QToolTip::text().contains(u"Add the specified filter settings to the filter list"_s));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    Child<QCheckBox>("enableTooltipsCheck")->click();
    QCOMPARE(m_pWorkspace->GetToolTipsEnabled(), false);
    askForTip();
    QVERIFY2(!pTimer->isActive(), "no tip is on its way");
    QVERIFY(!QToolTip::isVisible());

    // Switched off while a tip waits: it never comes.
    Child<QCheckBox>("enableTooltipsCheck")->click();
    QCOMPARE(m_pWorkspace->GetToolTipsEnabled(), true);
    askForTip();
    QVERIFY(pTimer->isActive());
    Child<QCheckBox>("enableTooltipsCheck")->click();
    QVERIFY(!pTimer->isActive());

    Child<QCheckBox>("enableTooltipsCheck")->click();
    askForTip();
    QTRY_VERIFY(QToolTip::isVisible());
    QToolTip::hideText();

    // A new dialog (the next start) takes the stored choice.
    m_pWorkspace->SetToolTipsEnabled(false);
    CFilterSettingsDlg second(*m_pWorkspace, m_pWorkspace->GetDialogOwner());
    QVERIFY(!second.findChild<QCheckBox*>(u"enableTooltipsCheck"_s)->isChecked());
}

void TestFilterSettingsDlg::regExpSyntaxOpensHelpDocument()
{
    OpenDialog();
    QDesktopServices::setUrlHandler(u"file"_s, this, "OpenUrl");
    m_OpenedUrls.clear();

    // Path names a folder without the help document: nothing opens and nothing is said.
    COstrelSettings settings;
    settings.setValue(u"Path"_s, m_pDir->path());
    settings.sync();
    QCOMPARE(MessageOf([this] { Button("regExpSyntaxButton")->click(); }), QString());
    QVERIFY(m_OpenedUrls.isEmpty());

    QVERIFY(QDir(m_pDir->path()).mkpath(u"help"_s));
    QFile help(m_pDir->filePath(u"help/RegExpSyntax.html"_s));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("<html></html>");
    help.close();
    Button("regExpSyntaxButton")->click();
    QDesktopServices::unsetUrlHandler(u"file"_s);
    QCOMPARE(m_OpenedUrls, QList<QUrl>{QUrl::fromLocalFile(m_pDir->filePath(u"help/RegExpSyntax.html"_s))});

    // The document shipped with the program exists and describes the syntax.
    QFile shipped(QStringLiteral(OSTREL_SOURCE_DIR "/help/RegExpSyntax.html"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QVERIFY(shipped.readAll().contains("Regular Expression Syntax"));
}

void TestFilterSettingsDlg::tooltipsWaitAndWrapAtMostAtTheirWidth()
{
    OpenDialog();
    auto* pTimer = m_pDlg->findChild<QTimer*>(u"toolTipTimer"_s);
    QVERIFY(pTimer);
    QPushButton* pDelete = Button("deleteFilterButton");
    QPushButton* pPaste = Button("pasteAllButton");

    // The event comes after the style's own delay; the dialog waits the rest of two seconds.
    AskForTip(pDelete);
    QVERIFY2(!QToolTip::isVisible(), "a tip waits before it shows");
    QVERIFY(pTimer->isActive());
    QCOMPARE(pTimer->interval() + pDelete->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, pDelete),
             CFilterSettingsDlg::ToolTipDelayMs);
    QTRY_VERIFY(QToolTip::isVisible());

    // A short tip is as wide as its text; a long one wraps at the tip width.
    QWidget* pShort = ToolTipWindow();
    QVERIFY(pShort);
    const QFontMetrics metrics(QToolTip::font());
    const int nShortText = metrics.horizontalAdvance(u"Delete the selected filter"_s);
    QVERIFY2(nShortText < CFilterSettingsDlg::ToolTipMaxWidth, "the test needs a tip narrower than the maximum");
    const int nChrome = pShort->width() - nShortText;
    QVERIFY2(nChrome >= 0 && nChrome < 40,
             qPrintable(u"short tip %1 px for %2 px of text"_s.arg(pShort->width()).arg(nShortText)));
    QVERIFY2(pShort->height() < 2 * metrics.height() + 16, "one line");
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    AskForTip(pPaste);
    QTRY_VERIFY(QToolTip::isVisible());
    QWidget* pLong = ToolTipWindow();
    QVERIFY(pLong);
    QVERIFY2(pLong->width() <= CFilterSettingsDlg::ToolTipMaxWidth + nChrome + 2,
             qPrintable(u"long tip %1 px wide"_s.arg(pLong->width())));
    QVERIFY2(pLong->height() > 4 * metrics.height(), "wrapped onto several lines");
    QVERIFY(QToolTip::text().contains(u"Paste all of the filter settings"_s));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    // The mouse leaving before the delay is over, or a click, takes the tip back.
    AskForTip(pDelete);
    QVERIFY(pTimer->isActive());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pDelete, &leave);
    QVERIFY(!pTimer->isActive());
    AskForTip(pPaste);
    QVERIFY(pTimer->isActive());
    QTest::mousePress(pPaste, Qt::LeftButton);
    QTest::mouseRelease(pPaste, Qt::LeftButton);
    QVERIFY(!pTimer->isActive());
    QVERIFY(!QToolTip::isVisible());

    // Markup in a tip's text shows as written.
    QVERIFY(CFilterSettingsDlg::FormatToolTip(u"<b>x</b>"_s).contains(u"&lt;b&gt;x&lt;/b&gt;"_s));
}

void TestFilterSettingsDlg::cutOffFilterStringShowsAsCellTip()
{
    OpenDialog();
    const QString longFilter = u"connection <reset> by peer|"_s.repeated(8) + u"timeout"_s;
    AddFilter(u"ERROR"_s);
    AddFilter(longFilter, true);
    CLastColumnAutoResizingListCtrl* pList = m_pDlg->GetFilterList();
    QWidget* pViewport = pList->viewport();
    const auto cellCentre = [pList](int nRow, int nColumn) {
        return pList->visualRect(pList->model()->index(nRow, nColumn)).center();
    };
    const auto shownTip = [] {
        QString text = QToolTip::text();
        return text.remove(QChar(0x200B));
    };

    // The long string is cut off: its cell's tip holds all of it, markup and all, wrapped.
    AskForTip(pViewport, cellCentre(1, 0));
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY2(shownTip().contains(longFilter.toHtmlEscaped()), qPrintable(shownTip()));
    QWidget* pTip = ToolTipWindow();
    QVERIFY(pTip);
    QVERIFY2(pTip->width() < CFilterSettingsDlg::ToolTipMaxWidth + 40, qPrintable(QString::number(pTip->width())));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    // A string that fits, and the other columns, have none.
    for (const QPoint point : {cellCentre(0, 0), cellCentre(1, 1), cellCentre(1, 4)}) {
        AskForTip(pViewport, point);
        QVERIFY(!m_pDlg->findChild<QTimer*>(u"toolTipTimer"_s)->isActive());
        QVERIFY(!QToolTip::isVisible());
    }
    // Widened until it fits, the long string has none either.
    m_pDlg->resize(pList->fontMetrics().horizontalAdvance(longFilter) + 400, m_pDlg->height());
    QTRY_VERIFY(pList->columnWidth(0) > pList->fontMetrics().horizontalAdvance(longFilter) + 20);
    AskForTip(pViewport, cellCentre(1, 0));
    QVERIFY(!QToolTip::isVisible());
    QVERIFY(!m_pDlg->findChild<QTimer*>(u"toolTipTimer"_s)->isActive());

    // With the tips switched off, a cut-off cell shows nothing.
    m_pDlg->resize(364, 507);
    QTRY_COMPARE(m_pDlg->width(), 364);
    Child<QCheckBox>("enableTooltipsCheck")->click();
    AskForTip(pViewport, cellCentre(1, 0));
    QVERIFY(!m_pDlg->findChild<QTimer*>(u"toolTipTimer"_s)->isActive());
}

void TestFilterSettingsDlg::columnWidthsSurviveHidingAndShowing()
{
    OpenDialog();
    AddFilter(u"a rather long filter string to fit"_s, true, true, 12345, 7);
    CLastColumnAutoResizingListCtrl* pList = m_pDlg->GetFilterList();
    // Ctrl with the keypad's plus fits every column to its content.
    pList->setFocus();
    QTest::keyClick(pList, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    QList<int> fitted;
    for (int i = 0; i < 5; ++i)
        fitted.append(pList->columnWidth(i));
    QVERIFY2(fitted[3] != 30, "the fit changed the fixed widths");

    QTest::keyClick(Child("filterStringEdit"), Qt::Key_Escape);
    QTRY_VERIFY(!m_pDlg->isVisible());
    OpenDialog();
    for (int i = 0; i < 5; ++i)
        QCOMPARE(pList->columnWidth(i), fitted[i]);

    // A change of size lays the columns out again.
    m_pDlg->resize(m_pDlg->width() + 40, m_pDlg->height());
    QTRY_COMPARE(pList->columnWidth(1), 30);
    for (int i = 2; i < 5; ++i)
        QCOMPARE(pList->columnWidth(i), 30);
    QCOMPARE(pList->columnWidth(0) + 120, pList->viewport()->width());
}

void TestFilterSettingsDlg::placementComesBackAtTheNextStart()
{
    OpenDialog();
    // Never moved before: centred over its owner, as the first opening puts it.
    QVERIFY(!COstrelSettings().contains(u"Workspace/FilterSettingsDialog"_s));
    const QRect placed(QPoint(123, 87), QSize(420, 560));
    m_pDlg->setGeometry(placed);
    QTRY_COMPARE(m_pDlg->geometry(), placed);
    {
        COstrelSettings settings;
        m_pDlg->SaveWindowPlacement(settings);
    }
    QVERIFY(COstrelSettings().contains(u"Workspace/FilterSettingsDialog"_s));

    // The next run: a new workspace and a new dialog where the old one was.
    m_pWorkspace.reset();
    QVERIFY(!g_pFilterSettingsDlg);
    m_pWorkspace = std::make_unique<TestSupport::TestWorkspace>();
    m_pDocA = m_pWorkspace->OpenDocumentFile(MakeLog(u"app.log"_s));
    QVERIFY(m_pDocA);
    OpenDialog();
    QCOMPARE(m_pDlg->geometry(), placed);

    // Nothing stored: nothing restored, and the dialog keeps its own first placement.
    COstrelSettings().remove(u"Workspace/FilterSettingsDialog"_s);
    CFilterSettingsDlg second(*m_pWorkspace, m_pWorkspace->GetDialogOwner());
    QVERIFY(!second.RestoreWindowPlacement(COstrelSettings()));
    QCOMPARE(second.size(), QSize(364, 507));
}

void TestFilterSettingsDlg::expressionErrorShowsAsItIsTyped()
{
    OpenDialog();
    auto* pError = Child<QLabel>("filterErrorLabel");
    auto* pEdit = Child<QLineEdit>("filterStringEdit");
    auto* pRegExp = Child<QCheckBox>("regExpCheck");
    QVERIFY(pError->text().isEmpty());

    // Under the field, above the next row, in a colour of its own.
    QVERIFY(pError->geometry().top() > pEdit->geometry().bottom());
    QVERIFY(pError->geometry().bottom() < pRegExp->geometry().top());
    QVERIFY(pError->geometry().bottom() < Child("regExpSyntaxButton")->geometry().top());
    QVERIFY(pError->palette().color(QPalette::WindowText) != m_pDlg->palette().color(QPalette::WindowText));

    QTest::keyClicks(pEdit, u"[abc"_s);
    QVERIFY2(pError->text().isEmpty(), "a literal filter is never an expression error");
    pRegExp->click();
    QCOMPARE(pError->text(), u"A closing bracket was expected"_s);
    QTest::keyClick(pEdit, Qt::Key_BracketRight);
    QVERIFY(pError->text().isEmpty());
    QTest::keyClicks(pEdit, u"(x"_s);
    QCOMPARE(pError->text(), u"A closing parenthesis was expected"_s);
    pRegExp->click();
    QVERIFY(pError->text().isEmpty());
    pRegExp->click();
    QCOMPARE(pError->text(), u"A closing parenthesis was expected"_s);

    // Add is as it was: the faulty expression goes into the list, and the emptied field has no error.
    Button("addFilterButton")->click();
    QCOMPARE(RowCells(0), (QStringList{u"[abc](x"_s, u"X"_s, u"-"_s, u"0"_s, u"0"_s}));
    QVERIFY(pError->text().isEmpty());

    // A message longer than its line is cut short, and its tip holds the whole text.
    const QString repeatError = u"A repeat operator (* or +) was applied to an expression that could be empty"_s;
    pEdit->setText(u"(a*)*"_s);
    if (pError->toolTip().isEmpty()) {
        QCOMPARE(pError->text(), repeatError);
    } else {
        QCOMPARE(pError->toolTip(), repeatError);
        QVERIFY(pError->text().endsWith(QChar(0x2026)));
    }
    QVERIFY(pError->width() >= pError->sizeHint().width());
    m_pDlg->resize(900, 507);
    QTRY_COMPARE(pError->text(), repeatError);
    QVERIFY(pError->toolTip().isEmpty());
}

void TestFilterSettingsDlg::helpFoundBesideTheProgramAndShownWithoutAViewer()
{
    OpenDialog();
    // Without the Path setting the document beside the program is the one, as in a build folder.
    COstrelSettings().remove(u"Path"_s);
    const QDir programDir(QCoreApplication::applicationDirPath());
    const bool bHadHelp = programDir.exists(u"help/RegExpSyntax.html"_s);
    if (!bHadHelp) {
        QVERIFY(programDir.mkpath(u"help"_s));
        QVERIFY(QFile::copy(QStringLiteral(OSTREL_SOURCE_DIR "/help/RegExpSyntax.html"),
                            programDir.filePath(u"help/RegExpSyntax.html"_s)));
    }
    const QString beside = QFileInfo(programDir.filePath(u"help/RegExpSyntax.html"_s)).canonicalFilePath();
    QCOMPARE(CFilterSettingsDlg::FindRegExpSyntaxHelp(), beside);

    // A viewer that starts gets the document; none that starts: a window of the program's own.
    QList<QUrl> opened;
    bool bViewerStarts = true;
    m_pDlg->SetHelpOpener([&opened, &bViewerStarts](const QUrl& url) {
        opened.append(url);
        return bViewerStarts;
    });
    Button("regExpSyntaxButton")->click();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(beside)});
    QVERIFY(!m_pDlg->findChild<QWidget*>(u"regExpHelpWindow"_s));

    bViewerStarts = false;
    Button("regExpSyntaxButton")->click();
    auto* pWindow = m_pDlg->findChild<QWidget*>(u"regExpHelpWindow"_s);
    QVERIFY(pWindow);
    QTRY_VERIFY(pWindow->isVisible());
    QVERIFY(pWindow->isWindow());
    QCOMPARE(pWindow->windowTitle(), u"Regular Expression Syntax"_s);
    auto* pBrowser = pWindow->findChild<QTextBrowser*>(u"regExpHelpBrowser"_s);
    QVERIFY(pBrowser);
    QCOMPARE(pBrowser->source(), QUrl::fromLocalFile(beside));
    QVERIFY(pBrowser->toPlainText().contains(u"Regular Expression Syntax"_s));

    // Asked again, the same window comes back.
    pWindow->close();
    QTRY_VERIFY(!pWindow->isVisible());
    Button("regExpSyntaxButton")->click();
    QCOMPARE(m_pDlg->findChildren<QTextBrowser*>().size(), 1);
    QTRY_VERIFY(pWindow->isVisible());
    if (!bHadHelp) {
        QFile::remove(beside);
        programDir.rmdir(u"help"_s);
    }
}

void TestFilterSettingsDlg::unclosedFilterIsFoundWhereTheFileEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("line"); // 0: the file ends outside a filter
    QTest::addColumn<QString>("text");
    const QByteArray minimal = "<Filter>\nFilterString=\"abc\"\n</Filter>\n";
    QTest::newRow("ends after a key") << QByteArray("<Filter>\nFilterString=\"a\"\nRegExp=1\n") << qint64(3)
                                      << u"RegExp=1\n"_s;
    QTest::newRow("no line feed at the end")
        << QByteArray("<filter> x\r\nFilterString=\"a\"") << qint64(2) << u"FilterString=\"a\""_s;
    QTest::newRow("comments and blank lines count") << QByteArray("<Filter>\r\n# c\r\n\r\n") << qint64(3) << u"\n"_s;
    QTest::newRow("after a whole filter") << minimal + "  <FILTER>\n" << qint64(4) << u"  <FILTER>\n"_s;
    QTest::newRow("0x1A ends the file") << QByteArray("<Filter>\nFilterString=\"abc\"\n\x1A</Filter>\n") << qint64(2)
                                        << u"FilterString=\"abc\"\n"_s;
    QTest::newRow("long lines are read in pieces")
        << QByteArray("<Filter>\n#" + QByteArray(300, 'c') + "\n") << qint64(3) << QString(47, u'c') + u"\n"_s;
    QTest::newRow("utf-8") << QByteArray("\xEF\xBB\xBF<Filter>\nFilterString=\"\xC3\xA9\"\n") << qint64(2)
                           << u"FilterString=\"\u00e9\"\n"_s;
    QTest::newRow("latin-1") << QByteArray("<Filter>\nFilterString=\"\xE9\"\n") << qint64(2)
                             << u"FilterString=\"\u00e9\"\n"_s;
    QTest::newRow("closed") << minimal << qint64(0) << QString();
    QTest::newRow("inside settings") << minimal + "<FilterSettings>\n" << qint64(0) << QString();
    QTest::newRow("settings tag is no filter tag") << QByteArray("<FilterSettings>\n") << qint64(0) << QString();
    QTest::newRow("empty") << QByteArray() << qint64(0) << QString();
}

void TestFilterSettingsDlg::unclosedFilterIsFoundWhereTheFileEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, line);
    QFETCH(QString, text);
    const QString path = m_pDir->filePath(u"case.flt"_s);
    QVERIFY(TestSupport::WriteFile(path, bytes));
    const std::optional<UnclosedFilter> end = FindUnclosedFilter(path);
    QCOMPARE(end.has_value(), line > 0);
    if (end) {
        QCOMPARE(end->Line, line);
        QCOMPARE(end->Text, text);
    }
    QVERIFY(!FindUnclosedFilter(m_pDir->filePath(u"missing.flt"_s)));
}

void TestFilterSettingsDlg::decimalConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("digits") << u"42"_s << 42;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("no digits") << u"abc"_s << 0;
    QTest::newRow("leading space and sign") << u"  +7"_s << 7;
    QTest::newRow("negative") << u"-3"_s << -3;
    QTest::newRow("stops at a letter") << u"12abc"_s << 12;
    QTest::newRow("largest") << u"2147483647"_s << INT_MAX;
    QTest::newRow("saturates high") << u"99999999999999999999"_s << INT_MAX;
    QTest::newRow("smallest") << u"-2147483648"_s << INT_MIN;
    QTest::newRow("saturates low") << u"-2147483649"_s << INT_MIN;
}

void TestFilterSettingsDlg::decimalConversion()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(ConvertDecimalText(text), value);
}

void TestFilterSettingsDlg::smallDialogsHavePlainFrames()
{
    // A title and a close button: nothing to minimise or maximise.
    CEditFilterSettingsDlg editor;
    CWhitespaceFilterDlg whitespace;
    for (const QDialog* dialog : {static_cast<const QDialog*>(&editor), static_cast<const QDialog*>(&whitespace)}) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY2(flags & Qt::CustomizeWindowHint, qPrintable(dialog->objectName()));
        QVERIFY2(flags & Qt::WindowCloseButtonHint, qPrintable(dialog->objectName()));
        QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
                 qPrintable(dialog->objectName()));
    }
}

OSTREL_QT_TEST_MAIN(TestFilterSettingsDlg, QApplication)

#include "TestFilterSettingsDlg.moc"
