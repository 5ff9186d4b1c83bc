// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CDocumentArea.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include "app/CChildFrame.h"
#include "app/CTabGroup.h"
#include "app/TabTitles.h"
#include "document/COstrelDoc.h"

CDocumentArea::CDocumentArea(QWidget* parent) : QWidget(parent), m_pSplitter(new QSplitter(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("documentArea"));
    m_pSplitter->setObjectName(QStringLiteral("tabGroupSplitter"));
    m_pSplitter->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pSplitter);
    m_pActiveGroup = CreateTabGroup();
    // The first group keeps the old name: there is always one.
    m_pActiveGroup->setObjectName(QStringLiteral("documentTabs"));
    connect(qApp, &QApplication::focusChanged, this, &CDocumentArea::OnFocusChanged);
}

QTabWidget* CDocumentArea::CreateTabGroup()
{
    auto* group = new CTabGroup(m_pSplitter);
    group->setObjectName(QStringLiteral("tabGroup"));
    group->setTabsClosable(true);
    group->setMovable(true);
    group->setDocumentMode(true);
    QTabBar* bar = group->tabBar();
    bar->installEventFilter(this);
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QWidget::customContextMenuRequested, this,
            [this, group](const QPoint& position) { ShowTabContextMenu(group, position); });
    connect(group, &QTabWidget::currentChanged, this, [this, group] {
        if (group == m_pActiveGroup && !m_bRearranging)
            EmitActiveChildFrameChanged();
    });
    connect(group, &QTabWidget::tabCloseRequested, this, [this, group](int index) {
        if (auto* frame = qobject_cast<CChildFrame*>(group->widget(index)))
            Q_EMIT CloseRequested(frame);
    });
    connect(bar, &QTabBar::tabMoved, this, [this, group](int from, int to) {
        SetActiveGroup(group);
        Q_EMIT TabMoved(from, to);
    });

    // The document menu at the right end of the tabs: every tab of the group, to pick one.
    auto* documents = new QToolButton(group);
    documents->setObjectName(QStringLiteral("documentMenuButton"));
    documents->setArrowType(Qt::DownArrow);
    documents->setAutoRaise(true);
    documents->setPopupMode(QToolButton::InstantPopup);
    documents->setToolTip(QStringLiteral("Documents of this group"));
    auto* menu = new QMenu(documents);
    documents->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, group, menu] {
        menu->clear();
        for (int index = 0; index < group->count(); ++index) {
            auto* frame = qobject_cast<CChildFrame*>(group->widget(index));
            QAction* entry = menu->addAction(group->tabText(index).replace(u'&', QStringLiteral("&&")));
            entry->setCheckable(true);
            entry->setChecked(index == group->currentIndex());
            connect(entry, &QAction::triggered, this, [this, frame = QPointer<CChildFrame>(frame)] {
                if (frame)
                    SetActiveChildFrame(frame);
            });
        }
    });
    group->setCornerWidget(documents, Qt::TopRightCorner);
    m_pSplitter->addWidget(group);
    return group;
}

void CDocumentArea::AddChildFrame(CChildFrame* frame, bool activate)
{
    connect(frame, &CChildFrame::TitleChanged, this, &CDocumentArea::OnTitleChanged);
    if (!activate && m_pActiveGroup->count() > 0) {
        // Behind the current tab: it stays hidden, and so unloaded, until the user turns to it.
        m_pActiveGroup->addTab(frame, frame->GetTabText());
        UpdateTabTexts();
        return;
    }
    AddToGroup(m_pActiveGroup, frame);
    frame->setFocus();
}

void CDocumentArea::AddToGroup(QTabWidget* group, CChildFrame* frame)
{
    const int index = group->addTab(frame, frame->GetTabText());
    UpdateTabTexts();
    group->setCurrentIndex(index);
    // Only a group that is already active reports its new current tab: make sure it does once.
    SetActiveGroup(group);
    if (!m_bRearranging)
        EmitActiveChildFrameChanged();
}

