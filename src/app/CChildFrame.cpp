// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CChildFrame.h"

#include <algorithm>

#include <QEvent>
#include <QSplitter>
#include <QVBoxLayout>

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"
#include "view/CWholeFilePane.h"

namespace {

// setSizes takes sizes as shares of the room while the splitter is not laid out yet.
constexpr int DividerScale = 10000;

} // namespace

CChildFrame::CChildFrame(ILogWorkspace* workspace, QWidget* parent)
    : QWidget(parent), m_pDocument(std::make_unique<COstrelDoc>()),
      m_pView(new COstrelView(m_pDocument.get(), workspace, this)), m_pWorkspace(workspace)
{
    setObjectName(QStringLiteral("childFrame"));
    m_pDocument->SetView(m_pView);
    m_pLayout = new QVBoxLayout(this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->addWidget(m_pView);
    setFocusProxy(m_pView);
}

CChildFrame::~CChildFrame()
{
    // The pane beside the view follows it, and the view goes before its document.
    delete m_pWholeFile;
    delete m_pView;
    delete m_pSplitter;
}

void CChildFrame::ShowSplit(bool shown, Qt::Orientation orientation, double divider)
{
    if (shown == (m_pSplitter != nullptr)) {
        if (m_pSplitter)
            m_pSplitter->setOrientation(orientation);
        return;
    }
    const bool hadFocus = m_pView->hasFocus();
    if (!shown) {
        // The view is the frame's own again, as it is without a split.
        delete m_pWholeFile;
        m_pWholeFile = nullptr;
        m_pLayout->addWidget(m_pView);
        m_pView->show();
        delete m_pSplitter;
        m_pSplitter = nullptr;
    } else {
        m_pSplitter = new QSplitter(orientation, this);
        m_pSplitter->setObjectName(QStringLiteral("viewSplitter"));
        m_pSplitter->setChildrenCollapsible(false);
        // The view writes the tab's title to its parent, now the splitter: the frame takes it.
        m_pSplitter->installEventFilter(this);
        m_pSplitter->setWindowTitle(windowTitle());
        m_pSplitter->addWidget(m_pView);
        m_pWholeFile = new CWholeFilePane(*m_pView, m_pWorkspace);
        m_pSplitter->addWidget(m_pWholeFile);
        const int upper = static_cast<int>(std::clamp(divider, 0.05, 0.95) * DividerScale);
        m_pSplitter->setSizes({upper, DividerScale - upper});
        m_pLayout->addWidget(m_pSplitter);
        m_pSplitter->show();
        connect(m_pSplitter, &QSplitter::splitterMoved, this, [this] { Q_EMIT SplitDividerMoved(GetSplitDivider()); });
    }
    if (hadFocus)
        m_pView->setFocus();
}

double CChildFrame::GetSplitDivider() const
{
    if (!m_pSplitter)
        return -1;
    const QList<int> sizes = m_pSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    return total > 0 ? static_cast<double>(sizes.value(0)) / total : -1;
}

void CChildFrame::OnTextFormatChanged()
{
    m_pView->OnTextFormatChanged();
    if (m_pWholeFile)
        m_pWholeFile->OnTextFormatChanged();
}

void CChildFrame::RefreshMarks()
{
    m_pView->RefreshMarks();
    if (m_pWholeFile)
        m_pWholeFile->RefreshMarks();
}

bool CChildFrame::CanClose()
{
    return m_pDocument->SaveModified();
}

QString CChildFrame::GetTabText() const
{
    return m_strTitleFolders.isEmpty() ? windowTitle() : m_strTitleFolders + u'/' + windowTitle();
}

bool CChildFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pSplitter && event->type() == QEvent::WindowTitleChange)
        setWindowTitle(m_pSplitter->windowTitle());
    return QWidget::eventFilter(watched, event);
}

void CChildFrame::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowTitleChange)
        Q_EMIT TitleChanged(this);
    QWidget::changeEvent(event);
}
