// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

void CViewAccessibility::Install()
{
    static bool s_bInstalled = false;
    if (s_bInstalled)
        return;
    s_bInstalled = true;
    QAccessible::installFactory(&CViewAccessibility::Create);
}

QAccessibleInterface* CViewAccessibility::Create(const QString& className, QObject* object)
{
    if (className != QLatin1String("COstrelView") && className != QLatin1String("QsciScintilla") &&
        className != QLatin1String("QsciScintillaBase"))
        return nullptr;
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::EditableText);
}
