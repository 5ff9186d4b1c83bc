// SPDX-License-Identifier: GPL-3.0-or-later
// Filters a big log, opens the output in a tab of its own and filters that tab again, beside
// applying the filters to the whole file: a second filter over the kept lines reads only them.
//
//   ostrel-output-tab-bench FILE FIRST SECOND     (QT_QPA_PLATFORM=offscreen when there is no display)

#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/COutputTabs.h"
#include "document/COstrelDoc.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"

using namespace BenchSupport;

namespace {

// Applies the literals (each case-sensitive, kept when any matches) and waits for the run's end;
// the milliseconds it took, or -1 when no run started.
double TimeRun(COstrelDoc& document, const QStringList& literals)
{
    FilterSettings& filters = document.GetFilterSettings();
    filters.ClearFilters();
    for (const QString& literal : literals) {
        filters.AddFilter(literal.toStdU16String(), 0);
        filters.SetCaseSensitive(filters.GetCount() - 1, true);
    }
    QElapsedTimer clock;
    clock.start();
    if (!document.ApplyOwnFilters(false))
        return -1;
    WaitFor([&document] { return !document.IsFiltering(); });
    return Milliseconds(clock);
}

std::size_t KeptLines(const COstrelDoc& document)
{
    return document.GetView()->GetOutputLineNumbers().Size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: ostrel-output-tab-bench FILE FIRST SECOND\n");
        return 2;
    }
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    COstrelSettings::SetFileName(configDir.filePath(QStringLiteral("Ostrel.conf")));
    QTemporaryDir cacheDir;
    ::setenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()).constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", QFile::encodeName(cacheDir.path()).constData(), 1);
    COstrelApp app(argc, argv);
    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    const QString first = QString::fromLocal8Bit(argv[2]);
    const QString second = QString::fromLocal8Bit(argv[3]);
    COstrelDoc* document = frame.OpenDocumentFile(QString::fromLocal8Bit(argv[1]));
    if (!document) {
        std::fprintf(stderr, "the file did not open\n");
        return 1;
    }
    WaitFor([document] { return !document->GetView()->IsLoading(); });

    const double both = TimeRun(*document, {first, second});
    const std::size_t bothKept = KeptLines(*document);
    const double alone = TimeRun(*document, {second});
    const std::size_t aloneKept = KeptLines(*document);
    const double firstRun = TimeRun(*document, {first});
    const std::size_t firstKept = KeptLines(*document);

    COstrelDoc* tab = nullptr;
    QObject::connect(&frame.GetOutputTabs(), &COutputTabs::TabOpened, &frame,
                     [&tab](COstrelDoc* opened) { tab = opened; });
    QElapsedTimer clock;
    clock.start();
    if (!frame.GetOutputTabs().OpenFromView(*document->GetView())) {
        std::fprintf(stderr, "the output did not open in a new tab\n");
        return 1;
    }
    const double longestPause = WaitFor([&tab] { return tab != nullptr; });
    WaitFor([tab] { return !tab->GetView()->IsLoading(); });
    const double newTab = Milliseconds(clock);
    const double inTab = TimeRun(*tab, {second});
    const std::size_t tabKept = KeptLines(*tab);

    std::printf("whole file, both filters          %8.0f ms (%zu lines kept)\n", both, bothKept);
    std::printf("whole file, second filter alone   %8.0f ms (%zu lines kept)\n", alone, aloneKept);
    std::printf("whole file, first filter          %8.0f ms (%zu lines kept)\n", firstRun, firstKept);
    std::printf("output in new tab                 %8.0f ms (window's longest pause %.0f ms)\n", newTab, longestPause);
    std::printf("second filter in the new tab      %8.0f ms (%zu lines kept)\n", inTab, tabKept);
    return 0;
}
