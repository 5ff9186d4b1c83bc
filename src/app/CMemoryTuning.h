// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Most of the time of loading a big log goes into the kernel handing out and zeroing fresh pages
// for the text. Transparent huge pages cut that cost by half or more, and glibc asks for them
// only when told so in the environment at start-up.
class CMemoryTuning
{
public:
    // Restarts the process once with huge pages enabled for large allocations; returns only when
    // they are on already or the restart is not possible (the program then runs untuned).
    static void RestartWithHugePages(char** argv);
};
