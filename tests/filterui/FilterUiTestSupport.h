// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
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
        // A dialog that the handler failed to close would hang the test: close it and say so.
        QTimer::singleShot(5000, qApp, [pModal = QPointer<QWidget>(modal)] {
            if (pModal && pModal->isVisible()) {
                qWarning("a modal dialog was left open: %s", qPrintable(pModal->windowTitle()));
                pModal->close();
            }
        });
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

// Answers a file dialog with a full path typed into its name field.
inline bool ChooseFile(QWidget* pModal, const QString& path)
{
    auto* pFiles = qobject_cast<QFileDialog*>(pModal);
    auto* pName = pFiles ? pFiles->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (!pName) {
        pModal->close();
        return false;
    }
    pName->setText(path);
    QMetaObject::invokeMethod(pFiles, "accept", Qt::DirectConnection);
    return true;
}

inline void SendMouse(QWidget* pWidget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(pWidget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

} // namespace FilterUiTest
