// SPDX-License-Identifier: GPL-3.0-or-later
// Writes ostrel(1) from its template at build time: ostrel-manpage TEMPLATE OUTPUT VERSION.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "app/ProgramManPage.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: ostrel-manpage TEMPLATE OUTPUT VERSION\n", stderr);
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "ostrel-manpage: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string pageTemplate((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    std::string page;
    std::string error;
    if (!FillProgramManPage(pageTemplate, argv[3], page, error)) {
        std::fprintf(stderr, "ostrel-manpage: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::ofstream output(argv[2], std::ios::binary | std::ios::trunc);
    output << page;
    output.close();
    if (!output) {
        std::fprintf(stderr, "ostrel-manpage: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
