// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CWindowsDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/CChildFrame.h"
#include "app/CDocumentArea.h"
#include "app/CMainFrame.h"
#include "document/COstrelDoc.h"

namespace {

QPushButton* CreateButton(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CWindowsDlg::CWindowsDlg(CMainFrame* mainFrame)
    : QDialog(mainFrame), m_pMainFrame(mainFrame), m_pWindowList(new QListWidget(this)),
      m_pActivateButton(CreateButton(QStringLiteral("&Activate"), "activateButton", this)),
      m_pOkButton(CreateButton(QStringLiteral("OK"), "okButton", this)),
      m_pSaveButton(CreateButton(QStringLiteral("&Save"), "saveButton", this)),
      m_pCloseButton(CreateButton(QStringLiteral("&Close Window(s)"), "closeWindowsButton", this))
{
    setObjectName(QStringLiteral("windowsDialog"));
    setWindowTitle(QStringLiteral("Windows"));
    m_pWindowList->setObjectName(QStringLiteral("windowList"));
    m_pWindowList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pOkButton->setDefault(true);

    auto* layout = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("&Select window:"), this);
    label->setBuddy(m_pWindowList);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_pWindowList, 1, 0, 5, 1);
    layout->addWidget(m_pActivateButton, 1, 1);
    layout->addWidget(m_pOkButton, 2, 1);
    layout->addWidget(m_pSaveButton, 3, 1);
    layout->addWidget(m_pCloseButton, 4, 1);
    layout->setRowStretch(5, 1);

    connect(m_pWindowList, &QListWidget::itemSelectionChanged, this, &CWindowsDlg::UpdateButtons);
    connect(m_pWindowList, &QListWidget::itemDoubleClicked, this, &CWindowsDlg::OnActivate);
    connect(m_pActivateButton, &QPushButton::clicked, this, &CWindowsDlg::OnActivate);
    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pSaveButton, &QPushButton::clicked, this, &CWindowsDlg::OnSave);
    connect(m_pCloseButton, &QPushButton::clicked, this, &CWindowsDlg::OnCloseWindows);
    FillList();
    resize(460, 300);
}

void CWindowsDlg::FillList()
{
    m_Frames = m_pMainFrame->GetDocumentArea()->GetChildFrames();
    CChildFrame* active = m_pMainFrame->GetActiveChildFrame();
    m_pWindowList->clear();
    for (CChildFrame* frame : std::as_const(m_Frames)) {
        auto* item = new QListWidgetItem(frame->GetTabText(), m_pWindowList);
        item->setToolTip(frame->GetDocument()->GetPathName());
        if (frame == active)
            m_pWindowList->setCurrentItem(item);
    }
    UpdateButtons();
}

QList<CChildFrame*> CWindowsDlg::GetSelectedFrames() const
{
    QList<CChildFrame*> frames;
    for (int row = 0; row < m_pWindowList->count(); ++row) {
        if (m_pWindowList->item(row)->isSelected())
            frames.append(m_Frames.value(row));
    }
    return frames;
}

void CWindowsDlg::UpdateButtons()
{
    const qsizetype selected = GetSelectedFrames().size();
    m_pActivateButton->setEnabled(selected == 1);
    m_pSaveButton->setEnabled(selected > 0);
    m_pCloseButton->setEnabled(selected > 0);
}

void CWindowsDlg::OnActivate()
{
    const QList<CChildFrame*> frames = GetSelectedFrames();
    if (frames.size() != 1)
        return;
    m_pMainFrame->GetDocumentArea()->SetActiveChildFrame(frames.first());
    accept();
}

void CWindowsDlg::OnSave()
{
    for (CChildFrame* frame : GetSelectedFrames()) {
        m_pMainFrame->GetDocumentArea()->SetActiveChildFrame(frame);
        frame->GetDocument()->OnFileSave();
    }
    FillList();
}

void CWindowsDlg::OnCloseWindows()
{
    // Each closes after its own question to save; a Cancel stops the rest.
    for (CChildFrame* frame : GetSelectedFrames()) {
        m_pMainFrame->GetDocumentArea()->SetActiveChildFrame(frame);
        if (!m_pMainFrame->CloseChildFrame(frame))
            break;
    }
    FillList();
}
