// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/COstrelDoc.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "document/CDerivedOutput.h"
#include "document/CFilteringRun.h"
#include "document/CStreamCapture.h"
#include "filtering/FilterEngine.h"
#include "filtering/RotatedSet.h"
#include "view/CFileFollower.h"
#include "view/CLineNumberMargin.h"
#include "view/COstrelView.h"
#include "view/ProblemReports.h"

COstrelDoc::COstrelDoc(QObject* parent) : QObject(parent) {}

COstrelDoc::~COstrelDoc() = default;

bool COstrelDoc::OnOpenDocument(const QString& path, bool loadWhenShown)
{
    if (!m_pView)
        return false;
    QString error;
    auto file = COstrelView::OpenLogFile(path, error);
    if (!file) {
        ReportProblem(m_pView->GetWorkspace(), {QStringLiteral("Ostrel"), COstrelView::FailedToOpenMessage(path, error),
                                                CProblemReport::Kind::Warning});
        return false;
    }
    SetPathName(path);
    if (loadWhenShown && !m_pView->isVisible()) {
        // Nothing held meanwhile, not even the descriptor: a thousand such tabs cost nothing.
        m_bLoadPending = true;
        m_pView->installEventFilter(this);
        return true;
    }
    return StartLoading(std::move(file));
}

