// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/EngineMessages.h"

#include <cstring>

std::string OpenErrorMessage(const std::string& path, int error)
{
    return "ERROR Opening " + path + ": " + std::strerror(error);
}

std::string OutOfMemoryMessage(const std::string& path)
{
    return "ERROR Out of memory while filtering " + path;
}

std::string TooComplexMessage(std::int64_t lineNumber, const std::string& path)
{
    return "The expression is too complex for line " + std::to_string(lineNumber) + " of " + path;
}
