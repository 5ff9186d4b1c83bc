// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CFilteringProgressDlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "document/CFilteringRun.h"
#include "view/DialogFrames.h"

CFilteringProgressDlg::CFilteringProgressDlg(CFilteringRun* owner, QWidget* parent)
    : QDialog(parent, PlainDialogFlags), m_pOwner(owner), m_pProgressBar(new QProgressBar(this)),
      m_pProgressText(new QLabel(QStringLiteral("Filtering 0% Complete"), this)), m_pTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("filteringProgressDlg"));
    setWindowTitle(QStringLiteral("Filtering Progress"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_pProgressBar->setObjectName(QStringLiteral("progressBar"));
    m_pProgressBar->setRange(0, 100);
    m_pProgressBar->setValue(0);
    m_pProgressBar->setTextVisible(false);
    m_pProgressText->setObjectName(QStringLiteral("progressText"));
    m_pProgressText->setAlignment(Qt::AlignCenter);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setDefault(true);
    cancel->setAutoDefault(true);
    connect(cancel, &QPushButton::clicked, this, &CFilteringProgressDlg::OnClickedCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pProgressText);
    layout->addWidget(m_pProgressBar);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons);
    // A plain frame of a fixed size: nothing to maximise.
    m_pProgressBar->setMinimumWidth(300);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (owner) {
        // At once: a queued cancel would wait behind the turns of appending already queued.
        connect(this, &CFilteringProgressDlg::Cancelled, owner, &CFilteringRun::OnFilterCancelled);
        connect(this, &CFilteringProgressDlg::Closed, owner, &CFilteringRun::OnFilterFinished, Qt::QueuedConnection);
        // A run that ends before its window has closed takes the window with it.
        connect(owner, &CFilteringRun::Ended, this, [this] {
            disconnect(this, nullptr, m_pOwner, nullptr);
            close();
        });
    }
    m_pTimer->setObjectName(QStringLiteral("progressTimer"));
    connect(m_pTimer, &QTimer::timeout, this, &CFilteringProgressDlg::OnTimer);
    m_pTimer->start(TimerPeriodMs);
}

CFilteringProgressDlg::~CFilteringProgressDlg()
{
    Q_EMIT Closed();
}

void CFilteringProgressDlg::OnTimer()
{
    if (!m_pOwner)
        return;
    // A followed file's run has read what there is: the window's part is done.
    const bool finished = m_pOwner->IsWorkerFinished() || m_pOwner->IsCaughtUp();
    const int percent = finished ? 100 : m_pOwner->GetProgressPercent();
    m_pProgressBar->setValue(percent);
    m_pProgressText->setText(QStringLiteral("Filtering %1% Complete").arg(percent));
    if (finished && ++m_nTicksAfterFinish == TicksAfterFinish)
        close();
}

void CFilteringProgressDlg::closeEvent(QCloseEvent* event)
{
    m_pTimer->stop();
    event->accept();
}

void CFilteringProgressDlg::OnClickedCancel()
{
    Q_EMIT Cancelled();
    close();
}

// Escape cancels the run like the button.
void CFilteringProgressDlg::reject()
{
    OnClickedCancel();
}

// Enter presses the default button, Cancel.
void CFilteringProgressDlg::accept()
{
    OnClickedCancel();
}
