// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CCustomizeDlg.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/COstrelApp.h"
#include "app/CToolBarManager.h"

namespace {

// A menu text without its mnemonic marks.
QString PlainText(const QAction* action)
{
    QString text = action->text();
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.section(u'\t', 0, 0);
}

QPushButton* CreateButton(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

CCustomizeDlg::CCustomizeDlg(CToolBarManager* manager, const QList<QAction*>& commands, QWidget* parent)
    : QDialog(parent), m_pManager(manager), m_Commands(commands)
{
    setObjectName(QStringLiteral("customizeDialog"));
    setWindowTitle(QStringLiteral("Customize"));
    m_pPages = new QTabWidget(this);
    m_pPages->setObjectName(QStringLiteral("customizePages"));
    m_pPages->addTab(CreateToolBarsPage(), QStringLiteral("&Toolbars"));
    m_pPages->addTab(CreateCommandsPage(), QStringLiteral("&Commands"));
    m_pPages->addTab(CreateOptionsPage(), QStringLiteral("&Options"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("closeButton"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pPages);
    layout->addWidget(buttons);

    connect(m_pManager, &CToolBarManager::ToolBarsChanged, this, [this] {
        if (m_bFilling)
            return;
        FillToolBarList();
        FillButtonList();
    });
    FillToolBarList();
    FillButtonList();
    resize(520, 400);
}

QWidget* CCustomizeDlg::CreateToolBarsPage()
{
    auto* page = new QWidget(this);
    m_pToolBarList = new QListWidget(page);
    m_pToolBarList->setObjectName(QStringLiteral("toolBarList"));
    m_pNewButton = CreateButton(QStringLiteral("&New..."), "newToolBarButton", page);
    m_pRenameButton = CreateButton(QStringLiteral("&Rename..."), "renameToolBarButton", page);
    m_pDeleteButton = CreateButton(QStringLiteral("&Delete"), "deleteToolBarButton", page);
    m_pResetButton = CreateButton(QStringLiteral("R&eset"), "resetToolBarButton", page);
    auto* layout = new QGridLayout(page);
    auto* label = new QLabel(QStringLiteral("Tool&bars:"), page);
    label->setBuddy(m_pToolBarList);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_pToolBarList, 1, 0, 5, 1);
    layout->addWidget(m_pNewButton, 1, 1);
    layout->addWidget(m_pRenameButton, 2, 1);
    layout->addWidget(m_pDeleteButton, 3, 1);
    layout->addWidget(m_pResetButton, 4, 1);
    layout->setRowStretch(5, 1);

    connect(m_pToolBarList, &QListWidget::currentRowChanged, this, &CCustomizeDlg::UpdateButtons);
    connect(m_pToolBarList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_bFilling)
            return;
        const QList<QToolBar*> bars = m_pManager->GetToolBars();
        const int row = m_pToolBarList->row(item);
        if (row >= 0 && row < bars.size())
            bars.at(row)->setVisible(item->checkState() == Qt::Checked);
    });
    connect(m_pNewButton, &QPushButton::clicked, this, &CCustomizeDlg::OnNewToolBar);
    connect(m_pRenameButton, &QPushButton::clicked, this, &CCustomizeDlg::OnRenameToolBar);
    connect(m_pDeleteButton, &QPushButton::clicked, this, &CCustomizeDlg::OnDeleteToolBar);
    connect(m_pResetButton, &QPushButton::clicked, this, &CCustomizeDlg::OnResetToolBar);
    return page;
}

QWidget* CCustomizeDlg::CreateCommandsPage()
{
    auto* page = new QWidget(this);
    m_pCommandList = new QListWidget(page);
    m_pCommandList->setObjectName(QStringLiteral("commandList"));
    m_pCommandList->setIconSize(QSize(16, 16));
    // Commands without an image keep their text in line with the others.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    for (QAction* command : std::as_const(m_Commands)) {
        auto* item = new QListWidgetItem(command->icon().isNull() ? QIcon(blank) : command->icon(), PlainText(command),
                                         m_pCommandList);
        item->setData(Qt::UserRole, command->data());
        item->setToolTip(command->statusTip());
    }
    m_pTargetCombo = new QComboBox(page);
    m_pTargetCombo->setObjectName(QStringLiteral("targetToolBarCombo"));
    m_pButtonList = new QListWidget(page);
    m_pButtonList->setObjectName(QStringLiteral("toolBarButtonList"));
    m_pButtonList->setIconSize(QSize(16, 16));
    m_pAddButton = CreateButton(QStringLiteral("&Add >>"), "addButtonButton", page);
    auto* separatorButton = CreateButton(QStringLiteral("Add &Separator"), "addSeparatorButton", page);
    m_pRemoveButton = CreateButton(QStringLiteral("<< Re&move"), "removeButtonButton", page);

