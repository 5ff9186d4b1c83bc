// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "cli/CommandLineOptions.h"
#include "filtering/FilterRun.h"

// The files' lines merged by their times, filtered by the run as one stream (context counted in
// the merged order; without filters every line), each written after its file's name and with -n
// its number in its own file, as grep -H -n writes them. A file that cannot be opened or shows
// no times is told on errorFd and nothing is merged. Returns a FilterCommandStatus.
int RunMergeCommand(const CommandLineOptions& options, const std::vector<std::string>& files, FilterRun run,
                    int outputFd, int errorFd);
