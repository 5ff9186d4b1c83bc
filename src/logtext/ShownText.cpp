// SPDX-License-Identifier: GPL-3.0-or-later
#include "logtext/ShownText.h"

#include <algorithm>

NumberedLineFound ShownText::FindNumber(std::int64_t number) const
{
    const std::int64_t last = std::max<std::int64_t>(1, GetLastNumber());
    if (number > last)
        return {last - 1, last, NumberedLineFound::Reach::PastEnd};
    const std::int64_t reached = std::max<std::int64_t>(1, number);
    return {reached - 1, reached, NumberedLineFound::Reach::Exact};
}
