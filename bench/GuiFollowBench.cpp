// SPDX-License-Identifier: GPL-3.0-or-later
// Times following a growing log in the desktop program: a writer thread appends generated lines
// to the followed file at a steady rate while the window shows them, whole or filtered. Reports
// how far the view is behind when the writer stops, the longest the event loop went without a
// turn meanwhile, memory, and the process's CPU while it follows a file nobody writes to.
//
//   ostrel-follow-bench FILE whole|filtered [SECONDS [MB_PER_SECOND]]
//
// FILE is appended to: give it a copy. Filtered follows keep lines with "ERROR", no context.
// (QT_QPA_PLATFORM=offscreen when there is no display.)

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <thread>

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
#include "app/COstrelApp.h"
#include "filterui/CFilterSettingsDlg.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

using namespace BenchSupport;

namespace {

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The lines a generated log starts with: what the writer appends, over and over.
std::string SampleLines(const std::string& path, std::size_t bytes)
{
    std::ifstream in(path, std::ios::binary);
    std::string sample(bytes, '\0');
    in.read(sample.data(), static_cast<std::streamsize>(bytes));
    sample.resize(static_cast<std::size_t>(in.gcount()));
    sample.resize(sample.rfind('\n') + 1);
    return sample;
}

std::size_t CountLinesWith(std::string_view text, std::string_view literal)
{
    std::size_t count = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        if (text.substr(start, end - start).find(literal) != std::string_view::npos)
            ++count;
        start = end;
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::string_view(argv[2]) != "whole" && std::string_view(argv[2]) != "filtered")) {
        std::fprintf(stderr, "usage: ostrel-follow-bench FILE whole|filtered [SECONDS [MB_PER_SECOND]]\n");
        return 2;
    }
    const std::string path = argv[1];
    const bool filtered = std::string_view(argv[2]) == "filtered";
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
    const double rate = (argc > 4 ? std::atof(argv[4]) : 20.0) * 1e6;
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
    frame.OpenDocumentFile(QString::fromLocal8Bit(path.c_str()));
    COstrelView* view = frame.GetActiveLogView();
    if (!view)
        return 1;
    WaitFor([view] { return !view->IsLoading() && !view->IsPaged(); }, 600000);
    if (view->IsPaged()) {
        std::fprintf(stderr, "the file opened in the paged view\n");
        return 1;
    }
    view->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    view->SetFollow(true);
    // Turning Follow on may show a big whole file paged: a step of its own, timed apart.
    const double followOnPause = WaitFor([] { return false; }, 2000);

    std::size_t keptBefore = 0;
    if (filtered) {
        COstrelDoc* document = frame.GetActiveLogDocument();
        if (!ApplyLiteralFilter(*document, QStringLiteral("ERROR")))
            return 1;
        WaitFor([document] { return !document->IsFiltering(); }, 600000);
        keptBefore = view->GetOutputLineNumbers().Size();
        view->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    }
    const long residentBefore = ResidentKiB();
    const auto sizeBefore = static_cast<std::uint64_t>(QFile(QString::fromLocal8Bit(path.c_str())).size());

    // The writer: a chunk every 50 ms, whole lines, at the given rate.
    const std::string sample = SampleLines(path, 64 * 1024 * 1024);
    const auto chunkBytes = static_cast<std::size_t>(rate / 20);
    std::atomic<bool> writing{true};
    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> keptWritten{0};
    std::thread writer([&] {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        std::size_t at = 0;
        auto next = std::chrono::steady_clock::now();
        const auto end = next + std::chrono::seconds(seconds);
        while (next < end) {
            std::size_t take = std::min(chunkBytes, sample.size() - at);
            const std::size_t lineEnd = sample.rfind('\n', at + take - 1);
            take = lineEnd == std::string::npos || lineEnd < at ? take : lineEnd + 1 - at;
            const std::string_view chunk(sample.data() + at, take);
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            out.flush();
            keptWritten += CountLinesWith(chunk, "ERROR");
            written += take;
            at = at + take >= sample.size() ? 0 : at + take;
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
        }
        writing = false;
    });

    const auto caughtUp = [&] {
        if (filtered)
            return view->GetOutputLineNumbers().Size() == keptBefore + keptWritten.load();
        // A whole file past the editor's limit follows paged: its window reaches the end.
        if (CPagedText* paged = view->GetPagedText())
            return !paged->IsMoving() && paged->GetWindowEnd() == sizeBefore + written.load();
        return static_cast<std::uint64_t>(view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH)) ==
               sizeBefore + written.load();
    };
    const double longestPause = WaitFor([&] { return !writing.load(); }, (seconds + 60) * 1000);
    writer.join();
    QElapsedTimer lagClock;
    lagClock.start();
    const double pauseAfter = WaitFor(caughtUp, 60000);
    const double lagMs = caughtUp() ? static_cast<double>(lagClock.nsecsElapsed()) / 1e6 : -1;
    const long residentAfter = ResidentKiB();
    if (CPagedText* paged = view->GetPagedText(); paged && lagMs < 0)
        std::printf("paged window ends at %llu of %llu (index %llu)\n",
                    static_cast<unsigned long long>(paged->GetWindowEnd()),
                    static_cast<unsigned long long>(sizeBefore + written.load()),
                    static_cast<unsigned long long>(paged->GetFileSize()));

    // Idle: following a file nobody writes to.
    const double cpuBefore = CpuSeconds();
    QElapsedTimer idleClock;
    idleClock.start();
    {
        QEventLoop idle; // no tick of its own: only the program's timers and notifications
        QTimer::singleShot(10000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    const double idlePercent =
        100.0 * (CpuSeconds() - cpuBefore) / (static_cast<double>(idleClock.nsecsElapsed()) / 1e9);

    std::printf("view                        %s, caret on the last line\n",
                filtered ? "filtered (ERROR)" : (view->IsPaged() ? "whole file, paged" : "whole file"));
    std::printf("appended                    %.0f MB in %d s (%.1f MB/s)\n", static_cast<double>(written.load()) / 1e6,
                seconds, static_cast<double>(written.load()) / 1e6 / seconds);
    std::printf("lag when the writer stopped %.0f ms%s\n", lagMs, lagMs < 0 ? " (never caught up)" : "");
    std::printf("longest event-loop pause    %.1f ms while written to, %.1f ms catching up\n", longestPause,
                pauseAfter);
    std::printf("turning Follow on           longest pause %.1f ms\n", followOnPause);
    std::printf("resident                    %.0f MB before, %.0f MB after\n",
                static_cast<double>(residentBefore) / 1024.0, static_cast<double>(residentAfter) / 1024.0);
    std::printf("CPU while idle-following    %.2f %%\n", idlePercent);
    return 0;
}
