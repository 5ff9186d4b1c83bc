// SPDX-License-Identifier: GPL-3.0-or-later
#include <clocale>
#include <cstdio>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/CommandLineOptions.h"
#include "cli/FilterCommand.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLineOptions options;
    std::string error;
    if (!ParseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "ostrel-filter: %s\nTry 'ostrel-filter --help' for more information.\n", error.c_str());
        return FilterCommandError;
    }
    if (options.ShowHelp) {
        std::fputs(CommandLineHelp().c_str(), stdout);
        return 0;
    }
    if (options.ShowVersion) {
        std::puts("ostrel-filter (Ostrel) 1.1.0 Build 156");
        return 0;
    }
    try {
        return RunFilterCommand(options, LocaleTextEncoding(), STDOUT_FILENO, STDERR_FILENO);
    } catch (const std::bad_alloc&) {
        // The engine ends its run itself when memory runs out; this is what is left outside it.
        std::fputs("ostrel-filter: out of memory\n", stderr);
        return FilterCommandError;
    }
}
