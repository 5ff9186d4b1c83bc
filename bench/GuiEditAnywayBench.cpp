// SPDX-License-Identifier: GPL-3.0-or-later
// Times a big log in the desktop program three ways, one per run so that each has its own memory:
//   paged        the default editing limit: the file opens in the paged view;
//   loaded       a limit above the file (as the old default, 2 GB, had a 1 GB log): loaded whole;
//   edit-anyway  paged first, then Edit > Edit Anyway answered Yes: loaded whole behind it.
// For each: File Open until the first screen of text is painted, until the whole file is at hand
// (Go To knows the last line and lands there), the resident memory then, and the longest the
// event loop went without a turn meanwhile.
//
//   ostrel-edit-anyway-bench FILE paged|loaded|edit-anyway     (QT_QPA_PLATFORM=offscreen without a display)

#include <cstdio>
#include <cstring>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/CMemoryTuning.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "view/CEditAnyway.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using namespace BenchSupport;

namespace {

// The whole text is at hand: Go To knows the last line and has put the caret on it.
bool LastLineReached(COstrelView* view, std::int64_t line)
{
    const CPagedText* paged = view->GetPagedText();
    return !view->IsLoading() && !(paged && paged->IsMoving()) && view->GetCaretLine() == line;
}

bool WholeFileKnown(COstrelView* view)
{
    if (view->GetEditAnyway().IsLoading() || view->IsLoading())
        return false;
    const CPagedText* paged = view->GetPagedText();
    return !paged || paged->IsIndexComplete();
}

// Answers the Edit Anyway question with Yes as soon as it is up.
void AnswerYesWhenAsked()
{
    auto* poll = new QTimer(qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        box->button(QMessageBox::Yes)->click();
    });
    poll->start();
}

} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 2 ? argv[2] : "";
    const bool paged = std::strcmp(mode, "paged") == 0;
    const bool loaded = std::strcmp(mode, "loaded") == 0;
    const bool editAnyway = std::strcmp(mode, "edit-anyway") == 0;
    if (!paged && !loaded && !editAnyway) {
        std::fprintf(stderr, "usage: ostrel-edit-anyway-bench FILE paged|loaded|edit-anyway\n");
        return 2;
    }
    CMemoryTuning::RestartWithHugePages(argv);
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    // Indexes saved by earlier runs are not used: each run builds its own.
    QTemporaryDir cacheDir;
    ::setenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()).constData(), 1);
    COstrelApp app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const std::int64_t size = QFile(path).size();
    if (loaded)
        app.SetPagedViewThresholdMB(2048);
    const std::int64_t limitMB = app.GetPagedViewThresholdMB();

    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    QCoreApplication::processEvents();
    const long residentBefore = ResidentKiB();

    QElapsedTimer clock;
    clock.start();
    frame.OpenDocumentFile(path);
    COstrelView* view = frame.GetActiveLogView();
    if (!view)
        return 1;
    double firstScreenMs = -1;
    QObject::connect(view, &QsciScintillaBase::SCN_PAINTED, view, [&] {
        if (firstScreenMs < 0 && view->GetEditor().GetLength() > 0)
            firstScreenMs = Milliseconds(clock);
    });
    WaitFor([&] { return firstScreenMs >= 0; }, 60000);
    const bool openedPaged = view->IsPaged();

    double askedMs = 0;
    double editableMs = -1;
    if (editAnyway) {
        // The question is answered at once: the time is the load's.
        WaitFor([view] { return view->GetPagedText()->IsIndexComplete(); });
        if (!view->GetEditAnyway().CanStart()) {
            std::fprintf(stderr, "Edit Anyway is not offered for this file\n");
            return 1;
        }
        AnswerYesWhenAsked();
        askedMs = Milliseconds(clock);
        frame.GetCommand(CommandId::EditAnyway)->trigger();
    }
    const double longestPauseMs = WaitFor([view] { return WholeFileKnown(view); });
    const double knownMs = Milliseconds(clock);
    if (editAnyway) {
        if (view->IsPaged()) {
            std::fprintf(stderr, "Edit Anyway did not load the file\n");
            return 1;
        }
        editableMs = knownMs - askedMs;
    }
    const std::int64_t lastLine = view->GetGoToLineCount();
    view->GoToLine(lastLine);
    WaitFor([view, lastLine] { return LastLineReached(view, lastLine); });
    view->viewport()->repaint();
    const double lastLineMs = Milliseconds(clock);
    const long resident = ResidentKiB();

    const double megabytes = static_cast<double>(size) / (1024.0 * 1024.0);
    std::printf("%s: %.0f MiB file, editing limit %lld MB, opened %s\n", mode, megabytes,
                static_cast<long long>(limitMB), openedPaged ? "paged" : "in the editor");
    std::printf("  first screen painted        %8.0f ms\n", firstScreenMs);
    if (editAnyway)
        std::printf("  Edit Anyway: whole text in  %8.0f ms after Yes\n", editableMs);
    std::printf("  whole file known            %8.0f ms (%lld lines)\n", knownMs, static_cast<long long>(lastLine));
    std::printf("  Go To last line landed      %8.0f ms\n", lastLineMs);
    std::printf("  longest event-loop pause    %8.0f ms until then\n", longestPauseMs);
    std::printf("  resident memory             %8.0f MiB (%.0f MiB before opening; %.2fx the file added)\n",
                static_cast<double>(resident) / 1024.0, static_cast<double>(residentBefore) / 1024.0,
                static_cast<double>(resident - residentBefore) / 1024.0 / megabytes);
    return 0;
}
