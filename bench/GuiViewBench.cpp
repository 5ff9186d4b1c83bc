// SPDX-License-Identifier: GPL-3.0-or-later
// Times reading a big log in the desktop program with line numbers, filter colours and match
// marks on: Page Down through the whole file and through filter output (each page scrolled and
// painted), and the toggle between the output and the whole file, both ways.
//
//   ostrel-view-bench FILE LITERAL     the literal filters the file, case-sensitive, no context
//                                      (QT_QPA_PLATFORM=offscreen when there is no display)

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "filterui/CFilterSettingsDlg.h"
#include "view/COstrelView.h"

using namespace BenchSupport;

namespace {

// Page Down `pages` times from the middle of the text, each page painted before the next.
Spread TimePages(COstrelView* view, int pages)
{
    const long lines = view->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    view->SendScintilla(QsciScintillaBase::SCI_GOTOLINE, static_cast<unsigned long>(lines / 2));
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    std::vector<double> times;
    for (int page = 0; page < pages; ++page) {
        QElapsedTimer clock;
        clock.start();
        view->SendScintilla(QsciScintillaBase::SCI_PAGEDOWN);
        QCoreApplication::processEvents();
        view->viewport()->repaint();
        times.push_back(Milliseconds(clock));
    }
    return SpreadOf(times);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: ostrel-view-bench FILE LITERAL\n");
        return 2;
    }
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    COstrelApp app(argc, argv);
    // The whole text in the editor whatever its size, as Edit Anyway has it: the paged view of a
    // file above the default editing limit is measured by ostrel-paged-bench.
    app.SetPagedViewThresholdMB(0);
    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    frame.OpenDocumentFile(QString::fromLocal8Bit(argv[1]));
    COstrelView* view = frame.GetActiveLogView();
    if (!view)
        return 1;
    WaitFor([view] { return !view->IsLoading(); });
    if (view->IsPaged()) {
        std::fprintf(stderr, "the file opened in the paged view\n");
        return 1;
    }
    view->SetLineNumbersShown(true);
    const Spread whole = TimePages(view, 200);

    COstrelDoc* document = frame.GetActiveLogDocument();
    QElapsedTimer runClock;
    runClock.start();
    if (!ApplyLiteralFilter(*document, QString::fromLocal8Bit(argv[2])))
        return 1;
    WaitFor([document] { return !document->IsFiltering(); });
    const double runMs = Milliseconds(runClock);
    const std::size_t kept = view->GetOutputLineNumbers().Size();
    const Spread filtered = TimePages(view, 200);

    // The toggle, both ways, five times: until the other text is shown at its line and painted.
    QAction* toggle = frame.GetCommand(CommandId::ToggleFilterOutput);
    std::vector<double> toWhole;
    std::vector<double> toOutput;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer clock;
        clock.start();
        toggle->trigger();
        WaitFor([view] { return !view->GetShowsFilteredText() && !view->IsLoading(); });
        view->viewport()->repaint();
        toWhole.push_back(Milliseconds(clock));
        clock.restart();
        toggle->trigger();
        WaitFor([view, document] { return view->GetShowsFilteredText() && !document->IsFiltering(); });
        view->viewport()->repaint();
        toOutput.push_back(Milliseconds(clock));
    }
    const Spread back = SpreadOf(toWhole);
    const Spread forth = SpreadOf(toOutput);

    std::printf("page down, whole file       %.2f ms median, %.2f ms worst (200 pages)\n", whole.Median, whole.Worst);
    std::printf("filter run                  %.0f ms, %zu kept lines\n", runMs, kept);
    std::printf("page down, filter output    %.2f ms median, %.2f ms worst (200 pages)\n", filtered.Median,
                filtered.Worst);
    std::printf("toggle to the whole file    %.1f ms median, %.1f ms worst (5 times)\n", back.Median, back.Worst);
    std::printf("toggle back to the output   %.1f ms median, %.1f ms worst (5 times)\n", forth.Median, forth.Worst);
    return 0;
}