void CDocumentArea::RemoveChildFrame(CChildFrame* frame)
{
    disconnect(frame, nullptr, this, nullptr);
    QTabWidget* group = GetTabGroupOf(frame);
    if (!group)
        return;
    group->removeTab(group->indexOf(frame));
    frame->setParent(nullptr);
    frame->SetTitleFolders(QString());
    UpdateTabTexts();
    RemoveEmptyGroup(group);
    EmitActiveChildFrameChanged();
    Q_EMIT TabsRearranged();
}

void CDocumentArea::RemoveEmptyGroup(QTabWidget* group)
{
    const QList<QTabWidget*> groups = GetTabGroups();
    if (group->count() > 0 || groups.size() < 2)
        return;
    const qsizetype position = groups.indexOf(group);
    if (group == m_pActiveGroup)
        m_pActiveGroup = groups.at(position > 0 ? position - 1 : 1);
    // The one group left is the one the old name belongs to.
    if (group->objectName() == QLatin1String("documentTabs"))
        groups.at(position > 0 ? 0 : 1)->setObjectName(QStringLiteral("documentTabs"));
    group->hide();
    group->setParent(nullptr);
    group->deleteLater();
}

CChildFrame* CDocumentArea::GetActiveChildFrame() const
{
    // By the tab bar's index: while a dragged tab lands, the page stack's current one lags behind.
    return m_pActiveGroup ? qobject_cast<CChildFrame*>(m_pActiveGroup->widget(m_pActiveGroup->currentIndex()))
                          : nullptr;
}

void CDocumentArea::SetActiveChildFrame(CChildFrame* frame)
{
    QTabWidget* group = GetTabGroupOf(frame);
    if (!group)
        return;
    group->setCurrentWidget(frame);
    SetActiveGroup(group);
    frame->setFocus();
}

QList<CChildFrame*> CDocumentArea::GetChildFrames() const
{
    QList<CChildFrame*> frames;
    for (QTabWidget* group : GetTabGroups()) {
        for (int i = 0; i < group->count(); ++i) {
            if (auto* frame = qobject_cast<CChildFrame*>(group->widget(i)))
                frames.append(frame);
        }
    }
    return frames;
}

QList<QTabWidget*> CDocumentArea::GetTabGroups() const
{
    QList<QTabWidget*> groups;
    for (int i = 0; i < m_pSplitter->count(); ++i) {
        if (auto* group = qobject_cast<QTabWidget*>(m_pSplitter->widget(i)))
            groups.append(group);
    }
    return groups;
}

QTabWidget* CDocumentArea::GetTabGroupOf(const CChildFrame* frame) const
{
    for (QTabWidget* group : GetTabGroups()) {
        if (group->indexOf(const_cast<CChildFrame*>(frame)) >= 0)
            return group;
    }
    return nullptr;
}

Qt::Orientation CDocumentArea::GetGroupOrientation() const
{
    return m_pSplitter->orientation();
}

void CDocumentArea::ActivateNextChildFrame(int step)
{
    const int count = m_pActiveGroup->count();
    if (count < 2)
        return;
    m_pActiveGroup->setCurrentIndex(((m_pActiveGroup->currentIndex() + step) % count + count) % count);
    if (QWidget* current = m_pActiveGroup->currentWidget())
        current->setFocus();
}

void CDocumentArea::ActivateNextTabGroup(int step)
{
    const QList<QTabWidget*> groups = GetTabGroups();
    const qsizetype count = groups.size();
    if (count < 2)
        return;
    const qsizetype position = groups.indexOf(m_pActiveGroup);
    QTabWidget* next = groups.at(((position + step) % count + count) % count);
    SetActiveGroup(next);
    if (QWidget* current = next->currentWidget())
        current->setFocus();
}

bool CDocumentArea::CanCreateTabGroup(Qt::Orientation orientation) const
{
    if (!GetActiveChildFrame() || m_pActiveGroup->count() < 2)
        return false;
    return GetTabGroups().size() < 2 || m_pSplitter->orientation() == orientation;
}

