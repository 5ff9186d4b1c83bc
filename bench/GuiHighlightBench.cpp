// SPDX-License-Identifier: GPL-3.0-or-later
// Times Page Down through a big log in the paged view, each page scrolled and painted, without
// highlight rules, with ten (five literals, five expressions) colouring the screen, and with the
// ten and twenty bookmarks among the pages passed.
//
//   ostrel-highlight-bench FILE     (QT_QPA_PLATFORM=offscreen when there is no display)

#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "view/COstrelSettings.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"
#include "view/CRuleHighlighter.h"
#include "view/CViewBookmarks.h"

using namespace BenchSupport;

namespace {

// Page Down `pages` times from the middle of the file; a page that moves the window counts
// until the window has moved and the screen is painted.
Spread TimePages(COstrelView* view, int pages)
{
    CPagedText* paged = view->GetPagedText();
    view->GoToLine(paged->GetExpectedLineCount() / 2);
    WaitFor([paged] { return !paged->IsMoving(); });
    view->viewport()->repaint();
    std::vector<double> times;
    for (int page = 0; page < pages; ++page) {
        QElapsedTimer clock;
        clock.start();
        view->SendScintilla(QsciScintillaBase::SCI_PAGEDOWN);
        QCoreApplication::processEvents();
        WaitFor([paged] { return !paged->IsMoving(); });
        view->viewport()->repaint();
        times.push_back(Milliseconds(clock));
    }
    return SpreadOf(times);
}

std::vector<HighlightRule> TenRules()
{
    std::vector<HighlightRule> rules;
    for (const char* literal : {"ERROR", "WARN", "storage.Blob", "logged in", "OutOfMemoryError"})
        rules.push_back({literal, false, true, 0, 0});
    for (const char* expression :
         {"in \\z+ ms", "orders/\\z+", "worker-\\d\\d", "10\\.0\\.\\z+\\.\\z+", "(GET)|(POST) /api/v\\d"})
        rules.push_back({expression, true, false, 0, 0});
    for (std::size_t i = 0; i < rules.size(); ++i) {
        rules[i].Fore = HighlightPalette[i % HighlightPalette.size()].Fore;
        rules[i].Back = HighlightPalette[i % HighlightPalette.size()].Back;
    }
    return rules;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel-highlight-bench FILE\n");
        return 2;
    }
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    // The rules are stored as they are set: in this run's own settings, never the user's.
    COstrelSettings::SetFileName(configDir.filePath(QStringLiteral("Ostrel.conf")));
    QTemporaryDir cacheDir;
    ::setenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()).constData(), 1);
    COstrelApp app(argc, argv);
    app.SetPagedViewThresholdMB(1);
    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    frame.OpenDocumentFile(QString::fromLocal8Bit(argv[1]));
    COstrelView* view = frame.GetActiveLogView();
    if (!view || !view->IsPaged()) {
        std::fprintf(stderr, "the file did not open in the paged view\n");
        return 1;
    }
    CPagedText* paged = view->GetPagedText();
    WaitFor([paged] { return paged->IsIndexComplete() && !paged->IsMoving(); });

    const Spread plain = TimePages(view, 200);
    frame.SetHighlightRules(TenRules());
    const std::int64_t examinedBefore = view->GetRuleHighlighter().GetLinesExamined();
    const Spread highlighted = TimePages(view, 200);
    const std::int64_t examined = view->GetRuleHighlighter().GetLinesExamined() - examinedBefore;
    // Twenty bookmarks among the lines the pages pass, one every few pages.
    std::vector<std::int64_t> bookmarks;
    const std::int64_t middle = paged->GetExpectedLineCount() / 2;
    for (std::int64_t i = 0; i < 20; ++i)
        bookmarks.push_back(middle + 5 + i * 350);
    view->GetBookmarks().Assign(bookmarks);
    const Spread marked = TimePages(view, 200);

    std::printf("page down, no highlights    %.2f ms median, %.2f ms worst (200 pages)\n", plain.Median, plain.Worst);
    std::printf("page down, 10 highlights    %.2f ms median, %.2f ms worst (200 pages, %lld lines marked)\n",
                highlighted.Median, highlighted.Worst, static_cast<long long>(examined));
    std::printf("page down, 10 highlights and 20 bookmarks    %.2f ms median, %.2f ms worst (200 pages)\n",
                marked.Median, marked.Worst);
    return 0;
}
