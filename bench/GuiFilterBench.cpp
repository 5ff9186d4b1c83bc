// SPDX-License-Identifier: GPL-3.0-or-later
// Times filtering a log in the desktop program, through the real windows: Apply in the filter
// settings dialog until the worker has finished, and until the progress window has closed and
// the view has painted the kept lines. Then, per literal, how long a click on Cancel waits while
// kept lines are being appended: from the click entering the event queue to the marker shown.
//
//   ostrel-filter-gui-bench [--set] FILE [--threads N] LITERAL...
//       one run per literal, each case-sensitive, no context, on N threads (Settings/FilterThreads:
//       0, the default, one per core; 1 one pass); with --set, the rotated set FILE belongs to,
//       opened as one document; QT_QPA_PLATFORM=offscreen when there is no display

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/CMemoryTuning.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "document/CFilteringRun.h"
#include "filterui/CFilterSettingsDlg.h"
#include "view/COstrelView.h"

using namespace BenchSupport;

int main(int argc, char** argv)
{
    // The program restarts itself with its own arguments, so they are read past --set, not cut.
    const bool rotatedSet = argc > 1 && std::strcmp(argv[1], "--set") == 0;
    const int shift = rotatedSet ? 1 : 0;
    char** const args = argv + shift;
    const int argCount = argc - shift;
    int firstLiteral = 2;
    unsigned threads = 0;
    // --overview off: no overview strip and no timeline, so their cost shows against the default
    // (on: the strip, and the timeline counting the kept lines' times); strip: the strip alone.
    bool overview = true;
    bool timeline = true;
    for (;;) {
        if (argCount > firstLiteral + 1 && std::strcmp(args[firstLiteral], "--threads") == 0) {
            threads = static_cast<unsigned>(std::max(0, std::atoi(args[firstLiteral + 1])));
        } else if (argCount > firstLiteral + 1 && std::strcmp(args[firstLiteral], "--overview") == 0) {
            overview = std::strcmp(args[firstLiteral + 1], "off") != 0;
            timeline = overview && std::strcmp(args[firstLiteral + 1], "strip") != 0;
        } else {
            break;
        }
        firstLiteral += 2;
    }
    if (argCount <= firstLiteral) {
        std::fprintf(
            stderr, "usage: ostrel-filter-gui-bench [--set] FILE [--threads N] [--overview on|strip|off] LITERAL...\n");
        return 2;
    }
    CMemoryTuning::RestartWithHugePages(argv);
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    COstrelApp app(argc, argv);
    app.SetFilterThreads(threads);
    CMainFrame frame;
    frame.LoadFrame();
    frame.GetCommand(CommandId::ViewOverviewStrip)->setChecked(overview);
    frame.GetCommand(CommandId::ViewTimeline)->setChecked(timeline);
    frame.resize(1200, 800);
    frame.show();
    if (rotatedSet)
        frame.OpenRotatedSet(QString::fromLocal8Bit(args[1]));
    else
        frame.OpenDocumentFile(QString::fromLocal8Bit(args[1]));
    COstrelView* view = frame.GetActiveLogView();
    COstrelDoc* document = frame.GetActiveLogDocument();
    if (!view || !document)
        return 1;
    WaitFor([view] { return !view->IsLoading(); });
    std::printf("%-24s %12s %14s %12s %12s\n", "filter", "worker done", "window closed", "kept lines", "cancel");
    for (int i = firstLiteral; i < argCount; ++i) {
        const QString literal = QString::fromLocal8Bit(args[i]);
        QElapsedTimer clock;
        clock.start();
        if (!ApplyLiteralFilter(*document, literal))
            return 1;
        QPointer<CFilteringRun> run = document->GetFilteringRun();
        double workerMs = -1;
        WaitFor([&] {
            if (workerMs < 0 && run && run->IsWorkerFinished())
                workerMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            return !document->IsFiltering();
        });
        view->viewport()->repaint();
        const double closedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const std::size_t kept = view->GetOutputLineNumbers().Size();

        // The same run again, cancelled at its first appended lines.
        if (!ApplyLiteralFilter(*document, literal))
            return 1;
        run = document->GetFilteringRun();
        QElapsedTimer cancelClock;
        const QMetaObject::Connection onFirst = QObject::connect(run, &CFilteringRun::OutputAppended, run, [&] {
            if (cancelClock.isValid())
                return;
            cancelClock.start();
            if (QWidget* progress = run->GetProgressWindow())
                QMetaObject::invokeMethod(progress->findChild<QPushButton*>(QStringLiteral("cancelButton")), "click",
                                          Qt::QueuedConnection);
        });
        double cancelMs = -1;
        WaitFor([&] {
            const OutputLineNumbers& numbers = view->GetOutputLineNumbers();
            if (cancelMs < 0 && cancelClock.isValid() && !numbers.Empty() &&
                numbers.LineNumber(numbers.Size() - 1) == 0)
                cancelMs = static_cast<double>(cancelClock.nsecsElapsed()) / 1e6;
            return !document->IsFiltering();
        });
        QObject::disconnect(onFirst);
        std::printf("%-24s %9.0f ms %11.0f ms %12zu %9.1f ms\n", args[i], workerMs, closedMs, kept, cancelMs);
    }
    return 0;
}
