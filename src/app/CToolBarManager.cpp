// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CToolBarManager.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>

namespace {

const QString ToolBarsGroup = QStringLiteral("Workspace/ToolBars");
constexpr int StandardToolBarId = 0xE800;
constexpr int UserImageWidth = 16;

QString ButtonsText(const QList<int>& buttons)
{
    QStringList numbers;
    for (int id : buttons)
        numbers.append(QString::number(id));
    return numbers.join(u',');
}

QList<int> ButtonsFromText(const QString& text)
{
    QList<int> buttons;
    for (const QString& number : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = number.trimmed().toInt(&ok);
        if (ok)
            buttons.append(id);
    }
    return buttons;
}

} // namespace

CToolBarManager::CToolBarManager(QMainWindow* window, CommandLookup lookup, QAction* customizeCommand)
    : QObject(window), m_pWindow(window), m_CommandLookup(std::move(lookup)), m_pCustomizeCommand(customizeCommand)
{}

void CToolBarManager::SetStandardToolBar(QToolBar* bar, const QList<int>& defaultButtons)
{
    m_pStandardToolBar = bar;
    m_strStandardName = bar->windowTitle();
    m_DefaultButtons = defaultButtons;
    AddCustomizeButton(bar);
    SetButtons(bar, defaultButtons);
}

QList<QToolBar*> CToolBarManager::GetToolBars() const
{
    QList<QToolBar*> bars;
    if (m_pStandardToolBar)
        bars.append(m_pStandardToolBar);
    bars.append(GetUserToolBars());
    return bars;
}

void CToolBarManager::FillToolBarsMenu(QMenu* menu) const
{
    menu->clear();
    for (QToolBar* bar : GetToolBars())
        menu->addAction(bar->toggleViewAction());
    menu->addSeparator();
    menu->addAction(m_pCustomizeCommand);
}

QList<QToolBar*> CToolBarManager::GetUserToolBars() const
{
    QList<QToolBar*> bars;
    for (const auto& [slot, bar] : m_UserToolBars)
        bars.append(bar);
    return bars;
}

bool CToolBarManager::IsUserToolBar(const QToolBar* bar) const
{
    return GetToolBarId(bar) >= FirstUserToolBarId;
}

int CToolBarManager::GetToolBarId(const QToolBar* bar) const
{
    if (bar && bar == m_pStandardToolBar)
        return StandardToolBarId;
    for (const auto& [slot, userBar] : m_UserToolBars) {
        if (userBar == bar)
            return FirstUserToolBarId + slot;
    }
    return 0;
}

QToolBar* CToolBarManager::CreateToolBar(const QString& name, const QString& objectName)
{
    auto* bar = new QToolBar(name, m_pWindow);
    bar->setObjectName(objectName);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(m_bTextLabels ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    AddCustomizeButton(bar);
    m_pWindow->addToolBar(Qt::TopToolBarArea, bar);
    // A bar added to a window on the screen stays hidden unless told.
    bar->show();
    return bar;
}

void CToolBarManager::AddCustomizeButton(QToolBar* bar)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QStringLiteral("customizeButton"));
    button->setArrowType(Qt::DownArrow);
    button->setAutoRaise(true);
    button->setToolTip(m_pCustomizeCommand->text());
    button->setFixedWidth(12);
    connect(button, &QToolButton::clicked, m_pCustomizeCommand, &QAction::trigger);
    QAction* action = bar->addWidget(button);
    action->setObjectName(QStringLiteral("customizeButtonAction"));
    m_CustomizeButtons[bar] = action;
}

QToolBar* CToolBarManager::CreateUserToolBar(const QString& name)
{
    if (name.trimmed().isEmpty())
        return nullptr;
    for (int slot = 0; slot < MaxUserToolBars; ++slot) {
        if (m_UserToolBars.count(slot))
            continue;
        QToolBar* bar = CreateToolBar(name, QStringLiteral("userToolBar%1").arg(slot));
        m_UserToolBars[slot] = bar;
        Q_EMIT ToolBarsChanged();
        return bar;
    }
    return nullptr;
}

bool CToolBarManager::RenameToolBar(QToolBar* bar, const QString& name)
{
    if (!bar || name.trimmed().isEmpty() || !GetToolBarId(bar))
        return false;
    bar->setWindowTitle(name);
    Q_EMIT ToolBarsChanged();
    return true;
}

bool CToolBarManager::DeleteUserToolBar(QToolBar* bar)
{
    for (auto it = m_UserToolBars.begin(); it != m_UserToolBars.end(); ++it) {
        if (it->second != bar)
            continue;
        m_UserToolBars.erase(it);
        m_CustomizeButtons.erase(bar);
        m_pWindow->removeToolBar(bar);
        bar->deleteLater();
        Q_EMIT ToolBarsChanged();
        return true;
    }
    return false;
}

void CToolBarManager::ResetToolBar(QToolBar* bar)
{
    if (bar == m_pStandardToolBar) {
        bar->setWindowTitle(m_strStandardName);
        SetButtons(bar, m_DefaultButtons);
    } else if (IsUserToolBar(bar)) {
        SetButtons(bar, {});
    }
    Q_EMIT ToolBarsChanged();
}