bool COstrelDoc::OnOpenRotatedSet(const QString& path)
{
    if (!m_pView)
        return false;
    std::vector<RotatedSetMember> members;
    std::string error;
    if (!FindRotatedSet(QFile::encodeName(path).toStdString(), members, error)) {
        ReportProblem(m_pView->GetWorkspace(),
                      {QStringLiteral("Ostrel"),
                       QStringLiteral("Failed to open document.\n\n%1").arg(QString::fromLocal8Bit(error.c_str())),
                       CProblemReport::Kind::Warning});
        return false;
    }
    QStringList files;
    for (const RotatedSetMember& member : members)
        files.append(QFileInfo(QFile::decodeName(member.Path.c_str())).absoluteFilePath());
    // Named after the live file; a set whose live file is gone after its newest file.
    SetPathName(files.constLast());
    m_RotatedSetFiles = files;
    SetTitle(GetTitle() + QStringLiteral(" (set)"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool loaded = m_pView->LoadRotatedSet(files);
    QApplication::restoreOverrideCursor();
    return loaded;
}

bool COstrelDoc::OnOpenMerged(const QStringList& paths)
{
    if (!m_pView || paths.isEmpty())
        return false;
    QStringList files;
    for (const QString& path : paths)
        files.append(QFileInfo(path).absoluteFilePath());
    SetPathName(files.constFirst());
    m_MergedFiles = files;
    SetTitle(GetTitle() + QStringLiteral(" (merged)"));
    return m_pView->LoadMerged(files);
}

QString COstrelDoc::GetToolTip() const
{
    if (const CDerivedOutput* derived = GetDerivedOutput())
        return derived->GetChainText() + u'\n' + derived->GetOriginalPath();
    if (IsMerged()) {
        QString tip = QStringLiteral("%1 files merged by time:").arg(m_MergedFiles.size());
        for (const QString& file : m_MergedFiles)
            tip += u'\n' + file;
        return tip;
    }
    if (!IsRotatedSet())
        return GetPathName();
    QString tip = QStringLiteral("Rotated set of %1 files, oldest first:").arg(m_RotatedSetFiles.size());
    for (const QString& file : m_RotatedSetFiles)
        tip += u'\n' + file;
    return tip;
}

bool COstrelDoc::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: a view being destroyed still sends events, and it is no longer a view then.
    if (event->type() == QEvent::Show && m_bLoadPending && watched == static_cast<QObject*>(m_pView.data())) {
        m_pView->removeEventFilter(this);
        // Not inside the show itself: loading may ask a question or close the tab.
        QMetaObject::invokeMethod(this, &COstrelDoc::LoadPendingText, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void COstrelDoc::LoadPendingText()
{
    if (!m_bLoadPending || !m_pView)
        return;
    m_bLoadPending = false;
    QString error;
    auto file = COstrelView::OpenLogFile(GetPathName(), error);
    if (!file) {
        ReportProblem(m_pView->GetWorkspace(),
                      {QStringLiteral("Ostrel"), COstrelView::FailedToOpenMessage(GetPathName(), error),
                       CProblemReport::Kind::Warning});
        Q_EMIT OpenFailed();
        return;
    }
    if (!StartLoading(std::move(file)))
        Q_EMIT OpenFailed();
}

bool COstrelDoc::StartLoading(std::unique_ptr<QFile> file)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_pView->LoadFile(std::move(file));
    QApplication::restoreOverrideCursor();
    // The first part could not be read: the view has said why, and no tab is left for the file.
    if (m_pView->IsTextIncomplete() && !m_pView->IsLoading())
        return false;
    // A read that fails later closes the tab in the same way.
    m_bOpening = m_pView->IsLoading();
    if (m_bOpening) {
        connect(m_pView, &COstrelView::LoadFailed, this, [this] {
            if (m_bOpening)
                Q_EMIT OpenFailed();
        });
        connect(m_pView, &COstrelView::LoadFinished, this, [this] { m_bOpening = false; });
    }
    return true;
}

bool COstrelDoc::ApplyFilters(const FilterSettings& settings)
{
    if (!m_pView || IsFiltering())
        return false;
    if (settings.GetEnabledCount() == 0) {
        // Nothing to filter by, or every filter switched off: the whole file again. A file that cannot be read leaves
        // the view as it was rather than empty.
        return m_pView->ReloadDocumentText();
    }
    // A file that is gone now leaves the text shown as it is (the toggle still has it), and
    // says why in words. A set's run reads what is left of it, and names each file that is gone.
    const QByteArray path = QFile::encodeName(GetPathName());
    struct stat status
    {
    };
    if (!IsRotatedSet() && ::stat(path.constData(), &status) != 0) {
        const std::string message = OpenErrorMessage(path.toStdString(), errno);
        ReportProblem(m_pView->GetWorkspace(), {QStringLiteral("ERROR"), QString::fromLocal8Bit(message.c_str())});
        return false;
    }
    // A run that still follows this file gives way to the new one.
    for (CFilteringRun* following : findChildren<CFilteringRun*>(QString(), Qt::FindDirectChildrenOnly))
        if (following->IsFollowing())
            following->Stop();
    auto* run = new CFilteringRun(this);
    m_pRun = run;
    connect(run, &CFilteringRun::RunningChanged, this, [this, run](bool running) {
        if (running)
            return;
        if (m_pRun == run) {
            m_pRun = nullptr;
            Q_EMIT FilteringChanged(false);
        }
        // One that follows on in the background goes when that ends too.
        if (!run->IsFollowing())
            run->deleteLater();
    });
    // Set before the run starts: the view announces its output as the run begins.
    const bool excludedBefore = m_bOutputExcludesMatches;
    m_bOutputExcludesMatches = settings.GetExcludeMatches();
    if (!run->Start(this, settings)) {
        m_bOutputExcludesMatches = excludedBefore;
        m_pRun = nullptr;
        run->deleteLater();
        return false;
    }
    if (m_pRun == run) // a run may end at once
        Q_EMIT FilteringChanged(true);
    return true;
}

bool COstrelDoc::ApplyOwnFilters(bool excludeMatches)
{
    FilterSettings settings;
    settings.CopyFiltersFrom(m_FilterSettings);
    settings.SetExcludeMatches(excludeMatches);
    return ApplyFilters(settings);
}

void COstrelDoc::SetFollow(bool follow, bool excludeMatches)
{
    // A set follows its live file while the whole set is shown; its filter output is a run's as
    // it was. A merge is shown as it was opened.
    if (!m_pView || IsMerged() || (IsRotatedSet() && !m_pView->CanFollowSet()))
        return;
    m_pView->SetFollow(follow);
    if (follow && !IsRotatedSet() && m_pView->GetShowsFilteredText() && m_FilterSettings.GetEnabledCount() > 0)
        ApplyOwnFilters(excludeMatches);
}

void COstrelDoc::SetRecords(bool records, bool excludeMatches)
{
    if (records == m_bRecords)
        return;
    m_bRecords = records;
    if (!m_pView)
        return;
    m_pView->ForgetKeptFilterOutput();
    if (m_pView->GetShowsFilteredText() && m_FilterSettings.GetEnabledCount() > 0 && !IsFiltering())
        ApplyOwnFilters(excludeMatches);
}

void COstrelDoc::ToggleFilterOutput(bool excludeMatches)
{
    if (m_pView && m_pView->ToggleFilterOutput() == COstrelView::ToggleResult::NeedsRun &&
        m_FilterSettings.GetEnabledCount() > 0)
        ApplyOwnFilters(excludeMatches);
}

CFileFollower& COstrelDoc::WatchFile(std::uint64_t offset)
{
    m_pFollower.reset();
    m_pFollower = std::make_unique<CFileFollower>(GetPathName(), offset);
    return *m_pFollower;
}

void COstrelDoc::StopWatchingFile()
{
    m_pFollower.reset();
}

CFilteringRun* COstrelDoc::GetFilteringRun() const
{
    return m_pRun;
}

bool COstrelDoc::IsFiltering() const
{
    return m_pRun && m_pRun->IsRunning();
}

void COstrelDoc::SetStreamCapture(std::unique_ptr<CStreamCapture> capture)
{
    m_pCapture = std::move(capture);
    if (!m_pCapture)
        return;
    SetTitle(m_pCapture->GetTitle());
    if (m_pView)
        m_pView->SetStreamReadOnly(m_pCapture->IsRunning());
    connect(m_pCapture.get(), &CStreamCapture::Ended, this, &COstrelDoc::OnStreamEnded);
}

bool COstrelDoc::IsStream() const
{
    return m_pCapture && GetPathName() == m_pCapture->GetSpoolPath();
}

void COstrelDoc::SetDerivedOutput(std::unique_ptr<CDerivedOutput> derived, const QString& title)
{
    m_pDerived = std::move(derived);
    if (!m_pDerived)
        return;
    SetTitle(title);
    if (!m_pView)
        return;
    m_pView->SetStreamReadOnly(true);
    // The margin, Go To and the status bar give original lines; the view itself goes on
    // numbering the spool file's lines, which the toggle and its own runs work with.
    m_pView->GetMargin().SetOriginMap(
        [this](const ShownLineOrigin& own) {
            const CDerivedOutput* mapped = GetDerivedOutput();
            return mapped && m_pView ? mapped->MapOrigin(own, m_pView->GetShowsFilteredText()) : own;
        },
        m_pDerived->GetLastOriginalLine());
}

const CDerivedOutput* COstrelDoc::GetDerivedOutput() const
{
    return m_pDerived && GetPathName() == m_pDerived->GetSpoolPath() ? m_pDerived.get() : nullptr;
}

void COstrelDoc::OnStreamEnded()
{
    if (m_pView)
        m_pView->SetStreamReadOnly(false);
    Q_EMIT StreamEnded();
}

void COstrelDoc::OnCloseDocument()
{
    m_bLoadPending = false;
    m_pFollower.reset();
    m_pCapture.reset(); // stops the stream and removes its file
    m_pDerived.reset(); // removes the spool file of a tab opened from filter output
    Q_EMIT Closing();
    if (m_pView)
        m_pView->StopLoading();
}

bool COstrelDoc::OnFileSave()
{
    if (!m_pView)
        return false;
    // A stream's text is saved under a name of its own, never over its spool file.
    if (m_pView->GetShowsFilteredText() || IsStream() || GetDerivedOutput())
        return (GetDerivedOutput() || !m_pView->IsStreamReadOnly()) && m_pView->RunSaveAs();
    if (!IsModified())
        return true;
    if (m_pView->RefuseIncompleteSave(GetPathName()))
        return false;
    if (!m_pView->WriteViewText())
        return false;
    m_pView->SetTextUnmodified();
    return true;
}

bool COstrelDoc::SaveModified()
{
    if (!IsModified())
        return true;
    CQuestion question;
    question.Caption = QStringLiteral("Ostrel");
    question.Text = QStringLiteral("Save changes to %1?").arg(m_strTitle);
    question.Buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    question.Name = QStringLiteral("saveChangesBox");
    switch (AskQuestion(m_pView ? m_pView->GetWorkspace() : nullptr, question)) {
    case QMessageBox::Yes:
        return OnFileSave();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool COstrelDoc::IsModified() const
{
    return m_pView && m_pView->IsTextModified();
}

void COstrelDoc::SetTitle(const QString& title)
{
    if (title == m_strTitle)
        return;
    m_strTitle = title;
    Q_EMIT TitleChanged(title);
}

QString COstrelDoc::GetPathName() const
{
    return QString::fromStdU16String(m_FilterSettings.GetPath());
}

void COstrelDoc::SetPathName(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_RotatedSetFiles.clear();
    m_MergedFiles.clear();
    m_FilterSettings.SetPath(absolute.toStdU16String());
    SetTitle(IsStream() ? m_pCapture->GetTitle() : QString::fromStdU16String(m_FilterSettings.GetFileName()));
    // Saved under a name of its own, a tab made from filter output is that file's now.
    if (m_pDerived && !GetDerivedOutput() && m_pView)
        m_pView->SetStreamReadOnly(false);
    Q_EMIT PathNameChanged(absolute);
}

void COstrelDoc::SetTabPosition(int index, QWidget* tabWindow)
{
    m_nTabIndex = index;
    m_pTabWindow = tabWindow;
}

void COstrelDoc::GetTabPosition(int& index, QWidget*& tabWindow) const
{
    index = m_nTabIndex;
    tabWindow = m_pTabWindow;
}
