// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include <QByteArray>
#include <QObject>

// Writes the lines a tab is made of into its spool file on a thread of its own, from a copy of
// the text or from the file that holds it, so that a text of millions of lines never holds up
// the window. Finished comes on the object's thread once the thread is done; destroying the
// object before stops the copy and waits for the thread, which never waits on anything but
// its own reads and writes.
class CSpoolFill : public QObject
{
    Q_OBJECT

public:
    // The bytes written to the descriptor, which stays the caller's and must stay open.
    CSpoolFill(QByteArray bytes, int targetFd, QObject* parent = nullptr);
    // The whole of sourceFd (taken: closed when done) written to targetFd.
    CSpoolFill(int sourceFd, std::uint64_t sourceSize, int targetFd, QObject* parent = nullptr);
    ~CSpoolFill() override;

    void Start();
    // How far the copy has come, 0 to 100.
    int GetPercent() const;

Q_SIGNALS:
    // 0 when every byte was written, else the errno of the read or write that failed.
    void Finished(int error);

private:
    int Run(const std::stop_token& stop);

    QByteArray m_Bytes;
    int m_nSourceFd = -1;
    int m_nTargetFd;
    std::uint64_t m_nTotal;
    std::atomic<std::uint64_t> m_nDone{0};
    std::jthread m_Thread;
};