QList<int> CToolBarManager::GetButtons(const QToolBar* bar) const
{
    QList<int> buttons;
    const auto customize = m_CustomizeButtons.find(bar);
    for (QAction* action : bar->actions()) {
        if (customize != m_CustomizeButtons.end() && action == customize->second)
            continue;
        buttons.append(action->isSeparator() ? 0 : action->data().toInt());
    }
    return buttons;
}

void CToolBarManager::SetButtons(QToolBar* bar, const QList<int>& buttons)
{
    const auto customize = m_CustomizeButtons.find(bar);
    for (QAction* action : bar->actions()) {
        if (customize == m_CustomizeButtons.end() || action != customize->second)
            bar->removeAction(action);
    }
    for (int id : buttons) {
        if (id == 0)
            AddSeparator(bar);
        else
            AddButton(bar, id);
    }
}

bool CToolBarManager::AddButton(QToolBar* bar, int id)
{
    QAction* command = m_CommandLookup(id);
    if (!bar || !command || bar->actions().contains(command))
        return false;
    GiveUserImage(command);
    const auto customize = m_CustomizeButtons.find(bar);
    bar->insertAction(customize == m_CustomizeButtons.end() ? nullptr : customize->second, command);
    Q_EMIT ToolBarsChanged();
    return true;
}

void CToolBarManager::AddSeparator(QToolBar* bar)
{
    const auto customize = m_CustomizeButtons.find(bar);
    if (customize == m_CustomizeButtons.end())
        bar->addSeparator();
    else
        bar->insertSeparator(customize->second);
}

bool CToolBarManager::RemoveButton(QToolBar* bar, int position)
{
    const auto customize = m_CustomizeButtons.find(bar);
    QList<QAction*> actions = bar->actions();
    if (customize != m_CustomizeButtons.end())
        actions.removeOne(customize->second);
    if (position < 0 || position >= actions.size())
        return false;
    QAction* action = actions.at(position);
    bar->removeAction(action);
    // A separator belongs to the bar that made it.
    if (action->isSeparator() && action->parent() == bar)
        action->deleteLater();
    Q_EMIT ToolBarsChanged();
    return true;
}

void CToolBarManager::SetTextLabels(bool on)
{
    m_bTextLabels = on;
    for (QToolBar* bar : GetToolBars())
        bar->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    Q_EMIT ToolBarsChanged();
}

int CToolBarManager::LoadUserImages(const QString& folder)
{
    m_UserImages.clear();
    for (const QString& name : {QStringLiteral("UserImages.png"), QStringLiteral("UserImages.bmp")}) {
        const QFileInfo file(QDir(folder).filePath(name));
        if (!file.isFile() || file.size() > MaxUserImagesFileSize)
            continue;
        QImageReader reader(file.filePath());
        const QImage strip = reader.read();
        if (strip.isNull())
            continue;
        const int width = std::max(UserImageWidth, strip.height());
        for (int x = 0; x + width <= strip.width(); x += width)
            m_UserImages.append(QPixmap::fromImage(strip.copy(x, 0, width, strip.height())));
        break;
    }
    return GetUserImageCount();
}

void CToolBarManager::GiveUserImage(QAction* command) const
{
    if (!command->icon().isNull())
        return;
    const qsizetype index = m_UserImageCommands.indexOf(command->data().toInt());
    if (index >= 0 && index < m_UserImages.size())
        command->setIcon(QIcon(m_UserImages.at(index)));
}

void CToolBarManager::Load(QSettings& settings)
{
    settings.beginGroup(ToolBarsGroup);
    m_bTextLabels = settings.value(QStringLiteral("TextLabels"), false).toBool();
    if (m_pStandardToolBar) {
        m_pStandardToolBar->setWindowTitle(
            settings.value(QStringLiteral("StandardName"), m_strStandardName).toString());
        if (settings.contains(QStringLiteral("StandardButtons")))
            SetButtons(m_pStandardToolBar,
                       ButtonsFromText(settings.value(QStringLiteral("StandardButtons")).toString()));
    }
    for (int slot = 0; slot < MaxUserToolBars; ++slot) {
        const QString prefix = QStringLiteral("User%1/").arg(slot);
        const QString name = settings.value(prefix % QStringLiteral("Name")).toString();
        if (name.isEmpty() || m_UserToolBars.count(slot))
            continue;
        QToolBar* bar = CreateToolBar(name, QStringLiteral("userToolBar%1").arg(slot));
        m_UserToolBars[slot] = bar;
        SetButtons(bar, ButtonsFromText(settings.value(prefix % QStringLiteral("Buttons")).toString()));
    }
    settings.endGroup();
    SetTextLabels(m_bTextLabels);
}

void CToolBarManager::Save(QSettings& settings) const
{
    settings.remove(ToolBarsGroup);
    settings.beginGroup(ToolBarsGroup);
    settings.setValue(QStringLiteral("TextLabels"), m_bTextLabels);
    if (m_pStandardToolBar) {
        settings.setValue(QStringLiteral("StandardName"), m_pStandardToolBar->windowTitle());
        settings.setValue(QStringLiteral("StandardButtons"), ButtonsText(GetButtons(m_pStandardToolBar)));
    }
    for (const auto& [slot, bar] : m_UserToolBars) {
        const QString prefix = QStringLiteral("User%1/").arg(slot);
        settings.setValue(prefix % QStringLiteral("Name"), bar->windowTitle());
        settings.setValue(prefix % QStringLiteral("Buttons"), ButtonsText(GetButtons(bar)));
    }
    settings.endGroup();
}