    auto* layout = new QGridLayout(page);
    auto* label = new QLabel(QStringLiteral("Co&mmands:"), page);
    label->setBuddy(m_pCommandList);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_pCommandList, 1, 0, 4, 1);
    layout->addWidget(m_pAddButton, 1, 1);
    layout->addWidget(separatorButton, 2, 1);
    layout->addWidget(m_pRemoveButton, 3, 1);
    layout->addWidget(m_pTargetCombo, 0, 2);
    layout->addWidget(m_pButtonList, 1, 2, 4, 1);
    layout->setRowStretch(4, 1);

    connect(m_pTargetCombo, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_bFilling)
            FillButtonList();
    });
    connect(m_pCommandList, &QListWidget::currentRowChanged, this, &CCustomizeDlg::UpdateButtons);
    connect(m_pButtonList, &QListWidget::currentRowChanged, this, &CCustomizeDlg::UpdateButtons);
    connect(m_pCommandList, &QListWidget::itemDoubleClicked, this, &CCustomizeDlg::OnAddButton);
    connect(m_pAddButton, &QPushButton::clicked, this, &CCustomizeDlg::OnAddButton);
    connect(separatorButton, &QPushButton::clicked, this, [this] {
        if (QToolBar* bar = GetTargetToolBar()) {
            m_pManager->AddSeparator(bar);
            FillButtonList();
        }
    });
    connect(m_pRemoveButton, &QPushButton::clicked, this, &CCustomizeDlg::OnRemoveButton);
    return page;
}

QWidget* CCustomizeDlg::CreateOptionsPage()
{
    auto* page = new QWidget(this);
    m_pTextLabelsCheck = new QCheckBox(QStringLiteral("Show &text labels under the buttons"), page);
    m_pTextLabelsCheck->setObjectName(QStringLiteral("textLabelsCheck"));
    m_pTextLabelsCheck->setChecked(m_pManager->GetTextLabels());
    connect(m_pTextLabelsCheck, &QCheckBox::toggled, m_pManager, &CToolBarManager::SetTextLabels);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_pTextLabelsCheck);

    // The threads a filtering run decides a plain file on; the next run takes the new number.
    if (COstrelApp* app = COstrelApp::GetInstance()) {
        auto* threads = new QSpinBox(page);
        threads->setObjectName(QStringLiteral("filterThreadsSpin"));
        threads->setRange(0, static_cast<int>(COstrelApp::MaxFilterThreads));
        threads->setSpecialValueText(QStringLiteral("All cores but one"));
        threads->setValue(static_cast<int>(app->GetFilterThreads()));
        connect(threads, &QSpinBox::valueChanged, this,
                [app](int value) { app->SetFilterThreads(static_cast<unsigned>(value)); });
        auto* label = new QLabel(QStringLiteral("&Threads a filter runs on:"), page);
        label->setBuddy(threads);
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addWidget(threads);
        row->addStretch(1);
        layout->addLayout(row);
    }
    layout->addStretch(1);
    return page;
}

