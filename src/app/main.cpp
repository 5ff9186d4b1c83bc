// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include <QByteArray>
#include <QFile>

#include "app/CCommandLine.h"
#include "app/CMemoryTuning.h"
#include "app/COstrelApp.h"
#include "view/COstrelSettings.h"

int main(int argc, char** argv)
{
    // The command line first: --help, --version and a wrong option need no display and end here,
    // before the restart below would run the program a second time for them.
    const CCommandLine::Result command = CCommandLine::Parse(CCommandLine::ArgumentsOf(argc, argv));
    if (command.Next != CCommandLine::Action::Run)
        return CCommandLine::Finish(command);
    // With standard input closed, the first file the program opened would take its number and be
    // read as the input.
    if (command.Options.StandardInput && ::fcntl(STDIN_FILENO, F_GETFD) < 0) {
        std::fputs("ostrel: standard input is closed\n", stderr);
        return 1;
    }
    CMemoryTuning::RestartWithHugePages(argv);
    // The restart above comes first: it keeps the process, so a hand-over below is made once.
    COstrelSettings::SetFileName(command.Options.SettingsFile);

    // The application object is given only what is Qt's: it would take "-style" after "--" for
    // an option of its own, and the rest is read already.
    std::vector<QByteArray> qtArguments;
    for (const QString& argument : command.Options.QtArguments)
        qtArguments.push_back(QFile::encodeName(argument));
    std::vector<char*> appArguments = {argv[0]};
    for (QByteArray& argument : qtArguments)
        appArguments.push_back(argument.data());
    int appArgumentCount = static_cast<int>(appArguments.size());
    appArguments.push_back(nullptr);

    COstrelApp app(appArgumentCount, appArguments.data());
    app.SetStartOptions(command.Options);
    if (app.HandOverToRunningInstance())
        return 0;
    if (!app.InitInstance())
        return 1;
    return app.ExitInstance(app.exec());
}
