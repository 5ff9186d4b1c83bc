// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class CDocumentOpener;
class COstrelDoc;
class ILogWorkspace;

// Opens stream tabs: standard input and the output of a command, each written to a spool file of
// its own that the document follows (Follow on) until the tab closes.
class CStreamOpener
{
public:
    CStreamOpener(ILogWorkspace& workspace, CDocumentOpener& opener);

    // Spool files that processes which died left behind go; once, at start-up.
    static void SweepLeftovers();

    // The descriptor (standard input, 0) read into a new tab; the descriptor stays open.
    COstrelDoc* OpenInput(int fd);
    // The command run by /bin/sh -c in a new tab; it is noted first among the recent commands.
    COstrelDoc* OpenCommand(const QString& commandLine);
    // File > Open Command Output...: asks for the command, then opens it.
    COstrelDoc* AskAndOpenCommand();

private:
    // Tells what the end of the document's stream was in the status bar.
    void WatchEnd(COstrelDoc& document);
    void ReportSpoolError(int error);

    ILogWorkspace& m_Workspace;
    CDocumentOpener& m_Opener;
};
