// SPDX-License-Identifier: GPL-3.0-or-later
// Times the paged view of a big log in the desktop program: File Open until the first screen,
// the index, memory, and how long Ctrl+End, Go To and scroll-bar drags wait for their window,
// while the index is being built and once it is complete. The index is built from the file
// (nothing saved by earlier runs is used), or with --saved-index taken from where a run before
// the timed one saved it.
//
//   ostrel-paged-bench FILE [--saved-index]     (QT_QPA_PLATFORM=offscreen when there is no display)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "filtering/FileLineIndex.h"
#include "filtering/IndexedText.h"
#include "view/COstrelView.h"
#include "view/CPagedSearch.h"
#include "view/CPagedText.h"

using namespace BenchSupport;

namespace {

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

// Ctrl+End, Go To and drags to random places, ten of each.
void TimeJumps(COstrelView* view, const char* when, std::mt19937& random)
{
    CPagedText* paged = view->GetPagedText();
    std::vector<double> ends;
    std::vector<double> goTos;
    std::vector<double> drags;
    for (int i = 0; i < 10; ++i) {
        ends.push_back(TimeJump(view, [paged] { paged->ShowEnd(); }));
        const std::int64_t lines = std::max<std::int64_t>(1, paged->GetIndex().GetLineCount());
        goTos.push_back(TimeJump(view, [view, &random, lines] {
            view->GoToLine(1 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(lines)));
        }));
        QScrollBar* bar = paged->GetScrollBar();
        drags.push_back(TimeJump(view, [bar, &random] {
            bar->setSliderPosition(static_cast<int>(random() % static_cast<unsigned>(std::max(1, bar->maximum()))));
            bar->triggerAction(QAbstractSlider::SliderMove);
        }));
        paged->ShowStart();
        WaitFor([paged] { return !paged->IsMoving(); });
    }
    const Spread end = SpreadOf(ends);
    const Spread goTo = SpreadOf(goTos);
    const Spread drag = SpreadOf(drags);
    std::printf("%-26s Ctrl+End %.1f/%.1f ms, Go To %.1f/%.1f ms, drag %.1f/%.1f ms (median/worst)\n", when, end.Median,
                end.Worst, goTo.Median, goTo.Worst, drag.Median, drag.Worst);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || (argc > 2 && std::strcmp(argv[2], "--saved-index") != 0)) {
        std::fprintf(stderr, "usage: ostrel-paged-bench FILE [--saved-index]\n");
        return 2;
    }
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    // Saved indexes in a folder of this run's own.
    QTemporaryDir cacheDir;
    ::setenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()).constData(), 1);
    if (argc > 2) {
        FileLineIndex earlier(argv[1]);
        earlier.SaveInUserCache();
        int error = 0;
        if (!earlier.Start(error)) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 2;
        }
        while (!earlier.IsComplete())
            QThread::msleep(1);
    }
    COstrelApp app(argc, argv);
    app.SetPagedViewThresholdMB(1);
    const QString path = QString::fromLocal8Bit(argv[1]);
    double gigabytes = static_cast<double>(QFile(path).size()) / 1e9;
    std::mt19937 random(7);

    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    QCoreApplication::processEvents();
    const long residentBefore = ResidentKiB();

    QElapsedTimer clock;
    clock.start();
    frame.OpenDocumentFile(path);
    const double openReturnedMs = Milliseconds(clock);
    COstrelView* view = frame.GetActiveLogView();
    if (!view || !view->IsPaged()) {
        std::fprintf(stderr, "the file did not open in the paged view\n");
        return 1;
    }
    CPagedText* paged = view->GetPagedText();
    WaitFor([paged] { return !paged->IsMoving(); });
    view->viewport()->repaint();
    const double firstScreenMs = Milliseconds(clock);

    // Jumps while the index is being built (a file of a few gigabytes gives them the time).
    if (!paged->IsIndexComplete())
        TimeJumps(view, "while indexing", random);
    const double longestPause = WaitFor([paged] { return paged->IsIndexComplete(); });
    const double indexedMs = Milliseconds(clock);
    const std::int64_t lines = paged->GetIndex().GetLineCount();
    const long residentIndexed = ResidentKiB();
    TimeJumps(view, "with the index complete", random);

    // Find of a string the file does not hold, from its start: the whole file read.
    paged->ShowStart();
    WaitFor([paged] { return !paged->IsMoving(); });
    CPagedSearch search(view, QStringLiteral("no such text in this log"), true, false);
    bool searched = false;
    QObject::connect(&search, &CPagedSearch::Finished, [&searched](CViewSearch::Outcome) { searched = true; });
    QElapsedTimer findClock;
    findClock.start();
    search.StartFindFromSelection(true);
    WaitFor([&searched] { return searched; });
    const double findMs = Milliseconds(findClock);

    const std::string packing = paged->GetIndex().GetPackingName();
    const bool reused = paged->GetIndex().GetReusedBytes() > 0;
    // A compressed file: its text's size, which is what is read and indexed.
    if (!packing.empty())
        gigabytes = static_cast<double>(paged->GetIndex().GetSize()) / 1e9;
    std::printf("file                       %.2f GB%s, %lld lines\n", gigabytes,
                packing.empty() ? "" : (" of text in a " + packing + " file").c_str(), static_cast<long long>(lines));
    std::printf("File Open returned         %.1f ms\n", openReturnedMs);
    std::printf("first screen painted       %.1f ms\n", firstScreenMs);
    std::printf("index complete             %.0f ms (%.2f GB/s)%s\n", indexedMs, gigabytes / (indexedMs / 1000.0),
                reused ? ", saved index taken" : "");
    std::printf("index memory               %.2f MB%s\n", static_cast<double>(paged->GetIndex().GetIndexMemory()) / 1e6,
                packing.empty() ? "" : (" (line starts and " + packing + " seek points)").c_str());
    std::printf("longest event-loop pause   %.1f ms while indexing\n", longestPause);
    std::printf("Find, not in the file      %.0f ms (%.2f GB/s)\n", findMs, gigabytes / (findMs / 1000.0));
    std::printf("resident, index complete   %.0f MB (%.0f MB before opening; budget %.0f MB)\n",
                static_cast<double>(residentIndexed) / 1024.0, static_cast<double>(residentBefore) / 1024.0,
                150.0 + 2.0 * static_cast<double>(lines) / 1e6);
    return 0;
}
