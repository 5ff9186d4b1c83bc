// SPDX-License-Identifier: GPL-3.0-or-later
// Times Find Next through a big log: how long a search takes end to end, and the longest time
// the event loop went without a turn while it ran (what the user sees as a freeze).
//
//   FindBenchmark FILE [TEXT]
//
// TEXT defaults to a string that is not in the file, so every search runs to the end.

#include <cstdio>
#include <functional>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "view/COstrelView.h"
#include "view/CViewSearch.h"

namespace {

struct Measurement
{
    qint64 Milliseconds = 0;
    qint64 LongestPauseMs = 0;
    CViewSearch::Outcome Outcome = CViewSearch::Outcome::NotFound;
};

// Runs one command of a search to its end while a timer asks for a turn of the event loop every
// millisecond; the longest wait for a turn is the longest freeze.
Measurement TimeSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord,
                       const std::function<void(CViewSearch&)>& command)
{
    Measurement result;
    QElapsedTimer lastTurn;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { result.LongestPauseMs = std::max(result.LongestPauseMs, lastTurn.restart()); });
    CViewSearch search(view, text, matchCase, wholeWord);
    QEventLoop loop;
    QObject::connect(&search, &CViewSearch::Finished, &loop, &QEventLoop::quit);
    ticker.start();
    QElapsedTimer clock;
    clock.start();
    lastTurn.start();
    command(search);
    if (search.IsRunning())
        loop.exec();
    result.Milliseconds = clock.elapsed();
    result.LongestPauseMs = std::max(result.LongestPauseMs, lastTurn.elapsed());
    result.Outcome = search.GetOutcome();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: FindBenchmark FILE [TEXT]\n");
        return 2;
    }
    const QString text = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("zq-not-in-this-log-qz");

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    COstrelView view(nullptr);
    view.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
    view.SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(file.size() + 1));
    QByteArray chunk;
    while (!(chunk = file.read(16 * 1024 * 1024)).isEmpty())
        view.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<uintptr_t>(chunk.size()), chunk.constData());
    const double megabytes = static_cast<double>(view.SendScintilla(QsciScintillaBase::SCI_GETLENGTH)) / 1e6;
    std::printf("%.0f MB loaded; searching for \"%s\"\n", megabytes, qPrintable(text));

    struct Case
    {
        const char* Name;
        bool MatchCase;
        bool WholeWord;
        bool Down;
        bool ReplaceAll;
    };
    const Case cases[] = {
        {"down, match case", true, false, true, false},
        {"down, any case", false, false, true, false},
        {"down, match case, whole word", true, true, true, false},
        {"up, match case", true, false, false, false},
        {"up, any case", false, false, false, false},
        {"replace all, any case", false, false, true, true},
    };
    for (const Case& c : cases) {
        const long end = view.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        if (c.Down)
            view.SendScintilla(QsciScintillaBase::SCI_SETSEL, 0UL, 0L);
        else
            view.SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(end), end);
        const bool down = c.Down;
        const Measurement m =
            TimeSearch(&view, text, c.MatchCase, c.WholeWord, [down, replaceAll = c.ReplaceAll](CViewSearch& search) {
                if (replaceAll)
                    search.StartReplaceAll(QStringLiteral("-"));
                else
                    search.StartFindFromSelection(down);
            });
        std::printf("%-30s %7lld ms  %7.0f MB/s  longest freeze %4lld ms  %s\n", c.Name,
                    static_cast<long long>(m.Milliseconds), megabytes * 1000.0 / std::max<qint64>(1, m.Milliseconds),
                    static_cast<long long>(m.LongestPauseMs),
                    m.Outcome == CViewSearch::Outcome::Found ? "found" : "not found");
    }
    return 0;
}
