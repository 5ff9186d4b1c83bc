// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a file whole the two ways the filter could, counting its line feeds so that every byte
// is looked at: through a mapping (let go of in steps, as a run does) or by pread into one
// reused buffer. Prints the seconds taken and the count.
//
//   ostrel-read-bench map|pread FILE [BLOCK_KIB]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/LineFeedCounter.h"

namespace {

constexpr std::size_t ReleaseStep = 32u << 20;

bool CountMapped(int fd, std::size_t size, std::size_t block, std::uint64_t& count)
{
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED)
        return false;
    ::madvise(mapped, size, MADV_SEQUENTIAL);
    const char* data = static_cast<const char*>(mapped);
    std::size_t released = 0;
    for (std::size_t offset = 0; offset < size; offset += block) {
        count += CountLineFeeds(data + offset, std::min(block, size - offset));
        if (offset + block >= released + ReleaseStep) {
            const std::size_t upTo = (offset + block) / ReleaseStep * ReleaseStep;
            ::madvise(mapped, upTo, MADV_DONTNEED);
            released = upTo;
        }
    }
    ::munmap(mapped, size);
    return true;
}

bool CountRead(int fd, std::size_t block, std::uint64_t& count)
{
    std::unique_ptr<char[]> buffer(new char[block]);
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer.get(), block, offset);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        count += CountLineFeeds(buffer.get(), static_cast<std::size_t>(got));
        offset += got;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "map") != 0 && std::strcmp(argv[1], "pread") != 0)) {
        std::fprintf(stderr, "usage: %s map|pread FILE [BLOCK_KIB]\n", argv[0]);
        return 2;
    }
    const std::size_t block = (argc > 3 ? std::stoul(argv[3]) : 512) * 1024;
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
    struct stat status
    {
    };
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::uint64_t count = 0;
    const bool done = std::strcmp(argv[1], "map") == 0
                          ? CountMapped(fd, static_cast<std::size_t>(status.st_size), block, count)
                          : CountRead(fd, block, count);
    ::close(fd);
    if (!done) {
        std::perror(argv[1]);
        return 2;
    }
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
    std::printf("%s %.4f %llu\n", argv[1], taken.count(), static_cast<unsigned long long>(count));
    return 0;
}
