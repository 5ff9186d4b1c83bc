// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

class CChildFrame;
class QTabWidget;

// The main window's document area: the document tabs, each with a close button and a tooltip
// showing the document's full path. One tab group for now; groups side by side come later and
// stay behind this interface.
class CDocumentArea : public QWidget
{
    Q_OBJECT

public:
    explicit CDocumentArea(QWidget* parent = nullptr);

    // Adds the frame's tab and makes it the active one.
    void AddChildFrame(CChildFrame* frame);
    void RemoveChildFrame(CChildFrame* frame);
    CChildFrame* GetActiveChildFrame() const;
    void SetActiveChildFrame(CChildFrame* frame);
    QList<CChildFrame*> GetChildFrames() const;
    // Activates the next (step 1) or previous (step -1) tab, round the ends.
    void ActivateNextChildFrame(int step);
    QTabWidget* GetTabWidget() const { return m_pTabs; }
    // The tooltip of a tab: its document's full path.
    QString GetTabToolTip(int index) const;

Q_SIGNALS:
    void ActiveChildFrameChanged(CChildFrame* frame);
    void CloseRequested(CChildFrame* frame);
    // A tab was dragged from one position to another within its group.
    void TabMoved(int from, int to);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTitleChanged(CChildFrame* frame);

    QTabWidget* m_pTabs;
};
