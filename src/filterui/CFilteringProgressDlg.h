// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>

class CFilteringRun;
class QLabel;
class QProgressBar;
class QTimer;

// The modeless "Filtering Progress" window of one run. A 100 ms timer shows the run's progress;
// five ticks after the run has finished the window closes itself. Cancel (or Enter or Escape)
// cancels the run; the close box only ends it. The window deletes itself when closed, and its
// owner hears of that through Closed(), queued, after a Cancelled() of the same window.
class CFilteringProgressDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TimerPeriodMs = 100;
    static constexpr int TicksAfterFinish = 5;

    explicit CFilteringProgressDlg(CFilteringRun* owner, QWidget* parent = nullptr);
    ~CFilteringProgressDlg() override;

    void OnTimer();

public Q_SLOTS:
    void OnClickedCancel();
    void reject() override;
    void accept() override;

Q_SIGNALS:
    void Cancelled();
    void Closed();

protected:
    // The close box (and the fifth tick after the end) only closes: no reject, no cancel.
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<CFilteringRun> m_pOwner;
    int m_nTicksAfterFinish = 0;
    QProgressBar* m_pProgressBar;
    QLabel* m_pProgressText;
    QTimer* m_pTimer;
};
