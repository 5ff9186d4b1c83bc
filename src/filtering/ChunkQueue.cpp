// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/ChunkQueue.h"

#include <algorithm>

void ChunkQueue::Push(Item&& item, std::size_t bytes)
{
    std::unique_lock lock(m_Mutex);
    // Wait for room first, so that the bytes held never pass the limit by more than this item.
    m_Changed.wait(lock, m_Stop, [&] { return m_nBytes == 0 || m_nBytes + bytes <= m_nByteLimit; });
    m_Items.push_back(std::move(item));
    m_nBytes += bytes;
    m_nPeakBytes = std::max(m_nPeakBytes, m_nBytes);
    lock.unlock();
    m_Changed.notify_all();
}

void ChunkQueue::WriteLines(OutputBatch&& batch)
{
    const std::size_t bytes = batch.Text.size() + batch.Lines.size() * sizeof(OutputLine);
    Item item;
    item.Batch = std::move(batch);
    Push(std::move(item), bytes);
}

void ChunkQueue::ReportError(const std::string& message)
{
    Item item;
    item.What = Item::Kind::Error;
    item.Message = message;
    Push(std::move(item), message.size());
}

void ChunkQueue::ReportTooComplex(std::size_t filter, std::int64_t lineNumber)
{
    Item item;
    item.What = Item::Kind::TooComplex;
    item.Filter = filter;
    item.LineNumber = lineNumber;
    Push(std::move(item), 0);
}

void ChunkQueue::Finish(const Ending& ending)
{
    {
        std::lock_guard lock(m_Mutex);
        m_Ending = ending;
        m_bFinished = true;
    }
    m_Changed.notify_all();
}

bool ChunkQueue::Take(std::deque<Item>& items, Ending& ending)
{
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [&] { return !m_Items.empty() || m_bFinished; });
    if (m_Items.empty()) {
        ending = m_Ending;
        return false;
    }
    items.swap(m_Items);
    m_Items.clear();
    m_nBytes = 0;
    lock.unlock();
    m_Changed.notify_all();
    return true;
}

std::size_t ChunkQueue::GetPeakBytes() const
{
    std::lock_guard lock(m_Mutex);
    return m_nPeakBytes;
}
