// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileCopier.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace {

constexpr std::size_t ChunkSize = 8 * 1024 * 1024;

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

CFileCopier::CFileCopier(QString source, QString target, QObject* parent)
    : QObject(parent), m_strSource(std::move(source)), m_strTarget(std::move(target)),
      m_pState(std::make_shared<State>())
{
    m_Timer.setInterval(100);
    connect(&m_Timer, &QTimer::timeout, this, &CFileCopier::OnTimer);
}

CFileCopier::~CFileCopier()
{
    m_pState->bStop.store(true);
    // A write stuck on a dead disk is left to end on its own; it removes its temporary file.
    if (m_Thread.joinable()) {
        if (m_pState->bDone.load())
            m_Thread.join();
        else
            m_Thread.detach();
    }
}

void CFileCopier::Start()
{
    m_Thread = std::thread([state = m_pState, source = QFile::encodeName(m_strSource),
                            target = QFile::encodeName(m_strTarget)] { Copy(state, source, target); });
    m_Timer.start();
}

void CFileCopier::Stop()
{
    m_pState->bStop.store(true);
}

void CFileCopier::Copy(const std::shared_ptr<State>& state, const QByteArray& source, const QByteArray& target)
{
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) {
        state->Error = errno;
        state->bDone.store(true);
        return;
    }
    struct stat status
    {
    };
    ::fstat(in, &status);
    state->Size.store(static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0)));
    const QByteArray temporary = target + ".ostrel-" + QByteArray::number(::getpid()) + ".tmp";
    const int out = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    int error = out < 0 ? errno : 0;
    auto buffer = std::make_unique<char[]>(ChunkSize);
    while (error == 0 && !state->bStop.load()) {
        const ssize_t got = ::read(in, buffer.get(), ChunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        if (!WriteAll(out, buffer.get(), static_cast<std::size_t>(got))) {
            error = errno;
            break;
        }
        state->Copied.fetch_add(static_cast<std::uint64_t>(got));
    }
    if (state->bStop.load() && error == 0)
        error = ECANCELED;
    if (out >= 0) {
        if (error == 0 && ::fsync(out) != 0)
            error = errno;
        if (::close(out) != 0 && error == 0)
            error = errno;
    }
    ::close(in);
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0 && out >= 0)
        ::unlink(temporary.constData());
    state->Error = error;
    state->bDone.store(true);
}

void CFileCopier::OnTimer()
{
    const std::uint64_t size = std::max<std::uint64_t>(1, m_pState->Size.load());
    Q_EMIT Progress(static_cast<int>(std::min<std::uint64_t>(100, m_pState->Copied.load() * 100 / size)));
    if (!m_pState->bDone.load() || m_bFinished)
        return;
    m_bFinished = true;
    m_Timer.stop();
    m_Thread.join();
    Q_EMIT Finished(m_pState->Error);
}
