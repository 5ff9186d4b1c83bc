// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The desktop program's command line in one place: the parser, --help and the manual page are
// all made from these rows, in this order. An option more is one row more (and its handling in
// CCommandLine::Parse).

enum class ProgramOptionId
{
    Help,
    Version,
    NewInstance,
    Settings,
    RotatedSet,
    Merge,
};

struct ProgramOption
{
    ProgramOptionId Id;
    char ShortName;          // '\0' when the option has a long name only
    const char* LongName;    // without the leading "--"
    const char* ValueName;   // the value as the help names it ("FILE"); null for a switch
    const char* Description; // what --help says of it, one line
};

inline constexpr ProgramOption ProgramOptions[] = {
    {ProgramOptionId::Help, 'h', "help", nullptr, "show this help and exit"},
    {ProgramOptionId::Version, '\0', "version", nullptr, "show the version and exit"},
    {ProgramOptionId::NewInstance, '\0', "new-instance", nullptr,
     "open a window of its own instead of handing the files to the running one"},
    {ProgramOptionId::Settings, '\0', "settings", "FILE",
     "keep the settings in FILE instead of ~/.config/Quorrel/Ostrel.conf"},
    {ProgramOptionId::RotatedSet, '\0', "set", "FILE",
     "open FILE with its rotated files (FILE.1, FILE.2.gz, ...) as one document"},
    {ProgramOptionId::Merge, '\0', "merge", "FILE...",
     "open the files that follow, merged by the times of their lines, as one document"},
};
// The option whose value is every argument after it up to the next option (--merge a b c),
// rather than the one argument a value is.
inline constexpr ProgramOptionId FilesFollowOption = ProgramOptionId::Merge;

// The program's name as the usage line and the messages give it.
inline constexpr const char* ProgramName = "ostrel";
// What follows the name on the usage line.
inline constexpr const char* ProgramOperands = "[OPTION]... [FILE]...";
// The line under the usage line.
inline constexpr const char* ProgramSummary = "Show and filter log files.";
// The lines after the options.
inline constexpr const char* ProgramNotes[] = {
    "The files, sets and merges open in the Ostrel already running for this user and these settings, if there is "
    "one.",
    "'--' ends the options: every argument after it names a file, even one that starts with '-'.",
    "FILE '-' reads standard input into a tab of a window of its own, as it comes.",
};
