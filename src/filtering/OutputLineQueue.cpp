// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/OutputLineQueue.h"

void OutputLineQueue::SetNotification(Notification notification)
{
    std::lock_guard lock(m_NotificationMutex);
    m_Notification = std::move(notification);
}

void OutputLineQueue::PushOutputLines(OutputBatch&& batch)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_Batches.empty();
        m_Batches.push_back(std::move(batch));
    }
    if (!wasEmpty)
        return;
    // Outside the queue's lock, so the receiver may pop at once.
    std::lock_guard lock(m_NotificationMutex);
    if (m_Notification)
        m_Notification();
}

std::optional<OutputBatch> OutputLineQueue::PopOutputLines()
{
    std::lock_guard lock(m_mutex);
    if (m_Batches.empty())
        return std::nullopt;
    OutputBatch batch = std::move(m_Batches.front());
    m_Batches.pop_front();
    return batch;
}

bool OutputLineQueue::IsOutputLineQueueEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_Batches.empty();
}

void OutputLineQueue::Clear()
{
    std::lock_guard lock(m_mutex);
    m_Batches.clear();
}
