// SPDX-License-Identifier: GPL-3.0-or-later
// Times the paged view's line index on one file, hot page cache, beside one pass that only
// counts its line feeds, and the index taken from where an earlier run saved it.
//
//   ostrel-index-bench FILE [RUNS]      default 5 runs after one warm-up; prints the medians

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "filtering/FileLineIndex.h"
#include "filtering/LineFeedCounter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Builds the index and waits for it; the wait polls every 200 microseconds, so that the poll
// takes no core from the index.
double TimeIndex(const char* path, std::int64_t& lines, const std::string& saveFolder = {},
                 std::uint64_t* reused = nullptr)
{
    const Clock::time_point start = Clock::now();
    FileLineIndex index(path);
    index.SetSaveFolder(saveFolder);
    int error = 0;
    if (!index.Start(error)) {
        std::fprintf(stderr, "cannot open %s: error %d\n", path, error);
        std::exit(2);
    }
    while (!index.IsComplete())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    lines = index.GetLineCount();
    if (reused)
        *reused = index.GetReusedBytes();
    return Seconds(start);
}

// One thread reading the file as the index does and counting its line feeds, nothing else.
double TimeCount(const char* path, std::uint64_t& feeds)
{
    const Clock::time_point start = Clock::now();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    constexpr std::size_t size = 256 * 1024;
    auto buffer = std::make_unique<char[]>(size);
    feeds = 0;
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer.get(), size, offset);
        if (got <= 0)
            break;
        feeds += CountLineFeeds(buffer.get(), static_cast<std::size_t>(got));
        offset += got;
    }
    ::close(fd);
    return Seconds(start);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel-index-bench FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::int64_t lines = 0;
    std::uint64_t feeds = 0;
    TimeIndex(argv[1], lines);
    TimeCount(argv[1], feeds);
    std::vector<double> index;
    std::vector<double> count;
    for (int run = 0; run < runs; ++run) {
        index.push_back(TimeIndex(argv[1], lines));
        count.push_back(TimeCount(argv[1], feeds));
    }
    if (static_cast<std::uint64_t>(lines) != feeds + 1) {
        std::fprintf(stderr, "the index counts %lld lines, the count %llu line feeds\n", static_cast<long long>(lines),
                     static_cast<unsigned long long>(feeds));
        return 1;
    }

    // Saved in a folder of its own: the first run reads the file and saves, the others take it.
    std::string folderName = (std::filesystem::temp_directory_path() / "ostrel-index-bench-XXXXXX").string();
    if (!::mkdtemp(folderName.data())) {
        std::fprintf(stderr, "no folder for the saved index\n");
        return 2;
    }
    const std::string folder = folderName + "/ostrel";
    std::uint64_t reused = 0;
    std::int64_t savedLines = 0;
    const double firstSaved = TimeIndex(argv[1], savedLines, folder, &reused);
    std::vector<double> taken;
    for (int run = 0; run < runs; ++run) {
        taken.push_back(TimeIndex(argv[1], savedLines, folder, &reused));
        if (savedLines != lines || reused == 0) {
            std::fprintf(stderr, "the saved index was not taken (%llu bytes, %lld lines)\n",
                         static_cast<unsigned long long>(reused), static_cast<long long>(savedLines));
            return 1;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folderName, ignored);

    std::printf("%s: %lld lines, median of %d runs\n", argv[1], static_cast<long long>(lines), runs);
    std::printf("line index (FileLineIndex)     %7.3f s\n", Median(index));
    std::printf("line feed count, one thread    %7.3f s\n", Median(count));
    std::printf("line index, read and saved     %7.3f s (one run)\n", firstSaved);
    std::printf("line index, saved one taken    %7.3f s\n", Median(taken));
    return 0;
}
