// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QPointer>
#include <QString>

class QUrl;
class QWidget;

// The regular-expression help document of the RegExp Syntax button: in the desktop's viewer, or
// where there is none in a window of its own that stays while its owner does.
class CRegExpSyntaxHelp
{
public:
    using Opener = std::function<bool(const QUrl&)>;

    // The desktop's viewer opens the document at first.
    explicit CRegExpSyntaxHelp(QWidget& owner);

    // The help document: under the Path setting when it is set, else beside the program (its
    // build folder) or in the installed data folder. Empty when there is none.
    static QString Find();
    // What opens the document; false when no viewer could be started.
    void SetOpener(Opener opener) { m_Opener = std::move(opener); }
    // Shows the document; a missing one is not reported.
    void Show();

private:
    void ShowWindow(const QString& path);

    QWidget& m_Owner;
    Opener m_Opener;
    QPointer<QWidget> m_pWindow;
};
