// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the desktop benchmarks share: the event loop run until a state holds, the clock, the
// resident memory and the spread of a series of times.

#include <algorithm>
#include <functional>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "app/CMainFrame.h"
#include "document/COstrelDoc.h"

namespace BenchSupport {

inline long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

inline double Milliseconds(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Runs the event loop until done() holds or timeoutMs have passed (-1: no limit); the longest
// the loop went without a turn of its 1 ms tick.
inline double WaitFor(const std::function<bool()>& done, int timeoutMs = -1)
{
    QEventLoop loop;
    QTimer tick;
    QElapsedTimer sinceTick;
    QElapsedTimer total;
    double longest = 0;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        longest = std::max(longest, Milliseconds(sinceTick));
        sinceTick.restart();
        if (done() || (timeoutMs >= 0 && total.elapsed() >= timeoutMs))
            loop.quit();
    });
    sinceTick.start();
    total.start();
    tick.start(1);
    loop.exec();
    return longest;
}

struct Spread
{
    double Median = 0;
    double Worst = 0;
};

inline Spread SpreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? Spread{} : Spread{values[values.size() / 2], values.back()};
}

// Shows the filter dialog with one case-sensitive literal filter in place of any it had, and
// returns the dialog's Apply button (not pressed).
// Gives the document one case-sensitive literal filter and applies it, as Apply does: the run
// with its progress window. False when no run started.
inline bool ApplyLiteralFilter(COstrelDoc& document, const QString& literal)
{
    FilterSettings& filters = document.GetFilterSettings();
    filters.ClearFilters();
    filters.AddFilter(literal.toStdU16String(), 0);
    filters.SetCaseSensitive(0, true);
    return document.ApplyOwnFilters(false);
}

} // namespace BenchSupport
