// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;

// The tips of the filter settings dialog: they appear only after the mouse has rested a while,
// stay longer than the style's, wrap at a fixed width and can be switched off altogether.
class CDelayedToolTips : public QObject
{
    Q_OBJECT

public:
    // Tips appear this long after the mouse came to rest and wrap at this width.
    static constexpr int DelayMs = 2000;
    static constexpr int MaxWidth = 200;
    // Tips stay this long.
    static constexpr int DisplayMs = 20000;

    CDelayedToolTips(bool bActive, QObject* parent);

    // A tip as rich text: as wide as its text up to the maximum width, wrapped beyond it. A
    // filter string may break anywhere.
    static QString Format(const QString& text, bool bBreakAnywhere = false);

    bool IsActive() const { return m_bActive; }
    // Switched off, a tip waiting or shown goes at once.
    void SetActive(bool bActive);
    // A tip asked for by a control or a cell: shown once the mouse has rested long enough. An
    // empty text takes down the tip that shows.
    void Request(QWidget* pWidget, const QPoint& globalPos, const QString& text, bool bBreakAnywhere);
    // Forgets the tip that waits for the timer.
    void CancelPending();
    // The control whose tip waits, or null.
    QWidget* GetPendingWidget() const { return m_pWidget; }

private:
    void ShowPending();

    bool m_bActive;
    QTimer* m_pTimer;
    QPointer<QWidget> m_pWidget; // the control whose tip waits for the timer
    QPoint m_Pos;
    QString m_strText;
    bool m_bBreakAnywhere = false;
};
