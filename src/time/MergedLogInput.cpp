// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/MergedLogInput.h"

#include <algorithm>
#include <cstring>

MergedLogInput::MergedLogInput(MergedLogReader& reader, std::int64_t retainedLines)
    : m_Reader(reader), m_nRetainedLines(std::max<std::int64_t>(0, retainedLines))
{}

std::size_t MergedLogInput::Read(int /*fd*/, char* out, std::size_t size)
{
    while (!m_Origins.empty() && m_nFirstOrigin <= m_nCompleted - m_nRetainedLines) {
        m_Origins.pop_front();
        ++m_nFirstOrigin;
    }
    std::size_t total = 0;
    while (total < size) {
        if (!m_bInsideLine) {
            MergedLogReader::Line line;
            if (!m_Reader.Next(line))
                break;
            m_Origins.push_back(Origin{line.Input, line.LineNumber});
            m_Rest = line.Text;
            m_bLineFeedOwed = line.Text.empty() || line.Text.back() != '\n';
            m_bInsideLine = true;
        }
        const std::size_t part = std::min(m_Rest.size(), size - total);
        std::memcpy(out + total, m_Rest.data(), part);
        total += part;
        m_Rest.remove_prefix(part);
        if (!m_Rest.empty())
            break; // out is full
        if (m_bLineFeedOwed) {
            if (total == size)
                break;
            out[total++] = '\n';
            m_bLineFeedOwed = false;
        }
        m_bInsideLine = false;
        ++m_nCompleted;
    }
    return total;
}

std::string MergedLogInput::TakeFaultMessage(const std::string& /*shownName*/)
{
    std::string messages;
    for (std::size_t i = 0; i < m_Reader.GetInputCount(); ++i) {
        const std::string fault = m_Reader.GetInput(i).TakeFaultMessage();
        if (fault.empty())
            continue;
        if (!messages.empty())
            messages += '\n';
        messages += fault;
    }
    return messages;
}

std::uint64_t MergedLogInput::GetFileBytesUsed() const
{
    std::uint64_t used = 0;
    for (std::size_t i = 0; i < m_Reader.GetInputCount(); ++i)
        used += m_Reader.GetInput(i).GetFileBytesUsed();
    return used;
}

bool MergedLogInput::FindOrigin(std::int64_t mergedLine, Origin& origin) const
{
    if (mergedLine < m_nFirstOrigin || mergedLine - m_nFirstOrigin >= static_cast<std::int64_t>(m_Origins.size()))
        return false;
    origin = m_Origins[static_cast<std::size_t>(mergedLine - m_nFirstOrigin)];
    return true;
}
