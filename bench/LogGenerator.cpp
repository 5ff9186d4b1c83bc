// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a deterministic, realistic application log of a given size, for benchmarks.
//
//   ostrel-loggen SIZE [SEED] > file.log      SIZE in bytes, or with a K, M or G suffix
//
// Line mix (by design of the benchmark workloads): about 15% WARN lines, 2% ERROR lines of
// which a third mention a timeout, and one "OutOfMemoryError" in about 200 000 lines.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Random
{
    std::uint64_t State;
    std::uint64_t Next()
    {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        return State;
    }
    std::uint64_t Below(std::uint64_t limit) { return Next() % limit; }
};

const char* const Components[] = {"http.Server",  "db.Pool",     "auth.TokenCache", "jobs.Scheduler",
                                  "storage.Blob", "mail.Outbox", "api.Gateway",     "search.Indexer"};
const char* const InfoTexts[] = {"Request GET /api/v2/orders/%llu completed in %llu ms",
                                 "Session %llu refreshed, expires in %llu s", "Job %llu finished with %llu records",
                                 "Cache hit ratio for shard %llu is %llu percent",
                                 "User %llu logged in from 10.0.%llu.7"};
const char* const DebugTexts[] = {"Parsed header block %llu of %llu", "Acquired lock %llu after %llu spins"};
const char* const WarnTexts[] = {"Slow query on table orders took %llu ms (limit %llu)",
                                 "Retrying upload %llu, attempt %llu"};
const char* const ErrorTexts[] = {"Request %llu failed: upstream returned status 5%02llu",
                                  "Write to volume %llu failed after %llu retries"};
const char* const RareTexts[] = {"java.lang.OutOfMemoryError: Java heap space in worker %llu (%llu MB)",
                                 "Deadlock detected between transactions %llu and %llu",
                                 "Segfault in native module %llu at offset %llu",
                                 "Checksum mismatch in block %llu of file %llu"};

std::uint64_t ParseSize(const char* text)
{
    char* end = nullptr;
    std::uint64_t size = std::strtoull(text, &end, 10);
    switch (end ? *end : '\0') {
    case 'G':
    case 'g':
        size <<= 30;
        break;
    case 'M':
    case 'm':
        size <<= 20;
        break;
    case 'K':
    case 'k':
        size <<= 10;
        break;
    default:
        break;
    }
    return size;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ostrel-loggen SIZE [SEED]\n");
        return 2;
    }
    const std::uint64_t target = ParseSize(argv[1]);
    Random random{argc > 2 ? std::strtoull(argv[2], nullptr, 10) | 1 : 0x9E3779B97F4A7C15ull};
    std::string out;
    out.reserve(1 << 20);
    std::uint64_t written = 0;
    std::uint64_t millis = 0;
    char line[512];
    char text[256];
    while (written < target) {
        millis += random.Below(40);
        const unsigned long long seconds = millis / 1000;
        const std::uint64_t roll = random.Below(1000000);
        const char* level;
        const char* format;
        if (roll < 5) {
            level = "ERROR";
            format = RareTexts[roll % 4];
        } else if (roll < 20000) {
            level = "ERROR";
            format = roll % 3 == 0 ? "Connection to db-%llu timeout after %llu ms" : ErrorTexts[roll % 2];
        } else if (roll < 170000) {
            level = "WARN";
            format = WarnTexts[roll % 2];
        } else if (roll < 290000) {
            level = "DEBUG";
            format = DebugTexts[roll % 2];
        } else {
            level = "INFO";
            format = InfoTexts[roll % 5];
        }
        std::snprintf(text, sizeof(text), format, static_cast<unsigned long long>(random.Below(100000)),
                      static_cast<unsigned long long>(random.Below(100)));
        const int length = std::snprintf(
            line, sizeof(line), "2026-12-%02llu %02llu:%02llu:%02llu.%03llu [worker-%02llu] %-5s %s - %s\n",
            1 + (seconds / 86400) % 28, (seconds / 3600) % 24, (seconds / 60) % 60, seconds % 60,
            static_cast<unsigned long long>(millis % 1000), static_cast<unsigned long long>(random.Below(32)), level,
            Components[random.Below(8)], text);
        out.append(line, static_cast<std::size_t>(length));
        written += static_cast<std::uint64_t>(length);
        if (out.size() >= (1 << 20) - 512) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
