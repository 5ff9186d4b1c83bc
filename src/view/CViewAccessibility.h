// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// QScintilla's accessibility bridge turns byte positions into character offsets by scanning the
// text from its start on every insert and caret move, which makes a big log crawl. This factory
// answers for the editor classes first, with a plain widget interface that never scans.
class CViewAccessibility
{
public:
    // Installs the factory once; later calls do nothing.
    static void Install();

private:
    static QAccessibleInterface* Create(const QString& className, QObject* object);
};
