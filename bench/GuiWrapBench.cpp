// SPDX-License-Identifier: GPL-3.0-or-later
// Times Word Wrap on a big log in the desktop program: each step is timed from the command
// until the window answers again (its event loop turns and the view has painted), without wrap
// and then with it, with the longest pause of the event loop and the resident memory.
//
//   ostrel-wrap-bench FILE     (QT_QPA_PLATFORM=offscreen when there is no display)

#include <cstdio>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSettings>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/CMainFrame.h"
#include "app/COstrelApp.h"
#include "app/CommandIds.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using namespace BenchSupport;

namespace {

// Runs a step, then waits until the view has painted and the event loop turns freely again.
double TimeStep(COstrelView* view, const std::function<void()>& step, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    step();
    WaitFor(done);
    view->viewport()->repaint();
    QCoreApplication::processEvents();
    return Milliseconds(clock);
}

void PressKey(COstrelView* view, int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(view, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(view, &release);
}

struct Figures
{
    double WrapOn = 0;
    double End = 0;
    double Home = 0;
    double GoTo = 0;
    double Reload = 0;
    double EndAfterReload = 0;
    long MemoryKiB = 0;
};

Figures Measure(CMainFrame& frame, COstrelView*& view, bool wrap)
{
    Figures figures;
    // A paged view reads its windows on a thread: a step has ended once its window is shown.
    const auto settled = [&view] {
        return !view->IsLoading() && !(view->IsPaged() && view->GetPagedText()->IsMoving());
    };
    const auto idle = settled;
    const auto loaded = settled;
    const auto atEnd = [&view, settled] {
        return settled() &&
               view->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS) ==
                   view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) &&
               (!view->IsPaged() || view->GetPagedText()->GetWindowEnd() >= view->GetPagedText()->GetFileSize());
    };
    if (wrap)
        figures.WrapOn = TimeStep(
            view, [&frame] { frame.GetCommand(CommandId::WordWrap)->trigger(); }, idle);
    figures.End = TimeStep(
        view, [view] { PressKey(view, Qt::Key_End, Qt::ControlModifier); }, atEnd);
    figures.Home = TimeStep(
        view, [view] { PressKey(view, Qt::Key_Home, Qt::ControlModifier); }, idle);
    const std::int64_t middle = view->GetGoToLineCount() / 2;
    figures.GoTo = TimeStep(
        view, [view, middle] { view->GoToNumberedLine(middle); },
        [view, middle, settled] { return settled() && view->GetCaretLine() == middle; });
    figures.Reload = TimeStep(
        view, [view] { view->ReloadDocumentText(); }, loaded);
    figures.EndAfterReload = TimeStep(
        view, [view] { PressKey(view, Qt::Key_End, Qt::ControlModifier); }, atEnd);
    figures.MemoryKiB = ResidentKiB();
    return figures;
}

void Print(const char* name, const Figures& figures, bool wrapped)
{
    std::printf("%-10s", name);
    if (wrapped)
        std::printf(" wrap on %8.1f ms,", figures.WrapOn);
    else
        std::printf("                    ");
    std::printf(" Ctrl+End %8.1f ms, Ctrl+Home %8.1f ms, Go To %8.1f ms, reload %8.1f ms, Ctrl+End after "
                "reload %8.1f ms, memory %6ld MiB\n",
                figures.End, figures.Home, figures.GoTo, figures.Reload, figures.EndAfterReload,
                figures.MemoryKiB / 1024);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel-wrap-bench FILE\n");
        return 2;
    }
    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    COstrelApp app(argc, argv);
    CMainFrame frame;
    frame.LoadFrame();
    frame.resize(1200, 800);
    frame.show();
    QElapsedTimer open;
    open.start();
    frame.OpenDocumentFile(QString::fromLocal8Bit(argv[1]));
    COstrelView* view = frame.GetActiveLogView();
    if (!view)
        return 1;
    WaitFor([view] { return !view->IsLoading(); });
    std::printf("opened in %.1f ms (%s), memory %ld MiB\n", Milliseconds(open),
                view->IsPaged() ? "paged" : "in the editor", ResidentKiB() / 1024);
    const Figures plain = Measure(frame, view, false);
    Print("unwrapped", plain, false);
    double longest = 0;
    QElapsedTimer wrapped;
    wrapped.start();
    const Figures withWrap = Measure(frame, view, true);
    // The window's longest pause over a few seconds of idling with wrap on (wrapping in the background).
    longest = WaitFor([] { return false; }, 3000);
    Print("wrapped", withWrap, true);
    std::printf("longest event-loop pause while idle with wrap on: %.1f ms; wrap mode kept: %s\n", longest,
                view->GetWordWrap() != COstrelView::WrapNone ? "yes" : "no");
    return 0;
}
