// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

namespace FilterUiTest {

// Runs handler on the next modal widget once it is up (a message box, a file dialog, a dialog of
// ours); the returned flag tells whether it came. Call before the action that opens it.
inline std::shared_ptr<bool> OnNextModal(std::function<void(QWidget*)> handler)
{
    auto seen = std::make_shared<bool>(false);
    auto* poll = new QTimer(qApp);
    poll->setObjectName(QStringLiteral("modalPoll"));
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, seen, handler = std::move(handler)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        *seen = true;
        handler(modal);
        poll->deleteLater();
    });
    poll->start();
    return seen;
}

// Stops a pending OnNextModal poll from answering a later test's dialog.
inline void DropPendingModalHandlers()
{
    for (QTimer* poll : qApp->findChildren<QTimer*>(QStringLiteral("modalPoll"), Qt::FindDirectChildrenOnly)) {
        poll->stop();
        poll->deleteLater();
    }
}

inline void SendMouse(QWidget* pWidget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(pWidget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

} // namespace FilterUiTest
