// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "filtering/OutputLine.h"

// Hands kept lines from the filtering thread to the user-interface thread, a batch at a time.
// Thread-safe. The notification runs on the pushing thread whenever a push finds the queue
// empty, so the receiver hears once per drain rather than once per batch. Once SetNotification
// has returned, the notification it replaced is not running and will not run again.
class OutputLineQueue
{
public:
    using Notification = std::function<void()>;

    // Replaces the notification; waits for a call of the old one under way.
    void SetNotification(Notification notification);

    void PushOutputLines(OutputBatch&& batch);
    // The oldest batch, or nothing when the queue is empty.
    std::optional<OutputBatch> PopOutputLines();
    bool IsOutputLineQueueEmpty() const;
    // Drops every queued batch.
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::deque<OutputBatch> m_Batches; // guarded by m_mutex
    std::mutex m_NotificationMutex;    // held while the notification runs
    Notification m_Notification;       // guarded by m_NotificationMutex
};
