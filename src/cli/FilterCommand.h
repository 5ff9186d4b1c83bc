// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "cli/CommandLineOptions.h"
#include "filtering/FilterRun.h"
#include "filtering/TextCodec.h"

// Exit statuses of ostrel-filter.
enum FilterCommandStatus
{
    FilterCommandLinesOutput = 0,
    FilterCommandNoLines = 1,
    FilterCommandError = 2,
};

// Builds the run the options describe: filters in the order given, filter settings files
// read and their strings encoded with encoding. False with the message when a file does not
// load or an expression does not compile.
bool BuildFilterRun(const CommandLineOptions& options, TextEncoding encoding, FilterRun& run, std::string& error);

// What a run opens for a log named on the command line, and how its lines and messages name it
// ("-" is standard input).
std::string RunPathOf(const std::string& argument);
std::string ShownNameOf(const std::string& argument);

// The logs the arguments name: each file as given, with recursive each folder's files beneath it
// in name order, and with rotatedSets each log's rotated files before it, oldest first.
std::vector<std::string> ExpandLogArguments(const std::vector<std::string>& arguments, bool recursive,
                                            bool rotatedSets = false);

// Filters each file in turn and writes the kept lines to outputFd, messages to errorFd.
// Returns a FilterCommandStatus.
int RunFilterCommand(const CommandLineOptions& options, TextEncoding encoding, int outputFd, int errorFd);
