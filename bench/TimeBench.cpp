// SPDX-License-Identifier: GPL-3.0-or-later
// How fast line times are read, and how long Go To a time takes through a file's line index.
// Usage: ostrel-time-bench [lines] [folder]; prints one figure per line.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "filtering/FileLineIndex.h"
#include "time/IndexedFileLines.h"
#include "time/LineTime.h"
#include "time/TimedLines.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Two(int value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

// One line of each layout at a second of the day.
std::vector<std::string> SampleLines(TimeLayout layout, int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        const int s = i % 86400;
        const std::string clock = Two(s / 3600) + ":" + Two(s / 60 % 60) + ":" + Two(s % 60);
        switch (layout) {
        case TimeLayout::Iso8601:
            lines.push_back("2026-12-09T" + clock + ".123456+01:00 INFO request served in 12 ms");
            break;
        case TimeLayout::Syslog:
            lines.push_back("Dec  9 " + clock + " host sshd[4242]: accepted publickey for user");
            break;
        case TimeLayout::CommonLog:
            lines.push_back("203.0.113.7 - frank [09/Dec/2026:" + clock + " +0100] \"GET /a HTTP/1.1\" 200 2326");
            break;
        case TimeLayout::Klog:
            lines.push_back("I1209 " + clock + ".345678   12345 server.go:42] serving request");
            break;
        case TimeLayout::EpochSeconds:
            lines.push_back(std::to_string(1796850000 + i) + " request served");
            break;
        case TimeLayout::EpochMilliseconds:
            lines.push_back(std::to_string(1796850000000LL + i) + " request served");
            break;
        case TimeLayout::None:
            break;
        }
    }
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    const long lineCount = argc > 1 ? std::atol(argv[1]) : 2000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    TimeContext context;
    context.Year = 2026;

    // Parsing: nanoseconds per line for each layout, on lines in memory.
    for (const TimeLayout layout : RecognisedTimeLayouts) {
        const std::vector<std::string> lines = SampleLines(layout, 200000);
        std::int64_t sum = 0;
        const auto start = Clock::now();
        for (int round = 0; round < 10; ++round) {
            for (const std::string& line : lines) {
                LineTime time;
                if (ParseLineTime(layout, line, context, time))
                    ++sum;
            }
        }
        const double seconds = SecondsSince(start);
        std::printf("parse %-18s %6.1f ns/line (%lld parsed)\n", std::string(TimeLayoutName(layout)).c_str(),
                    seconds * 1e9 / (10.0 * static_cast<double>(lines.size())), static_cast<long long>(sum));
    }

    // Go To a time through the index of a big file: one line a second, every fifth with a trace.
    const std::string path = folder + "/ostrel-time-bench.log";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (long i = 0; i < lineCount; ++i) {
            const long s = i % 86400;
            out << "2026-12-" << Two(static_cast<int>(1 + i / 86400 % 28)) << 'T' << Two(static_cast<int>(s / 3600))
                << ':' << Two(static_cast<int>(s / 60 % 60)) << ':' << Two(static_cast<int>(s % 60))
                << ".000Z INFO request " << i << " served\n";
            if (i % 5 == 4)
                out << "    at Frame.run(Frame.java:1)\n";
        }
    }
    FileLineIndex index(path);
    int error = 0;
    if (!index.Start(error)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    while (!index.IsComplete())
        std::this_thread::yield();
    std::mt19937 random(1209);
    constexpr int Searches = 200;
    std::uint64_t bytes = 0;
    const std::int64_t first = 1796774400LL * 1000000; // 2026-12-01T00:00:00Z
    const auto start = Clock::now();
    for (int i = 0; i < Searches; ++i) {
        IndexedFileLines lines(index);
        TimedLines timed(lines, TimeLayout::Iso8601, context);
        const std::int64_t target =
            first + static_cast<std::int64_t>(random() % static_cast<unsigned long>(lineCount)) * 1000000;
        if (timed.FindLineAtOrAfter(target) < 0)
            std::printf("no line found\n");
        bytes += lines.GetBytesRead();
    }
    const double seconds = SecondsSince(start);
    std::printf("go to a time in %lld lines: %.3f ms per search, %.0f KiB read per search\n",
                static_cast<long long>(index.GetLineCount()), seconds * 1e3 / Searches,
                static_cast<double>(bytes) / 1024.0 / Searches);
    std::remove(path.c_str());
    return 0;
}
