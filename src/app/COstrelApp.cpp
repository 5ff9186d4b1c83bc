// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/COstrelApp.h"

#include <algorithm>
#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QPageSetupDialog>
#include <QPrinter>

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CSession.h"
#include "app/CSingleInstance.h"
#include "app/CStreamOpener.h"
#include "app/NumberedSettings.h"
#include "document/COstrelDoc.h"
#include "view/COstrelSettings.h"
#include "view/CViewAccessibility.h"

namespace {
const QString SettingsGroup = QStringLiteral("Settings");
const QString RecentFileGroup = QStringLiteral("Recent File List");
} // namespace

COstrelApp::COstrelApp(int& argc, char** argv) : QApplication(argc, argv), m_strTextFont(QStringLiteral("Courier New"))
{
    setOrganizationName(QStringLiteral("Quorrel"));
    setApplicationName(QStringLiteral("Ostrel"));
    setApplicationVersion(
        QStringLiteral("%1.%2.%3.%4").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision).arg(VersionBuild));
    setDesktopFileName(QStringLiteral("ostrel"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("ostrel"), QIcon(QStringLiteral(":/icons/ostrel.png"))));
    // Before the first view exists, so that QScintilla's own bridge is never asked.
    CViewAccessibility::Install();
}

COstrelApp::~COstrelApp() = default;

COstrelApp* COstrelApp::GetInstance()
{
    return qobject_cast<COstrelApp*>(QCoreApplication::instance());
}

QString COstrelApp::GetVersionText()
{
    return QStringLiteral("%1.%2.%3 Build %4")
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionRevision)
        .arg(VersionBuild);
}

bool COstrelApp::HandOverToRunningInstance() const
{
    // A start with nothing to open is a program of its own, as ever; so is one that reads its
    // own standard input, which no other process can.
    if (m_StartOptions.NewInstance || m_StartOptions.StandardInput)
        return false;
    const QList<CSingleInstance::Item> items = GetStartItems(m_StartOptions);
    return !items.isEmpty() &&
           CSingleInstance::HandOver(CSingleInstance::ServerName(COstrelSettings::GetFileName()), items);
}

QList<CSingleInstance::Item> COstrelApp::GetStartItems(const CStartOptions& options)
{
    using Kind = CSingleInstance::Item::Kind;
    QList<CSingleInstance::Item> items;
    for (const QString& file : options.Files)
        items.append({Kind::File, {file}});
    for (const QString& set : options.RotatedSets)
        items.append({Kind::RotatedSet, {set}});
    for (const QStringList& merge : options.Merges)
        items.append({Kind::Merge, merge});
    return items;
}

bool COstrelApp::InitInstance()
{
    {
        COstrelSettings settings;
        ReadSettings(settings);
    }
    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->LoadFrame()) {
        m_pMainFrame.reset();
        return false;
    }
    // Later starts hand their files, sets and merges to this one. When another program listens already (two
    // starts at once, or this one came with --new-instance), this one simply runs on its own.
    m_pSingleInstance = new CSingleInstance(this);
    connect(m_pSingleInstance, &CSingleInstance::ItemsReceived, this, &COstrelApp::OnItemsHandedOver);
    m_pSingleInstance->Listen(CSingleInstance::ServerName(COstrelSettings::GetFileName()));

    CStreamOpener::SweepLeftovers();
    if (m_bRestoreSession) {
        COstrelSettings settings;
        const QString note = CSession::Read(settings).Restore(*m_pMainFrame);
        if (!note.isEmpty())
            m_pMainFrame->ShowStatusNote(note);
    }
    // The window first, so that a file that cannot be opened is reported over it; the rest of
    // the files open all the same, the last one ends up active.
    m_pMainFrame->show();
    OpenItems(GetStartItems(m_StartOptions));
    if (m_StartOptions.StandardInput)
        m_pMainFrame->GetStreamOpener().OpenInput(STDIN_FILENO);
    return true;
}

void COstrelApp::OpenItems(const QList<CSingleInstance::Item>& items)
{
    if (!m_pMainFrame)
        return;
    using Kind = CSingleInstance::Item::Kind;
    QStringList files;
    const auto openFiles = [this, &files] {
        OpenDocumentFiles(files);
        files.clear();
    };
    for (const CSingleInstance::Item& item : items) {
        if (item.What == Kind::File) {
            files.append(item.Paths);
            continue;
        }
        openFiles();
        if (item.Paths.isEmpty())
            continue;
        if (item.What == Kind::RotatedSet)
            m_pMainFrame->OpenRotatedSet(item.Paths.constFirst());
        else
            m_pMainFrame->OpenMerged(item.Paths);
    }
    openFiles();
}

