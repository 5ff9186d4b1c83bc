// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileRangeReader.h"

#include <thread>

#include "filtering/TextRangeReader.h"

CFileRangeReader::CFileRangeReader(int fd, QObject* parent)
    : CFileRangeReader(std::make_shared<DescriptorRangeReader>(fd), parent)
{}

CFileRangeReader::CFileRangeReader(std::shared_ptr<const TextRangeReader> text, QObject* parent)
    : QObject(parent), m_pState(std::make_shared<State>())
{
    m_pState->pOwner = this;
    m_pState->Text = std::move(text);
}

CFileRangeReader::~CFileRangeReader()
{
    {
        std::lock_guard lock(m_pState->Mutex);
        m_pState->bStopped = true;
        m_pState->pOwner = nullptr;
    }
    // A read may hang on a dead mount: the thread, holding the state, lets the text go when it
    // gets back.
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
        int error = 0;
        const std::int64_t got = state->Text->ReadRange(request.Offset, bytes.data(), request.Size, error);
        bytes.truncate(static_cast<qsizetype>(got > 0 ? got : 0));
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
