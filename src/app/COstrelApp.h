// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include <QApplication>
#include <QStringList>

#include "app/CCommandLine.h"
#include "app/CSingleInstance.h"
#include "view/ILogWorkspace.h"

class CMainFrame;
class COstrelDoc;
class QPrinter;
class QSettings;

// The application: reads the settings once at start, creates the main window, opens the files
// named on the command line and writes the settings back once at exit.
class COstrelApp : public QApplication
{
    Q_OBJECT

public:
    static constexpr int VersionMajor = 1;
    static constexpr int VersionMinor = 1;
    static constexpr int VersionRevision = 0;
    static constexpr int VersionBuild = 156;
    static constexpr int MaxRecentFiles = 4;

    COstrelApp(int& argc, char** argv);
    ~COstrelApp() override;

    // The running application, or null when the process's application object is another kind.
    static COstrelApp* GetInstance();
    // "1.1.0 Build 156".
    static QString GetVersionText();

    // What the command line asked of this start: the files to open, --new-instance.
    const CStartOptions& GetStartOptions() const { return m_StartOptions; }
    void SetStartOptions(const CStartOptions& options) { m_StartOptions = options; }
    // A start with files, sets or merges while the program runs for the same user and settings:
    // the running one opens them and comes to the front. True when it took them and this start
    // must end. Never with --new-instance, nor for a start that reads standard input.
    bool HandOverToRunningInstance() const;
    // What the start opens, one item a document, in the order it opens them: the files, the
    // rotated sets, the merges.
    static QList<CSingleInstance::Item> GetStartItems(const CStartOptions& options);
    // Start-up: settings, main window, the last session's documents (when RestoreSession is on),
    // the start's files. False when the program must end.
    bool InitInstance();
    // Exit: writes the settings back and returns the exit code.
    int ExitInstance(int exitCode);

    // The settings of the "Settings" group and the recent-file list, from and to the store.
    void ReadSettings(QSettings& settings);
    void WriteSettings(QSettings& settings) const;

    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    QPrinter& GetPrinter();

    unsigned GetApplicationLook() const { return m_nApplicationLook; }
    void SetApplicationLook(unsigned look) { m_nApplicationLook = look; }
    bool GetHighColorIcons() const { return m_bHighColorIcons; }

    std::int32_t GetTooltipsEnable() const { return m_nTooltipsEnable; }
    void SetTooltipsEnable(std::int32_t enable) { m_nTooltipsEnable = enable; }
    std::int32_t GetTextMask() const { return m_nTextMask; }
    void SetTextMask(std::int32_t mask) { m_nTextMask = mask; }
    std::int32_t GetTextEffects() const { return m_nTextEffects; }
    void SetTextEffects(std::int32_t effects) { m_nTextEffects = effects; }
    std::int32_t GetTextHeight() const { return m_nTextHeight; }
    void SetTextHeight(std::int32_t height) { m_nTextHeight = height; }
    std::int32_t GetTextOffset() const { return m_nTextOffset; }
    void SetTextOffset(std::int32_t offset) { m_nTextOffset = offset; }
    std::uint32_t GetTextColor() const { return m_crTextColor; }
    void SetTextColor(std::uint32_t color) { m_crTextColor = color; }
    QString GetTextFont() const { return m_strTextFont; }
    void SetTextFont(const QString& face) { m_strTextFont = face; }
    // The display font of the views as one value, from and to the settings above.
    CTextFormat GetTextFormat() const;
    void SetTextFormat(const CTextFormat& format);

    // Settings/PagedViewThreshold: files of this many megabytes or more open in the paged view;
    // 0 means never.
    std::int64_t GetPagedViewThresholdMB() const { return m_nPagedViewThresholdMB; }
    void SetPagedViewThresholdMB(std::int64_t megabytes) { m_nPagedViewThresholdMB = megabytes; }
    static std::int64_t DefaultPagedViewThresholdMB();

