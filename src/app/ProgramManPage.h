// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// The desktop program's manual page, ostrel(1), made from the same option table as --help
// (ProgramOptions.h), so that the two cannot disagree. Plain C++: the generator that writes the
// page at build time needs no Qt.

// Text as roff prints it literally: backslashes and hyphens escaped, apostrophes as the ASCII
// apostrophe, and a line that would start with a control character made harmless.
std::string RoffText(std::string_view text);

// The parts of the page the table gives, each a block of roff lines ending in a line feed:
// the synopsis, one tagged paragraph per option in the table's order, and the notes.
std::string ProgramSynopsisRoff();
std::string ProgramOptionsRoff();
std::string ProgramNotesRoff();

// The page from its template: "@VERSION@" anywhere becomes version, and the lines "@SYNOPSIS@",
// "@OPTIONS@" and "@NOTES@" become the parts above. False with the reason when the template
// lacks one of those lines.
bool FillProgramManPage(std::string_view pageTemplate, std::string_view version, std::string& page, std::string& error);
