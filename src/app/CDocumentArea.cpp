// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CDocumentArea.h"

#include <QHelpEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/CChildFrame.h"
#include "document/COstrelDoc.h"

CDocumentArea::CDocumentArea(QWidget* parent)
    : QWidget(parent)
    , m_pTabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("documentArea"));
    m_pTabs->setObjectName(QStringLiteral("documentTabs"));
    m_pTabs->setTabsClosable(true);
    m_pTabs->setMovable(true);
    m_pTabs->setDocumentMode(true);
    m_pTabs->setElideMode(Qt::ElideRight);
    m_pTabs->tabBar()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pTabs);

    connect(m_pTabs, &QTabWidget::currentChanged, this,
            [this](int index) { Q_EMIT ActiveChildFrameChanged(qobject_cast<CChildFrame*>(m_pTabs->widget(index))); });
    connect(m_pTabs, &QTabWidget::tabCloseRequested, this, [this](int index) {
        if (auto* frame = qobject_cast<CChildFrame*>(m_pTabs->widget(index)))
            Q_EMIT CloseRequested(frame);
    });
    connect(m_pTabs->tabBar(), &QTabBar::tabMoved, this, &CDocumentArea::TabMoved);
}

void CDocumentArea::AddChildFrame(CChildFrame* frame)
{
    connect(frame, &CChildFrame::TitleChanged, this, &CDocumentArea::OnTitleChanged);
    const int index = m_pTabs->addTab(frame, frame->windowTitle());
    m_pTabs->setCurrentIndex(index);
    frame->setFocus();
}

void CDocumentArea::RemoveChildFrame(CChildFrame* frame)
{
    const int index = m_pTabs->indexOf(frame);
    if (index >= 0)
        m_pTabs->removeTab(index);
    disconnect(frame, nullptr, this, nullptr);
}

CChildFrame* CDocumentArea::GetActiveChildFrame() const
{
    return qobject_cast<CChildFrame*>(m_pTabs->currentWidget());
}

void CDocumentArea::SetActiveChildFrame(CChildFrame* frame)
{
    m_pTabs->setCurrentWidget(frame);
    frame->setFocus();
}

QList<CChildFrame*> CDocumentArea::GetChildFrames() const
{
    QList<CChildFrame*> frames;
    for (int i = 0; i < m_pTabs->count(); ++i) {
        if (auto* frame = qobject_cast<CChildFrame*>(m_pTabs->widget(i)))
            frames.append(frame);
    }
    return frames;
}

void CDocumentArea::ActivateNextChildFrame(int step)
{
    const int count = m_pTabs->count();
    if (count < 2)
        return;
    m_pTabs->setCurrentIndex(((m_pTabs->currentIndex() + step) % count + count) % count);
    if (QWidget* current = m_pTabs->currentWidget())
        current->setFocus();
}

bool CDocumentArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pTabs->tabBar() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = m_pTabs->tabBar()->tabAt(help->pos());
        const QString tip = GetTabToolTip(index);
        if (!tip.isEmpty())
            QToolTip::showText(help->globalPos(), tip, m_pTabs->tabBar());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString CDocumentArea::GetTabToolTip(int index) const
{
    const auto* frame = qobject_cast<CChildFrame*>(m_pTabs->widget(index));
    return frame && frame->GetDocument() ? frame->GetDocument()->GetPathName() : QString();
}

void CDocumentArea::OnTitleChanged(CChildFrame* frame)
{
    const int index = m_pTabs->indexOf(frame);
    if (index >= 0)
        m_pTabs->setTabText(index, frame->windowTitle());
}
