// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One filter source named on the command line, in the order given.
struct CommandLineFilter
{
    enum class Kind
    {
        Literal,
        Regex,
        FilterFile,
    };
    Kind SourceKind = Kind::Literal;
    std::string Text; // the pattern bytes, or the filter settings file's path
    bool CaseSensitive = true;
    std::int32_t OutputBeforeMatch = 0;
    std::int32_t OutputAfterMatch = 0;
};

struct CommandLineOptions
{
    std::vector<CommandLineFilter> Filters;
    bool ExcludeMatches = false;
    bool LineNumbers = false;
    bool Follow = false;
    // Decide records (a line with a time and the lines after it without one) instead of lines.
    bool Records = false;
    bool ShowHelp = false;
    bool ShowVersion = false;
    // Folders named are read with every file beneath them.
    bool Recursive = false;
    enum class FileNames
    {
        WhenSeveral, // before each line when more than one file (or a folder) is read
        Always,      // -H
        Never,       // --no-filename
    };
    FileNames FileNamePrefix = FileNames::WhenSeveral;
    // The files' lines merged by their times into one stream that the filters decide; without
    // filters every line is output.
    bool Merge = false;
    // Each log named is read with its rotated files (app.log.1, app.log.2.gz, ...), oldest first.
    bool RotatedSets = false;
    // Threads that filter one file together; 0: as many as there are cores.
    unsigned Threads = 0;
    // The logs in the order given; "-" is standard input.
    std::vector<std::string> Paths;
};

// Reads the arguments after the program name. On a usage error returns false with the reason
// in error (without the program name). -i, -s, -B and -A apply to the filters that follow them.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLineOptions& options, std::string& error);

// The --help text.
std::string CommandLineHelp();
