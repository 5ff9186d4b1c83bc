// SPDX-License-Identifier: GPL-3.0-or-later
// Times opening a log in the desktop program: File Open until the first screen has painted,
// until the whole text is in, the process's peak memory, and keystrokes and caret moves at the
// end of the text once it is loaded.
//
//   ostrel-gui-bench FILE          (QT_QPA_PLATFORM=offscreen when there is no display)

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/CMemoryTuning.h"
#include "app/COstrelApp.h"
#include "view/COstrelView.h"

using BenchSupport::ResidentKiB;

namespace {

long PeakResidentKiB()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Milliseconds for one key press at the caret, painted.
double TimeKey(COstrelView* view, int key, const QString& text)
{
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(view, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(view, &release);
    view->viewport()->repaint();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel-gui-bench FILE\n");
        return 2;
    }
    CMemoryTuning::RestartWithHugePages(argv);
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    COstrelApp app(argc, argv);
    // The whole text in the editor whatever its size, as Edit Anyway has it: the paged view of a
    // file above the default editing limit is measured by ostrel-paged-bench.
    app.SetPagedViewThresholdMB(0);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const double megabytes = static_cast<double>(QFile(path).size()) / 1e6;

    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    QCoreApplication::processEvents();
    const long residentBefore = ResidentKiB();

    QEventLoop loop;
    QElapsedTimer clock;
    double firstPaintMs = -1;
    double loadedMs = -1;
    clock.start();
    frame.OpenDocumentFile(path);
    const double openReturnedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    COstrelView* view = frame.GetActiveLogView();
    if (!view)
        return 1;
    QObject::connect(view, &QsciScintillaBase::SCN_PAINTED, view, [&] {
        if (firstPaintMs < 0)
            firstPaintMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    });
    auto finish = [&] {
        loadedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    };
    // How long the window goes without handling events while the text comes in.
    QElapsedTimer sinceTick;
    double longestPauseMs = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longestPauseMs = std::max(longestPauseMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    sinceTick.start();
    ticker.start();
    QMetaObject::Connection finished;
    if (view->IsLoading())
        finished = QObject::connect(view, &COstrelView::LoadFinished, view, finish);
    else
        QTimer::singleShot(0, view, finish);
    loop.exec();
    QObject::disconnect(finished);
    ticker.stop();
    // A paint that happens only after loading still counts as the first screen.
    if (firstPaintMs < 0) {
        view->viewport()->repaint();
        firstPaintMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    const long residentLoaded = ResidentKiB();

    view->setFocus();
    view->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    std::vector<double> typing;
    std::vector<double> moving;
    for (int i = 0; i < 20; ++i)
        typing.push_back(TimeKey(view, Qt::Key_X, QStringLiteral("x")));
    for (int i = 0; i < 20; ++i)
        moving.push_back(TimeKey(view, i % 2 ? Qt::Key_Down : Qt::Key_Up, QString()));
    view->SetTextUnmodified();

    const long peakAfterLoad = PeakResidentKiB();

    // Closing a tab or applying filters stops a load: how long that waits, early and midway.
    std::vector<double> stopping;
    for (const int afterMs : {0, 50, 300, 1000}) {
        view->ReloadDocumentText();
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < afterMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QElapsedTimer stop;
        stop.start();
        view->StopLoading();
        stopping.push_back(static_cast<double>(stop.nsecsElapsed()) / 1e6);
    }

    const double bytesIn = megabytes * 1e6;
    std::printf("file                      %.0f MB\n", megabytes);
    std::printf("File Open returned        %.0f ms\n", openReturnedMs);
    std::printf("first screen painted      %.0f ms\n", firstPaintMs);
    std::printf("whole text in             %.0f ms (%.0f MB/s)\n", loadedMs, megabytes / (loadedMs / 1000.0));
    std::printf("longest event-loop pause  %.0f ms while loading\n", longestPauseMs);
    std::printf("resident after load       %.0f MB (%.2fx the file; %.0f MB before opening)\n",
                static_cast<double>(residentLoaded) / 1024.0,
                static_cast<double>(residentLoaded - residentBefore) * 1024.0 / bytesIn,
                static_cast<double>(residentBefore) / 1024.0);
    std::printf("peak resident             %.0f MB (%.2fx the file)\n", static_cast<double>(peakAfterLoad) / 1024.0,
                static_cast<double>(peakAfterLoad) * 1024.0 / bytesIn);
    std::printf("keystroke at the end      %.2f ms median, %.2f ms worst\n", Median(typing),
                *std::max_element(typing.begin(), typing.end()));
    std::printf("caret move at the end     %.2f ms median, %.2f ms worst\n", Median(moving),
                *std::max_element(moving.begin(), moving.end()));
    std::printf("load stopped after 0/50/300/1000 ms: waited %.0f/%.0f/%.0f/%.0f ms\n", stopping[0], stopping[1],
                stopping[2], stopping[3]);
    return 0;
}