    // Settings/LineNumbers: the line-number margin of the views, on by default.
    bool GetShowLineNumbers() const { return m_bShowLineNumbers; }
    void SetShowLineNumbers(bool shown) { m_bShowLineNumbers = shown; }
    // Settings/RestoreSession: a start opens again the documents open at the last exit.
    bool GetRestoreSession() const { return m_bRestoreSession; }
    void SetRestoreSession(bool restore) { m_bRestoreSession = restore; }
    // Settings/AskBeforeOpeningMany: opening more than CMainFrame::ManyFiles files at once asks
    // first, on by default.
    bool GetAskBeforeOpeningMany() const { return m_bAskBeforeOpeningMany; }
    void SetAskBeforeOpeningMany(bool ask) { m_bAskBeforeOpeningMany = ask; }
    // Settings/FilterThreads: the threads a filtering run of a plain file uses; 0 (the default)
    // for every core but the one the window shows the output on, 1 for one pass.
    unsigned GetFilterThreads() const { return m_nFilterThreads; }
    void SetFilterThreads(unsigned threads) { m_nFilterThreads = std::min(threads, MaxFilterThreads); }
    static constexpr unsigned MaxFilterThreads = 256;

    // Where File Open starts: the active document's folder, else the folder of the last file
    // chosen in it (kept from run to run as Settings/OpenFolder), else the working folder.
    QString GetFileOpenFolder() const;

    QStringList GetRecentFileList() const { return m_RecentFiles; }
    void AddToRecentFileList(const QString& path);
    void RemoveFromRecentFileList(const QString& path);

    // Opens the files as one batch (see CMainFrame::OpenDocumentFiles), keeping the recent-file
    // list up to date.
    void OpenDocumentFiles(const QStringList& paths);
    // The recent-file list after a batch: each file that opened comes first, each that did not goes.
    void NoteOpenedFiles(const QStringList& paths, const QList<COstrelDoc*>& documents);

public Q_SLOTS:
    void OnAppAbout();
    // Documents are opened from files only: File New opens nothing.
    void OnFileNew();
    void OnFileOpen();
    // File > Open Rotated Set: any file of the set, chosen in the file dialog.
    void OnFileOpenRotatedSet();
    // File > Open Merged: the logs to merge, chosen together in the file dialog.
    void OnFileOpenMerged();
    void OnFilePrintSetup();
    // Opens the file as a log document (or activates it when it is open already).
    COstrelDoc* OpenDocumentFile(const QString& path);
    // Opens the items in their order as the start opens its own: files that come one after the
    // other as one batch, each set and each merge as one document.
    void OpenItems(const QList<CSingleInstance::Item>& items);
    // What another start handed over: the main window brought to the front, then opened.
    void OnItemsHandedOver(const QList<CSingleInstance::Item>& items);

Q_SIGNALS:
    void RecentFileListChanged();

private:
    unsigned m_nApplicationLook = 0;
    bool m_bHighColorIcons = true;
    std::int32_t m_nTooltipsEnable = 1;
    std::int32_t m_nTextMask = 0;
    std::int32_t m_nTextEffects = 0;
    std::int32_t m_nTextHeight = 0;
    std::int32_t m_nTextOffset = 0;
    std::uint32_t m_crTextColor = 0;
    QString m_strTextFont;
    std::int64_t m_nPagedViewThresholdMB = DefaultPagedViewThresholdMB();
    bool m_bShowLineNumbers = true;
    bool m_bRestoreSession = true;
    bool m_bAskBeforeOpeningMany = true;
    unsigned m_nFilterThreads = 0;
    QStringList m_RecentFiles;
    QString m_strOpenFolder; // of the last file chosen in File Open
    CStartOptions m_StartOptions;
    std::unique_ptr<QPrinter> m_pPrinter;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    CSingleInstance* m_pSingleInstance = nullptr;
};
