// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CCommandCapture.h"

#include <csignal>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include "files/SpoolFile.h"

CCommandCapture::CCommandCapture(QString commandLine, std::unique_ptr<SpoolFile> spool, QObject* parent)
    : CStreamCapture(std::move(spool), parent), m_strCommandLine(std::move(commandLine)), m_pProcess(new QProcess(this))
{
    m_pProcess->setProgram(QStringLiteral("/bin/sh"));
    m_pProcess->setArguments({QStringLiteral("-c"), m_strCommandLine});
    m_pProcess->setStandardInputFile(QProcess::nullDevice());
    m_pProcess->setStandardOutputFile(GetSpoolPath(), QIODevice::Append);
    // A group of its own: Stop reaches a pipeline and what the command started in the background.
    m_pProcess->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_pProcess, &QProcess::readyReadStandardError, this,
            [this] { AppendError(m_pProcess->readAllStandardError()); });
    connect(m_pProcess, &QProcess::finished, this, &CCommandCapture::OnFinished);
    connect(m_pProcess, &QProcess::errorOccurred, this, &CCommandCapture::OnErrorOccurred);
}

CCommandCapture::~CCommandCapture()
{
    if (m_pProcess->state() == QProcess::NotRunning)
        return;
    // The tab goes now; the process is stopped and reaped without anyone waiting for it.
    disconnect(m_pProcess, nullptr, this, nullptr);
    m_pProcess->setParent(QCoreApplication::instance());
    connect(m_pProcess, &QProcess::finished, m_pProcess, &QObject::deleteLater);
    StopProcess(*m_pProcess);
}

void CCommandCapture::Start()
{
    m_pProcess->start(QIODevice::ReadOnly);
}

void CCommandCapture::Stop()
{
    if (m_pProcess->state() == QProcess::NotRunning || m_bStopping)
        return;
    m_bStopping = true;
    StopProcess(*m_pProcess);
}

void CCommandCapture::StopProcess(QProcess& process)
{
    const qint64 group = process.processId();
    if (group <= 0)
        return;
    ::kill(static_cast<pid_t>(-group), SIGTERM);
    auto* timer = new QTimer(&process);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, &process, [&process, group] {
        if (process.state() != QProcess::NotRunning)
            ::kill(static_cast<pid_t>(-group), SIGKILL);
    });
    timer->start(KillDelayMs);
}

void CCommandCapture::OnFinished(int exitCode, QProcess::ExitStatus status)
{
    AppendError(m_pProcess->readAllStandardError());
    if (m_bStopping)
        End(QStringLiteral("Command stopped"));
    else if (status == QProcess::NormalExit)
        End(QStringLiteral("Command ended with exit status %1").arg(exitCode));
    else // the signal number, for a process that did not exit
        End(QStringLiteral("Command killed by signal %1").arg(exitCode));
}

void CCommandCapture::OnErrorOccurred(QProcess::ProcessError error)
{
    // A shell that never ran sends no finished.
    if (error == QProcess::FailedToStart)
        End(QStringLiteral("The command could not be started: %1").arg(m_pProcess->errorString()));
}
