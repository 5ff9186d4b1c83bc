// SPDX-License-Identifier: GPL-3.0-or-later
// Times logs merged by time in the desktop program: File > Open Merged until the first screen,
// the merge until it is complete, jumps through it once it is, and the peak resident memory
// (VmHWM) of the whole run.
//
//   ostrel-merge-gui-bench FILE FILE...     (QT_QPA_PLATFORM=offscreen when there is no display)

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "filtering/IndexedText.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using namespace BenchSupport;

namespace {

// The peak resident memory of the process so far, in KiB.
long PeakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Milliseconds from a jump until its window is in the view and painted.
double TimeJump(COstrelView* view, const std::function<void()>& jump)
{
    CPagedText* paged = view->GetPagedText();
    QElapsedTimer clock;
    clock.start();
    jump();
    WaitFor([paged] { return !paged->IsMoving(); });
    view->viewport()->repaint();
    return Milliseconds(clock);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: ostrel-merge-gui-bench FILE FILE...\n");
        return 2;
    }
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    COstrelApp app(argc, argv);
    QStringList paths;
    double gigabytes = 0;
    for (int i = 1; i < argc; ++i) {
        paths.append(QString::fromLocal8Bit(argv[i]));
        gigabytes += static_cast<double>(QFile(paths.last()).size()) / 1e9;
    }

    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    QCoreApplication::processEvents();
    const long residentBefore = ResidentKiB();

    QElapsedTimer clock;
    clock.start();
    frame.OpenMerged(paths);
    const double openReturnedMs = Milliseconds(clock);
    COstrelView* view = frame.GetActiveLogView();
    if (!view || !view->IsMerged()) {
        std::fprintf(stderr, "the files did not open merged\n");
        return 1;
    }
    CPagedText* paged = view->GetPagedText();
    WaitFor([paged] { return !paged->IsMoving(); });
    view->viewport()->repaint();
    const double firstScreenMs = Milliseconds(clock);
    const double longestPause = WaitFor([paged] { return paged->IsIndexComplete(); });
    const double mergedMs = Milliseconds(clock);
    const std::int64_t lines = paged->GetIndex().GetLineCount();

    std::mt19937 random(7);
    std::vector<double> ends;
    std::vector<double> goTos;
    for (int i = 0; i < 10; ++i) {
        ends.push_back(TimeJump(view, [paged] { paged->ShowEnd(); }));
        goTos.push_back(TimeJump(view, [view, &random, lines] {
            view->GoToLine(1 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(lines)));
        }));
    }
    const Spread end = SpreadOf(ends);
    const Spread goTo = SpreadOf(goTos);

    std::printf("files                      %d, %.2f GB, %lld merged lines\n", argc - 1, gigabytes,
                static_cast<long long>(lines - 1));
    std::printf("Open Merged returned       %.1f ms\n", openReturnedMs);
    std::printf("first screen painted       %.1f ms\n", firstScreenMs);
    std::printf("merge complete             %.0f ms (%.2f GB/s)\n", mergedMs, gigabytes / (mergedMs / 1000.0));
    std::printf("merge memory               %.2f MB (which log each line is from, checkpoints)\n",
                static_cast<double>(paged->GetIndex().GetIndexMemory()) / 1e6);
    std::printf("longest event-loop pause   %.1f ms while merging\n", longestPause);
    std::printf("Ctrl+End                   %.1f/%.1f ms (median/worst)\n", end.Median, end.Worst);
    std::printf("Go To a random line        %.1f/%.1f ms (median/worst)\n", goTo.Median, goTo.Worst);
    std::printf("resident                   %.0f MB now, %.0f MB before opening\n",
                static_cast<double>(ResidentKiB()) / 1024.0, static_cast<double>(residentBefore) / 1024.0);
    std::printf("peak resident (VmHWM)      %.0f MB\n", static_cast<double>(PeakResidentKiB()) / 1024.0);
    return 0;
}
