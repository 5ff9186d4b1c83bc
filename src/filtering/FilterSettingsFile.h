// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filtering/FilterSettings.h"

// How reading or writing a filter settings file ended.
enum class FilterFileStatus
{
    Done,           // read: at least one filter loaded; write: the file is in place
    CannotOpen,     // the file could not be opened (SystemError says why); silent in the dialog
    IllegalSetting, // a line the reader's state does not accept; Message holds the text to show
    IllegalFormat,  // a recognised key whose value does not parse; Message holds the text to show
    NoFilters,      // the file ends inside a block or holds no filter; silent in the dialog
    WriteFailed,    // the file could not be written (SystemError says why); the old file is intact
    Unsavable,      // write: a filter string the file cannot carry; Message names it; nothing written
};

struct FilterFileResult
{
    FilterFileStatus Status = FilterFileStatus::Done;
    std::string Message; // UTF-8; set for IllegalSetting and IllegalFormat, and for WriteFailed
    int SystemError = 0; // errno for CannotOpen and WriteFailed

    bool Ok() const { return Status == FilterFileStatus::Done; }
};

// Reads a filter settings file into target, whose filters are cleared first and filled as the
// file is read (ExcludeMatches follows the file's setting). Stops at the first bad line.
// Switched-off filters come back from the comment blocks the writer makes of them; a comment
// that is not exactly such a block stays a comment. path is the file name as the file system
// spells it (bytes).
FilterFileResult ReadFilterSettingsFile(const std::string& path, FilterSettings& target);

// Writes the settings' filters and ExcludeMatches in the file layout, replacing the file as a
// whole (FileReplacer), so a failure leaves the old file intact and a replaced file keeps its
// owner, group, mode, symbolic links and other names. A read-only file is not replaced.
// Settings with a filter string that would not load back as it is are refused (Unsavable).
// A switched-off filter is written as comment lines, so that a reader that ignores comments sees
// only the filters that are on; a list without one is written as it always was.
FilterFileResult WriteFilterSettingsFile(const std::string& path, const FilterSettings& settings);

// The longest filter string whose written line, up to its closing quote, fits into the 254
// characters the reader takes at a time: a longer one would be split and fail to load.
inline constexpr std::size_t MaxSavableFilterStringLength = 236;

// Whether a filter string loads back from a filter settings file as it was saved: no line
// break, no double quote, no 0x1A, and at most MaxSavableFilterStringLength characters.
bool IsSavableFilterString(std::u16string_view text);
// The index of the first filter whose string is not savable, or -1.
int FindUnsavableFilter(const FilterSettings& settings);

// A line of a filter settings file as a message shows it: in one piece, without the line feed
// it was read with, and with control characters (a NUL byte, a lone CR) written as \xNN.
std::u16string ShownFilterFileLine(std::u16string_view line);

// The value parsers used by the reader, given the text that follows a key.
bool ParseIntegerSetting(std::u16string_view text, std::int32_t& value);
bool ParseStringSetting(std::u16string_view text, std::u16string& value);
