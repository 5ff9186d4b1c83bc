// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/COutputTabs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QStringList>

#include "app/CDocumentOpener.h"
#include "document/CDerivedOutput.h"
#include "document/COstrelDoc.h"
#include "document/CSpoolFill.h"
#include "files/SpoolFile.h"
#include "logtext/OriginLines.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/ILogWorkspace.h"
#include "view/OutputTabNumbers.h"
#include "view/ProblemReports.h"

namespace {

constexpr int ProgressIntervalMs = 250;
// A copy that ends sooner than this opens its tab without a progress window.
constexpr int ProgressWindowDelayMs = 500;

// What the document's filters that are on keep, for the chain of steps.
QString DescribeFilters(const COstrelDoc& document)
{
    const FilterSettings& settings = document.GetFilterSettings();
    QStringList filters;
    for (int i = 0; i < settings.GetCount(); ++i)
        if (settings.GetEnabled(i))
            filters.append(QString::fromStdU16String(settings.GetFilterString(i)));
    return CDerivedOutput::DescribeStep(filters, document.GetOutputExcludesMatches());
}

// The whole text of the original file at a line, the line selected.
void ShowFileLine(COstrelView& view, std::int64_t line)
{
    if (view.GetShowsFilteredText()) {
        // As Ctrl+double-click in the output does: the file read anew at that line.
        view.SetPendingFileLine(line);
        if (!view.ReloadDocumentText())
            view.SetPendingFileLine(0);
        return;
    }
    view.GoToLine(line);
    if (!view.IsPaged()) {
        CEditor& editor = view.GetEditor();
        editor.SetSelection(editor.GetLineEndPosition(line - 1), editor.PositionFromLine(line - 1));
    }
}

} // namespace

COutputTabs::COutputTabs(ILogWorkspace& workspace, CDocumentOpener& opener, QObject* parent)
    : QObject(parent), m_Workspace(workspace), m_Opener(opener)
{
    m_ProgressTimer.setInterval(ProgressIntervalMs);
    connect(&m_ProgressTimer, &QTimer::timeout, this, &COutputTabs::ShowProgress);
}

COutputTabs::~COutputTabs()
{
    delete m_pProgress;
    delete m_pFill; // stops the copy before the spool file goes
}

bool COutputTabs::CanOpen(const COstrelView* view)
{
    const COstrelDoc* document = view ? view->GetDocument() : nullptr;
    return document && view->GetShowsFilteredText() && !document->IsFiltering() && !document->IsRotatedSet() &&
           !document->IsMerged() && !view->GetOutputLineNumbers().Empty();
}

bool COutputTabs::OpenFromView(COstrelView& view)
{
    COstrelDoc* document = view.GetDocument();
    if (!CanOpen(&view) || !document)
        return false;
    if (IsWriting()) {
        m_Workspace.ShowStatusNote(QStringLiteral("A new tab of filter output is still being written."));
        return false;
    }
    if (view.IsTextModified()) {
        ReportProblem(&m_Workspace, {QStringLiteral("Ostrel"),
                                     QStringLiteral("The filter output was edited, so its lines no longer match the "
                                                    "file's. Apply the filters again to open it in a new tab."),
                                     CProblemReport::Kind::Warning});
        return false;
    }
    auto spool = std::make_unique<SpoolFile>();
    if (const int error = spool->Create(SpoolFile::DefaultFolder(), "output"); error != 0) {
        ReportProblem(&m_Workspace,
                      {QStringLiteral("Ostrel"),
                       QStringLiteral("The filter output cannot be opened in a new tab: no file could be made for it "
                                      "in %1 (%2).")
                           .arg(QFile::decodeName(SpoolFile::DefaultFolder().c_str()),
                                QString::fromLocal8Bit(std::strerror(error))),
                       CProblemReport::Kind::Warning});
        return false;
    }
    // Output too big for the editor is read from its own file on the thread; the editor's text
    // is copied now, which takes a moment even for the largest text the editor keeps.
    std::unique_ptr<CSpoolFill> fill;
    if (const CPagedText* paged = view.GetPagedText()) {
        const int source = ::open(QFile::encodeName(paged->GetPath()).constData(), O_RDONLY | O_CLOEXEC);
        struct stat status
        {
        };
        if (source < 0 || ::fstat(source, &status) != 0) {
            const int error = errno;
            if (source >= 0)
                ::close(source);
            ReportProblem(&m_Workspace, {QStringLiteral("Ostrel"),
                                         QStringLiteral("The filter output cannot be read: %1")
                                             .arg(QString::fromLocal8Bit(std::strerror(error))),
                                         CProblemReport::Kind::Warning});
            return false;
        }
        fill = std::make_unique<CSpoolFill>(source, static_cast<std::uint64_t>(status.st_size), spool->GetDescriptor());
    } else {
        const std::string_view bytes = view.GetTextBytes();
        fill = std::make_unique<CSpoolFill>(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                            spool->GetDescriptor());
    }

    // Numbered through the lines of the tab it was made from, when it was made from one.
    const CDerivedOutput* parent = document->GetDerivedOutput();
    OutputLineNumbers origins =
        OriginLines::Compose(view.GetOutputLineNumbers(), parent ? &parent->GetOrigins() : nullptr);
    const QString originalPath = parent ? parent->GetOriginalPath() : document->GetPathName();
    QStringList steps = parent ? parent->GetSteps() : QStringList{QFileInfo(originalPath).fileName()};
    steps.append(DescribeFilters(*document));
    m_pPending = std::make_unique<CDerivedOutput>(std::move(spool), std::move(origins), originalPath, steps);
    m_strPendingTitle = NextTitle(originalPath);

    m_pFill = fill.release();
    m_pFill->setParent(this);
    connect(m_pFill, &CSpoolFill::Finished, this, &COutputTabs::OnFillFinished);
    m_pFill->Start();
    m_ProgressTimer.start();
    ShowProgressWindow();
    return true;
}

