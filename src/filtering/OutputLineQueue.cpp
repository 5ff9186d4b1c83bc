// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/OutputLineQueue.h"

void OutputLineQueue::SetNotification(Notification notification)
{
    std::lock_guard lock(m_mutex);
    m_Notification = std::move(notification);
}

void OutputLineQueue::PushOutputLines(OutputBatch&& batch)
{
    Notification notification;
    {
        std::lock_guard lock(m_mutex);
        const bool wasEmpty = m_Batches.empty();
        m_Batches.push_back(std::move(batch));
        if (wasEmpty)
            notification = m_Notification;
    }
    // Outside the lock: the receiver may pop at once.
    if (notification)
        notification();
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
