// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CChildFrame.h"

#include <QEvent>
#include <QVBoxLayout>

#include "document/COstrelDoc.h"
#include "view/COstrelView.h"

CChildFrame::CChildFrame(ILogWorkspace* workspace, QWidget* parent)
    : QWidget(parent), m_pDocument(std::make_unique<COstrelDoc>()),
      m_pView(new COstrelView(m_pDocument.get(), workspace, this))
{
    setObjectName(QStringLiteral("childFrame"));
    m_pDocument->SetView(m_pView);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    setFocusProxy(m_pView);
}

CChildFrame::~CChildFrame()
{
    // The view goes first: it must never outlive its document.
    delete m_pView;
}

bool CChildFrame::CanClose()
{
    return m_pDocument->SaveModified();
}

QString CChildFrame::GetTabText() const
{
    return m_strTitleFolders.isEmpty() ? windowTitle() : m_strTitleFolders + u'/' + windowTitle();
}

void CChildFrame::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowTitleChange)
        Q_EMIT TitleChanged(this);
    QWidget::changeEvent(event);
}
