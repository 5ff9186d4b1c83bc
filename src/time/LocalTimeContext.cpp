// SPDX-License-Identifier: GPL-3.0-or-later
#include "time/LocalTimeContext.h"

TimeContext LocalTimeContext(std::time_t when)
{
    TimeContext context;
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr)
        return context;
    context.Year = local.tm_year + 1900;
    context.LatestMonth = local.tm_mon + 1;
    context.LocalOffsetSeconds = static_cast<std::int32_t>(local.tm_gmtoff);
    return context;
}
