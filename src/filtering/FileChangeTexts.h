// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The words that tell of a followed file starting anew, wherever they are shown: the marker line
// between two files' lines in the desktop's text and filter output, the status note, and the
// command line's note on standard error.
namespace FileChangeTexts {

inline constexpr const char* TruncatedMarker = "<<< File Truncated >>>\n";
inline constexpr const char* ReplacedMarker = "<<< File Replaced >>>\n";

inline const char* RestartMarker(bool replaced)
{
    return replaced ? ReplacedMarker : TruncatedMarker;
}

// "File truncated", "File replaced": the status note of the desktop.
inline const char* RestartNote(bool replaced)
{
    return replaced ? "File replaced" : "File truncated";
}

inline constexpr const char* GoneNote = "The file is gone; following goes on when it is back";

// The command line's notes, as tail words them.
inline std::string CommandLineRestartNote(const std::string& program, const std::string& path, bool replaced)
{
    return program + ": " + path + (replaced ? ": file replaced" : ": file truncated");
}
inline std::string CommandLineGoneNote(const std::string& program, const std::string& path)
{
    return program + ": " + path + ": file gone, waiting for it";
}

} // namespace FileChangeTexts
