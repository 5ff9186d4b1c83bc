// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filtering/TextCodec.h"

class FilterSettings;
class InputDecoder;

// One filter as a run uses it: the pattern already encoded to the bytes the file holds.
struct RunFilter
{
    std::string Pattern;
    bool RegExp = false;
    bool CaseSensitive = false;
    std::int32_t OutputBeforeMatch = 0;
    std::int32_t OutputAfterMatch = 0;
};

// Everything one filtering run reads: its own copy, so edits made while it runs change nothing.
struct FilterRun
{
    std::string Path; // the log file, as the file system spells its name
    std::vector<RunFilter> Filters;
    bool ExcludeMatches = false;
    // Follow the file: at its end the run waits for more and decides it as it comes, starting
    // again from line 1 when the file is truncated or replaced, until it is stopped.
    bool Follow = false;
    // Decide records instead of lines: a line without a time belongs to the line above it, and
    // the filters, their context and exclude then keep or drop whole records.
    bool Records = false;
    // A rotated set's files, oldest first, decided as one text (RotatedSetInput) in place of
    // Path, which then names the set; the lines are numbered as the set's. Never followed.
    std::vector<std::string> SetMembers{};
    // A text made elsewhere, read in place of Path (logs merged by time): made on the run's
    // thread, null with the reason when it cannot be; its lines are numbered as that text's.
    // Never followed.
    std::function<std::unique_ptr<InputDecoder>(std::string& error)> MakeInput{};
    // Lines output whatever the filters say (bookmarked ones), by their numbers in the run.
    std::vector<std::int64_t> KeptLines{};
    // The encoding the file's text is read in (an iconv name: "UTF-16LE", "ISO-8859-1"), decoded
    // to UTF-8 before the filters see it; empty for the encoding the file's first bytes tell
    // (an archive, UTF-16, else the bytes as they are).
    std::string InputEncoding{};
};

// Copies the settings' switched-on filters and ExcludeMatches into a run, encoding each filter
// string with the codec the file is shown in. With every filter off the run has no filters.
FilterRun MakeFilterRun(const FilterSettings& settings, const std::string& path, TextEncoding encoding);
