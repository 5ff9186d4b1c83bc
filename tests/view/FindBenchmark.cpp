// SPDX-License-Identifier: GPL-3.0-or-later
// Times Find Next through a big log: how long a search takes end to end, and the longest time
// the window went without its event loop (what the user sees as a freeze).
//
//   FindBenchmark FILE [TEXT]
//
// TEXT defaults to a string that is not in the file, so every search runs to the end.

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include "view/COstrelView.h"
#include "view/CViewSearch.h"

namespace {

struct Measurement
{
    qint64 Milliseconds = 0;
    qint64 LongestFreezeMs = 0;
    CViewSearch::Outcome Outcome = CViewSearch::Outcome::NotFound;
};

Measurement TimeSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord, bool down)
{
    Measurement result;
    QElapsedTimer lastTick;
    lastTick.start();
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { result.LongestFreezeMs = std::max(result.LongestFreezeMs, lastTick.restart()); });
    ticker.start();
    QElapsedTimer clock;
    clock.start();
    lastTick.restart();
    {
        CViewSearch search(view, text, matchCase, wholeWord);
        result.Outcome = search.FindFromSelection(down);
    }
    result.Milliseconds = clock.elapsed();
    result.LongestFreezeMs = std::max(result.LongestFreezeMs, lastTick.elapsed());
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
    };
    const Case cases[] = {
        {"down, match case", true, false, true},
        {"down, any case", false, false, true},
        {"down, match case, whole word", true, true, true},
        {"up, match case", true, false, false},
        {"up, any case", false, false, false},
    };
    for (const Case& c : cases) {
        const long end = view.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        if (c.Down)
            view.SendScintilla(QsciScintillaBase::SCI_SETSEL, 0UL, 0L);
        else
            view.SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(end), end);
        const Measurement m = TimeSearch(&view, text, c.MatchCase, c.WholeWord, c.Down);
        std::printf("%-30s %7lld ms  %7.0f MB/s  longest freeze %4lld ms  %s\n", c.Name,
                    static_cast<long long>(m.Milliseconds), megabytes * 1000.0 / std::max<qint64>(1, m.Milliseconds),
                    static_cast<long long>(m.LongestFreezeMs),
                    m.Outcome == CViewSearch::Outcome::Found ? "found" : "not found");
    }
    return 0;
}
