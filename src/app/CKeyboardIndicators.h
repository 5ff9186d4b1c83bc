// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QObject>
#include <QTimer>

class QLabel;

// The CAP, NUM and SCRL panes of the status bar: the keyboard's lock states as the X server
// reports them. Without an X server (Wayland, headless) the panes stay empty.
class CKeyboardIndicators : public QObject
{
    Q_OBJECT

public:
    struct LockStates
    {
        bool Caps = false;
        bool Num = false;
        bool Scroll = false;
    };

    CKeyboardIndicators(QLabel* capsPane, QLabel* numPane, QLabel* scrollPane, QObject* parent = nullptr);

    // The lock states now, or nothing when no X server tells them.
    static std::optional<LockStates> ReadLockStates();
    // Reads the states and writes the panes.
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_pCapsPane;
    QLabel* m_pNumPane;
    QLabel* m_pScrollPane;
    QTimer m_PollTimer;
};