void COstrelApp::OnItemsHandedOver(const QList<CSingleInstance::Item>& items)
{
    if (!m_pMainFrame)
        return;
    // To the front first: a message about what cannot be opened shows over the window.
    if (m_pMainFrame->isMinimized())
        m_pMainFrame->showNormal();
    m_pMainFrame->raise();
    m_pMainFrame->activateWindow();
    OpenItems(items);
}

int COstrelApp::ExitInstance(int exitCode)
{
    {
        COstrelSettings settings;
        WriteSettings(settings);
    }
    delete m_pSingleInstance; // no hand-over reaches a program that is ending
    m_pSingleInstance = nullptr;
    m_pMainFrame.reset(); // takes the output line queue with it
    return exitCode;
}

void COstrelApp::ReadSettings(QSettings& settings)
{
    settings.beginGroup(SettingsGroup);
    m_nTooltipsEnable = settings.value(QStringLiteral("TooltipsEnable"), 1).toInt();
    m_nTextMask = settings.value(QStringLiteral("TextMask"), 0).toInt();
    m_nTextEffects = settings.value(QStringLiteral("TextEffects"), 0).toInt();
    m_crTextColor = settings.value(QStringLiteral("TextColor"), 0).toUInt();
    m_nTextHeight = settings.value(QStringLiteral("TextHeight"), 0).toInt();
    m_nTextOffset = settings.value(QStringLiteral("TextOffset"), 0).toInt();
    m_strTextFont = settings.value(QStringLiteral("TextFont"), QStringLiteral("Courier New")).toString();
    bool valid = false;
    const qint64 threshold = settings.value(QStringLiteral("PagedViewThreshold")).toLongLong(&valid);
    m_nPagedViewThresholdMB = valid && threshold >= 0 ? threshold : DefaultPagedViewThresholdMB();
    m_bShowLineNumbers = settings.value(QStringLiteral("LineNumbers"), 1).toInt() != 0;
    m_bRestoreSession = settings.value(QStringLiteral("RestoreSession"), 1).toInt() != 0;
    m_bAskBeforeOpeningMany = settings.value(QStringLiteral("AskBeforeOpeningMany"), 1).toInt() != 0;
    SetFilterThreads(std::max(0, settings.value(QStringLiteral("FilterThreads"), 0).toInt()));
    m_strOpenFolder = settings.value(QStringLiteral("OpenFolder")).toString();
    settings.endGroup();

    m_RecentFiles = ReadNumberedValues(settings, RecentFileGroup, QStringLiteral("File"), MaxRecentFiles);
    Q_EMIT RecentFileListChanged();
}

void COstrelApp::WriteSettings(QSettings& settings) const
{
    settings.beginGroup(SettingsGroup);
    settings.setValue(QStringLiteral("TooltipsEnable"), m_nTooltipsEnable);
    settings.setValue(QStringLiteral("TextMask"), m_nTextMask);
    settings.setValue(QStringLiteral("TextEffects"), m_nTextEffects);
    settings.setValue(QStringLiteral("TextColor"), m_crTextColor);
    settings.setValue(QStringLiteral("TextHeight"), m_nTextHeight);
    settings.setValue(QStringLiteral("TextOffset"), m_nTextOffset);
    settings.setValue(QStringLiteral("TextFont"), m_strTextFont);
    settings.setValue(QStringLiteral("PagedViewThreshold"), static_cast<qlonglong>(m_nPagedViewThresholdMB));
    settings.setValue(QStringLiteral("LineNumbers"), m_bShowLineNumbers ? 1 : 0);
    settings.setValue(QStringLiteral("RestoreSession"), m_bRestoreSession ? 1 : 0);
    settings.setValue(QStringLiteral("AskBeforeOpeningMany"), m_bAskBeforeOpeningMany ? 1 : 0);
    settings.setValue(QStringLiteral("FilterThreads"), m_nFilterThreads);
    if (m_strOpenFolder.isEmpty())
        settings.remove(QStringLiteral("OpenFolder"));
    else
        settings.setValue(QStringLiteral("OpenFolder"), m_strOpenFolder);
    settings.endGroup();

    WriteNumberedValues(settings, RecentFileGroup, QStringLiteral("File"), m_RecentFiles, MaxRecentFiles);
    settings.sync();
}

CTextFormat COstrelApp::GetTextFormat() const
{
    CTextFormat format;
    format.Face = m_strTextFont;
    format.Color = m_crTextColor;
    format.Height = m_nTextHeight;
    format.Offset = m_nTextOffset;
    format.Mask = m_nTextMask;
    format.Effects = m_nTextEffects;
    return format;
}

