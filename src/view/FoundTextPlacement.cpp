// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/FoundTextPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "view/COstrelView.h"

void MoveDialogOffSelection(QWidget& dialog, COstrelView& view)
{
    if (!dialog.isVisible())
        return;
    const CEditor& editor = view.GetEditor();
    const std::int64_t start = editor.GetSelectionStart();
    const std::int64_t end = editor.GetSelectionEnd();
    const QPoint from = editor.PointFromPosition(start);
    const QPoint to = editor.PointFromPosition(end);
    const int height = editor.GetLineHeight(editor.LineFromPosition(start));
    // The found text on the screen: one line's height from its start to its end (or to the
    // viewport's edge for text that runs on over several lines).
    QRect found(view.viewport()->mapToGlobal(QPoint(std::min(from.x(), to.x()), from.y())),
                view.viewport()->mapToGlobal(QPoint(std::max(from.x(), to.x()), to.y() + height)));
    if (to.y() != from.y())
        found.setLeft(view.viewport()->mapToGlobal(QPoint(0, 0)).x());
    const QRect frame = dialog.frameGeometry();
    if (!frame.intersects(found))
        return;
    const QScreen* screen = dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    // The frame's top-left moves; the dialog's own position follows by the same distance.
    const int above = found.top() - frame.height() - 1;
    const int below = found.bottom() + 1;
    const int top = room.isNull() || above >= room.top() || below + frame.height() > room.bottom() ? above : below;
    dialog.move(dialog.pos() + QPoint(0, top - frame.top()));
}
