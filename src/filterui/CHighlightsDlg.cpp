// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CHighlightsDlg.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include "regex/Regex.h"
#include "view/ILogWorkspace.h"

using namespace Qt::Literals::StringLiterals;

namespace {

enum Column
{
    TextColumn,
    ExpressionColumn,
    CaseColumn,
    ColumnCount,
};

constexpr int ForeRole = Qt::UserRole;
constexpr int BackRole = Qt::UserRole + 1;
// A highlights file is a few lines; anything far larger is not one.
constexpr qint64 MaxFileBytes = 1 << 20;

QColor ToColor(std::uint32_t rgb)
{
    return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb));
}

std::uint32_t FromColor(const QColor& color)
{
    return static_cast<std::uint32_t>(color.rgb()) & 0xFFFFFFu;
}

QIcon Swatch(std::uint32_t rgb)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(ToColor(rgb));
    // A frame, so that a colour near the button's own still shows.
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}

QTableWidgetItem* CheckItem(bool checked)
{
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

QString FileDialogPath(QWidget* owner, bool save)
{
    QFileDialog dialog(owner);
    dialog.setObjectName(save ? u"exportHighlightsDialog"_s : u"importHighlightsDialog"_s);
    dialog.setWindowTitle(save ? u"Export Highlights"_s : u"Import Highlights"_s);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters({u"Highlight Files (*.highlights)"_s, u"All Files (*)"_s});
    dialog.setDefaultSuffix(u"highlights"_s);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

CHighlightsDlg::CHighlightsDlg(ILogWorkspace& workspace, std::vector<HighlightRule> rules, QWidget* parent)
    : QDialog(parent), m_Workspace(workspace)
{
    setObjectName(u"highlightsDialog"_s);
    setWindowTitle(u"Highlights"_s);

    m_pTable = new QTableWidget(0, ColumnCount, this);
    m_pTable->setObjectName(u"highlightRules"_s);
    m_pTable->setHorizontalHeaderLabels({u"Text"_s, u"Expression"_s, u"Match Case"_s});
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->horizontalHeader()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    m_pTable->horizontalHeader()->setSectionResizeMode(ExpressionColumn, QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setSectionResizeMode(CaseColumn, QHeaderView::ResizeToContents);

    m_pProblem = new QLabel(this);
    m_pProblem->setObjectName(u"highlightProblem"_s);
    m_pProblem->setWordWrap(true);
    m_pProblem->setStyleSheet(u"color: #C00000"_s);

    auto* buttons = new QVBoxLayout;
    const auto addButton = [this, buttons](const QString& text, const QString& name) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    m_pAdd = addButton(u"&Add"_s, u"addHighlight"_s);
    m_pEdit = addButton(u"&Edit"_s, u"editHighlight"_s);
    m_pRemove = addButton(u"&Remove"_s, u"removeHighlight"_s);
    m_pUp = addButton(u"Move &Up"_s, u"moveHighlightUp"_s);
    m_pDown = addButton(u"Move &Down"_s, u"moveHighlightDown"_s);
    buttons->addSpacing(12);
    m_pFore = addButton(u"&Text Colour..."_s, u"highlightForeColour"_s);
    m_pBack = addButton(u"&Background..."_s, u"highlightBackColour"_s);
    buttons->addSpacing(12);
    QPushButton* importButton = addButton(u"&Import..."_s, u"importHighlights"_s);
    QPushButton* exportButton = addButton(u"E&xport..."_s, u"exportHighlights"_s);
    buttons->addStretch();

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &CHighlightsDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CHighlightsDlg::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(m_pTable, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_pProblem);
    layout->addWidget(box);
    resize(620, 380);

    connect(m_pAdd, &QPushButton::clicked, this, &CHighlightsDlg::AddRule);
    connect(m_pEdit, &QPushButton::clicked, this, [this] {
        if (QTableWidgetItem* item = m_pTable->item(m_pTable->currentRow(), TextColumn))
            m_pTable->editItem(item);
    });
    connect(m_pRemove, &QPushButton::clicked, this, &CHighlightsDlg::RemoveCurrent);
    connect(m_pUp, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    connect(m_pFore, &QPushButton::clicked, this, [this] { ChooseColour(false); });
    connect(m_pBack, &QPushButton::clicked, this, [this] { ChooseColour(true); });
    connect(importButton, &QPushButton::clicked, this, &CHighlightsDlg::OnImport);
    connect(exportButton, &QPushButton::clicked, this, &CHighlightsDlg::OnExport);
    connect(m_pTable, &QTableWidget::itemChanged, this, [this] {
        if (!m_bFilling)
            UpdateState();
    });
    connect(m_pTable, &QTableWidget::currentCellChanged, this, [this](int row) {
        // The text cell is never drawn selected; the current rule's other cells show its row.
        QItemSelectionModel* selection = m_pTable->selectionModel();
        if (row >= 0)
            selection->select(QItemSelection(m_pTable->model()->index(row, ExpressionColumn),
                                             m_pTable->model()->index(row, CaseColumn)),
                              QItemSelectionModel::ClearAndSelect);
        UpdateState();
    });

    SetRules(rules);
}

void CHighlightsDlg::SetRules(const std::vector<HighlightRule>& rules)
{
    m_bFilling = true;
    m_pTable->setRowCount(0);
    for (const HighlightRule& rule : rules)
        InsertRow(m_pTable->rowCount(), rule);
    m_bFilling = false;
    if (m_pTable->rowCount() > 0)
        m_pTable->setCurrentCell(0, TextColumn);
    UpdateState();
}

void CHighlightsDlg::InsertRow(int row, const HighlightRule& rule)
{
    const bool filling = m_bFilling;
    m_bFilling = true;
    m_pTable->insertRow(row);
    auto* text = new QTableWidgetItem(QString::fromStdString(rule.Pattern));
    // Never drawn as selected: the text shows the rule's colours, the other cells the current row.
    text->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
    text->setData(ForeRole, static_cast<uint>(rule.Fore));
    text->setData(BackRole, static_cast<uint>(rule.Back));
    m_pTable->setItem(row, TextColumn, text);
    m_pTable->setItem(row, ExpressionColumn, CheckItem(rule.RegExp));
    m_pTable->setItem(row, CaseColumn, CheckItem(rule.CaseSensitive));
    ShowColours(row);
    m_bFilling = filling;
}

HighlightRule CHighlightsDlg::RuleAt(int row) const
{
    HighlightRule rule;
    const QTableWidgetItem* text = m_pTable->item(row, TextColumn);
    rule.Pattern = text->text().toStdString();
    rule.Fore = text->data(ForeRole).toUInt();
    rule.Back = text->data(BackRole).toUInt();
    rule.RegExp = m_pTable->item(row, ExpressionColumn)->checkState() == Qt::Checked;
    rule.CaseSensitive = m_pTable->item(row, CaseColumn)->checkState() == Qt::Checked;
    return rule;
}

std::vector<HighlightRule> CHighlightsDlg::GetRules() const
{
    std::vector<HighlightRule> rules;
    for (int row = 0; row < m_pTable->rowCount(); ++row)
        rules.push_back(RuleAt(row));
    return rules;
}

void CHighlightsDlg::ShowColours(int row)
{
    QTableWidgetItem* text = m_pTable->item(row, TextColumn);
    const bool filling = m_bFilling;
    m_bFilling = true;
    text->setForeground(ToColor(text->data(ForeRole).toUInt()));
    text->setBackground(ToColor(text->data(BackRole).toUInt()));
    m_bFilling = filling;
}

QString CHighlightsDlg::GetProblem() const
{
    int row = -1;
    return FindProblem(row);
}

QString CHighlightsDlg::FindProblem(int& row) const
{
    for (row = 0; row < m_pTable->rowCount(); ++row) {
        const HighlightRule rule = RuleAt(row);
        const QString prefix = u"Rule %1: "_s.arg(row + 1);
        if (const std::string problem = HighlightPatternProblem(rule.Pattern); !problem.empty())
            return prefix + QString::fromStdString(problem);
        if (!rule.RegExp)
            continue;
        Regex expression;
        if (const std::int32_t error = expression.Parse(rule.Pattern, rule.CaseSensitive); error != RegexErrorNone)
            return prefix + u"Regular Expression Parser Error: "_s + QString::fromUtf8(RegexErrorText(error));
    }
    row = -1;
    return QString();
}

void CHighlightsDlg::UpdateState()
{
    const int row = m_pTable->currentRow();
    const bool current = row >= 0 && row < m_pTable->rowCount();
    m_pAdd->setEnabled(static_cast<std::size_t>(m_pTable->rowCount()) < MaxHighlightRules);
    for (QPushButton* button : {m_pEdit, m_pRemove, m_pFore, m_pBack})
        button->setEnabled(current);
    m_pUp->setEnabled(current && row > 0);
    m_pDown->setEnabled(current && row + 1 < m_pTable->rowCount());
    if (current) {
        const HighlightRule rule = RuleAt(row);
        m_pFore->setIcon(Swatch(rule.Fore));
        m_pBack->setIcon(Swatch(rule.Back));
    }
    m_pProblem->setText(GetProblem());
}

void CHighlightsDlg::AddRule()
{
    if (static_cast<std::size_t>(m_pTable->rowCount()) >= MaxHighlightRules)
        return;
    const HighlightColours colours = NextHighlightColours(GetRules());
    HighlightRule rule;
    rule.Fore = colours.Fore;
    rule.Back = colours.Back;
    const int row = m_pTable->rowCount();
    InsertRow(row, rule);
    m_pTable->setCurrentCell(row, TextColumn);
    UpdateState();
    m_pTable->editItem(m_pTable->item(row, TextColumn));
}

void CHighlightsDlg::RemoveCurrent()
{
    const int row = m_pTable->currentRow();
    if (row < 0)
        return;
    m_pTable->removeRow(row);
    if (m_pTable->rowCount() > 0)
        m_pTable->setCurrentCell(std::min(row, m_pTable->rowCount() - 1), TextColumn);
    UpdateState();
}

void CHighlightsDlg::MoveCurrent(int step)
{
    const int row = m_pTable->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_pTable->rowCount())
        return;
    const HighlightRule rule = RuleAt(row);
    m_bFilling = true;
    m_pTable->removeRow(row);
    InsertRow(target, rule);
    m_bFilling = false;
    m_pTable->setCurrentCell(target, TextColumn);
    UpdateState();
}

void CHighlightsDlg::SetCurrentColour(bool background, std::uint32_t rgb)
{
    const int row = m_pTable->currentRow();
    if (row < 0)
        return;
    m_pTable->item(row, TextColumn)->setData(background ? BackRole : ForeRole, static_cast<uint>(rgb & 0xFFFFFF));
    ShowColours(row);
    UpdateState();
}

void CHighlightsDlg::ChooseColour(bool background)
{
    const int row = m_pTable->currentRow();
    if (row < 0)
        return;
    const HighlightRule rule = RuleAt(row);
    const QColor chosen = QColorDialog::getColor(ToColor(background ? rule.Back : rule.Fore), this,
                                                 background ? u"Background Colour"_s : u"Text Colour"_s);
    if (chosen.isValid())
        SetCurrentColour(background, FromColor(chosen));
}

void CHighlightsDlg::Report(const QString& text)
{
    CProblemReport report;
    report.Caption = u"Highlights"_s;
    report.Text = text;
    report.Name = u"highlightsProblemBox"_s;
    m_Workspace.ReportProblem(report);
}

bool CHighlightsDlg::ImportFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Report(u"Cannot read \"%1\": %2"_s.arg(path, file.errorString()));
        return false;
    }
    if (file.size() > MaxFileBytes) {
        Report(u"\"%1\" is not a highlights file: it is far too large for one."_s.arg(path));
        return false;
    }
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    std::vector<HighlightRule> rules;
    std::string message;
    if (!ParseHighlightsFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), rules,
                             message)) {
        Report(u"\"%1\" was not imported. %2"_s.arg(path, QString::fromStdString(message)));
        return false;
    }
    SetRules(rules);
    return true;
}

bool CHighlightsDlg::ExportFile(const QString& path)
{
    const std::vector<HighlightRule> rules = GetRules();
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (const std::string problem = HighlightPatternProblem(rules[i].Pattern); !problem.empty()) {
            Report(u"Nothing was exported. Rule %1: %2"_s.arg(i + 1).arg(QString::fromStdString(problem)));
            return false;
        }
    }
    const std::string text = FormatHighlightsFile(rules);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
        !file.commit()) {
        Report(u"Cannot write \"%1\": %2"_s.arg(path, file.errorString()));
        return false;
    }
    return true;
}

void CHighlightsDlg::OnImport()
{
    const QString path = FileDialogPath(this, false);
    if (!path.isEmpty())
        ImportFile(path);
}

void CHighlightsDlg::OnExport()
{
    const QString path = FileDialogPath(this, true);
    if (!path.isEmpty())
        ExportFile(path);
}

void CHighlightsDlg::accept()
{
    int row = -1;
    const QString problem = FindProblem(row);
    if (!problem.isEmpty()) {
        // The list stays open on the faulty rule, its fault named under it.
        m_pTable->setCurrentCell(row, TextColumn);
        m_pProblem->setText(problem);
        return;
    }
    QDialog::accept();
}
