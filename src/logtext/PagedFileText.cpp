// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/PagedFileText.h"

ShownLineOrigin PagedFileText::OriginOf(std::int64_t line) const
{
    // Not bounded by the lines indexed so far: a window may show lines the index has yet to count.
    if (line < 0)
        return {};
    return {line + 1, false, -1};
}