bool CDocumentArea::CreateTabGroup(Qt::Orientation orientation)
{
    if (!CanCreateTabGroup(orientation))
        return false;
    CChildFrame* frame = GetActiveChildFrame();
    QTabWidget* from = m_pActiveGroup;
    m_bRearranging = true;
    m_pSplitter->setOrientation(orientation);
    QTabWidget* group = CreateTabGroup();
    m_pSplitter->insertWidget(m_pSplitter->indexOf(from) + 1, group);
    from->removeTab(from->indexOf(frame));
    AddToGroup(group, frame);
    // Share the room evenly.
    QList<int> sizes;
    const int total = orientation == Qt::Horizontal ? m_pSplitter->width() : m_pSplitter->height();
    for (int i = 0; i < m_pSplitter->count(); ++i)
        sizes.append(std::max(1, total / m_pSplitter->count()));
    m_pSplitter->setSizes(sizes);
    m_bRearranging = false;
    frame->setFocus();
    Q_EMIT TabMovedToGroup(from, group);
    EmitActiveChildFrameChanged();
    Q_EMIT TabsRearranged();
    return true;
}

bool CDocumentArea::CanMoveToTabGroup(int step) const
{
    const QList<QTabWidget*> groups = GetTabGroups();
    const qsizetype target = groups.indexOf(m_pActiveGroup) + step;
    return GetActiveChildFrame() && target >= 0 && target < groups.size();
}

bool CDocumentArea::MoveToTabGroup(int step)
{
    if (!CanMoveToTabGroup(step))
        return false;
    const QList<QTabWidget*> groups = GetTabGroups();
    QTabWidget* from = m_pActiveGroup;
    QTabWidget* to = groups.at(groups.indexOf(from) + step);
    CChildFrame* frame = GetActiveChildFrame();
    m_bRearranging = true;
    from->removeTab(from->indexOf(frame));
    AddToGroup(to, frame);
    RemoveEmptyGroup(from);
    m_bRearranging = false;
    frame->setFocus();
    Q_EMIT TabMovedToGroup(from, to);
    EmitActiveChildFrameChanged();
    Q_EMIT TabsRearranged();
    return true;
}

void CDocumentArea::FillTabContextMenu(QMenu* menu)
{
    struct Entry
    {
        const char* Name;
        QString Text;
        bool Enabled;
        std::function<void()> Run;
    };
    CChildFrame* active = GetActiveChildFrame();
    const QPointer<CChildFrame> frame(active);
    const QString path = active && active->GetDocument() ? active->GetDocument()->GetPathName() : QString();
    const Entry fileEntries[] = {
        {"closeTabAction", QStringLiteral("&Close"), active != nullptr,
         [this, frame] {
             if (frame)
                 Q_EMIT CloseRequested(frame);
         }},
        {"closeOtherTabsAction", QStringLiteral("Close &Others"), active && GetChildFrames().size() > 1,
         [this, frame] {
             if (frame)
                 Q_EMIT CloseOthersRequested(frame);
         }},
        {"copyFullPathAction", QStringLiteral("Copy &Full Path"), !path.isEmpty(),
         [path] { QApplication::clipboard()->setText(path); }},
        {"openContainingFolderAction", QStringLiteral("Open Containing F&older"), !path.isEmpty(),
         [this, path] { OpenContainingFolder(path); }},
    };
    const Entry groupEntries[] = {
        {"newHorizontalTabGroupAction", QStringLiteral("New Hori&zontal Tab Group"), CanCreateTabGroup(Qt::Vertical),
         [this] { CreateTabGroup(Qt::Vertical); }},
        {"newVerticalTabGroupAction", QStringLiteral("New &Vertical Tab Group"), CanCreateTabGroup(Qt::Horizontal),
         [this] { CreateTabGroup(Qt::Horizontal); }},
        {"moveToNextTabGroupAction", QStringLiteral("Move to &Next Tab Group"), CanMoveToTabGroup(1),
         [this] { MoveToTabGroup(1); }},
        {"moveToPreviousTabGroupAction", QStringLiteral("Move to &Previous Tab Group"), CanMoveToTabGroup(-1),
         [this] { MoveToTabGroup(-1); }},
    };
    const auto addEntries = [this, menu](const auto& entries) {
        for (const Entry& entry : entries) {
            QAction* action = menu->addAction(entry.Text);
            action->setObjectName(QString::fromLatin1(entry.Name));
            action->setEnabled(entry.Enabled);
            // Queued: the menu is gone before the tabs change places under it.
            connect(action, &QAction::triggered, this,
                    [this, run = entry.Run] { QMetaObject::invokeMethod(this, run, Qt::QueuedConnection); });
        }
    };
    addEntries(fileEntries);
    menu->addSeparator();
    addEntries(groupEntries);
}

