// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// The message of a file a run cannot open, with the reason in words.
std::string OpenErrorMessage(const std::string& path, int error);
// The message of a run that ran out of memory.
std::string OutOfMemoryMessage(const std::string& path);
// The message of an expression that needed more work on a line than its budget allows.
std::string TooComplexMessage(std::int64_t lineNumber, const std::string& path);
