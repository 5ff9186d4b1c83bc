// SPDX-License-Identifier: GPL-3.0-or-later
// Times the index of a compressed log (its line index and seek points, in one pass), and then
// reads of 64 KiB at random offsets of its text through the index, hot page cache.
//
//   ostrel-compressed-index-bench FILE [RUNS] [READS]   defaults: 3 runs of the pass, 200 reads

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "filtering/CompressedTextIndex.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(q * static_cast<double>(values.size())))];
}

// Builds the index and waits for it; the wait polls every 200 microseconds, so that the poll
// takes no core from the pass.
std::unique_ptr<CompressedTextIndex> BuildIndex(const char* path, double& seconds)
{
    const Clock::time_point start = Clock::now();
    auto index = std::make_unique<CompressedTextIndex>(path);
    int error = 0;
    if (!index->Start(error)) {
        std::fprintf(stderr, "cannot index %s: error %d\n", path, error);
        std::exit(2);
    }
    while (!index->IsComplete())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    seconds = Seconds(start);
    if (!index->GetDamage().empty()) {
        std::fprintf(stderr, "%s\n", index->GetDamage().c_str());
        std::exit(1);
    }
    return index;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel-compressed-index-bench FILE [RUNS] [READS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int reads = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;
    std::vector<double> passes;
    std::unique_ptr<CompressedTextIndex> index;
    for (int run = 0; run < runs; ++run) {
        double seconds = 0;
        index = BuildIndex(argv[1], seconds);
        passes.push_back(seconds);
    }
    const std::uint64_t textSize = index->GetIndexedBytes();
    std::printf("%s: %s, %llu bytes of text, %lld lines\n", argv[1], CompressionName(index->GetCompression()),
                static_cast<unsigned long long>(textSize), static_cast<long long>(index->GetLineCount()));
    std::printf("index pass (median of %d)        %8.3f s\n", runs, Quantile(passes, 0.5));
    const std::size_t points = index->GetSeekPointCount();
    std::printf("seek points                     %8zu  (%zu bytes, %zu per point)\n", points,
                index->GetSeekPointBytes(), index->GetSeekPointBytes() / std::max<std::size_t>(points, 1));
    const std::string access = index->DescribeTextAccess();
    if (!access.empty())
        std::printf("access: %s\n", access.c_str());

    constexpr std::size_t ReadSize = 64 * 1024;
    std::vector<char> buffer(ReadSize);
    std::mt19937_64 random(7);
    std::vector<double> latencies;
    for (int i = 0; i < reads; ++i) {
        const std::uint64_t offset = random() % std::max<std::uint64_t>(1, textSize - std::min(textSize, ReadSize));
        const Clock::time_point start = Clock::now();
        const std::size_t got = index->ReadAt(offset, buffer.data(), ReadSize);
        latencies.push_back(Seconds(start) * 1000);
        if (got != std::min<std::uint64_t>(ReadSize, textSize - offset)) {
            std::fprintf(stderr, "a read at %llu gave %zu bytes\n", static_cast<unsigned long long>(offset), got);
            return 1;
        }
    }
    std::printf("64 KiB read at a random offset  median %.3f ms, 90%% %.3f ms, max %.3f ms (%d reads)\n",
                Quantile(latencies, 0.5), Quantile(latencies, 0.9), Quantile(latencies, 1.0), reads);
    return 0;
}
