// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

struct ProcessResult
{
    int Status = -1;
    std::string Output;
};

// Runs a command line in sh and collects its standard output and exit status.
inline ProcessResult RunShell(const std::string& command)
{
    ProcessResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 65536> buffer;
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.Output.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The text as one word of a shell command line.
inline std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