void COutputTabs::ShowProgressWindow()
{
    auto* progress = new QProgressDialog(QStringLiteral("Writing the lines of %1...").arg(m_strPendingTitle),
                                         QStringLiteral("Cancel"), 0, 100, m_Workspace.GetDialogOwner());
    progress->setObjectName(QStringLiteral("outputTabProgressDlg"));
    progress->setWindowTitle(QStringLiteral("Filter Output in New Tab"));
    progress->setWindowModality(Qt::NonModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(ProgressWindowDelayMs);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, &COutputTabs::CancelWriting);
    m_pProgress = progress;
}

void COutputTabs::CloseProgressWindow()
{
    if (!m_pProgress)
        return;
    // Its own Cancel may be what called: it goes once that has returned.
    m_pProgress->disconnect(this);
    m_pProgress->hide();
    m_pProgress->deleteLater();
    m_pProgress = nullptr;
}

void COutputTabs::CancelWriting()
{
    if (!m_pFill)
        return;
    m_ProgressTimer.stop();
    CloseProgressWindow();
    delete m_pFill; // stops the copy and waits for its last write
    m_pFill = nullptr;
    m_pPending.reset(); // the spool file goes with it
    m_Workspace.ShowStatusNote(
        QStringLiteral("%1 was not opened: writing its lines was stopped.").arg(m_strPendingTitle));
}

void COutputTabs::ShowProgress()
{
    if (!m_pFill)
        return;
    const int percent = m_pFill->GetPercent();
    m_Workspace.ShowStatusNote(QStringLiteral("Writing %1: %2%").arg(m_strPendingTitle).arg(percent));
    if (m_pProgress)
        m_pProgress->setValue(std::min(percent, 99));
}

void COutputTabs::OnFillFinished(int error)
{
    m_ProgressTimer.stop();
    CloseProgressWindow();
    m_pFill->deleteLater(); // its thread has ended; this runs inside its own signal
    m_pFill = nullptr;
    std::unique_ptr<CDerivedOutput> derived = std::move(m_pPending);
    if (!derived)
        return;
    if (error != 0) {
        ReportProblem(&m_Workspace, {QStringLiteral("Ostrel"),
                                     QStringLiteral("The filter output cannot be opened in a new tab: %1")
                                         .arg(QString::fromLocal8Bit(std::strerror(error))),
                                     CProblemReport::Kind::Warning});
        Q_EMIT OpenFailed();
        return; // the spool file goes with it
    }
    m_Workspace.ShowStatusNote(QString());
    COstrelDoc* document = m_Opener.OpenOutputTab(std::move(derived), m_strPendingTitle);
    if (!document) {
        Q_EMIT OpenFailed();
        return;
    }
    if (COstrelView* view = document->GetView())
        view->viewport()->installEventFilter(this);
    Q_EMIT TabOpened(document);
}

QString COutputTabs::NextTitle(const QString& originalPath)
{
    const int number = ++m_Counts[originalPath];
    return QStringLiteral("%1 (output %2)").arg(QFileInfo(originalPath).fileName()).arg(number);
}

bool COutputTabs::GoToOriginalLine(const CDerivedOutput& derived, std::int64_t line)
{
    if (line <= 0)
        return false;
    // The tab of the original file, or the file opened anew; a file that is gone says so there.
    const QString path = derived.GetOriginalPath();
    COstrelDoc* document = m_Opener.Open(path, false, true);
    COstrelView* view = document ? document->GetView() : nullptr;
    if (!view)
        return false;
    if (view->IsLoading()) {
        connect(
            view, &COstrelView::LoadFinished, view, [view, line] { ShowFileLine(*view, line); },
            Qt::SingleShotConnection);
        return true;
    }
    ShowFileLine(*view, line);
    return true;
}

bool COutputTabs::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    auto* view = qobject_cast<COstrelView*>(watched->parent());
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const CDerivedOutput* derived = view ? DerivedOutputOf(*view) : nullptr;
    if (!derived || mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ControlModifier))
        return QObject::eventFilter(watched, event);
    const QPoint point = mouse->position().toPoint();
    const CEditor& editor = view->GetEditor();
    const std::int64_t position = editor.PositionFromPoint(point.x(), point.y());
    std::int64_t own = 0;
    if (view->GetShowsFilteredText()) {
        const std::int64_t outputLine = view->OutputLineFromPosition(position);
        own = outputLine < 0 ? 0 : view->Shown().OriginOf(outputLine).FileLine;
    } else {
        own = OwnLineOfViewLine(*view, editor.LineFromPosition(position));
    }
    // A line of no file (a marker, the empty line at the end) does nothing.
    GoToOriginalLine(*derived, derived->OriginalLineOf(own));
    return true;
}