void CCustomizeDlg::FillToolBarList()
{
    m_bFilling = true;
    const int row = m_pToolBarList->currentRow();
    QToolBar* target = GetTargetToolBar();
    m_pToolBarList->clear();
    m_pTargetCombo->clear();
    for (QToolBar* bar : m_pManager->GetToolBars()) {
        auto* item = new QListWidgetItem(bar->windowTitle(), m_pToolBarList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(bar->isHidden() ? Qt::Unchecked : Qt::Checked);
        m_pTargetCombo->addItem(bar->windowTitle());
    }
    m_pToolBarList->setCurrentRow(std::clamp(row, 0, m_pToolBarList->count() - 1));
    const qsizetype targetRow = m_pManager->GetToolBars().indexOf(target);
    m_pTargetCombo->setCurrentIndex(targetRow >= 0 ? int(targetRow) : 0);
    m_bFilling = false;
    UpdateButtons();
}

void CCustomizeDlg::FillButtonList()
{
    const int row = m_pButtonList->currentRow();
    m_pButtonList->clear();
    if (QToolBar* bar = GetTargetToolBar()) {
        for (int id : m_pManager->GetButtons(bar)) {
            const auto command = std::find_if(m_Commands.cbegin(), m_Commands.cend(),
                                              [id](const QAction* action) { return action->data().toInt() == id; });
            if (id == 0)
                new QListWidgetItem(QStringLiteral("(separator)"), m_pButtonList);
            else if (command != m_Commands.cend())
                new QListWidgetItem((*command)->icon(), PlainText(*command), m_pButtonList);
            else
                new QListWidgetItem(QString::number(id), m_pButtonList);
        }
    }
    m_pButtonList->setCurrentRow(std::min(row, m_pButtonList->count() - 1));
    UpdateButtons();
}

void CCustomizeDlg::UpdateButtons()
{
    QToolBar* selected = GetSelectedToolBar();
    m_pNewButton->setEnabled(m_pManager->GetUserToolBars().size() < CToolBarManager::MaxUserToolBars);
    m_pRenameButton->setEnabled(selected != nullptr);
    m_pDeleteButton->setEnabled(selected && m_pManager->IsUserToolBar(selected));
    m_pResetButton->setEnabled(selected != nullptr);
    m_pAddButton->setEnabled(GetTargetToolBar() && m_pCommandList->currentRow() >= 0);
    m_pRemoveButton->setEnabled(m_pButtonList->currentRow() >= 0);
}

QToolBar* CCustomizeDlg::GetSelectedToolBar() const
{
    return m_pManager->GetToolBars().value(m_pToolBarList->currentRow());
}

void CCustomizeDlg::SelectToolBar(QToolBar* bar)
{
    m_pToolBarList->setCurrentRow(int(m_pManager->GetToolBars().indexOf(bar)));
    m_pTargetCombo->setCurrentIndex(int(m_pManager->GetToolBars().indexOf(bar)));
}

QToolBar* CCustomizeDlg::GetTargetToolBar() const
{
    return m_pTargetCombo ? m_pManager->GetToolBars().value(m_pTargetCombo->currentIndex()) : nullptr;
}

QToolBar* CCustomizeDlg::CreateToolBar(const QString& name)
{
    QToolBar* bar = m_pManager->CreateUserToolBar(name);
    if (bar)
        SelectToolBar(bar);
    return bar;
}

bool CCustomizeDlg::RenameSelectedToolBar(const QString& name)
{
    return m_pManager->RenameToolBar(GetSelectedToolBar(), name);
}

void CCustomizeDlg::OnNewToolBar()
{
    const QString suggestion = QStringLiteral("Custom %1").arg(m_pManager->GetUserToolBars().size() + 1);
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("New Toolbar"), QStringLiteral("Toolbar &name:"),
                                               QLineEdit::Normal, suggestion, &ok);
    if (ok)
        CreateToolBar(name);
}

void CCustomizeDlg::OnRenameToolBar()
{
    QToolBar* bar = GetSelectedToolBar();
    if (!bar)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Rename Toolbar"), QStringLiteral("Toolbar &name:"),
                                               QLineEdit::Normal, bar->windowTitle(), &ok);
    if (ok)
        RenameSelectedToolBar(name);
}

void CCustomizeDlg::OnDeleteToolBar()
{
    QToolBar* bar = GetSelectedToolBar();
    if (!bar || !m_pManager->IsUserToolBar(bar))
        return;
    if (QMessageBox::question(this, QStringLiteral("Customize"),
                              QStringLiteral("Delete the toolbar \"%1\"?").arg(bar->windowTitle())) == QMessageBox::Yes)
        m_pManager->DeleteUserToolBar(bar);
}

void CCustomizeDlg::OnResetToolBar()
{
    if (QToolBar* bar = GetSelectedToolBar())
        m_pManager->ResetToolBar(bar);
}

void CCustomizeDlg::OnAddButton()
{
    QListWidgetItem* item = m_pCommandList->currentItem();
    QToolBar* bar = GetTargetToolBar();
    if (item && bar && m_pManager->AddButton(bar, item->data(Qt::UserRole).toInt()))
        m_pButtonList->setCurrentRow(m_pButtonList->count() - 1);
}

void CCustomizeDlg::OnRemoveButton()
{
    if (QToolBar* bar = GetTargetToolBar())
        m_pManager->RemoveButton(bar, m_pButtonList->currentRow());
}
