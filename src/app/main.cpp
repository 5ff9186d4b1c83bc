// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CMemoryTuning.h"
#include "app/COstrelApp.h"

int main(int argc, char** argv)
{
    CMemoryTuning::RestartWithHugePages(argv);
    // The restart above comes first: it keeps the process, so a hand-over below is made once.
    COstrelApp app(argc, argv);
    if (app.HandOverToRunningInstance())
        return 0;
    if (!app.InitInstance())
        return 1;
    return app.ExitInstance(app.exec());
}
