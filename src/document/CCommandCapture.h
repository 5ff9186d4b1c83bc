// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QProcess>

#include "document/CStreamCapture.h"

class QTimer;

// A command line run by /bin/sh -c, its standard output written straight to the spool file and
// its standard error kept (the last part). The command runs in a process group of its own, so
// Stop reaches what it started too: SIGTERM to the group, SIGKILL two seconds later if it is
// still there. Nothing here waits for the process; a capture destroyed while the command runs
// stops it and leaves the process to be reaped in the background.
class CCommandCapture : public CStreamCapture
{
    Q_OBJECT

public:
    static constexpr int KillDelayMs = 2000;

    CCommandCapture(QString commandLine, std::unique_ptr<SpoolFile> spool, QObject* parent = nullptr);
    ~CCommandCapture() override;

    // Starts the command; its end (even a shell that cannot start) comes as Ended.
    void Start();
    QString GetTitle() const override { return m_strCommandLine; }
    void Stop() override;
    QString GetRunningText() const override { return QStringLiteral("Running %1").arg(m_strCommandLine); }

private:
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void OnErrorOccurred(QProcess::ProcessError error);
    // SIGTERM, then SIGKILL after KillDelayMs, to the process group of the command.
    static void StopProcess(QProcess& process);

    QString m_strCommandLine;
    QProcess* m_pProcess; // a child; handed to the application when the capture goes first
    bool m_bStopping = false;
};
