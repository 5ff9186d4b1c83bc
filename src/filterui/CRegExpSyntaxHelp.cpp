// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/CRegExpSyntaxHelp.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "view/COstrelSettings.h"

using namespace Qt::Literals::StringLiterals;

CRegExpSyntaxHelp::CRegExpSyntaxHelp(QWidget& owner)
    : m_Owner(owner), m_Opener([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{}

QString CRegExpSyntaxHelp::Find()
{
    const QString relative = u"help/RegExpSyntax.html"_s;
    const QString folder = COstrelSettings().value(u"Path"_s).toString();
    if (!folder.isEmpty()) {
        const QString path = QDir(folder).filePath(relative);
        return QFileInfo::exists(path) ? path : QString();
    }
    // Beside the program is where a build puts it; the installed one is in the data folder.
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {programDir.filePath(relative), programDir.filePath(u"../share/ostrel/"_s % relative)}) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"ostrel/"_s % relative);
}

void CRegExpSyntaxHelp::Show()
{
    const QString path = Find();
    if (path.isEmpty())
        return;
    if (!m_Opener || !m_Opener(QUrl::fromLocalFile(path)))
        ShowWindow(path);
}

void CRegExpSyntaxHelp::ShowWindow(const QString& path)
{
    if (!m_pWindow) {
        auto* pWindow = new QWidget(&m_Owner, Qt::Window);
        pWindow->setObjectName(u"regExpHelpWindow"_s);
        pWindow->setWindowTitle(u"Regular Expression Syntax"_s);
        auto* pBrowser = new QTextBrowser(pWindow);
        pBrowser->setObjectName(u"regExpHelpBrowser"_s);
        pBrowser->setOpenExternalLinks(true);
        auto* pLayout = new QVBoxLayout(pWindow);
        pLayout->setContentsMargins(0, 0, 0, 0);
        pLayout->addWidget(pBrowser);
        pWindow->resize(640, 560);
        m_pWindow = pWindow;
    }
    auto* pBrowser = m_pWindow->findChild<QTextBrowser*>(u"regExpHelpBrowser"_s);
    pBrowser->setSource(QUrl::fromLocalFile(path));
    m_pWindow->show();
    m_pWindow->raise();
    m_pWindow->activateWindow();
}
