// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMemoryTuning.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

void CMemoryTuning::RestartWithHugePages(char** argv)
{
    static const char* const Marker = "OSTREL_MALLOC_TUNED";
    if (std::getenv(Marker))
        return;
    ::setenv(Marker, "1", 1);
    const char* current = std::getenv("GLIBC_TUNABLES");
    std::string tunables = current ? current : "";
    if (tunables.find("glibc.malloc.hugetlb") != std::string::npos)
        return;
    if (!tunables.empty())
        tunables += ':';
    tunables += "glibc.malloc.hugetlb=1";
    ::setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    // The restart failed: go on as we are.
}
