// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/WholeFileText.h"

ShownLineOrigin WholeFileText::OriginOf(std::int64_t line) const
{
    if (line < 0 || line >= GetLineCount())
        return {};
    return {line + 1, false, -1};
}
