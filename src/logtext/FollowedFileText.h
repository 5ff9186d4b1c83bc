// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filtering/RestartedLineNumbers.h"
#include "logtext/WholeFileText.h"

// A whole file shown while it is followed: where the file started anew (truncated or replaced)
// a marker line stands, and the lines after it are numbered from 1 again. Without a restart it
// numbers its lines as a whole file does.
class FollowedFileText : public WholeFileText
{
public:
    using WholeFileText::WholeFileText;

    // The file started anew: the marker is the line at markerLine, the file's lines follow it.
    void AddRestart(std::int64_t markerLine) { m_Restarts.AddMarker(markerLine); }
    void ClearRestarts() { m_Restarts.Clear(); }
    bool HasRestarts() const { return !m_Restarts.Empty(); }
    const RestartedLineNumbers& Restarts() const { return m_Restarts; }

    ShownLineOrigin OriginOf(std::int64_t line) const override;
    std::int64_t PlaceNumberOf(std::int64_t line) const override;
    bool IsNumberedByPlace() const override { return m_Restarts.Empty(); }

private:
    RestartedLineNumbers m_Restarts;
};
