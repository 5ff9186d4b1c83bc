// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMemoryTuning.h"
#include "app/COstrelApp.h"

int main(int argc, char** argv)
{
    CMemoryTuning::RestartWithHugePages(argv);
    COstrelApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.ExitInstance(app.exec());
}