void COstrelApp::SetTextFormat(const CTextFormat& format)
{
    m_strTextFont = format.Face;
    m_crTextColor = format.Color;
    m_nTextHeight = format.Height;
    m_nTextOffset = format.Offset;
    m_nTextMask = format.Mask;
    m_nTextEffects = format.Effects;
}

QPrinter& COstrelApp::GetPrinter()
{
    if (!m_pPrinter) {
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_pPrinter->setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
    }
    return *m_pPrinter;
}

void COstrelApp::AddToRecentFileList(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_RecentFiles.removeAll(absolute);
    m_RecentFiles.prepend(absolute);
    while (m_RecentFiles.size() > MaxRecentFiles)
        m_RecentFiles.removeLast();
    Q_EMIT RecentFileListChanged();
}

std::int64_t COstrelApp::DefaultPagedViewThresholdMB()
{
    // 256 MB, or a quarter of the memory where that is less: the editor holds about twice the
    // file, and a bigger one opens at once in the paged view (Edit Anyway loads it all).
    constexpr std::int64_t LimitMB = 256;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const std::int64_t memoryMB =
        pages > 0 && pageSize > 0 ? static_cast<std::int64_t>(pages) * pageSize / (1024 * 1024) : 0;
    return memoryMB > 0 ? std::clamp<std::int64_t>(memoryMB / 4, 1, LimitMB) : LimitMB;
}

void COstrelApp::RemoveFromRecentFileList(const QString& path)
{
    if (m_RecentFiles.removeAll(QFileInfo(path).absoluteFilePath()) > 0)
        Q_EMIT RecentFileListChanged();
}

void COstrelApp::OnAppAbout()
{
    CAboutDlg dialog(m_pMainFrame.get());
    dialog.exec();
}

void COstrelApp::OnFileNew()
{
    // A log document exists only for a file that was opened.
}

QString COstrelApp::GetFileOpenFolder() const
{
    if (m_pMainFrame) {
        if (const COstrelDoc* document = m_pMainFrame->GetActiveLogDocument()) {
            const QFileInfo file(document->GetPathName());
            if (file.dir().exists())
                return file.absolutePath();
        }
    }
    return !m_strOpenFolder.isEmpty() && QFileInfo(m_strOpenFolder).isDir() ? m_strOpenFolder : QDir::currentPath();
}

void COstrelApp::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(m_pMainFrame.get(), QString(), GetFileOpenFolder(),
                                                      QStringLiteral("Ostrel Files (*.log);;All Files (*)"));
    if (path.isEmpty())
        return;
    m_strOpenFolder = QFileInfo(path).absolutePath();
    OpenDocumentFile(path);
}

void COstrelApp::OnFileOpenRotatedSet()
{
    const QString path = QFileDialog::getOpenFileName(m_pMainFrame.get(), QStringLiteral("Open Rotated Set"),
                                                      GetFileOpenFolder(), QStringLiteral("All Files (*)"));
    if (path.isEmpty() || !m_pMainFrame)
        return;
    m_strOpenFolder = QFileInfo(path).absolutePath();
    m_pMainFrame->OpenRotatedSet(path);
}

void COstrelApp::OnFileOpenMerged()
{
    const QStringList paths = QFileDialog::getOpenFileNames(m_pMainFrame.get(), QStringLiteral("Open Merged"),
                                                            GetFileOpenFolder(), QStringLiteral("All Files (*)"));
    if (paths.isEmpty() || !m_pMainFrame)
        return;
    m_strOpenFolder = QFileInfo(paths.constFirst()).absolutePath();
    m_pMainFrame->OpenMerged(paths);
}

void COstrelApp::OnFilePrintSetup()
{
    QPageSetupDialog dialog(&GetPrinter(), m_pMainFrame.get());
    dialog.exec();
}

void COstrelApp::OpenDocumentFiles(const QStringList& paths)
{
    if (!m_pMainFrame || paths.isEmpty())
        return;
    NoteOpenedFiles(paths, m_pMainFrame->OpenDocumentFiles(paths, m_bAskBeforeOpeningMany));
}

void COstrelApp::NoteOpenedFiles(const QStringList& paths, const QList<COstrelDoc*>& documents)
{
    for (qsizetype i = 0; i < paths.size() && i < documents.size(); ++i) {
        if (documents.at(i))
            AddToRecentFileList(paths.at(i));
        else
            RemoveFromRecentFileList(paths.at(i));
    }
}

COstrelDoc* COstrelApp::OpenDocumentFile(const QString& path)
{
    if (!m_pMainFrame)
        return nullptr;
    COstrelDoc* document = m_pMainFrame->OpenDocumentFile(path);
    if (document)
        AddToRecentFileList(path);
    else
        RemoveFromRecentFileList(path);
    return document;
}
