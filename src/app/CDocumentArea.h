// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QList>
#include <QPointer>
#include <QWidget>

class CChildFrame;
class QMenu;
class QSplitter;
class QTabWidget;

// The main window's document area: one or more tab groups side by side or one above the other.
// Every tab has a close button and a tooltip; tabs can be dragged within their group and moved
// to the next or previous group. The active document is the current tab of the active group,
// the group that last had the focus or a click.
class CDocumentArea : public QWidget
{
    Q_OBJECT

public:
    // Supplies a tab's tooltip text from its group and index (the main frame's document list).
    using TabToolTipProvider = std::function<QString(QTabWidget* group, int index)>;

    explicit CDocumentArea(QWidget* parent = nullptr);

    // Adds the frame's tab to the active group and makes it the active one.
    // Adds the frame to the active group; with activate it becomes the group's current tab.
    void AddChildFrame(CChildFrame* frame, bool activate = true);
    // While held, adding tabs leaves their texts as they are; letting go names every tab once.
    // Opening many files at once would otherwise compare every name with every other each time.
    void HoldTabTexts(bool hold);
    // Takes the frame's tab away; a group left without tabs disappears unless it is the last.
    void RemoveChildFrame(CChildFrame* frame);
    CChildFrame* GetActiveChildFrame() const;
    // Makes the frame the current tab of its group and that group the active one.
    void SetActiveChildFrame(CChildFrame* frame);
    // Every frame, group by group, each group's tabs in order.
    QList<CChildFrame*> GetChildFrames() const;
    // Activates the next (step 1) or previous (step -1) tab of the active group, round the ends.
    void ActivateNextChildFrame(int step);
    // Moves the focus to the current tab of the next (1) or previous (-1) group, round the ends.
    void ActivateNextTabGroup(int step);

    // The active tab group.
    QTabWidget* GetTabWidget() const { return m_pActiveGroup; }
    QList<QTabWidget*> GetTabGroups() const;
    QTabWidget* GetTabGroupOf(const CChildFrame* frame) const;
    // The splitter's direction: Qt::Horizontal for groups side by side, Qt::Vertical for groups
    // one above the other.
    Qt::Orientation GetGroupOrientation() const;

    // A new group after the active one (groups below for Qt::Vertical, "New Horizontal Tab
    // Group"; to the right for Qt::Horizontal, "New Vertical Tab Group") takes the active tab.
    // Possible while the active group has two tabs or more and the groups run that way or
    // there is one group only.
    bool CanCreateTabGroup(Qt::Orientation orientation) const;
    bool CreateTabGroup(Qt::Orientation orientation);
    // Moves the active tab to the end of the next (1) or previous (-1) group.
    bool CanMoveToTabGroup(int step) const;
    bool MoveToTabGroup(int step);
    // The tab context menu's entries for the active tab: Close, Close Others, Copy Full Path,
    // Open Containing Folder and the tab-group commands.
    void FillTabContextMenu(QMenu* menu);

    // The tooltip of a tab of the active group.
    QString GetTabToolTip(int index) const;
    QString GetTabToolTip(QTabWidget* group, int index) const;
    void SetTabToolTipProvider(TabToolTipProvider provider) { m_TabToolTipProvider = std::move(provider); }

Q_SIGNALS:
    void ActiveChildFrameChanged(CChildFrame* frame);
    void CloseRequested(CChildFrame* frame);
    // Every tab but this one's should close (each may ask to save first).
    void CloseOthersRequested(CChildFrame* keep);
    // A tab was dragged from one position to another within the active group.
    void TabMoved(int from, int to);
    // The active tab left one group for another.
    void TabMovedToGroup(QTabWidget* from, QTabWidget* to);
    // Tabs changed places other than by a drag: a tab closed or changed groups.
    void TabsRearranged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTabWidget* CreateTabGroup();
    void AddToGroup(QTabWidget* group, CChildFrame* frame);
    void RemoveEmptyGroup(QTabWidget* group);
    void SetActiveGroup(QTabWidget* group);
    void EmitActiveChildFrameChanged();
    void OnFocusChanged(QWidget* old, QWidget* now);
    void OnTitleChanged(CChildFrame* frame);
    // Every tab's text from its frame, with the folders that tell same-named files apart.
    void UpdateTabTexts();
    void ShowTabContextMenu(QTabWidget* group, const QPoint& position);
    void OpenContainingFolder(const QString& path);

    QSplitter* m_pSplitter;
    QTabWidget* m_pActiveGroup = nullptr;
    QPointer<CChildFrame> m_pReportedFrame;
    bool m_bReported = false;
    bool m_bRearranging = false;
    TabToolTipProvider m_TabToolTipProvider;
    bool m_bTabTextsHeld = false;
};
