// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileRangeReader.h"

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

CFileRangeReader::CFileRangeReader(int fd, QObject* parent) : QObject(parent), m_pState(std::make_shared<State>())
{
    m_pState->pOwner = this;
    m_pState->Fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

CFileRangeReader::State::~State()
{
    if (Fd >= 0)
        ::close(Fd);
}

CFileRangeReader::~CFileRangeReader()
{
    {
        std::lock_guard lock(m_pState->Mutex);
        m_pState->bStopped = true;
        m_pState->pOwner = nullptr;
    }
    // A read may hang on a dead mount: the thread, holding the state, closes the descriptor
    // when it gets back.
}

void CFileRangeReader::Request(std::uint64_t offset, std::size_t size, std::uint64_t tag)
{
    std::lock_guard lock(m_pState->Mutex);
    m_pState->Pending = {offset, size, tag};
    m_pState->bHasRequest = true;
    if (m_pState->bReading)
        return; // the running thread takes it next
    m_pState->bReading = true;
    std::thread([state = m_pState] { ThreadMain(state); }).detach();
}

void CFileRangeReader::ThreadMain(const std::shared_ptr<State>& state)
{
    for (;;) {
        RangeRequest request;
        {
            std::lock_guard lock(state->Mutex);
            if (state->bStopped || !state->bHasRequest) {
                state->bReading = false; // the next request starts a thread anew
                return;
            }
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
            return;
        CFileRangeReader* owner = state->pOwner;
        QMetaObject::invokeMethod(
            owner,
            [owner, request, bytes, error] { Q_EMIT owner->RangeRead(request.Tag, request.Offset, bytes, error); },
            Qt::QueuedConnection);
    }
}