void CDocumentArea::OpenContainingFolder(const QString& path)
{
    // The desktop's file manager shows the folder; without one there is nothing to show it in.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        QMessageBox::warning(window(), QStringLiteral("Open Containing Folder"),
                             QStringLiteral("The folder \"%1\" could not be opened.").arg(folder));
}

void CDocumentArea::ShowTabContextMenu(QTabWidget* group, const QPoint& position)
{
    const int index = group->tabBar()->tabAt(position);
    if (index < 0)
        return;
    group->setCurrentIndex(index);
    SetActiveGroup(group);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("tabContextMenu"));
    FillTabContextMenu(&menu);
    menu.exec(group->tabBar()->mapToGlobal(position));
}

void CDocumentArea::SetActiveGroup(QTabWidget* group)
{
    if (group == m_pActiveGroup)
        return;
    m_pActiveGroup = group;
    if (!m_bRearranging)
        EmitActiveChildFrameChanged();
}

void CDocumentArea::EmitActiveChildFrameChanged()
{
    CChildFrame* frame = GetActiveChildFrame();
    if (m_bReported && frame == m_pReportedFrame)
        return;
    m_bReported = true;
    m_pReportedFrame = frame;
    Q_EMIT ActiveChildFrameChanged(frame);
}

void CDocumentArea::OnFocusChanged(QWidget*, QWidget* now)
{
    // The group that gets the focus, by a click into a view or the keyboard, becomes the active one.
    for (QWidget* widget = now; widget && widget != this; widget = widget->parentWidget()) {
        auto* group = qobject_cast<QTabWidget*>(widget);
        if (group && group->parentWidget() == m_pSplitter) {
            SetActiveGroup(group);
            return;
        }
    }
}

bool CDocumentArea::eventFilter(QObject* watched, QEvent* event)
{
    auto* bar = qobject_cast<QTabBar*>(watched);
    auto* group = bar ? qobject_cast<QTabWidget*>(bar->parentWidget()) : nullptr;
    if (!group)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        SetActiveGroup(group);
    } else if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = GetTabToolTip(group, bar->tabAt(help->pos()));
        if (!tip.isEmpty())
            QToolTip::showText(help->globalPos(), tip, bar);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString CDocumentArea::GetTabToolTip(int index) const
{
    return GetTabToolTip(m_pActiveGroup, index);
}

QString CDocumentArea::GetTabToolTip(QTabWidget* group, int index) const
{
    if (!group || index < 0 || index >= group->count())
        return QString();
    if (m_TabToolTipProvider)
        return m_TabToolTipProvider(group, index);
    const auto* frame = qobject_cast<CChildFrame*>(group->widget(index));
    return frame && frame->GetDocument() ? frame->GetDocument()->GetPathName() : QString();
}

void CDocumentArea::OnTitleChanged(CChildFrame*)
{
    // A new name (Save As) may make another tab's name unique, or alike.
    UpdateTabTexts();
}

void CDocumentArea::HoldTabTexts(bool hold)
{
    m_bTabTextsHeld = hold;
    if (!hold)
        UpdateTabTexts();
}

void CDocumentArea::UpdateTabTexts()
{
    if (m_bTabTextsHeld)
        return;
    const QList<CChildFrame*> frames = GetChildFrames();
    QStringList paths;
    for (const CChildFrame* frame : frames)
        paths.append(frame->GetDocument() ? frame->GetDocument()->GetPathName() : QString());
    const QStringList folders = DistinguishingFolders(paths);
    for (qsizetype i = 0; i < frames.size(); ++i) {
        CChildFrame* frame = frames.at(i);
        frame->SetTitleFolders(paths.at(i).isEmpty() ? QString() : folders.at(i));
        if (QTabWidget* group = GetTabGroupOf(frame)) {
            const int index = group->indexOf(frame);
            if (group->tabText(index) != frame->GetTabText())
                group->setTabText(index, frame->GetTabText());
        }
    }
}
