// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CPaneWorkspace.h"

#include <algorithm>

std::int64_t CPaneWorkspace::GetPagedViewThreshold() const
{
    const std::int64_t threshold = m_Workspace.GetPagedViewThreshold();
    return threshold > 0 ? std::min(threshold, PagedPaneThreshold) : PagedPaneThreshold;
}
