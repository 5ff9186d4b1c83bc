// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileRangeReader.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CFileRangeReader::CFileRangeReader(int fd, QObject* parent) : QObject(parent), m_pState(std::make_shared<State>())
{
    m_pState->pOwner = this;
    m_pState->Fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    m_Thread = std::thread([state = m_pState] { ThreadMain(state); });
}

CFileRangeReader::~CFileRangeReader()
{
    {
        std::lock_guard lock(m_pState->Mutex);
        m_pState->bStopped = true;
        m_pState->pOwner = nullptr;
    }
    m_pState->Wake.notify_all();
    // A read may hang on a dead mount: the thread closes its descriptor when it gets back.
    m_Thread.detach();
}

void CFileRangeReader::Request(std::uint64_t offset, std::size_t size, std::uint64_t tag)
{
    {
        std::lock_guard lock(m_pState->Mutex);
        m_pState->Pending = {offset, size, tag};
        m_pState->bHasRequest = true;
    }
    m_pState->Wake.notify_all();
}

void CFileRangeReader::ThreadMain(const std::shared_ptr<State>& state)
{
    for (;;) {
        RangeRequest request;
        {
            std::unique_lock lock(state->Mutex);
            state->Wake.wait(lock, [&state] { return state->bStopped || state->bHasRequest; });
            if (state->bStopped)
                break;
            request = state->Pending;
            state->bHasRequest = false;
        }
        QByteArray bytes(static_cast<qsizetype>(request.Size), Qt::Uninitialized);
        std::size_t got = 0;
        int error = 0;
        while (got < request.Size) {
            const ssize_t count =
                ::pread(state->Fd, bytes.data() + got, request.Size - got, static_cast<off_t>(request.Offset + got));
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                error = errno;
            if (count <= 0)
                break;
            got += static_cast<std::size_t>(count);
        }
        bytes.truncate(static_cast<qsizetype>(got));
        std::lock_guard lock(state->Mutex);
        if (!state->pOwner)
            break;
        CFileRangeReader* owner = state->pOwner;
        QMetaObject::invokeMethod(
            owner,
            [owner, request, bytes, error] { Q_EMIT owner->RangeRead(request.Tag, request.Offset, bytes, error); },
            Qt::QueuedConnection);
    }
    if (state->Fd >= 0)
        ::close(state->Fd);
}
