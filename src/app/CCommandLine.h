// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What a start of the program was asked to do.
struct CStartOptions
{
    QStringList Files;          // the files to open, absolute, in the order given
    QStringList RotatedSets;    // --set: a file of each rotated set to open as one document, absolute
    QList<QStringList> Merges;  // --merge: the files of each merge to open as one document, absolute
    bool NewInstance = false;   // a window of its own: the files are never handed over
    bool StandardInput = false; // "-": standard input is read into a tab, in a window of its own
    QString SettingsFile;       // absolute; empty for the user's usual settings
    QStringList QtArguments;    // Qt's own arguments that a session manager adds ("-session ID")
};

// The desktop program's command line, read with QCommandLineParser from the options table in
// ProgramOptions.h. It needs no application object and no display, so that --help, --version and
// a wrong option are answered before any window could be.
class CCommandLine
{
public:
    enum class Action
    {
        Run,
        ShowHelp,
        ShowVersion,
        Fail,
    };

    struct Result
    {
        Action Next = Action::Run;
        CStartOptions Options; // for Run
        QString Error;         // for Fail: the message, after "ostrel: "
    };

    // The process's arguments as text, the program's path first.
    static QStringList ArgumentsOf(int argc, char** argv);
    // Reads the arguments (the program's path first). Relative files and the settings file are
    // made absolute against the current folder.
    static Result Parse(const QStringList& arguments);
    // A start that ends without running: prints the help or the version on standard output and
    // returns 0, or the error with the usage line on standard error and returns 2.
    static int Finish(const Result& result);

    // "Usage: ostrel [OPTION]... [FILE]..."
    static QString GetUsageLine();
    // The --help text: the usage line, one line per option, the notes.
    static QString GetHelpText();
    // "Ostrel 1.1.0 Build 156"
    static QString GetVersionLine();
};
