// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/KeptLineTimeReader.h"

#include "time/KeptLineTimes.h"

void KeptLineTimeReader::Read(OutputBatch& batch)
{
    batch.Times.clear();
    batch.TimesLayout = TimeLayout::None;
    if (m_bDecided && m_Layout == TimeLayout::None)
        return;
    const std::size_t count = batch.Lines.size();
    std::size_t first = 0;
    // The sample: only looked at, as the receiver looks at it.
    for (; !m_bDecided && first < count; ++first) {
        const OutputLine& line = batch.Lines[first];
        if (line.LineNumber <= 0)
            continue;
        if (!m_Detector.AddLine(LineWithoutEnd(batch.LineText(line)))) {
            m_bDecided = true;
            m_Layout = m_Detector.GetLayout();
        }
    }
    if (!m_bDecided || m_Layout == TimeLayout::None || first >= count)
        return;
    batch.Times.assign(count, Unread);
    batch.TimesLayout = m_Layout;
    for (std::size_t i = first; i < count; ++i) {
        const OutputLine& line = batch.Lines[i];
        if (line.LineNumber <= 0)
            continue;
        std::int64_t millis = 0;
        batch.Times[i] = KeptLineTimes::MillisOf(m_Layout, batch.LineText(line), m_Context, millis) ? millis : NoTime;
    }
}
